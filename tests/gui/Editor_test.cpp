// The main window as an editor, driven through its widgets: resize then
// click on the strip, nudge keys with and without a drag, one length for one
// selection, undo chains, zoom, the ruler, Play Selection and its loop, and
// the menus' accelerators.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "core/wav/WaveFile.h"
#include "gui/MainWindowFixture.h"
#include "gui/SegmentsPanel.h"
#include "gui/SetSelectionDlg.h"
#include "gui/TimeRuler.h"
#include "gui/WaveformPanel.h"
#include "gui/WaveformView.h"
#include "support/gui/PaintCounter.h"

namespace {

constexpr std::uint32_t kRate = 44100;
using Marks = CSelectionModel::Marks;

class EditorTest : public kt::MainWindowTest {
 protected:
  void SetUp() override {
    showWaveform = true;
    MainWindowTest::SetUp();
  }
  CWaveformView* View() const { return window->Waveform()->View(); }
  void OpenAndWait(double seconds) {
    Open(kt::MakeWavFile(dir, "Edit.wav", seconds));
    ASSERT_NE(window->File(), nullptr);
    window->Waveform()->WaitForPeaks();
    QApplication::processEvents();
  }
  QPoint At(double seconds) const {
    return {View()->XOfSample(static_cast<std::uint64_t>(seconds * kRate)), View()->height() / 2};
  }
  void Move(const QPoint& to) {
    QMouseEvent move(QEvent::MouseMove, to, View()->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(View(), &move);
  }
  void Drag(double from, double to) {
    QTest::mousePress(View(), Qt::LeftButton, Qt::NoModifier, At(from));
    Move(At(to));
    QTest::mouseRelease(View(), Qt::LeftButton, Qt::NoModifier, At(to));
  }
  // The x in the strip of the slider's tick for a value.
  int SliderX(int value) const {
    return View()
        ->mapFrom(window.get(), Slider()->mapTo(window.get(), QPoint(Slider()->XOfValue(value), 0)))
        .x();
  }
  // Keys go where the window's focus is, as typing does; the window is
  // active again after the modal windows of a command, as for a person.
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    if (QApplication::activeWindow() != window.get()) {
      window->activateWindow();
      ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus && focus->window() == window.get() ? focus : window.get(),
                    static_cast<Qt::Key>(key), modifiers);
  }
  Marks Now() const { return window->Selection().GetMarks(); }
};

// After every resize the strip is drawn on the slider's axis, and a click at
// a pixel puts the thumb under that pixel, before and after the window has
// processed its events.
TEST_F(EditorTest, StripSliderAndClicksAgreeAfterEveryResize) {
  OpenAndWait(10.0);
  const QSize sizes[] = {{1400, 899}, {640, 400}, {1100, 500}, {900, 700}};
  for (const QSize& size : sizes) {
    window->resize(size);
    kt::PaintCounter::Settle(View());
    EXPECT_EQ(View()->DrawnAxis(), View()->CurrentAxis()) << size.width();
    for (const double fraction : {0.1, 0.5, 0.93}) {
      const auto [left, right] = View()->CurrentAxis();
      const int x = left + static_cast<int>(fraction * (right - left));
      QTest::mouseClick(View(), Qt::LeftButton, Qt::NoModifier, QPoint(x, View()->height() / 2));
      EXPECT_NEAR(SliderX(Slider()->ThumbPosition()), x, 1) << size.width() << " at " << fraction;
      EXPECT_NEAR(View()->XOfSample(window->Selection().Position()), x, 1);
    }
    EXPECT_EQ(View()->CurrentAxis(),
              std::make_pair(SliderX(Slider()->minimum()), SliderX(Slider()->maximum())));
    // The ruler's ticks sit over the slider's place for the same time.
    for (const CTimeRuler::Tick& tick : window->Waveform()->Ruler()->Ticks())
      EXPECT_NEAR(tick.x, SliderX(static_cast<int>(tick.ms * Slider()->RangeMax() / 10000)), 1) << tick.ms;
  }
  window->showMaximized();
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->isMaximized(); }));
  kt::PaintCounter::Settle(View());
  EXPECT_EQ(View()->DrawnAxis(), View()->CurrentAxis());
  EXPECT_EQ(View()->CurrentAxis().second, SliderX(Slider()->maximum()));
}

