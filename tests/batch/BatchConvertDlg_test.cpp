// The Batch Convert window driven through its buttons on the offscreen
// platform: a real run over generated WAV and MP3 files, stopping and closing
// while a conversion waits at a known step, the close questions, Change
// Output's refused characters, and closing the main window during a run.
#include "batch/BatchConvertDlg.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <condition_variable>
#include <filesystem>
#include <mutex>

#include "batch/BatchConvertThread.h"
#include "batch/BatchLogDlg.h"
#include "batch/ChangeOutputDlg.h"
#include "batch/listctrl/XListCtrl.h"
#include "support/Mp3Builder.h"
#include "support/WaveExpect.h"
#include "ui/FilterEdit.h"
#include "ui/MainWindowFixture.h"

namespace fs = std::filesystem;
using W = CBatchConvertDlg;

namespace {

// Holds the worker at every file step until the test opens it, so the test
// acts while a conversion is known to be in the middle of its file.
class StepGate {
 public:
  void Hold(CBatchConvertDlg& window) {
    window.SetStepObserver([this] {
      std::unique_lock lock(mutex_);
      opened_.wait(lock, [this] { return open_; });
    });
  }
  void Open() {
    {
      std::lock_guard lock(mutex_);
      open_ = true;
    }
    opened_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

// Files, the prompt and the log folder of one test, and the window's parts.
class BatchFiles {
 public:
  BatchFiles() {
    fs::create_directories(folder);
    qputenv("KESTRUNE_STATE_DIR", QByteArray::fromStdString(dir.File("state")));
  }
  ~BatchFiles() {
    gate.Open();
    qunsetenv("KESTRUNE_STATE_DIR");
  }

  std::string Wav(const std::string& name, double seconds = 1.0) {
    kt::WavSpec layout;
    const auto frames = static_cast<std::uint32_t>(seconds * 44100);
    kt::WriteAll(folder + "/" + name, kt::BuildWav(layout, kt::Sine16(frames, 2, 44100, 440.0)));
    return folder + "/" + name;
  }
  std::string Mp3(const std::string& name) {
    kt::WriteAll(folder + "/" + name, kt::EncodedSine(1.0, kt::LameSpec{}));
    return folder + "/" + name;
  }
  std::string Log() const {
    const auto bytes = kt::ReadAll(dir.File("state/batchconvert.log"));
    return {bytes.begin(), bytes.end()};
  }
  void Add(W& window, const std::vector<std::string>& paths) {
    QStringList list;
    for (const auto& p : paths) list << QString::fromStdString(p);
    prompt.AnswerFiles(list);
    Button(window, W::IDC_ADD_FILES)->click();
  }
  static QAbstractButton* Button(W& window, int id) { return kt::Control<QAbstractButton>(&window, id); }
  static QString Cell(W& window, int row, int column) { return window.List()->GetCellText(row, column); }
  // Clicks Convert All and waits for the run to end.
  static void ConvertAll(W& window) {
    QSignalSpy finished(&window, &W::RunFinished);
    Button(window, W::IDC_CONVERT_ALL)->click();
    if (finished.isEmpty()) {
      ASSERT_TRUE(finished.wait(30000));
    }
  }
  // Clicks Convert All and waits until the first file shows progress.
  void ConvertAllAndHold(W& window) {
    gate.Hold(window);
    QSignalSpy percent(&window, &W::PercentShown);
    Button(window, W::IDC_CONVERT_ALL)->click();
    ASSERT_TRUE(percent.wait(30000));
  }
  std::vector<QString> Messages() const {
    std::vector<QString> texts;
    for (const auto& q : prompt.questions)
      if (q.kind == kt::PromptQuestion::Kind::Message) texts.push_back(q.text);
    return texts;
  }

  kt::TempDir dir;
  std::string folder = dir.File("Upper Case Music");
  kt::ScriptedPrompt prompt;
  StepGate gate;
};

class BatchWindowTest : public testing::Test, public BatchFiles {
 protected:
  void SetUp() override {
    window = std::make_unique<W>();
    window->Start();
  }
  void TearDown() override {
    gate.Open();
    window.reset();
  }
  QAbstractButton* Button(int id) { return BatchFiles::Button(*window, id); }
  QString Cell(int row, int column) { return BatchFiles::Cell(*window, row, column); }

  std::unique_ptr<W> window;
};

TEST_F(BatchWindowTest, ARealRunOverWavMp3AndUnknownFiles) {
  EXPECT_EQ(window->List()->GetRowCount(), 0);
  Add(*window, {Wav("c.wav")});
  Add(*window, {Wav("Tone.WAV"), Mp3("b.mp3"), folder + "/notes.txt"});
  kt::WriteAll(folder + "/notes.txt", {'h', 'i'});
  // New files come first, in the dialog's order.
  const std::vector<std::vector<QString>> expected = {
      {"Tone.WAV", "WAV", "MP3", "Tone.mp3", "Queued"},
      {"b.mp3", "MP3", "WAV", "b.wav", "Queued"},
      {"notes.txt", "Unknown!", "", "notes.$$$", "Queued"},
      {"c.wav", "WAV", "MP3", "c.mp3", "Queued"},
  };
  const QString folderText = QString::fromStdString(folder + "/");
  for (int row = 0; row < 4; ++row) {
    for (int column = 1; column <= 5; ++column) EXPECT_EQ(Cell(row, column), expected[row][column - 1]);
    EXPECT_EQ(Cell(row, 6), folderText);
    EXPECT_EQ(Cell(row, 7), folderText);
    EXPECT_EQ(window->List()->GetCellCheck(row, 0), row == 2 ? 0 : 1);
    EXPECT_EQ(window->List()->GetRowEnabled(row), row != 2);
  }
  EXPECT_EQ(window->List()->GetCell(2, 2)->textColor, 0x0000FF);
  EXPECT_EQ(window->State(), BatchState::FilesAdded);
  EXPECT_TRUE(Button(W::IDC_CONVERT_ALL)->isEnabled());
  EXPECT_FALSE(Button(W::IDC_BATCH_STOP)->isEnabled());

  ConvertAll(*window);
  for (int row : {0, 1, 3}) {
    EXPECT_EQ(Cell(row, 5), "Done");
    EXPECT_EQ(window->List()->GetCell(row, 5)->textColor, 0x006E28);
    EXPECT_FALSE(window->List()->GetCell(row, 5)->progressShown);
  }
  EXPECT_EQ(Messages(),
            std::vector<QString>{"1 files not converted. Please view log file for more information"});
  const auto& box = prompt.questions.back();
  EXPECT_EQ(box.caption, "Batch Convert Information");
  EXPECT_EQ(box.icon, MessageIcon::Warning);
  EXPECT_EQ(Log(), FormatLogEntry({"notes.txt", folder + "/", "notes.$$$", folder + "/", "", "Queued",
                                   "File not selected for conversion"}));
  EXPECT_EQ(window->State(), BatchState::Unfinished);
  EXPECT_TRUE(Button(W::IDC_CONVERT_ALL)->isEnabled());
  EXPECT_FALSE(Button(W::IDC_BATCH_STOP)->isEnabled());

  // The outputs decode with the length of their sources.
  const kt::DecodedMp3 tone = kt::DecodeMp3(folder + "/Tone.mp3");
  EXPECT_EQ(tone.channels, 2u);
  EXPECT_NEAR(static_cast<double>(tone.samplesPerChannel) / 44100.0, 1.0, 0.1);
  const kt::DecodedWav b = kt::ReadDecodedWav(kt::ReadAll(folder + "/b.wav"));
  EXPECT_NEAR(static_cast<double>(b.samples.size()) / 2 / 44100.0, 1.0, 0.1);
  EXPECT_TRUE(fs::exists(folder + "/c.mp3"));

  // The viewer shows the log as it is now.
  kt::WhenModal([&](QWidget* modal) {
    auto* text = kt::Control<QPlainTextEdit>(modal, CBatchLogDlg::IDC_LOG_TEXT);
    EXPECT_EQ(text->toPlainText().toStdString(), Log());
    EXPECT_EQ(text->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_TRUE(text->isReadOnly());
    kt::Control<QPushButton>(modal, CBatchLogDlg::IDOK)->click();
  });
  Button(W::IDC_VIEW_LOG)->click();
}

TEST_F(BatchWindowTest, StopInTheMiddleOfAFileThenRunAgain) {
  Add(*window, {Wav("a.wav", 2.0), Wav("b.wav", 2.0)});
  ConvertAllAndHold(*window);
  EXPECT_TRUE(window->List()->GetCell(0, 5)->progressShown);
  EXPECT_GT(window->List()->GetCell(0, 5)->progressPercent, 0);
  EXPECT_TRUE(window->List()->GetCell(0, 1)->bold);
  EXPECT_TRUE(Button(W::IDC_BATCH_STOP)->isEnabled());
  EXPECT_FALSE(Button(W::IDC_CONVERT_ALL)->isEnabled());

  // Files added during the run neither enable Convert All nor leave Converting.
  Add(*window, {Wav("late.wav")});
  EXPECT_EQ(window->State(), BatchState::Converting);
  EXPECT_FALSE(Button(W::IDC_CONVERT_ALL)->isEnabled());
  Button(W::IDC_CONVERT_ALL)->click();  // disabled: nothing happens

  // Delete removes the selected rows, but never the converting one.
  window->List()->selectRow(1);
  window->List()->selectionModel()->select(window->List()->model()->index(2, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
  kt::KeyClick(window->List(), Qt::Key_Delete);
  ASSERT_EQ(window->List()->GetRowCount(), 2);
  EXPECT_EQ(Cell(0, 1), "late.wav");
  EXPECT_EQ(Cell(1, 1), "a.wav");

  QSignalSpy finished(window.get(), &W::RunFinished);
  Button(W::IDC_BATCH_STOP)->click();
  gate.Open();
  ASSERT_TRUE(finished.wait(30000));
  // Row 1 now: a.wav, below the added row.
  EXPECT_EQ(Cell(1, 1), "a.wav");
  EXPECT_EQ(Cell(1, 5), "Queued");
  EXPECT_FALSE(window->List()->GetCell(1, 5)->progressShown);
  EXPECT_FALSE(window->List()->GetCell(1, 1)->bold);
  EXPECT_EQ(Log(), "\n ++++ Batch conversion aborted by user ++++");
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(window->State(), BatchState::Unfinished);
  EXPECT_TRUE(Button(W::IDC_CONVERT_ALL)->isEnabled());
  EXPECT_FALSE(Button(W::IDC_BATCH_STOP)->isEnabled());
  // The partial output stays and decodes cleanly up to where it stopped.
  const kt::DecodedMp3 partial = kt::DecodeMp3(folder + "/a.mp3");
  EXPECT_EQ(partial.badFrames, 0u);
  EXPECT_GT(partial.samplesPerChannel, 0u);
  EXPECT_LT(partial.samplesPerChannel, 2u * 44100u);

  // The next run converts everything; a.wav's partial output is replaced.
  kt::Control<QCheckBox>(window.get(), W::IDC_OVERWRITE)->setChecked(true);
  ConvertAll(*window);
  for (int row = 0; row < 2; ++row) EXPECT_EQ(Cell(row, 5), "Done") << row;
  EXPECT_EQ(Messages(), std::vector<QString>{"All files converted sucessfully"});
  EXPECT_EQ(prompt.questions.back().icon, MessageIcon::Information);
  EXPECT_EQ(Log(), "All files converted sucessfully");
  EXPECT_EQ(window->State(), BatchState::Idle);
  EXPECT_FALSE(Button(W::IDC_CONVERT_ALL)->isEnabled());
  EXPECT_NEAR(kt::DecodeMp3(folder + "/a.mp3").samplesPerChannel / 44100.0, 2.0, 0.1);
}

TEST_F(BatchWindowTest, ExitDuringARunAsksAndClosesOnlyAfterTheFileStopped) {
  Add(*window, {Wav("a.wav", 2.0)});
  ConvertAllAndHold(*window);
  QSignalSpy closed(window.get(), &W::Closed);
  prompt.Answer(PromptAnswer::No);
  Button(W::IDC_EXIT)->click();
  EXPECT_TRUE(closed.isEmpty());
  EXPECT_FALSE(window->Run().StopRequested());

  prompt.Answer(PromptAnswer::Yes);
  Button(W::IDC_EXIT)->click();
  EXPECT_TRUE(closed.isEmpty());  // still converting
  EXPECT_TRUE(window->isVisible());
  gate.Open();
  ASSERT_TRUE(closed.wait(30000));
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(Cell(0, 5), "Queued");
  EXPECT_EQ(Log(), "\n ++++ Batch conversion aborted by user ++++");
  ASSERT_EQ(prompt.questions.size(), 3u);  // the open dialog and two questions, no summary
  EXPECT_EQ(prompt.questions[1].caption, "Comfirm");
  EXPECT_EQ(prompt.questions[1].text, "Batch conversion is in progress. Do you wish to close?");
}

TEST_F(BatchWindowTest, CloseQuestionsFollowTheState) {
  struct Case {
    const char* what;
    std::function<void()> prepare;
    const char* question;  // nullptr: none
  };
  const Case cases[] = {
      {"empty list", [] {}, nullptr},
      {"files added", [&] { Add(*window, {Wav("a.wav")}); },
       "Batch convert has files to convert. Do you wish to close?"},
      {"unfinished",
       [&] {
         Add(*window, {folder + "/notes.txt"});  // unknown: left unchecked, not converted
         ConvertAll(*window);
       },
       "There are some unconverted files with minor problems. Please view log file to fix the problems.\n Do "
       "you still wish to quit Batch conversion?"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    window = std::make_unique<W>();
    window->Start();
    c.prepare();
    // Enter and Escape do nothing.
    for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) kt::KeyClick(window.get(), key);
    EXPECT_TRUE(window->isVisible());
    QSignalSpy closed(window.get(), &W::Closed);
    prompt.questions.clear();
    if (c.question) {
      prompt.Answer(PromptAnswer::No);
      window->close();
      EXPECT_TRUE(closed.isEmpty());
      prompt.Answer(PromptAnswer::Yes);
    }
    window->close();
    EXPECT_EQ(closed.size(), 1);
    EXPECT_FALSE(window->isVisible());
    ASSERT_EQ(prompt.questions.size(), c.question ? 2u : 0u);
    if (c.question) {
      EXPECT_EQ(prompt.questions[0].text, c.question);
    }
  }
}

TEST_F(BatchWindowTest, ChangeOutputRefusesTypedCharactersAndAppliesOnOk) {
  window->OnChangeOutput();  // Idle: nothing opens
  Add(*window, {Wav("a.wav")});
  window->OnChangeOutput();  // nothing selected
  window->List()->selectRow(0);
  kt::WhenModal([](QWidget* modal) {
    auto* name = kt::Control<CFilterEdit>(modal, CChangeOutputDlg::IDC_NAME);
    auto* folderEdit = kt::Control<CFilterEdit>(modal, CChangeOutputDlg::IDC_FOLDER);
    EXPECT_EQ(name->text(), "a.mp3");
    name->clear();
    kt::TypeText(name, "n*:?\\/<>ew.mp3");
    EXPECT_EQ(name->text(), "new.mp3");
    folderEdit->clear();
    kt::TypeText(folderEdit, "/out*?<>:dir/x");
    EXPECT_EQ(folderEdit->text(), "/out:dir/x");
    kt::Control<QPushButton>(modal, CChangeOutputDlg::IDOK)->click();
  });
  const QRect cell = window->List()->visualRect(window->List()->model()->index(0, 1));
  // A double click is a click followed by the double-click event.
  QTest::mouseClick(window->List()->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
  QTest::mouseDClick(window->List()->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
  EXPECT_EQ(Cell(0, 4), "new.mp3");
  EXPECT_EQ(Cell(0, 7), "/out:dir/x");
  EXPECT_EQ(window->Run().GetOutputFullPath(0), "/out:dir/x/new.mp3");

  // Browse replaces the folder; Cancel changes nothing.
  prompt.AnswerFile(QString::fromStdString(dir.File("picked")));
  kt::WhenModal([](QWidget* modal) {
    kt::Control<QPushButton>(modal, CChangeOutputDlg::IDC_BROWSE)->click();
    EXPECT_EQ(kt::Control<CFilterEdit>(modal, CChangeOutputDlg::IDC_FOLDER)->text().right(7), "/picked");
    kt::Control<QPushButton>(modal, CChangeOutputDlg::IDCANCEL)->click();
  });
  window->OnChangeOutput();
  EXPECT_EQ(Cell(0, 7), "/out:dir/x");
}

// Closing the program while a batch runs asks the batch window's question;
// Yes stops the file, logs the abort and only then ends the program.
class MainWithBatchTest : public kt::MainWindowTest, public BatchFiles {
 protected:
  W* OpenBatchWindow() {
    window->Action(CMainDlg::ID_CONVERT_BATCH)->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->Batch()->Window() != nullptr; }, 5000));
    return window->Batch()->Window();
  }
  void TearDown() override {
    gate.Open();
    kt::MainWindowTest::TearDown();
  }
};

TEST_F(MainWithBatchTest, ClosingTheMainWindowDuringARun) {
  QAction* entry = window->Action(CMainDlg::ID_CONVERT_BATCH);
  EXPECT_TRUE(entry->isEnabled());
  EXPECT_FALSE(entry->isChecked());
  W* batch = OpenBatchWindow();
  ASSERT_TRUE(batch);
  EXPECT_TRUE(entry->isChecked());
  EXPECT_EQ(batch->frameGeometry().top(), window->frameGeometry().top() + 100);
  BatchFiles::Add(*batch, {Wav("a.wav", 2.0), Wav("b.wav", 2.0)});
  ConvertAllAndHold(*batch);

  BatchFiles::prompt.Answer(PromptAnswer::No);
  window->close();
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(batch->isVisible());
  EXPECT_TRUE(batch->Running());

  QSignalSpy finished(window.get(), &QDialog::finished);
  BatchFiles::prompt.Answer(PromptAnswer::Yes);
  window->close();
  EXPECT_TRUE(window->isVisible());  // waits for the worker
  EXPECT_TRUE(finished.isEmpty());
  gate.Open();
  ASSERT_TRUE(finished.wait(30000));
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(window->Batch()->Thread(), nullptr);
  EXPECT_FALSE(entry->isChecked());
  EXPECT_EQ(Log(), "\n ++++ Batch conversion aborted by user ++++");
  EXPECT_FALSE(fs::exists(folder + "/b.mp3"));
}

TEST_F(MainWithBatchTest, TheMenuCommandAsksTheOpenWindowToClose) {
  W* batch = OpenBatchWindow();
  ASSERT_TRUE(batch);
  QPointer<W> watched = batch;
  // Idle: it closes without a question, and the thread ends.
  window->Action(CMainDlg::ID_CONVERT_BATCH)->trigger();
  EXPECT_TRUE(QTest::qWaitFor([&] { return window->Batch()->Thread() == nullptr; }, 5000));
  EXPECT_TRUE(watched.isNull());
  EXPECT_FALSE(window->Action(CMainDlg::ID_CONVERT_BATCH)->isChecked());
  // A later command opens a new, empty window.
  batch = OpenBatchWindow();
  ASSERT_TRUE(batch);
  EXPECT_EQ(batch->List()->GetRowCount(), 0);
}

}  // namespace
