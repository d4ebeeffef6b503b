// Layouts judged by widget geometry, at the default font and at 14 pt:
// nothing clipped or outside its window, the scale marks on their ticks, the
// progress window's fixed size with long names shortened in the middle, and
// the texts review found wanting (help caption, encoder credit colour).

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTextBrowser>
#include <QTreeView>

#include "ops/ProgressDlg.h"
#include "support/TestSupport.h"
#include "support/gui/FakePlayer.h"
#include "support/gui/GuiTestSupport.h"
#include "support/gui/ScriptedPrompt.h"
#include "ui/AboutDlg.h"
#include "ui/ControlId.h"
#include "ui/ConvertMp3Dlg.h"
#include "ui/HelpViewer.h"
#include "ui/MainDlg.h"
#include "ui/MainWindowFixture.h"
#include "ui/PositionSlider.h"
#include "ui/Prompt.h"
#include "ui/RipChannelsDlg.h"
#include "ui/SettingsDlg.h"

namespace {

// Every visible text-bearing control of window is at least as big as it
// needs to be and lies inside the window.
void ExpectNothingClipped(QWidget* window, const char* name) {
  window->show();
  QApplication::processEvents();
  const QRect inside = window->rect();
  int checked = 0;
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    if (!widget->isVisible() || widget->window() != window) continue;
    // The text field inside a spin or combo box is sized by its owner.
    if (qobject_cast<QAbstractSpinBox*>(widget->parentWidget()) ||
        qobject_cast<QComboBox*>(widget->parentWidget()))
      continue;
    if (!qobject_cast<QLabel*>(widget) && !qobject_cast<QAbstractButton*>(widget) &&
        !qobject_cast<QLineEdit*>(widget))
      continue;
    const QString what = QString::fromLatin1(name) + ": " + widget->metaObject()->className() + " \"" +
                         widget->property("text").toString() + "\"";
    const QSize needed = widget->minimumSizeHint();
    EXPECT_GE(widget->width(), needed.width()) << what.toStdString();
    EXPECT_GE(widget->height(), needed.height()) << what.toStdString();
    const QRect placed(widget->mapTo(window, QPoint(0, 0)), widget->size());
    EXPECT_TRUE(inside.contains(placed)) << what.toStdString();
    ++checked;
  }
  EXPECT_GE(checked, 3) << name;
}

// The window's labels can show their widest texts in full.
void ExpectReadoutsFit(CMainDlg& window) {
  const std::pair<int, const char*> widest[] = {{CMainDlg::IDC_ELAPSED, "Remaining : 9999.99 sec"},
                                                {CMainDlg::IDC_SELECTION, "Selected : 9999.99 sec"},
                                                {CMainDlg::IDC_SELECTION, "Improper selection"},
                                                {CMainDlg::IDC_LENGTH, "Length : 9999.99 sec"}};
  for (const auto& [id, text] : widest) {
    auto* label = kt::Control<QLabel>(&window, id);
    EXPECT_GE(label->contentsRect().width(),
              label->fontMetrics().horizontalAdvance(QString::fromLatin1(text)))
        << text;
  }
  const QRect elapsed = kt::Control<QLabel>(&window, CMainDlg::IDC_ELAPSED)->geometry();
  const QRect selection = kt::Control<QLabel>(&window, CMainDlg::IDC_SELECTION)->geometry();
  const QRect length = kt::Control<QLabel>(&window, CMainDlg::IDC_LENGTH)->geometry();
  EXPECT_LE(elapsed.right(), selection.left());
  EXPECT_LE(selection.right(), length.left());
}

void ExpectMarksOnTicks(CMainDlg& window) {
  auto* scale = window.findChild<CSliderScale*>();
  ASSERT_NE(scale, nullptr);
  CPositionSlider* slider = window.Slider();
  for (int i = 0; i < CSliderScale::kMarks; ++i) {
    QLabel* mark = scale->Mark(i);
    const int tick = slider->mapTo(&window, QPoint(slider->XOfValue(scale->MarkValue(i)), 0)).x();
    const int centre = mark->mapTo(&window, QPoint(mark->width() / 2, 0)).x();
    EXPECT_LE(std::abs(centre - tick), 1) << mark->text().toStdString();
    // The mark sits above the slider, inside the window.
    EXPECT_LE(mark->mapTo(&window, QPoint(0, mark->height())).y(), slider->mapTo(&window, QPoint(0, 0)).y());
    EXPECT_GE(mark->mapTo(&window, QPoint(0, 0)).x(), 0);
    EXPECT_LE(mark->mapTo(&window, QPoint(mark->width(), 0)).x(), window.width());
  }
}

