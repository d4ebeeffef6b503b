#pragma once
// A text that works as a hyperlink: underlined, blue until its first
// successful click and purple after it, with a hand cursor. A click opens the
// link (or the text itself when no link was given) with the desktop's
// default handler; when that fails the program beeps and nothing changes.

#include <QColor>
#include <QLabel>
#include <functional>

class CStaticLink : public QLabel {
  Q_OBJECT

 public:
  using Opener = std::function<bool(const QString& link)>;

  // opener opens a link (false when it could not); beep is the failure
  // beep. The window passes its CGuiServices' own.
  CStaticLink(const QString& text, Opener opener, std::function<void()> beep, QWidget* parent = nullptr);

  void SetLink(const QString& link) { link_ = link; }
  const QString& Link() const { return link_; }
  bool Visited() const { return visited_ != 0; }
  QColor CurrentColour() const { return visited_ ? visitedColour_ : unvisitedColour_; }
  // Opens the link as a click does.
  void Click();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ApplyColour();

  QColor unvisitedColour_{0, 0, 255};
  QColor visitedColour_{128, 0, 128};
  int visited_ = 0;
  QString link_;
  Opener opener_;
  std::function<void()> beep_;
};