// Shift+arrows move the active mark by 10 ms, Ctrl+Shift by one pixel,
// Alt+Shift by one sample, wherever the focus is, and a nudge during a drag
// holds through the release.
TEST_F(EditorTest, NudgeKeysMoveTheActiveMarkAndTheNudgeSticks) {
  OpenAndWait(10.0);
  const struct {
    Qt::KeyboardModifiers modifiers;
    std::uint64_t step;  // 0: one pixel of the strip
  } cases[] = {
      {Qt::ShiftModifier, kRate / 100},
      {Qt::ShiftModifier | Qt::ControlModifier, 0},
      {Qt::ShiftModifier | Qt::AltModifier, 1},
  };
  for (const auto& c : cases) {
    const std::uint64_t step = c.step ? c.step : View()->SamplesPerPixel();
    // After a drag (the focus is on SAVE now): END moves.
    Drag(1.0, 3.0);
    const Marks dragged = Now();
    Key(Qt::Key_Right, c.modifiers);
    Key(Qt::Key_Right, c.modifiers);
    Key(Qt::Key_Left, c.modifiers);
    EXPECT_EQ(Now().end, dragged.end + step) << step;
    EXPECT_EQ(Now().start, dragged.start);
    // A drag to the left moves START.
    Drag(6.0, 4.0);
    const Marks leftwards = Now();
    Key(Qt::Key_Left, c.modifiers);
    EXPECT_EQ(Now().start, leftwards.start - step);
    EXPECT_EQ(Now().end, leftwards.end);
    // During a drag: the nudges ride on the pointer and the release keeps them.
    QTest::mousePress(View(), Qt::LeftButton, Qt::NoModifier, At(2.0));
    Move(At(5.0));
    const std::uint64_t pointer = Now().end;
    Key(Qt::Key_Right, c.modifiers);
    Key(Qt::Key_Right, c.modifiers);
    EXPECT_EQ(Now().end, pointer + 2 * step);
    QTest::mouseRelease(View(), Qt::LeftButton, Qt::NoModifier, At(5.0));
    EXPECT_EQ(Now().end, pointer + 2 * step) << "the release keeps the nudge";
    Key(Qt::Key_Left, c.modifiers);
    EXPECT_EQ(Now().end, pointer + step) << "and the keys still work after it";
  }
  // Without a mark the keys are the slider's, as always.
  Click(CMainDlg::kClear);
  const int thumb = Slider()->ThumbPosition();
  QTest::keyClick(Slider(), Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_NE(Slider()->ThumbPosition(), thumb);
}

// The "Selected :" label, the readout and SAVE's message give one length.
TEST_F(EditorTest, OneSelectionHasOneLengthEverywhere) {
  OpenAndWait(20.0);
  const struct {
    std::uint64_t first, end;
    const char* selected;
    const char* readout;
  } cases[] = {
      {kRate, kRate + 103528, "Selected :  2.35 sec", "Length 0:00:02.348"},
      {3 * kRate + 17, 16 * kRate + 4400, "Selected : 13.10 sec", "Length 0:00:13.099"},
      {0, 441, "Selected :  0.01 sec", "Length 0:00:00.010"},
  };
  int n = 0;
  for (const auto& c : cases) {
    window->SelectSamples(c.first, c.end);
    EXPECT_EQ(LabelText(CMainDlg::kSelection), QString::fromLatin1(c.selected));
    EXPECT_TRUE(window->Waveform()->Readout()->text().endsWith(QString::fromLatin1(c.readout)))
        << window->Waveform()->Readout()->text().toStdString();
    prompt.AnswerFile(QString::fromStdString(dir.File("piece" + std::to_string(++n) + ".wav")));
    Click(CMainDlg::kSave);
    ASSERT_FALSE(prompt.MessageTexts().isEmpty());
    EXPECT_TRUE(prompt.MessageTexts().back().contains(
        QString::fromLatin1(c.selected).simplified().section(QLatin1Char(' '), 2, 2)))
        << prompt.MessageTexts().back().toStdString();
  }
}

// Ctrl+Z walks back through every change of the marks (buttons, drags,
// nudges, typed times, CLEAR) and Ctrl+Shift+Z forward again, with the
// buttons as each state leaves them; more than a hundred steps are kept.
TEST_F(EditorTest, UndoAndRedoWalkTheChangesOfTheMarks) {
  OpenAndWait(10.0);
  EXPECT_FALSE(window->Action(CMainDlg::kEditUndo)->isEnabled());
  std::vector<Marks> states{Now()};
  const std::function<void()> changes[] = {
      [&] { Click(CMainDlg::kStart); },
      [&] {
        DragThumbTo(400);
        Click(CMainDlg::kEnd);
      },
      [&] { Key(Qt::Key_Right, Qt::ShiftModifier); },
      [&] { Drag(5.0, 7.5); },
      [&] { Key(Qt::Key_Left, Qt::ShiftModifier | Qt::AltModifier); },
      [&] { Click(CMainDlg::kClear); },
  };
  for (const auto& change : changes) {
    change();
    ASSERT_NE(Now(), states.back());
    states.push_back(Now());
  }
  for (std::size_t i = states.size() - 1; i-- > 0;) {
    Key(Qt::Key_Z, Qt::ControlModifier);
    const Marks now = Now();
    EXPECT_EQ(now.marking, states[i].marking) << i;
    if (now.marking != CSelectionModel::Marking::None) {
      EXPECT_EQ(now.start, states[i].start) << i;
    }
    if (now.marking == CSelectionModel::Marking::Done) {
      EXPECT_EQ(now.end, states[i].end) << i;
    }
    EXPECT_EQ(Enabled(CMainDlg::kStart), now.marking == CSelectionModel::Marking::None) << i;
    EXPECT_EQ(Enabled(CMainDlg::kEnd), now.marking == CSelectionModel::Marking::Started) << i;
    EXPECT_EQ(Enabled(CMainDlg::kSave), now.marking == CSelectionModel::Marking::Done) << i;
  }
  EXPECT_FALSE(window->Action(CMainDlg::kEditUndo)->isEnabled());
  for (std::size_t i = 1; i < states.size(); ++i) {
    Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Now().marking, states[i].marking) << i;
    if (Now().marking == CSelectionModel::Marking::Done) {
      EXPECT_EQ(Now().end, states[i].end) << i;
    }
  }
  // A long chain of nudges: 150 steps, 120 of them undone.
  Drag(1.0, 2.0);
  const std::uint64_t end = Now().end;
  for (int i = 0; i < 150; ++i) Key(Qt::Key_Right, Qt::ShiftModifier | Qt::AltModifier);
  ASSERT_EQ(Now().end, end + 150);
  for (int i = 0; i < 120; ++i) Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Now().end, end + 30);
}

