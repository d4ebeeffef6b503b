#pragma once
// The help window: the program's own HTML help pages, shipped in its
// resources, in a browser with Contents, Back and Forward.

#include <QDialog>

class QTextBrowser;

class CHelpViewer : public QDialog {
  Q_OBJECT

 public:
  // Shows the help window (one for the program) at a topic such as
  // "batch_convert"; an empty topic shows the contents page.
  static CHelpViewer* ShowTopic(QWidget* owner, const QString& topic);
  // The window if it is open.
  static CHelpViewer* Instance();

  QTextBrowser* Browser() const { return browser_; }
  void GoTo(const QString& topic);

 private:
  explicit CHelpViewer(QWidget* owner);
  QTextBrowser* browser_;
};
