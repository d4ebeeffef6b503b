// The Batch Convert window driven through its buttons on the offscreen
// platform: a real run over generated WAV and MP3 files, stopping while a
// conversion waits at a known step, Change Output's refused characters, and
// closing the main window during a run. Outcomes, log bytes and summary
// texts are the engine test's.
#include "gui/batch/BatchConvertDlg.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <future>

#include "gui/batch/BatchConvertThread.h"
#include "core/batch/BatchLog.h"
#include "gui/batch/ChangeOutputDlg.h"
#include "gui/batch/listctrl/XListCtrl.h"
#include "support/Mp3Builder.h"
#include "support/WaveExpect.h"
#include "gui/FilterEdit.h"
#include "gui/MainWindowFixture.h"

namespace fs = std::filesystem;
using W = CBatchConvertDlg;

namespace {

// Files, the prompt and the log folder of one test. The worker can be held
// at every file step until OpenGate(), so the test acts while a conversion
// is known to be in the middle of its file.
class BatchFiles {
 public:
  BatchFiles() {
    fs::create_directories(folder);
    qputenv("KESTRUNE_STATE_DIR", QByteArray::fromStdString(dir.File("state")));
  }
  ~BatchFiles() { qunsetenv("KESTRUNE_STATE_DIR"); }

  // Stereo 22050 Hz.
  std::string Wav(const std::string& name, std::uint32_t seconds = 1) {
    return kt::PatternWav(dir, "Upper Case Music/" + name, seconds);
  }
  void Add(W& window, const std::vector<std::string>& paths) {
    QStringList list;
    for (const auto& p : paths) list << QString::fromStdString(p);
    prompt.AnswerFiles(list);
    Button(window, W::IDC_ADD_FILES)->click();
  }
  static QAbstractButton* Button(W& window, int id) { return kt::Control<QAbstractButton>(&window, id); }
  // Clicks Convert All and waits until the first file shows progress.
  void ConvertAllAndHold(W& window) {
    window.SetStepObserver([opened = gate_.get_future().share()] { opened.wait(); });
    QSignalSpy percent(&window, &W::PercentShown);
    Button(window, W::IDC_CONVERT_ALL)->click();
    ASSERT_TRUE(percent.wait(30000));
  }
  void OpenGate() {
    if (!gateOpen_) gate_.set_value(), gateOpen_ = true;
  }
  kt::TempDir dir;
  std::string folder = dir.File("Upper Case Music");
  kt::ScriptedPrompt prompt;

 private:
  std::promise<void> gate_;
  bool gateOpen_ = false;
};

class BatchWindowTest : public testing::Test, public BatchFiles {
 protected:
  void SetUp() override { window->Start(); }
  void TearDown() override {
    OpenGate();
    window.reset();
  }
  QAbstractButton* Button(int id) { return BatchFiles::Button(*window, id); }
  QString Cell(int row, int column) { return window->List()->GetCellText(row, column); }

