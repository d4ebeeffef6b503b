#pragma once
// The application: sets up the toolkit's services and runs the main window
// modally; when that window ends, the program ends.

#include <QApplication>

class CMainDlg;

class CMainApp : public QApplication {
  Q_OBJECT

 public:
  CMainApp(int& argc, char** argv);
  // Runs the main window; returns the program's exit code.
  int Run();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  CMainDlg* window_ = nullptr;
};