void ExpectEveryWindowFits() {
  kt::TempDir dir;
  kt::ScriptedPrompt prompt;
  CMainDlg window(std::make_unique<kt::FakePlayer>());
  window.OpenPath(QString::fromStdString(kt::MakeWavFile(dir, "Song.wav", 3.0)));
  ExpectNothingClipped(&window, "main window");
  ExpectReadoutsFit(window);
  ExpectMarksOnTicks(window);

  CSettingsDlg settings(5, "_part", true, true, &window);
  ExpectNothingClipped(&settings, "settings");
  // Both fields start at one x and both Save boxes line up.
  EXPECT_EQ(kt::FindControl(&settings, CSettingsDlg::kSpinId)->x(),
            kt::FindControl(&settings, CSettingsDlg::kSuffixEditId)->x());
  EXPECT_EQ(kt::FindControl(&settings, CSettingsDlg::kSaveOverlapId)->x(),
            kt::FindControl(&settings, CSettingsDlg::kSaveSuffixId)->x());
  settings.hide();

  CConvertMp3Dlg convertMp3(&window);
  ExpectNothingClipped(&convertMp3, "convert to mp3");
  convertMp3.hide();
  CRipChannelsDlg rip(6, "WAV files (*.wav)|*.wav||", &window);
  ExpectNothingClipped(&rip, "rip channels");
  rip.hide();
  CAboutDlg about(&window);
  ExpectNothingClipped(&about, "about");
  about.hide();
  CProgressDlg progress(&window);
  progress.Start();
  progress.SetFileCount(2);
  progress.SetFileNumber(1);
  progress.SetShreddingText("song.wav", "song-1.wav");
  ExpectNothingClipped(&progress, "progress");
  progress.Close();
}

TEST(Layout, EveryWindowFitsItsContentsAtTheDefaultFont) {
  ExpectEveryWindowFits();
}

TEST(Layout, EveryWindowGrowsToItsContentsAtFourteenPoints) {
  const QFont previous = QApplication::font();
  QFont large = previous;
  large.setPointSize(14);
  QApplication::setFont(large);
  ExpectEveryWindowFits();
  {
    // The main window grew rather than clipping.
    CMainDlg window(std::make_unique<kt::FakePlayer>());
    EXPECT_GT(window.width(), 520);
  }
  QApplication::setFont(previous);
}

// ------------------------------------------------------------ progress

TEST(Layout, TheProgressWindowKeepsItsSizeAndShortensLongNamesInTheMiddle) {
  CProgressDlg progress;
  progress.Start();
  const QSize size = progress.size();
  auto* action = kt::Control<QLabel>(&progress, CProgressDlg::kActionLabelId);

  progress.SetConvertingText("song.wav", "song.mp3");
  EXPECT_EQ(action->text(), QStringLiteral("Converting SONG.WAV to SONG.MP3"));
  EXPECT_TRUE(action->toolTip().isEmpty());

  const std::string source = "Recording of the weekly meeting with the whole production team.WAV";
  const std::string target = "Recording of the weekly meeting with the whole production team.mp3";
  progress.SetConvertingText(source, target);
  QApplication::processEvents();
  const QString shown = action->text();
  EXPECT_EQ(progress.size(), size);
  EXPECT_LE(action->fontMetrics().horizontalAdvance(shown), action->contentsRect().width());
  EXPECT_TRUE(shown.startsWith(QStringLiteral("Converting RECO"))) << shown.toStdString();
  EXPECT_TRUE(shown.contains(QStringLiteral("TEAM.WAV to RECO"))) << shown.toStdString();
  EXPECT_TRUE(shown.endsWith(QStringLiteral("TEAM.MP3"))) << shown.toStdString();
  EXPECT_EQ(shown.count(QChar(0x2026)), 2) << shown.toStdString();
  EXPECT_EQ(action->toolTip(), QString::fromStdString(progress.ActionText()));

  // A short source keeps its whole name; the long target takes the rest.
  progress.SetShreddingText("a.wav", source);
  EXPECT_TRUE(action->text().startsWith(QStringLiteral("Shredding A.WAV to RECORDING")))
      << action->text().toStdString();
  EXPECT_EQ(progress.size(), size);
  progress.Close();
}

