// START, END, SAVE and CLEAR on the position slider, with the resulting
// files on disk, and the slider's arithmetic and labels.

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <functional>

#include "core/SelectionModel.h"
#include "gui/MainWindowFixture.h"
#include "gui/PositionSlider.h"

namespace {

class SelectionTest : public kt::MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    Open(kt::MakeWavFile(dir, "Ten.wav", 10.0));
    ASSERT_NE(window->File(), nullptr);
  }
  // Bytes of audio in a saved WAV file (16-bit stereo 44100 Hz, 44-byte header).
  std::uint32_t DataBytes(const std::string& path) {
    const auto bytes = kt::ReadAll(path);
    EXPECT_GE(bytes.size(), 44u);
    return bytes.size() < 44 ? 0 : kt::GetLe32(bytes, 40);
  }
  void MarkSelection(int from, int to) {
    Slider()->SetPosition(from / 1000.0);
    Click(CMainDlg::kStart);
    DragThumbTo(to);
    Click(CMainDlg::kEnd);
  }
};

TEST_F(SelectionTest, StartDragEndShowsTheSelectionAndSaveWritesWholeSeconds) {
  Slider()->SetPosition(0.1);
  Click(CMainDlg::kStart);
  EXPECT_FALSE(Enabled(CMainDlg::kStart));
  EXPECT_TRUE(Enabled(CMainDlg::kEnd));
  EXPECT_TRUE(Enabled(CMainDlg::kClear));
  EXPECT_TRUE(Slider()->Ticks().count(100));
  DragThumbTo(350);
  EXPECT_TRUE(Slider()->Ticks().count(350));
  EXPECT_EQ(LabelText(CMainDlg::kSelection), QStringLiteral("Selected :  2.50 sec"));
  Click(CMainDlg::kEnd);
  EXPECT_FALSE(Enabled(CMainDlg::kEnd));
  EXPECT_TRUE(Enabled(CMainDlg::kSave));
  double start = 0, end = 0;
  ASSERT_TRUE(Slider()->GetSelection(start, end));
  EXPECT_DOUBLE_EQ(start, 1.0);
  EXPECT_DOUBLE_EQ(end, 3.5);

  const std::string out = dir.File("part.wav");
  prompt.AnswerFile(QString::fromStdString(out));
  Click(CMainDlg::kSave);
  ASSERT_TRUE(QFileInfo::exists(QString::fromStdString(out)));
  EXPECT_EQ(DataBytes(out), 2u * 176400u);  // seconds 1 to 3
  const kt::PromptQuestion& save = prompt.questions.front();
  EXPECT_EQ(save.kind, kt::PromptQuestion::Kind::SaveFile);
  EXPECT_EQ(save.request.filter, QStringLiteral("WAV files (*.wav)|*.wav|All files (*.*)|*.*||"));
  EXPECT_EQ(save.request.defaultExtension, QStringLiteral("wav"));
  EXPECT_TRUE(save.request.overwritePrompt);  // never replaces another file unasked
  // After saving: selection gone, START again.
  EXPECT_TRUE(Enabled(CMainDlg::kStart));
  for (const char* name : {CMainDlg::kEnd, CMainDlg::kSave, CMainDlg::kClear})
    EXPECT_FALSE(Enabled(name)) << name;
  EXPECT_FALSE(Slider()->SelectionDone());
  EXPECT_EQ(LabelText(CMainDlg::kSelection), QStringLiteral("Selected :  0.00 sec"));
}

TEST_F(SelectionTest, ThumbLeftOfTheStartShowsImproperSelection) {
  Slider()->SetPosition(0.5);
  Click(CMainDlg::kStart);
  DragThumbTo(200);
  EXPECT_EQ(LabelText(CMainDlg::kSelection), QStringLiteral("Improper selection"));
}

TEST_F(SelectionTest, ASelectionMarkedRightToLeftIsSavedBetweenItsMarks) {
  MarkSelection(700, 200);
  EXPECT_EQ(LabelText(CMainDlg::kSelection), QStringLiteral("Improper selection"));
  const std::string out = dir.File("backwards.wav");
  prompt.AnswerFile(QString::fromStdString(out));
  Click(CMainDlg::kSave);
  EXPECT_EQ(DataBytes(out), 5u * 176400u);  // seconds 2 to 7
}

TEST_F(SelectionTest, EndWithoutMovingTheThumbAsksForASelection) {
  Slider()->SetPosition(0.3);
  Click(CMainDlg::kStart);
  Click(CMainDlg::kEnd);
  ASSERT_EQ(prompt.questions.size(), 1u);
  EXPECT_EQ(prompt.questions[0].text,
            QStringLiteral("Please make a selection by dragging the slider thumb."));
  EXPECT_EQ(prompt.questions[0].caption, QStringLiteral("Error"));
  EXPECT_EQ(prompt.questions[0].icon, MessageIcon::Warning);
  EXPECT_TRUE(Enabled(CMainDlg::kEnd));
  EXPECT_FALSE(Enabled(CMainDlg::kSave));
  EXPECT_TRUE(Slider()->Selecting());
}