// View > Zoom In, Out, Fit and to Selection by their shortcuts; the ruler's
// labels get finer as the view narrows.
TEST_F(EditorTest, ZoomEntriesAndTheRulerFollowTheView) {
  OpenAndWait(60.0);
  CTimeRuler* ruler = window->Waveform()->Ruler();
  ASSERT_TRUE(ruler->isVisible());
  const std::uint64_t wholeStep = ruler->StepMs();
  ASSERT_GE(ruler->Ticks().size(), 2u);
  Key(Qt::Key_Equal, Qt::ControlModifier);
  EXPECT_EQ(View()->ViewSpan(), 30u * kRate);
  Key(Qt::Key_Equal, Qt::ControlModifier);
  Key(Qt::Key_Minus, Qt::ControlModifier);
  EXPECT_EQ(View()->ViewSpan(), 30u * kRate);
  Key(Qt::Key_0, Qt::ControlModifier);
  EXPECT_EQ(View()->ViewSpan(), 0u);
  window->SelectSamples(20 * kRate, 20 * kRate + kRate / 2);
  Key(Qt::Key_E, Qt::ControlModifier);
  EXPECT_LE(View()->XOfSample(20 * kRate), View()->XOfSample(20 * kRate + kRate / 2));
  EXPECT_GE(View()->XOfSample(20 * kRate), View()->CurrentAxis().first);
  EXPECT_LE(View()->XOfSample(20 * kRate + kRate / 2), View()->CurrentAxis().second);
  EXPECT_LT(View()->ViewSpan(), kRate);
  EXPECT_LT(ruler->StepMs(), wholeStep);
  for (const CTimeRuler::Tick& tick : ruler->Ticks()) {
    EXPECT_EQ(tick.x, View()->XOfSample(tick.ms * kRate / 1000));
    EXPECT_TRUE(tick.text.startsWith(QStringLiteral("0:20."))) << tick.text.toStdString();
  }
}

