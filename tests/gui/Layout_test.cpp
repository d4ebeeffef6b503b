// Layouts judged by widget geometry at a 14 pt font: nothing clipped or
// outside its window, and the scale marks on their ticks.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include "gui/ProgressDlg.h"
#include "gui/AboutDlg.h"
#include "gui/ConvertMp3Dlg.h"
#include "gui/MainWindowFixture.h"
#include "gui/RipChannelsDlg.h"
#include "gui/SettingsDlg.h"

namespace {

// Every window here runs at a 14 pt application font, where clipping shows.
class Layout : public testing::Test {
 protected:
  void SetUp() override {
    QFont large = previous;
    large.setPointSize(14);
    QApplication::setFont(large);
  }
  void TearDown() override { QApplication::setFont(previous); }
  const QFont previous = QApplication::font();
};

// Every visible label, button and text field of window is as big as it needs
// to be and lies inside the window.
void ExpectNothingClipped(QWidget* window) {
  window->show();
  QApplication::processEvents();
  int checked = 0;
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    // The text field inside a spin or combo box is sized by its owner.
    if (!widget->isVisible() || widget->window() != window ||
        qobject_cast<QAbstractSpinBox*>(widget->parentWidget()) ||
        qobject_cast<QComboBox*>(widget->parentWidget()) ||
        !(qobject_cast<QLabel*>(widget) || qobject_cast<QAbstractButton*>(widget) ||
          qobject_cast<QLineEdit*>(widget)))
      continue;
    const std::string what = window->metaObject()->className() +
                             (" \"" + widget->property("text").toString() + "\"").toStdString();
    EXPECT_GE(widget->width(), widget->minimumSizeHint().width()) << what;
    EXPECT_GE(widget->height(), widget->minimumSizeHint().height()) << what;
    EXPECT_TRUE(window->rect().contains(QRect(widget->mapTo(window, QPoint(0, 0)), widget->size()))) << what;
    ++checked;
  }
  EXPECT_GE(checked, 3) << window->metaObject()->className();
  window->hide();
}

TEST_F(Layout, EveryWindowFitsItsContentsAndTheMarksSitOnTheirTicks) {
  kt::TempDir dir;
  kt::ScriptedPrompt prompt;
  CMainDlg window(prompt.Services(), std::make_unique<kt::FakePlayer>());
  window.OpenPath(QString::fromStdString(kt::MakeWavFile(dir, "Song.wav", 3.0)));
  CSettingsDlg settings(prompt.Services(), 5, "_part", true, true, &window);
  CConvertMp3Dlg convertMp3(prompt.Services(), &window);
  CRipChannelsDlg rip(prompt.Services(), 6, "WAV files (*.wav)|*.wav||", &window);
  CAboutDlg about(prompt.Services(), &window);
  CProgressDlg progressWindow(&window);
  CProgress progress(&progressWindow);
  progress.Start();
  progress.SetShreddingText("song.wav", "song-1.wav");
  for (QWidget* shown :
       std::initializer_list<QWidget*>{&window, &settings, &convertMp3, &rip, &about, &progressWindow})
    ExpectNothingClipped(shown);
  // A long name loses its middle; a short one beside it stays whole.
  progress.SetShreddingText("a.wav", std::string(60, 'x') + " production team.wav");
  const QString action = kt::Control<QLabel>(&progressWindow, CProgressDlg::kActionLabelName)->text();
  EXPECT_TRUE(action.startsWith(QStringLiteral("Shredding A.WAV to XXX"))) << action.toStdString();
  EXPECT_TRUE(action.endsWith(QStringLiteral("TEAM.WAV")) && action.contains(QChar(0x2026)))
      << action.toStdString();
  progress.Close();
  // The readouts have room for their widest texts.
  for (const auto& [id, text] : {std::pair{CMainDlg::kElapsed, "Remaining : 9999.99 sec"},
                                 {CMainDlg::kSelection, "Improper selection"},
                                 {CMainDlg::kLength, "Length : 9999.99 sec"}}) {
    auto* label = kt::Control<QLabel>(&window, id);
    EXPECT_GE(label->contentsRect().width(),
              label->fontMetrics().horizontalAdvance(QString::fromLatin1(text)))
        << text;
  }
  auto* scale = window.findChild<CSliderScale*>();
  ASSERT_NE(scale, nullptr);
  for (int i = 0; i < CSliderScale::kMarks; ++i) {
    QLabel* mark = scale->Mark(i);
    const int tick =
        window.Slider()->mapTo(&window, QPoint(window.Slider()->XOfValue(scale->MarkValue(i)), 0)).x();
    EXPECT_LE(std::abs(mark->mapTo(&window, QPoint(mark->width() / 2, 0)).x() - tick), 1) << i;
  }
}

}  // namespace
