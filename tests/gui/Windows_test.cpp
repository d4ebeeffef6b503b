// The windows as drawn: the button images load and differ by state, every
// window renders, and (with KESTRUNE_SCREENSHOT_DIR set) each is saved as a
// PNG for a person to look at.

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QTextBrowser>

#include "gui/AboutDlg.h"
#include "gui/BitmapButton.h"
#include "gui/HelpViewer.h"
#include "gui/InfoDlgs.h"
#include "gui/PositionSlider.h"
#include "gui/ProgressDlg.h"
#include "gui/SettingsDlg.h"
#include "gui/app/MainDlg.h"
#include "support/TestSupport.h"
#include "support/gui/FakePlayer.h"
#include "support/gui/GuiTestSupport.h"
#include "support/gui/ScriptedPrompt.h"

namespace {

QImage Shot(QWidget* w, const char* name) {
  w->show();
  kt::Spin(30);
  const QImage image = w->grab().toImage();
  const QByteArray dir = qgetenv("KESTRUNE_SCREENSHOT_DIR");
  if (!dir.isEmpty())
    image.save(QDir(QString::fromLocal8Bit(dir)).filePath(QString::fromLatin1(name) + ".png"));
  return image;
}

// Distinct colours in an image: a blank or single-colour window has few.
int Colours(const QImage& image) {
  QSet<QRgb> seen;
  for (int y = 0; y < image.height(); y += 2)
    for (int x = 0; x < image.width(); x += 2) seen.insert(image.pixel(x, y));
  return seen.size();
}

TEST(Windows, EveryButtonHasFourDistinctImages) {
  for (const char* caption : {"START", "END", "SAVE", "CLEAR", "PLAY", "STOP", "SHRED"}) {
    CBitmapButton button(QString::fromLatin1(caption));
    EXPECT_TRUE(button.LoadBitmaps(QString::fromLatin1(caption))) << caption;
    button.show();
    const QImage normal = button.grab().toImage();
    button.setDown(true);
    const QImage down = button.grab().toImage();
    button.setDown(false);
    button.setEnabled(false);
    const QImage disabled = button.grab().toImage();
    EXPECT_NE(normal, down) << caption;
    EXPECT_NE(normal, disabled) << caption;
    EXPECT_GT(Colours(normal), 8) << caption;
  }
}

TEST(Windows, MainWindowAndItsDialogsRender) {
  kt::TempDir dir;
  kt::ScriptedPrompt prompt;
  kt::WavSpec layout;
  const std::string wav = kt::MakeWav(dir, "Song.wav", layout, kt::PatternData(layout.ByteRate() * 8));
  auto fake = std::make_unique<kt::FakePlayer>();
  CMainDlg window(prompt.Services(), std::move(fake));
  EXPECT_GT(Colours(Shot(&window, "main-empty")), 20);
  window.OpenPath(QString::fromStdString(wav));
  window.Slider()->setSliderPosition(250);
  window.OnStartSelection();
  window.Slider()->setSliderPosition(600);
  window.Slider()->UpdateSelection();
  const QImage open = Shot(&window, "main-file-open");
  EXPECT_GT(Colours(open), 20);

  CSettingsDlg settings(prompt.Services(), 5, "_part", true, true, &window);
  EXPECT_GT(Colours(Shot(&settings, "settings")), 10);
  settings.hide();

  CWavInfoDlg wavInfo(
      {QStringLiteral("Filename - Song.wav"), QStringLiteral("File size (As in Header) - 1411236 bytes"),
       QStringLiteral("Number of Channels - 2"), QStringLiteral("Samples per second - 44100"),
       QStringLiteral("Average bytes per second - 176400 bytes"), QStringLiteral("Bits per sample - 16 bits"),
       QStringLiteral("Sample frame size - 4 bytes"), QStringLiteral("Data bytes size - 1411200 bytes"),
       QStringLiteral("Playing duration - 8.00 seconds")},
      &window);
  EXPECT_GT(Colours(Shot(&wavInfo, "wav-information")), 10);
  wavInfo.hide();

  Mp3Information info;
  info.fileName = QStringLiteral("Song.mp3");
  info.mpegLines = QStringList{"File size - 160128 bytes",
                               "Sampling Rate - 44100 Smp/sec",
                               "Bitrate - 128 Kbits/sec",
                               "Frame length - 417 bytes",
                               "MPEG version - 1.0",
                               "MPEG Layer - 3",
                               "Copyrighted - No",
                               "Orignal - Yes",
                               "Play Duration - 10.00 Sec(s)"};
  info.tagFields = QStringList{"Title", "Artist", "Album", "1999", "Comment", "Rock"};
  CMp3InfoDlg mp3Info(info, &window);
  EXPECT_GT(Colours(Shot(&mp3Info, "mp3-information")), 10);
  mp3Info.hide();

  CAboutDlg about(prompt.Services(), &window);
  EXPECT_GT(Colours(Shot(&about, "about")), 10);
  about.hide();

  CProgressDlg progressWindow(&window);
  CProgress progress(&progressWindow);
  progress.Start();
  progress.SetFileCount(3);
  progress.SetShreddingText("song.wav", "song-2.wav");
  progress.SetFileNumber(2);
  progress.SetFileRange(100000, 10000);
  for (int i = 0; i < 6; ++i) progress.StepFile();
  progress.StepOverall();
  EXPECT_GT(Colours(Shot(&progressWindow, "progress")), 10);
  progress.Close();

  CHelpViewer* help = CHelpViewer::ShowTopic(&window, QString());
  EXPECT_FALSE(help->Browser()->toPlainText().isEmpty());
  EXPECT_GT(Colours(Shot(help, "help")), 10);
  help->close();
}

}  // namespace