TEST(RulerText, ShowsAsManyDecimalsAsTheStepNeeds) {
  const struct {
    std::uint64_t ms, step;
    const char* text;
  } cases[] = {
      {0, 10000, "0:00"},    {75000, 5000, "1:15"}, {3723000, 60000, "1:02:03"},
      {1500, 500, "0:01.5"}, {1520, 20, "0:01.52"}, {1523, 1, "0:01.523"},
  };
  for (const auto& c : cases) EXPECT_EQ(RulerText(c.ms, c.step), QString::fromLatin1(c.text)) << c.ms;
}

// Play > Play Selection plays from START and pauses at END; with Loop on it
// starts over at START instead.
TEST_F(EditorTest, PlaySelectionStopsAtTheEndOrLoops) {
  OpenAndWait(10.0);
  QAction* play = window->Action(CMainDlg::kPlaySelection);
  EXPECT_FALSE(play->isEnabled());
  window->SelectSamples(2 * kRate, 5 * kRate);
  ASSERT_TRUE(play->isEnabled());
  Key(Qt::Key_P, Qt::ControlModifier);
  EXPECT_TRUE(player->calls.contains(QStringLiteral("SetCurrentPosition:2.000")))
      << player->calls.join(QLatin1Char(' ')).toStdString();
  EXPECT_EQ(window->PlayingState(), 1);
  player->position = 4.0;
  window->OnTimer();
  EXPECT_EQ(window->PlayingState(), 1);
  player->position = 5.05;
  window->OnTimer();
  EXPECT_EQ(window->PlayingState(), 2) << "paused at END";
  EXPECT_NEAR(Slider()->GetPositionSeconds(), 5.0, 0.02);

  Key(Qt::Key_L, Qt::ControlModifier);
  ASSERT_TRUE(window->Action(CMainDlg::kPlayLoop)->isChecked());
  Key(Qt::Key_P, Qt::ControlModifier);
  for (int round = 0; round < 3; ++round) {
    player->position = 5.1;
    window->OnTimer();
    EXPECT_EQ(window->PlayingState(), 1) << round;
    EXPECT_DOUBLE_EQ(player->position, 2.0) << round;
  }
  // STOP ends it; PLAY afterwards plays on past END.
  Click(CMainDlg::kStop);
  Click(CMainDlg::kPlay);
  player->position = 6.0;
  window->OnTimer();
  EXPECT_EQ(window->PlayingState(), 1);
}

// In the menu bar and in every menu no two entries share an accelerator,
// and no shortcut is taken twice.
TEST_F(EditorTest, EveryMenuHasUniqueAcceleratorsAndShortcuts) {
  auto accelerator = [](const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
      if (text[i] != QLatin1Char('&')) continue;
      if (text[i + 1] != QLatin1Char('&')) return text[i + 1].toLower();
      ++i;
    }
    return QChar();
  };
  std::vector<QWidget*> menus{window->findChild<QMenuBar*>()};
  for (QMenu* menu : window->findChildren<QMenu*>()) menus.push_back(menu);
  int checked = 0;
  for (QWidget* menu : menus) {
    std::map<QChar, QString> taken;
    for (QAction* action : menu->actions()) {
      if (action->isSeparator() || action->text().isEmpty()) continue;
      const QChar key = accelerator(action->text());
      if (key.isNull()) continue;
      const auto [it, fresh] = taken.emplace(key, action->text());
      EXPECT_TRUE(fresh) << action->text().toStdString() << " and " << it->second.toStdString();
      ++checked;
    }
  }
  EXPECT_GT(checked, 25);
  std::map<QString, QString> shortcuts;
  for (QAction* action : window->findChildren<QAction*>())
    for (const QKeySequence& keys : action->shortcuts()) {
      const auto [it, fresh] = shortcuts.emplace(keys.toString(), action->objectName());
      EXPECT_TRUE(fresh) << keys.toString().toStdString() << ": " << action->objectName().toStdString()
                         << " and " << it->second.toStdString();
    }
}