TEST_F(SelectionTest, PlaybackTicksExtendTheSelection) {
  Click(CMainDlg::kStart);
  Click(CMainDlg::kPlay);
  player->position = 4.0;
  window->OnTimer();
  EXPECT_EQ(LabelText(CMainDlg::kSelection), QStringLiteral("Selected :  4.00 sec"));
  Click(CMainDlg::kEnd);
  EXPECT_TRUE(Enabled(CMainDlg::kSave));
  // SAVE pauses playback first.
  prompt.AnswerFile(QString());
  Click(CMainDlg::kSave);
  EXPECT_EQ(window->PlayingState(), 2);
}

TEST_F(SelectionTest, CancelledSaveKeepsTheSelection) {
  MarkSelection(100, 300);
  prompt.AnswerFile(QString());
  Click(CMainDlg::kSave);
  EXPECT_TRUE(Slider()->SelectionDone());
  EXPECT_TRUE(Enabled(CMainDlg::kSave));
}

TEST_F(SelectionTest, FailedSaveReportsAndStillClearsTheSelection) {
  MarkSelection(100, 300);
  prompt.AnswerFile(QString::fromStdString(dir.File("no-such-folder/part.wav")));
  Click(CMainDlg::kSave);
  EXPECT_TRUE(prompt.MessageTexts().contains(QStringLiteral("Cannot create output file.")));
  EXPECT_FALSE(Slider()->SelectionDone());
  EXPECT_TRUE(Enabled(CMainDlg::kStart));
}

TEST_F(SelectionTest, ClearResetsMarksAndButtons) {
  Slider()->SetPosition(0.4);
  Click(CMainDlg::kStart);
  DragThumbTo(600);
  Click(CMainDlg::kClear);
  EXPECT_TRUE(Enabled(CMainDlg::kStart));
  for (const char* name : {CMainDlg::kEnd, CMainDlg::kSave, CMainDlg::kClear})
    EXPECT_FALSE(Enabled(name)) << name;
  EXPECT_FALSE(Slider()->Selecting());
  EXPECT_EQ(Slider()->SelectionRangeStart(), Slider()->SelectionRangeEnd());
  EXPECT_EQ(Slider()->Ticks(), (std::set<int>{1, 101, 201, 301, 401, 501, 601, 701, 801, 901}));
}