// ---------------------------------------------------- Qt's own file dialog

// Opens the toolkit's own open dialog on dir and checks, once the folder is
// listed, that the name column has room and size, type and date are shown in
// full, all inside the view.
void ExpectFileDialogColumnsInSight(const kt::TempDir& dir) {
  FileDialogRequest request;
  request.filter = QStringLiteral("Wave Files (*.wav)| *.wav|All Files (*.*)|*.*||");
  request.directory = QString::fromStdString(dir.Path().string());
  int columns = 0;
  kt::WhenModal([&columns](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    auto* view = dialog->findChild<QTreeView*>();
    ASSERT_NE(view, nullptr);
    // The folder is listed by a background thread.
    for (int i = 0; i < 200 && view->model()->rowCount(view->rootIndex()) == 0; ++i) kt::Spin(10);
    ASSERT_GT(view->model()->rowCount(view->rootIndex()), 0);
    kt::Spin(20);
    const QHeaderView* header = view->header();
    for (int i = 0; i < header->count(); ++i) {
      if (header->isSectionHidden(i)) continue;
      ++columns;
      EXPECT_LE(header->sectionViewportPosition(i) + header->sectionSize(i), view->viewport()->width()) << i;
      // Size, type and date in full; the name may lose its middle.
      if (i > 0) {
        EXPECT_GE(header->sectionSize(i), static_cast<QAbstractItemView*>(view)->sizeHintForColumn(i)) << i;
      }
    }
    EXPECT_GE(header->sectionSize(0), view->fontMetrics().averageCharWidth() * 30);
    dialog->reject();
  });
  // No scripted prompt here: the toolkit's own dialog.
  EXPECT_TRUE(Prompt().GetOpenFileName(nullptr, request).isEmpty());
  EXPECT_EQ(columns, 4);
}

TEST(Layout, QtsOwnFileDialogShowsNameSizeTypeAndDate) {
  kt::TempDir dir;
  kt::MakeWavFile(dir, "A rather long recording name of a meeting.wav", 0.1);
  ExpectFileDialogColumnsInSight(dir);
  const QFont previous = QApplication::font();
  QFont large = previous;
  large.setPointSize(14);
  QApplication::setFont(large);
  ExpectFileDialogColumnsInSight(dir);
  QApplication::setFont(previous);
}

// --------------------------------------------------------------- texts

TEST(Layout, TheHelpCaptionNamesThePageOnce) {
  auto* owner = new QWidget;
  CHelpViewer* help = CHelpViewer::ShowTopic(owner, QString());
  EXPECT_EQ(help->windowTitle(), QStringLiteral("Kestrune Help"));
  help->GoTo(QStringLiteral("settings"));
  const QString page = help->Browser()->documentTitle();
  ASSERT_FALSE(page.isEmpty());
  EXPECT_EQ(help->windowTitle(), page + QStringLiteral(" - Kestrune Help"));
  help->close();
  delete owner;
}

TEST(Layout, TheEncoderCreditIsOrdinaryText) {
  CConvertMp3Dlg dialog;
  auto* credit = kt::Control<QLabel>(&dialog, convertmp3id::kCredit);
  ASSERT_NE(credit, nullptr);
  EXPECT_TRUE(credit->text().startsWith(QStringLiteral("MP3 encoding by the LAME project")));
  EXPECT_TRUE(credit->isEnabled());
  EXPECT_EQ(credit->palette().color(QPalette::Active, credit->foregroundRole()),
            dialog.palette().color(QPalette::Active, QPalette::WindowText));
}

}  // namespace
