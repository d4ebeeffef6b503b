// The position, marks and play state in samples, without any window.
#include "core/SelectionModel.h"

#include <gtest/gtest.h>

namespace {

TEST(SelectionModel, MarksGiveTheSpanBetweenThemInEitherOrder) {
  CSelectionModel model;
  model.SetStream(44100, 441000);
  EXPECT_FALSE(model.Selection());
  model.SetPosition(1000);
  model.Start(model.Position());
  EXPECT_EQ(model.GetMarking(), CSelectionModel::Marking::Started);
  EXPECT_FALSE(model.Selection()) << "START alone at the position selects nothing";
  model.SetPosition(500);  // marking leftwards, as the slider allows
  ASSERT_TRUE(model.Selection());
  EXPECT_EQ(model.Selection()->first, 500u);
  EXPECT_EQ(model.Selection()->end, 1000u);
  model.End(model.Position());
  model.SetPosition(9999);  // the position no longer moves a done selection
  EXPECT_EQ(model.Selection()->first, 500u);
  EXPECT_EQ(model.Selection()->end, 1000u);
  model.Select(900000, 20);  // past the end: clamped
  EXPECT_EQ(model.Selection()->first, 20u);
  EXPECT_EQ(model.Selection()->end, 441000u);
  model.Clear();
  EXPECT_FALSE(model.Selection());
  EXPECT_EQ(model.GetMarking(), CSelectionModel::Marking::None);
}

TEST(SelectionModel, SecondsAndSamplesAndNudges) {
  CSelectionModel model;
  model.SetStream(48000, 48000 * 60);
  const struct {
    double seconds;
    std::uint64_t sample;
  } cases[] = {{0.0, 0}, {-1.0, 0}, {13.47, 646560}, {0.0000104, 0}, {0.0000105, 1}, {61.0, 48000 * 60}};
  for (const auto& c : cases) EXPECT_EQ(model.SampleAt(c.seconds), c.sample) << c.seconds;
  EXPECT_DOUBLE_EQ(model.Seconds(646560), 13.47);
  model.Select(480, 96000);
  model.Nudge(true, 10);
  model.Nudge(false, -10);
  EXPECT_EQ(model.StartMark(), 0u);
  EXPECT_EQ(model.EndMark(), 96480u);
  model.Nudge(false, -10);  // never before the start
  EXPECT_EQ(model.StartMark(), 0u);
  EXPECT_TRUE(model.Exact());
  model.Select(48000 * 60 - 10, 48000 * 60);
  model.Nudge(true, 10);  // never past the end
  EXPECT_EQ(model.EndMark(), 48000u * 60);
}

TEST(SelectionModel, ANewStreamClearsEverything) {
  CSelectionModel model;
  model.SetStream(8000, 8000);
  model.Select(1, 2);
  model.SetPlay(CSelectionModel::Play::Playing);
  model.SetPosition(5);
  model.SetStream(44100, 10);
  EXPECT_FALSE(model.Selection());
  EXPECT_EQ(model.Position(), 0u);
  EXPECT_EQ(model.GetPlay(), CSelectionModel::Play::Stopped);
  EXPECT_EQ(model.Length(), 10u);
}

}  // namespace
