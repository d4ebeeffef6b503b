// The waveform in the main window, driven as a user drives it: View >
// Waveform on and off, a drag that selects and the SAVE that writes it, a
// click that seeks, wheel zoom, Shift+arrow nudges, the picture of a known
// signal, and a 14 pt font.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <cmath>

#include "core/peaks/PeakJob.h"
#include "gui/MainWindowFixture.h"
#include "gui/SetSelectionDlg.h"
#include "gui/WaveformPanel.h"
#include "gui/WaveformView.h"
#include "support/GaplessCheck.h"

namespace {

constexpr std::uint32_t kRate = 44100;

// 10 s of 16-bit stereo: silence with a full-scale click at 4.0 s on the
// left channel, and a sine at half scale on the right from 6 s on.
std::string ClickWav(const kt::TempDir& dir) {
  std::vector<std::uint8_t> data;
  for (std::uint32_t i = 0; i < 10 * kRate; ++i) {
    const int left = i == 4 * kRate ? 32000 : 0;
    const int right = i >= 6 * kRate ? static_cast<int>(16384 * std::sin(2 * M_PI * 441.0 * i / kRate)) : 0;
    kt::PutLe16(data, static_cast<std::uint16_t>(left));
    kt::PutLe16(data, static_cast<std::uint16_t>(right));
  }
  return kt::MakeWav(dir, "Click.wav", kt::WavSpec{}, data);
}

class WaveformTest : public kt::MainWindowTest {
 protected:
  void SetUp() override {
    showWaveform = true;
    MainWindowTest::SetUp();
  }
  CWaveformPanel* Panel() const { return window->Waveform(); }
  CWaveformView* View() const { return Panel()->View(); }
  void OpenAndWait(const std::string& path) {
    Open(path);
    ASSERT_NE(window->File(), nullptr);
    Panel()->WaitForPeaks();
    QApplication::processEvents();
  }
  QPoint At(double seconds) const {
    return {View()->XOfSample(static_cast<std::uint64_t>(seconds * kRate)), View()->height() / 2};
  }
  void Drag(double from, double to) {
    QTest::mousePress(View(), Qt::LeftButton, Qt::NoModifier, At(from));
    QMouseEvent move(QEvent::MouseMove, At(to), View()->mapToGlobal(At(to)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(View(), &move);
    QTest::mouseRelease(View(), Qt::LeftButton, Qt::NoModifier, At(to));
  }
  // The strip as drawn: how many pixels of column x differ from the
  // background, over the whole height or over the top band (the left channel).
  struct Picture {
    QImage image;
    QColor base;
    int Inked(int x, bool topBand = false) const {
      int n = 0;
      for (int y = 2; y < (topBand ? image.height() / 2 : image.height()) - 2; ++y)
        n += image.pixelColor(x, y) != base;
      return n;
    }
  };
  Picture Grab() const { return {View()->grab().toImage(), View()->palette().color(QPalette::Base)}; }
  // Zooms to [first, first + span), deeper than the model's blocks, and
  // waits for the samples in view.
  bool ZoomToDetail(std::uint64_t first, std::uint64_t span) {
    View()->SetView(first, span);
    return QTest::qWaitFor(
        [&] {
          View()->repaint();
          return View()->ShowsDetail();
        },
        5000);
  }
  std::uint32_t DataBytes(const std::string& path) {
    const auto bytes = kt::ReadAll(path);
    return bytes.size() < 44 ? 0 : kt::GetLe32(bytes, 40);
  }
};

TEST_F(WaveformTest, WaveformOffGivesTodaysWindowAndOnMakesItResizable) {
  QAction* toggle = window->Action(CMainDlg::kViewWaveform);
  ASSERT_TRUE(toggle && toggle->isCheckable() && toggle->isChecked());
  EXPECT_TRUE(Panel()->isVisible());
  EXPECT_GT(window->height(), CMainDlg::kCollapsedHeight);
  EXPECT_EQ(window->maximumHeight(), QWIDGETSIZE_MAX);
  EXPECT_GE(window->minimumWidth(), 520);
  EXPECT_GE(window->minimumHeight(), CMainDlg::kCollapsedHeight);
  // A user's size is kept for the next window.
  window->resize(900, 600);
  QApplication::processEvents();

  toggle->trigger();
  EXPECT_FALSE(Panel()->isVisible());
  // The same window as one that never showed the waveform, widget by widget.
  CMainDlg classic(prompt.Services(), std::make_unique<kt::FakePlayer>());
  classic.show();
  QApplication::processEvents();
  EXPECT_EQ(window->size(), classic.size());
  EXPECT_EQ(window->height(), CMainDlg::kCollapsedHeight);
  EXPECT_EQ(window->minimumSize(), window->maximumSize());
  EXPECT_EQ(Slider()->width(), 476);
  for (const char* name :
       {CMainDlg::kSlider, CMainDlg::kStart, CMainDlg::kShred, CMainDlg::kElapsed, CMainDlg::kLength})
    EXPECT_EQ(kt::Control<QWidget>(window.get(), name)->geometry(),
              kt::Control<QWidget>(&classic, name)->geometry())
        << name;
  EXPECT_FALSE(WindowServices().settings.ShowWaveform());

  toggle->trigger();
  QApplication::processEvents();
  EXPECT_EQ(window->size(), QSize(900, 600));
  EXPECT_GT(Slider()->width(), 476);  // the slider spans the wider window
  // The next window comes back at that size.
  window->resize(800, 500);
  window.reset();
  window = std::make_unique<CMainDlg>(prompt.Services(), std::make_unique<kt::FakePlayer>());
  window->show();
  EXPECT_EQ(window->size(), QSize(800, 500));
}

TEST_F(WaveformTest, ThePictureShowsTheClickAndTheSineWhereTheyAre) {
  OpenAndWait(ClickWav(dir));
  const auto model = Panel()->Job()->Model();
  ASSERT_TRUE(model);
  EXPECT_EQ(model->Shape().lengthSamples, 10u * kRate);
  const Picture picture = Grab();
  const int height = picture.image.height();
  EXPECT_GT(picture.Inked(At(4.0).x()), height / 5) << "the click spans the top half of its band";
  EXPECT_LE(picture.Inked(At(2.0).x()), 2) << "silence is a flat line";
  EXPECT_GT(picture.Inked(At(8.0).x()), height / 5) << "the sine shows";
}

// An MP3 with a LAME header frame plays without its delay and the decoder's
// 529 samples; the strip draws the decoder's timeline, so a mark at the
// file's sample s must be drawn where the decoder put sample s + delay + 529.
TEST_F(WaveformTest, MarksOnALameMp3LieWhereItsGaplessDecodePlaysThem) {
  const std::string mp3 = kt::LameEncode(dir, "Click.mp3", ClickWav(dir), {"-b", "192"});
  ASSERT_FALSE(mp3.empty());
  OpenAndWait(mp3);
  ASSERT_TRUE(ZoomToDetail(4 * kRate - 2000, 8000));  // about 1,100 samples of offset: tens of columns
  const Picture picture = Grab();
  int loudest = 0, loudestX = -1;
  for (int x = 4; x < picture.image.width() - 4; ++x)
    if (const int n = picture.Inked(x, true); n > loudest) loudest = n, loudestX = x;
  ASSERT_GT(loudest, picture.image.height() / 8);
  EXPECT_NEAR(loudestX, View()->XOfSample(4 * kRate), 4);
  EXPECT_NEAR(static_cast<double>(View()->SampleAtX(loudestX)), 4.0 * kRate, 60.0);
}

// Zoomed in past the model's 256-sample blocks, the strip reads the samples
// in view: the click is one column wide.
TEST_F(WaveformTest, DeepZoomReadsTheSamplesInView) {
  OpenAndWait(ClickWav(dir));
  const std::uint64_t click = 4 * kRate;
  ASSERT_TRUE(ZoomToDetail(click - 1000, 2000));
  const Picture picture = Grab();
  auto inked = [&](int x) { return picture.Inked(x, true); };
  const int x = View()->XOfSample(click);
  EXPECT_GT(std::max({inked(x - 1), inked(x), inked(x + 1)}), picture.image.height() / 5);
  // Beyond the click's own column the left band is flat (a 256-sample block
  // would have spread it over about sixty columns here).
  for (int dx : {-12, -6, 6, 12}) EXPECT_LE(inked(x + dx), 3) << dx;
}

TEST_F(WaveformTest, DragSelectsAndSaveWritesThatSpan) {
  OpenAndWait(kt::MakeWavFile(dir, "Ten.wav", 10.0));
  Drag(2.0, 5.0);
  const auto span = window->Selection().Selection();
  ASSERT_TRUE(span);
  EXPECT_NEAR(static_cast<double>(span->first) / kRate, 2.0, 0.05);
  EXPECT_NEAR(static_cast<double>(span->end) / kRate, 5.0, 0.05);
  // As START and END leave them: SAVE and CLEAR ready.
  EXPECT_TRUE(Enabled(CMainDlg::kSave));
  EXPECT_TRUE(Enabled(CMainDlg::kClear));
  EXPECT_FALSE(Enabled(CMainDlg::kEnd));
  EXPECT_TRUE(Slider()->SelectionDone());
  EXPECT_TRUE(Panel()->Readout()->text().contains(QStringLiteral("Start 0:00:0")));
  const std::string out = dir.File("dragged.wav");
  prompt.AnswerFile(QString::fromStdString(out));
  Click(CMainDlg::kSave);
  ASSERT_TRUE(QFileInfo::exists(QString::fromStdString(out)));
  // To the sample.
  EXPECT_EQ(DataBytes(out), (span->end - span->first) * 4);
  EXPECT_FALSE(window->Selection().Selection());
}

TEST(SetSelection, TypedTimesReadToTheSampleOrSayWhyNot) {
  const std::uint64_t length = 60 * kRate;
  const struct {
    const char* start;
    const char* end;
    std::uint64_t first, last;
    const char* problem;
  } cases[] = {
      {"1", "14.47", kRate, 638127, nullptr},  // 13.47 s, not 13 or 14
      {"0:01.5", "0:00:03.25", 66150, 143325, nullptr},
      {"59", "1:30", 59 * kRate, length, nullptr},  // the end is clipped to the audio
      {"abc", "2", 0, 0, "Start: "},
      {"1", "1:75", 0, 0, "End: "},
      {"3", "2", 0, 0, "The end must come after the start."},
      {"60", "61", 0, 0, "at or past the end of the audio (0:01:00.000)"},
  };
  for (const auto& c : cases) {
    const auto read =
        CSetSelectionDlg::Read(QString::fromLatin1(c.start), QString::fromLatin1(c.end), kRate, length);
    if (c.problem) {
      ASSERT_TRUE(std::holds_alternative<QString>(read)) << c.start;
      EXPECT_TRUE(std::get<QString>(read).contains(QString::fromLatin1(c.problem)))
          << std::get<QString>(read).toStdString();
    } else {
      ASSERT_TRUE(std::holds_alternative<CSetSelectionDlg::Span>(read))
          << c.start << " " << std::get<QString>(read).toStdString();
      EXPECT_EQ(std::get<CSetSelectionDlg::Span>(read).first, c.first) << c.start;
      EXPECT_EQ(std::get<CSetSelectionDlg::Span>(read).end, c.last) << c.end;
    }
  }
}

// Edit > Set Selection... as a user types in it: a wrong time keeps the
// dialog open with the reason; right times select, and SAVE writes them.
TEST_F(WaveformTest, SetSelectionTakesTypedTimesAndSaveWritesThemToTheSample) {
  OpenAndWait(kt::MakeWavFile(dir, "Twenty.wav", 20.0));
  QAction* set = window->Action(CMainDlg::kEditSetSelection);
  ASSERT_TRUE(set && set->isEnabled());
  QString shownProblem;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<CSetSelectionDlg*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->StartEdit()->setText(QStringLiteral("1.000"));
    dialog->EndEdit()->setText(QStringLiteral("0:14.4x"));
    dialog->accept();
    shownProblem = dialog->Problem()->text();
    dialog->EndEdit()->setText(QStringLiteral("0:14.470"));
    dialog->accept();
  });
  set->trigger();
  EXPECT_TRUE(shownProblem.startsWith(QStringLiteral("End: "))) << shownProblem.toStdString();
  const auto span = window->Selection().Selection();
  ASSERT_TRUE(span);
  EXPECT_EQ(span->first, kRate);
  EXPECT_EQ(span->end, 638127u);
  EXPECT_EQ(Panel()->Readout()->text(),
            QStringLiteral("Start 0:00:01.000   End 0:00:14.470   Length 0:00:13.470"));
  EXPECT_TRUE(Enabled(CMainDlg::kSave));
  const std::string out = dir.File("typed.wav");
  prompt.AnswerFile(QString::fromStdString(out));
  Click(CMainDlg::kSave);
  EXPECT_EQ(DataBytes(out), (638127u - kRate) * 4);
}

TEST_F(WaveformTest, AClickSeeksAndShiftArrowsNudgeTheDraggedMark) {
  OpenAndWait(kt::MakeWavFile(dir, "Ten.wav", 10.0));
  QTest::mouseClick(View(), Qt::LeftButton, Qt::NoModifier, At(7.0));
  EXPECT_NEAR(Slider()->ThumbPosition(), 700, 10);
  EXPECT_FALSE(window->Selection().Selection());
  Drag(1.0, 3.0);
  const std::uint64_t end = window->Selection().EndMark();
  QTest::keyClick(View(), Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(window->Selection().EndMark(), end + kRate / 100);
  QTest::keyClick(View(), Qt::Key_Left, Qt::ShiftModifier);
  QTest::keyClick(View(), Qt::Key_Left, Qt::ShiftModifier);
  EXPECT_EQ(window->Selection().EndMark(), end - kRate / 100);
}

TEST_F(WaveformTest, WheelZoomsAroundThePointerWithAScrollBar) {
  OpenAndWait(kt::MakeWavFile(dir, "Ten.wav", 10.0));
  const QPoint pointer = At(6.0);
  const std::uint64_t under = View()->SampleAtX(pointer.x());
  QWheelEvent wheel(pointer, View()->mapToGlobal(pointer), QPoint(), QPoint(0, 120 * 3), Qt::NoButton,
                    Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(View(), &wheel);
  EXPECT_EQ(View()->ViewSpan(), 10u * kRate / 8);
  EXPECT_NEAR(static_cast<double>(View()->SampleAtX(pointer.x())), static_cast<double>(under), kRate / 100.0);
  EXPECT_TRUE(Panel()->findChild<QScrollBar*>()->isVisible());
  View()->SetView(0, 0);
  EXPECT_FALSE(Panel()->findChild<QScrollBar*>()->isVisible());
}

TEST_F(WaveformTest, OpeningAnotherFileReplacesThePeaksAndClosingClearsThem) {
  Open(kt::MakeWavFile(dir, "Long.wav", 120.0));
  window->OnCloseFile();
  EXPECT_FALSE(Panel()->Busy());
  EXPECT_EQ(Panel()->Job(), nullptr);
  OpenAndWait(kt::MakeWavFile(dir, "Three.wav", 3.0));
  EXPECT_EQ(Panel()->Job()->Model()->Shape().lengthSamples, 3u * kRate);
}

TEST_F(WaveformTest, AFileItCannotDrawSaysSo) {
  Open(kt::MakeWav(dir, "Adpcm.wav", kt::ImaAdpcmSpec(505 * 40), std::vector<std::uint8_t>(256 * 40, 0)));
  ASSERT_NE(window->File(), nullptr);
  EXPECT_TRUE(View()->Message().contains(QStringLiteral("cannot be drawn")));
}

TEST_F(WaveformTest, AFourteenPointFontFits) {
  QFont large = QApplication::font();
  const QFont previous = large;
  large.setPointSize(14);
  QApplication::setFont(large);
  window = std::make_unique<CMainDlg>(prompt.Services(), std::make_unique<kt::FakePlayer>());
  window->show();
  OpenAndWait(kt::MakeWavFile(dir, "Ten.wav", 10.0));
  Drag(1.0, 3.0);
  QApplication::processEvents();
  for (QLabel* label : window->findChildren<QLabel*>()) {
    if (!label->isVisible()) continue;
    EXPECT_GE(label->width(), label->minimumSizeHint().width()) << label->text().toStdString();
    EXPECT_TRUE(window->rect().contains(QRect(label->mapTo(window.get(), QPoint()), label->size())))
        << label->text().toStdString();
  }
  EXPECT_GE(View()->height(), View()->minimumSizeHint().height());
  QApplication::setFont(previous);
}

}  // namespace