  std::unique_ptr<W> window = std::make_unique<W>();
};

TEST_F(BatchWindowTest, ARealRunOverWavMp3AndUnknownFiles) {
  Add(*window, {Wav("c.wav")});
  kt::WriteAll(folder + "/b.mp3", kt::EncodedSine(1.0, kt::LameSpec{}));
  Add(*window, {Wav("Song.Live.WAV"), folder + "/b.mp3", folder + "/notes.txt"});
  // New files come first, in the dialog's order.
  const std::vector<std::vector<QString>> expected = {
      {"Song.Live.WAV", "WAV", "MP3", "Song.Live.mp3", "Queued"},
      {"b.mp3", "MP3", "WAV", "b.wav", "Queued"},
      {"notes.txt", "Unknown!", "", "notes.$$$", "Queued"},
      {"c.wav", "WAV", "MP3", "c.mp3", "Queued"},
  };
  for (int row = 0; row < 4; ++row) {
    for (int column = 1; column <= 5; ++column) EXPECT_EQ(Cell(row, column), expected[row][column - 1]);
    EXPECT_EQ(Cell(row, 7), QString::fromStdString(folder + "/"));
    EXPECT_EQ(window->List()->GetCellCheck(row, 0), row == 2 ? 0 : 1);
    EXPECT_EQ(window->List()->GetRowEnabled(row), row != 2);
  }

  QSignalSpy finished(window.get(), &W::RunFinished);
  Button(W::IDC_CONVERT_ALL)->click();
  ASSERT_TRUE(!finished.isEmpty() || finished.wait(30000));
  for (int row : {0, 1, 3}) EXPECT_EQ(Cell(row, 5), "Done");
  EXPECT_EQ(prompt.questions.back().kind, kt::PromptQuestion::Kind::Message);  // the summary
  EXPECT_EQ(prompt.questions.back().icon, MessageIcon::Warning);
  EXPECT_EQ(window->State(), BatchState::Unfinished);
  EXPECT_TRUE(Button(W::IDC_CONVERT_ALL)->isEnabled());

  // The outputs decode with the length of their sources.
  const kt::DecodedMp3 tone = kt::DecodeMp3(folder + "/Song.Live.mp3");
  EXPECT_EQ(tone.channels, 2u);
  EXPECT_NEAR(tone.samplesPerChannel / 22050.0, 1.0, 0.1);
  const kt::DecodedWav b = kt::ReadDecodedWav(kt::ReadAll(folder + "/b.wav"));
  EXPECT_NEAR(b.samples.size() / 2 / 44100.0, 1.0, 0.1);
  EXPECT_EQ(b.dataSize, kt::ReadAll(folder + "/b.wav").size() - 44);  // the header tells the bytes written
  EXPECT_TRUE(fs::exists(folder + "/c.mp3"));
}

TEST_F(BatchWindowTest, StopInTheMiddleOfAFileKeepsThePartialOutput) {
  Add(*window, {Wav("a.wav", 2), Wav("b.wav", 2)});
  ConvertAllAndHold(*window);
  EXPECT_GT(window->List()->GetCell(0, 5)->progressPercent, 0);
  EXPECT_TRUE(window->List()->GetCell(0, 1)->bold);
  for (int key : {Qt::Key_Escape, Qt::Key_Return}) kt::KeyClick(window.get(), key);  // ignored
  EXPECT_TRUE(window->isVisible() && window->Running());
  EXPECT_FALSE(Button(W::IDC_CONVERT_ALL)->isEnabled());
  // Delete removes the selected rows, but never the converting one.
  window->List()->selectAll();
  kt::KeyClick(window->List(), Qt::Key_Delete);
  ASSERT_EQ(window->List()->GetRowCount(), 1);
  EXPECT_EQ(Cell(0, 1), "a.wav");

  QSignalSpy finished(window.get(), &W::RunFinished);
  Button(W::IDC_BATCH_STOP)->click();
  OpenGate();
  ASSERT_TRUE(finished.wait(30000));
  EXPECT_EQ(window->State(), BatchState::Unfinished);
  // The partial output stays and decodes cleanly up to where it stopped.
  const kt::DecodedMp3 partial = kt::DecodeMp3(folder + "/a.mp3");
  EXPECT_EQ(partial.badFrames, 0u);
  EXPECT_GT(partial.samplesPerChannel, 0u);
  EXPECT_LT(partial.samplesPerChannel, 2u * 22050u);
}

TEST_F(BatchWindowTest, ChangeOutputRefusesTypedCharactersAndAppliesOnOk) {
  Add(*window, {Wav("a.wav")});
  window->OnChangeOutput();  // nothing selected: nothing opens
  window->List()->selectRow(0);
  kt::WhenModal([](QWidget* modal) {
    auto* name = kt::Control<CFilterEdit>(modal, CChangeOutputDlg::IDC_NAME);
    auto* folderEdit = kt::Control<CFilterEdit>(modal, CChangeOutputDlg::IDC_FOLDER);
    name->clear();
    kt::TypeText(name, "n*:?\\/<>ew.mp3");
    EXPECT_EQ(name->text(), "new.mp3");
    folderEdit->clear();
    kt::TypeText(folderEdit, "/out*?<>:dir/x");
    EXPECT_EQ(folderEdit->text(), "/out:dir/x");
    kt::Control<QPushButton>(modal, CChangeOutputDlg::IDOK)->click();
  });
  // A double click is a click followed by the double-click event.
  const QPoint cell = window->List()->visualRect(window->List()->model()->index(0, 1)).center();
  QTest::mouseClick(window->List()->viewport(), Qt::LeftButton, Qt::NoModifier, cell);
  QTest::mouseDClick(window->List()->viewport(), Qt::LeftButton, Qt::NoModifier, cell);
  EXPECT_EQ(Cell(0, 4), "new.mp3");
  EXPECT_EQ(window->Run().GetOutputFullPath(0), "/out:dir/x/new.mp3");
}

class MainWithBatchTest : public kt::MainWindowTest, public BatchFiles {
 protected:
  void TearDown() override {
    OpenGate();
    kt::MainWindowTest::TearDown();
  }
};

// Closing the program while a batch runs asks the batch window's question
// (as its Exit button does); No keeps it running, Yes stops the file, logs
// the abort and only then ends the program.
TEST_F(MainWithBatchTest, ClosingTheProgramDuringARunAsksAndWaitsForTheRun) {
  window->Action(CMainDlg::ID_CONVERT_BATCH)->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->Batch()->Window() != nullptr; }, 5000));
  W* batch = window->Batch()->Window();
  BatchFiles::Add(*batch, {Wav("a.wav", 2), Wav("b.wav", 2)});
  ConvertAllAndHold(*batch);
  BatchFiles::prompt.Answer(PromptAnswer::No);
  window->close();
  EXPECT_TRUE(batch->Running());
  QSignalSpy finished(window.get(), &QDialog::finished);
  BatchFiles::prompt.Answer(PromptAnswer::Yes);
  window->close();
  EXPECT_TRUE(window->isVisible());  // waits for the worker
  EXPECT_TRUE(finished.isEmpty());
  OpenGate();
  ASSERT_TRUE(finished.wait(30000));
  EXPECT_EQ(BatchFiles::prompt.questions.back().text,
            "Batch conversion is in progress. Do you wish to close?");
  EXPECT_EQ(window->Batch()->Thread(), nullptr);
  const auto log = kt::ReadAll(BatchFiles::dir.File("state/batchconvert.log"));
  EXPECT_EQ(std::string(log.begin(), log.end()), batchlog::kAbortLine);
  EXPECT_FALSE(fs::exists(folder + "/b.mp3"));
}

}  // namespace