// Set Selection: a wrong time keeps the dialog with the reason in full and
// the keys on the field to mend.
TEST_F(EditorTest, SetSelectionShowsItsReasonWholeAndFocusesTheWrongField) {
  OpenAndWait(20.0);
  const struct {
    const char* start;
    const char* end;
    bool startWrong;
  } cases[] = {
      {"1:7x", "2", true},
      {"25", "26", true},
      {"1", "0:0x", false},
      {"3", "2", false},
  };
  int checked = 0;
  for (const auto& c : cases) {
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<CSetSelectionDlg*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      dialog->StartEdit()->setText(QString::fromLatin1(c.start));
      dialog->EndEdit()->setText(QString::fromLatin1(c.end));
      QTest::keyClick(dialog->EndEdit(), Qt::Key_Return);
      EXPECT_TRUE(dialog->isVisible()) << c.start;
      EXPECT_EQ(dialog->focusWidget(), c.startWrong ? dialog->StartEdit() : dialog->EndEdit()) << c.start;
      QLabel* problem = dialog->Problem();
      EXPECT_GE(problem->height(), problem->heightForWidth(problem->width())) << c.start;
      EXPECT_LE(problem->mapTo(dialog, QPoint(0, problem->height())).y(), dialog->height()) << c.start;
      ++checked;
      dialog->reject();
    });
    window->Action(CMainDlg::kEditSetSelection)->trigger();
  }
  EXPECT_EQ(checked, 4);
}

// The size the person gives the window stays when another file opens.
TEST_F(EditorTest, OpeningAnotherFileKeepsTheWindowSize) {
  OpenAndWait(3.0);
  window->resize(1400, 899);
  QApplication::processEvents();
  prompt.Answer(PromptAnswer::Yes);
  window->OpenRecent(QString::fromStdString(dir.File("Edit.wav")));
  ASSERT_NE(window->File(), nullptr);
  EXPECT_EQ(window->size(), QSize(1400, 899));
}

// View > Segments: the selection added as named segments, renamed, moved,
// removed, all undone and redone; the strip keeps the slider's axis beside
// the list.
TEST_F(EditorTest, SegmentsAreListedReorderedRenamedRemovedAndUndone) {
  OpenAndWait(10.0);
  EXPECT_FALSE(window->Segments()->isVisible()) << "nothing changes for who does not ask for it";
  window->Action(CMainDlg::kViewSegments)->trigger();
  ASSERT_TRUE(window->Segments()->isVisible());
  kt::PaintCounter::Settle(View());
  EXPECT_EQ(View()->CurrentAxis(),
            std::make_pair(SliderX(Slider()->minimum()), SliderX(Slider()->maximum())));
  EXPECT_LT(View()->CurrentAxis().second, View()->width());
  auto button = [&](const char* name) { return kt::Control<QPushButton>(window->Segments(), name); };
  EXPECT_FALSE(button(CSegmentsPanel::kAdd)->isEnabled());
  const std::pair<double, double> spans[] = {{1.0, 2.0}, {4.0, 6.5}, {7.0, 8.0}};
  for (const auto& [from, to] : spans) {
    Drag(from, to);
    button(CSegmentsPanel::kAdd)->click();
  }
  auto names = [&] {
    QStringList texts;
    for (const split::Segment& seg : window->SegmentList().Items()) texts << QString::fromStdString(seg.name);
    return texts;
  };
  ASSERT_EQ(names(), (QStringList{"Segment 1", "Segment 2", "Segment 3"}));
  const std::vector<split::Segment> added = window->SegmentList().Items();
  QListWidget* list = window->Segments()->List();
  list->item(1)->setText(QStringLiteral("Chorus"));
  list->setCurrentRow(2);
  EXPECT_EQ(Now().start, added[2].first) << "a chosen segment is the selection";
  button(CSegmentsPanel::kUp)->click();
  EXPECT_EQ(names(), (QStringList{"Segment 1", "Segment 3", "Chorus"}));
  list->setCurrentRow(0);
  button(CSegmentsPanel::kRemove)->click();
  const QStringList edited{"Segment 3", "Chorus"};
  EXPECT_EQ(names(), edited);
  EXPECT_EQ(list->count(), 2);
  // Undo back to the three as added (choosing rows changed the marks: steps too).
  for (int i = 0; i < 20 && window->SegmentList().Items() != added; ++i) Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(window->SegmentList().Items(), added);
  EXPECT_EQ(list->count(), 3);
  for (int i = 0; i < 20 && names() != edited; ++i) Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(names(), edited);
  EXPECT_EQ(list->item(1)->text(), QStringLiteral("Chorus"));
}

