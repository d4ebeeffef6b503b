#pragma once
// The two information windows of the File information command.

#include <QDialog>
#include <QString>
#include <QStringList>

// "WAV File Information": nine centred lines of header facts.
class CWavInfoDlg : public QDialog {
  Q_OBJECT

 public:
  // The object names of the nine lines, in the order of the lines.
  static constexpr const char* kLineNames[9] = {"fileName",   "fileSize", "channels",
                                                "sampleRate", "byteRate", "bitsPerSample",
                                                "frameSize",  "dataSize", "duration"};

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
  static constexpr const char* kFileNameName = "fileName";
  // Title, artist, album, year, comment, genre.
  static constexpr const char* kTagNames[6] = {"title", "artist", "album", "year", "comment", "genre"};
  static constexpr const char* kMpegNames[9] = {"fileSize",    "sampleRate",  "bitrate",
                                                "frameLength", "mpegVersion", "mpegLayer",
                                                "copyrighted", "original",    "duration"};

  CMp3InfoDlg(const Mp3Information& info, QWidget* parent = nullptr);
};