TEST_F(SelectionTest, ClickingTheElapsedLabelSwitchesToRemainingAndBack) {
  Slider()->SetPosition(0.25);
  auto* elapsed = kt::Control<QLabel>(window.get(), CMainDlg::kElapsed);
  QMouseEvent click(QEvent::MouseButtonRelease, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(elapsed, &click);
  EXPECT_EQ(elapsed->text(), QStringLiteral("Remaining :  7.50 sec"));
  QApplication::sendEvent(elapsed, &click);
  EXPECT_EQ(elapsed->text(), QStringLiteral("Elapsed :  2.50 sec"));
}

TEST_F(SelectionTest, TheSliderShowsTheWindowsSelectionModel) {
  MarkSelection(200, 600);
  const CSelectionModel& marks = window->Selection();
  EXPECT_EQ(marks.GetMarking(), CSelectionModel::Marking::Done);
  // 10 s at 44100 Hz over 1000 positions: 441 samples a position.
  EXPECT_EQ(marks.StartMark(), 200u * 441u);
  EXPECT_EQ(marks.EndMark(), 600u * 441u);
  EXPECT_EQ(Slider()->SelStart(), 200);
  EXPECT_EQ(Slider()->SelEnd(), 600);
  // A selection made to the sample (a drag on the waveform, typed times)
  // changes the model; the slider shows it.
  window->SelectSamples(3 * 44100 + 17, 5 * 44100);
  EXPECT_EQ(marks.StartMark(), 3u * 44100u + 17u);
  EXPECT_EQ(Slider()->SelectionRangeStart(), 300);
  EXPECT_EQ(Slider()->SelectionRangeEnd(), 500);
  EXPECT_EQ(LabelText(CMainDlg::kSelection), QStringLiteral("Selected :  2.00 sec"));
}

// What the slider reports and draws is the model it is given.
TEST(PositionSlider, MarksAreTheModels) {
  CSelectionModel model;
  model.SetStream(1000, 10000);  // 10 s, 10 samples a position over 1000
  CPositionSlider slider;
  QLabel label;
  slider.SetRange(0, 1000, true);
  slider.SetLength(10.0);
  slider.SetSelectionLabel(&label);
  slider.SetSelectionModel(model);
  slider.SetPosition(0.45);
  struct Case {
    const char* what;
    std::function<void(CSelectionModel&)> change;
    bool selecting, done;
    int bandStart, bandEnd;
    QString label;
  };
  const Case cases[] = {
      {"nothing marked", [](CSelectionModel& m) { m.Clear(); }, false, false, 0, 0,
       QStringLiteral("Selected :  0.00 sec")},
      {"START only: the band runs to the thumb", [](CSelectionModel& m) { m.Start(2000); }, true, false, 200,
       450, QStringLiteral("Selected :  2.50 sec")},
      {"START right of the thumb", [](CSelectionModel& m) { m.Start(7000); }, true, false, 700, 450,
       QStringLiteral("Improper selection")},
      {"START and END", [](CSelectionModel& m) { m.End(9000); }, false, true, 700, 900,
       QStringLiteral("Selected :  2.00 sec")},
      {"marked right to left", [](CSelectionModel& m) { m.End(1000); }, false, true, 700, 100,
       QStringLiteral("Improper selection")},
      {"exact marks fall in their positions",
       [](CSelectionModel& m) {
         m.Select(1234, 5678);
         m.SetExact(true);
       },
       false, true, 123, 567, QStringLiteral("Selected :  4.44 sec")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.change(model);
    slider.UpdateLabels();
    EXPECT_EQ(slider.Selecting(), c.selecting);
    EXPECT_EQ(slider.SelectionDone(), c.done);
    EXPECT_EQ(slider.SelectionRangeStart(), c.bandStart);
    EXPECT_EQ(slider.SelectionRangeEnd(), c.bandEnd);
    EXPECT_EQ(label.text(), c.label);
    if (c.selecting || c.done) {
      EXPECT_TRUE(slider.Ticks().count(c.bandStart));
      EXPECT_TRUE(slider.Ticks().count(c.bandEnd));
    }
  }
  double start = 0, end = 0;
  ASSERT_TRUE(slider.GetSelection(start, end));
  EXPECT_DOUBLE_EQ(start, 1.23);
  EXPECT_DOUBLE_EQ(end, 5.67);
  // And the slider's own marking lands in the model.
  slider.ClearSelection();
  EXPECT_EQ(model.GetMarking(), CSelectionModel::Marking::None);
  slider.StartSelection();
  slider.SetPosition(0.8);
  slider.EndSelection();
  EXPECT_EQ(model.StartMark(), 4500u);
  EXPECT_EQ(model.EndMark(), 8000u);
  EXPECT_FALSE(model.Exact());
}

TEST(PositionSlider, ASelectionInTheModelIsDrawnAsOneMarkedOnTheSlider) {
  const auto picture = [](const std::function<void(CPositionSlider&, CSelectionModel&)>& mark) {
    CSelectionModel model;
    model.SetStream(44100, 441000);
    CPositionSlider slider;
    slider.SetRange(0, 1000, true);
    slider.SetTicks();
    slider.setFixedSize(400, 26);
    slider.SetSelectionModel(model);
    slider.SetPosition(0.3);
    mark(slider, model);
    return slider.grab().toImage();
  };
  const QImage byModel = picture([](CPositionSlider&, CSelectionModel& m) {
    m.Start(250 * 441);
    m.End(700 * 441);
  });
  const QImage bySlider = picture([](CPositionSlider& s, CSelectionModel&) { s.SetMarks(250, 700); });
  const QImage none = picture([](CPositionSlider&, CSelectionModel&) {});
  EXPECT_EQ(byModel, bySlider);
  EXPECT_NE(byModel, none);
}

// The slider's own arithmetic, without a window.
TEST(PositionSlider, RangeTicksAndPositions) {
  CPositionSlider slider;
  slider.SetRange(0, 50, true);  // raised to 100
  EXPECT_EQ(slider.RangeMax(), 100u);
  EXPECT_EQ(slider.pageStep(), 1);
  slider.SetTicks();
  EXPECT_EQ(slider.Ticks(), (std::set<int>{1, 11, 21, 31, 41, 51, 61, 71, 81, 91}));
  slider.SetRange(0, 1005, true);
  slider.ResetTicks();
  EXPECT_EQ(*slider.Ticks().rbegin(), 1001);  // s = 100: 1, 101, ..., 1001 stays below 1005
  EXPECT_EQ(slider.Ticks().size(), 11u);
  slider.SetLength(20.0);
  slider.SetPosition(0.5004);
  EXPECT_EQ(slider.ThumbPosition(), 502);  // 1005 x 0.5004 = 502.9, truncated
  slider.SetPosition(1.7);
  EXPECT_EQ(slider.ThumbPosition(), 1005);
  slider.SetPosition(-0.2);
  EXPECT_EQ(slider.ThumbPosition(), 0);
  EXPECT_DOUBLE_EQ(slider.GetPositionSeconds(), 0.0);
  double s = 0, e = 0;
  EXPECT_FALSE(slider.GetSelection(s, e));
}

}  // namespace
