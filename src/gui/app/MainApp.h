#pragma once
// The application: sets up the toolkit's services, reads the command line
// (kestrune [FILE], --help, --version) and runs the main window as an
// ordinary top-level window; when that window ends, the program ends.

#include <QApplication>
#include <QStringList>

class CMainDlg;

// What the command line asks for, once --help and --version have been
// answered: the file to open (empty for none) and the arguments ignored.
struct CommandLineRequest {
  QString file;
  QStringList ignored;
};

class CMainApp : public QApplication {
  Q_OBJECT

 public:
  CMainApp(int& argc, char** argv);
  // Reads the command line (printing help or the version and exiting when
  // asked), runs the main window, and returns the program's exit code.
  int Run();

  // Parses arguments (argv[0] first); --help and --version print and exit.
  static CommandLineRequest ParseCommandLine(const QStringList& arguments);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  CMainDlg* window_ = nullptr;
};