// Write All writes every segment to the sample; a labels file and a cue
// sheet exported and imported again give the segments back.
TEST_F(EditorTest, SegmentsAreWrittenExactAndComeBackFromTheirFiles) {
  OpenAndWait(10.0);
  window->Action(CMainDlg::kViewSegments)->trigger();
  auto button = [&](const char* name) { return kt::Control<QPushButton>(window->Segments(), name); };
  const std::pair<std::uint64_t, std::uint64_t> spans[] = {{kRate + 17, 2 * kRate + 5},
                                                           {5 * kRate, 6 * kRate + 999}};
  for (const auto& [first, end] : spans) {
    window->SelectSamples(first, end);
    ASSERT_TRUE(button(CSegmentsPanel::kAdd)->isEnabled());
    button(CSegmentsPanel::kAdd)->click();
  }
  const std::vector<split::Segment> added = window->SegmentList().Items();
  ASSERT_EQ(added.size(), 2u);
  kt::TempDir out;
  prompt.AnswerFile(QString::fromStdString(out.Path()));
  button(CSegmentsPanel::kWriteAll)->click();
  EXPECT_EQ(prompt.MessageTexts().back(), QStringLiteral("2 pieces written."));
  for (std::size_t i = 0; i < added.size(); ++i) {
    const std::string piece = out.File(QStringLiteral("%1 - %2.wav")
                                           .arg(i + 1, 2, 10, QLatin1Char('0'))
                                           .arg(QString::fromStdString(added[i].name))
                                           .toStdString());
    const auto bytes = kt::ReadAll(piece);
    ASSERT_GE(bytes.size(), 44u) << piece;
    EXPECT_EQ(CWaveFile(piece).GetDataSize(), (added[i].end - added[i].first) * 4) << piece;
  }
  const struct {
    const char* file;
    std::uint64_t tolerance;  // a cue sheet counts 1/75 s and keeps no ends
  } forms[] = {{"segments.txt", 0}, {"segments.cue", kRate / 75}};
  for (const auto& form : forms) {
    const QString path = QString::fromStdString(out.File(form.file));
    prompt.AnswerFile(path);
    button(CSegmentsPanel::kExport)->click();
    prompt.AnswerFile(path);
    button(CSegmentsPanel::kImport)->click();
    const std::vector<split::Segment>& now = window->SegmentList().Items();
    ASSERT_EQ(now.size(), 4u) << form.file;
    for (std::size_t i = 0; i < 2; ++i) {
      EXPECT_EQ(now[2 + i].name, added[i].name) << form.file;
      EXPECT_NEAR(static_cast<double>(now[2 + i].first), static_cast<double>(added[i].first),
                  static_cast<double>(form.tolerance))
          << form.file;
    }
    if (form.tolerance == 0) {
      EXPECT_EQ(now[3].end, added[1].end);
    }
    Key(Qt::Key_Z, Qt::ControlModifier);  // the import is one step
    EXPECT_EQ(window->SegmentList().Items(), added);
  }
}

}  // namespace
