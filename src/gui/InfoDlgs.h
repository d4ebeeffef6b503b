#pragma once
// The two information windows of the File information command.

#include <QDialog>
#include <QString>
#include <QStringList>

// "WAV File Information": nine centred lines of header facts.
class CWavInfoDlg : public QDialog {
  Q_OBJECT

 public:
  // The ids of the nine lines, in the order of the lines.
  static constexpr int kLineIds[9] = {1010, 1011, 1012, 1013, 1014, 1015, 1016, 1017, 1026};

  CWavInfoDlg(const QStringList& lines, QWidget* parent = nullptr);
};

// What the MP3 information window shows: the file name, the nine MPEG lines
// and the six tag fields (title, artist, album, year, comment, genre).
struct Mp3Information {
  QString fileName;
  QStringList mpegLines;
  QStringList tagFields;
};

// "MP3 File Information": the tag on the left, the MPEG facts on the right.
class CMp3InfoDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kFileNameId = 1019;
  // Title, artist, album, year, comment, genre.
  static constexpr int kTagIds[6] = {1021, 1022, 1005, 1003, 1006, 1004};
  static constexpr int kMpegIds[9] = {1007, 1008, 1009, 1015, 1016, 1017, 1018, 1020, 1026};

  CMp3InfoDlg(const Mp3Information& info, QWidget* parent = nullptr);
};
