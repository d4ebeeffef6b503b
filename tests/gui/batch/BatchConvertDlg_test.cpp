// The Batch Convert window driven through its buttons, keys, mouse and drops
// on the offscreen platform: a real run over generated WAV and MP3 files,
// stopping while a conversion waits at a known step, Change Output's refused
// characters, hover then Delete, the Tab order, Space, unknown rows, resizing
// and reopening, dropped folders, boxes that block this window only, a run
// that ends under an open close question, and closing the main window
// during a run. Outcomes, log bytes and summary texts are the engine test's.
#include "gui/batch/BatchConvertDlg.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <future>

#include "core/batch/BatchLog.h"
#include "core/open/Formats.h"
#include "gui/FilterEdit.h"
#include "gui/MainWindowFixture.h"
#include "gui/ObjectName.h"
#include "gui/batch/BatchHeader.h"
#include "gui/batch/BatchListView.h"
#include "gui/batch/BatchSession.h"
#include "gui/batch/BatchTableModel.h"
#include "gui/batch/ChangeOutputDlg.h"
#include "settings/StatePaths.h"
#include "support/Mp3Builder.h"
#include "support/WaveExpect.h"

namespace fs = std::filesystem;
using W = CBatchConvertDlg;

namespace {

QVariant CellData(W& window, int row, int column, int role = Qt::DisplayRole) {
  return window.List()->model()->index(row, column).data(role);
}

int Checked(W& window, int row) {
  return CellData(window, row, 0, Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked ? 1 : 0;
}

QString FocusName() {
  return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
}

// Files, the prompt and the log folder of one test. The worker can be held
// at every file step until OpenGate(), so the test acts while a conversion
// is known to be in the middle of its file.
class BatchFiles {
 public:
  BatchFiles() {
    fs::create_directories(folder);
    qputenv("KESTRUNE_STATE_DIR", QByteArray::fromStdString(dir.File("state")));
    // A settings store of its own: no remembered geometry or widths.
    previousConfig_ = qgetenv("KESTRUNE_CONFIG_DIR");
    qputenv("KESTRUNE_CONFIG_DIR", QByteArray::fromStdString(dir.File("config")));
  }
  ~BatchFiles() {
    qunsetenv("KESTRUNE_STATE_DIR");
    qputenv("KESTRUNE_CONFIG_DIR", previousConfig_);
  }

  // Stereo 22050 Hz.
  std::string Wav(const std::string& name, std::uint32_t seconds = 1) {
    return kt::PatternWav(dir, "Upper Case Music/" + name, seconds);
  }
  void Add(W& window, const std::vector<std::string>& paths) {
    QStringList list;
    for (const auto& p : paths) list << QString::fromStdString(p);
    prompt.AnswerFiles(list);
    Button(window, W::kAddFiles)->click();
  }
  static QAbstractButton* Button(W& window, const char* name) {
    return kt::Control<QAbstractButton>(&window, name);
  }
  // Clicks Convert All and waits until the first file shows progress.
  void ConvertAllAndHold(W& window) {
    window.SetStepObserver([opened = gate_.get_future().share()] { opened.wait(); });
    QSignalSpy percent(&window, &W::PercentShown);
    Button(window, W::kConvertAll)->click();
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
  QByteArray previousConfig_;
};

class BatchWindowTest : public testing::Test, public BatchFiles {
 protected:
  void SetUp() override { window->Start(); }
  void TearDown() override {
    OpenGate();
    window.reset();
  }
  QAbstractButton* Button(const char* name) { return BatchFiles::Button(*window, name); }
  QString Cell(int row, int column) { return CellData(*window, row, column).toString(); }
  CBatchListView* List() { return window->List(); }
  QPoint CellCentre(int row, int column) {
    return List()->visualRect(List()->model()->index(row, column)).center();
  }
  void ClickCell(int row, int column, Qt::KeyboardModifiers keys = Qt::NoModifier) {
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, keys, CellCentre(row, column));
  }
  QStringList Sources() {
    QStringList names;
    for (int row = 0; row < List()->model()->rowCount(); ++row) names << Cell(row, 1);
    return names;
  }
  void Activate() {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }

  const CGuiServices realServices{
      SettingsFilePath(), DefaultBatchLogPath()};  // Qt's own dialogs and boxes, for the test that needs them
  std::unique_ptr<W> window = std::make_unique<W>(prompt.Services());
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
    EXPECT_EQ(Checked(*window, row), row == 2 ? 0 : 1);
    EXPECT_EQ(List()->BatchModel()->RowEnabled(row), row != 2);
  }

  QSignalSpy finished(window.get(), &W::RunFinished);
  Button(W::kConvertAll)->click();
  ASSERT_TRUE(!finished.isEmpty() || finished.wait(30000));
  for (int row : {0, 1, 3}) EXPECT_EQ(Cell(row, 5), "Done");
  EXPECT_EQ(prompt.questions.back().kind, kt::PromptQuestion::Kind::Message);  // the summary
  EXPECT_EQ(prompt.questions.back().icon, MessageIcon::Warning);
  EXPECT_EQ(window->State(), BatchState::Unfinished);
  EXPECT_TRUE(Button(W::kConvertAll)->isEnabled());

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
  EXPECT_GT(CellData(*window, 0, 5, CBatchTableModel::ProgressRole).toInt(), 0);
  EXPECT_TRUE(CellData(*window, 0, 1, CBatchTableModel::BoldRole).toBool());
  for (int key : {Qt::Key_Escape, Qt::Key_Return}) kt::KeyClick(window.get(), key);  // ignored
  EXPECT_TRUE(window->isVisible() && window->Running());
  EXPECT_FALSE(Button(W::kConvertAll)->isEnabled());
  // Delete removes the selected rows, but never the converting one.
  window->List()->selectAll();
  kt::KeyClick(window->List(), Qt::Key_Delete);
  ASSERT_EQ(window->List()->model()->rowCount(), 1);
  EXPECT_EQ(Cell(0, 1), "a.wav");

  QSignalSpy finished(window.get(), &W::RunFinished);
  Button(W::kBatchStop)->click();
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
    auto* name = kt::Control<CFilterEdit>(modal, CChangeOutputDlg::kName);
    auto* folderEdit = kt::Control<CFilterEdit>(modal, CChangeOutputDlg::kFolder);
    name->clear();
    kt::TypeText(name, "n*:?\\/<>ew.mp3");
    EXPECT_EQ(name->text(), "new.mp3");
    folderEdit->clear();
    kt::TypeText(folderEdit, "/out*?<>:dir/x");
    EXPECT_EQ(folderEdit->text(), "/out:dir/x");
    kt::Control<QPushButton>(modal, CChangeOutputDlg::kOk)->click();
  });
  // A double click is a click followed by the double-click event.
  const QPoint cell = window->List()->visualRect(window->List()->model()->index(0, 1)).center();
  QTest::mouseClick(window->List()->viewport(), Qt::LeftButton, Qt::NoModifier, cell);
  QTest::mouseDClick(window->List()->viewport(), Qt::LeftButton, Qt::NoModifier, cell);
  // The dialog blocks this window only and does not wait in a loop of its own.
  ASSERT_TRUE(QTest::qWaitFor([&] { return Cell(0, 4) == "new.mp3"; }, 5000));
  EXPECT_EQ(window->Queue().At(0).OutputPath(), "/out:dir/x/new.mp3");
}

TEST_F(BatchWindowTest, HoverThenDeleteRemovesTheClickedRowOnly) {
  Add(*window, {Wav("a.wav"), Wav("b.wav"), Wav("c.wav")});
  ClickCell(0, 1);
  QTest::mouseMove(List()->viewport(), CellCentre(2, 1));
  kt::Spin(450);  // longer than a desktop's hover time
  EXPECT_EQ(List()->HotRow(), 2);
  kt::KeyClick(List(), Qt::Key_Delete);
  EXPECT_EQ(Sources(), (QStringList{"b.wav", "c.wav"}));
  // Shift-click and Ctrl+A select for Delete as well.
  ClickCell(0, 1);
  ClickCell(1, 1, Qt::ShiftModifier);
  EXPECT_EQ(List()->SelectedRows(), (std::vector<int>{0, 1}));
  Add(*window, {Wav("d.wav")});
  QTest::keyClick(List(), Qt::Key_A, Qt::ControlModifier);
  kt::KeyClick(List(), Qt::Key_Delete);
  EXPECT_EQ(List()->model()->rowCount(), 0);
  EXPECT_EQ(window->State(), BatchState::Idle);
}

TEST_F(BatchWindowTest, TabGoesFromTheListToOverwriteAndAlongTheButtons) {
  Add(*window, {Wav("a.wav"), Wav("b.wav")});
  Activate();
  List()->setFocus();
  // STOP is disabled while nothing runs, so Tab passes it by.
  const std::vector<QString> order = {W::kList,       W::kOverwrite, W::kAddFiles, W::kRemoveFiles,
                                      W::kConvertAll, W::kViewLog,   W::kExit,     W::kList};
  for (std::size_t i = 1; i < order.size(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(FocusName(), order[i]) << "Tab " << i;
  }
  for (std::size_t i = order.size() - 1; i-- > 0;) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(FocusName(), order[i]) << "Shift+Tab to " << i;
  }
  // Inside the list the arrows move and Space ticks the focused row.
  EXPECT_EQ(FocusName(), W::kList);
  QTest::keyClick(List(), Qt::Key_Down);
  QTest::keyClick(List(), Qt::Key_Space);
  EXPECT_EQ(Checked(*window, List()->currentIndex().row()), 0);
  EXPECT_EQ(FocusName(), W::kList);
  // Space on Overwrite ticks Overwrite.
  QTest::keyClick(List(), Qt::Key_Tab);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
  EXPECT_TRUE(kt::Control<QCheckBox>(window.get(), W::kOverwrite)->isChecked());
}

// The check box answers a click in its cell and Space; the check-all title
// follows the boxes; the "Convert To" drop button opens the choice, whose
// entry Enter takes and Escape leaves.
TEST_F(BatchWindowTest, TheCheckBoxAndTheConvertToChoiceAnswerTheMouseAndKeys) {
  Add(*window, {Wav("a.wav"), Wav("b.wav")});
  Activate();
  CBatchHeader* header = List()->Header();
  EXPECT_EQ(header->GetItemImage(0), CBatchHeader::kTickedBoxImage);
  ClickCell(0, 0);
  EXPECT_EQ(Checked(*window, 0), 0);
  EXPECT_EQ(header->GetItemImage(0), CBatchHeader::kEmptyBoxImage);
  EXPECT_EQ(List()->SelectedRows(), std::vector<int>{0});  // the press selects as well
  QTest::keyClick(List(), Qt::Key_Space);
  EXPECT_EQ(Checked(*window, 0), 1);
  EXPECT_TRUE(window->Queue().At(1).checked);
  EXPECT_EQ(header->GetItemImage(0), CBatchHeader::kTickedBoxImage);

  struct Case {
    const char* what;
    int key;
    QString cell;
  };
  const Case cases[] = {{"Enter takes the entry", Qt::Key_Return, "MP3"},
                        {"Escape leaves it", Qt::Key_Escape, "WAV"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    window->Queue().SetTarget(0, FormatNamed("WAV"));
    ASSERT_EQ(Cell(0, 3), "WAV");
    ClickCell(0, 1);
    const QRect cell = List()->visualRect(List()->model()->index(0, 3));
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      CBatchDelegate::DropButtonRect(cell).center());
    QComboBox* combo = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          combo = List()->findChild<QComboBox*>();
          return combo && combo->view()->isVisible();
        },
        5000));
    // The WAV source's list: the specified entry, then FLAC.
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(0), "MP3");
    EXPECT_EQ(combo->itemText(1), "FLAC");
    QTest::keyClick(combo->view(), Qt::Key(c.key));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !List()->findChild<QComboBox*>() || !combo->isVisible(); }, 5000));
    EXPECT_EQ(Cell(0, 3), c.cell);
    EXPECT_EQ(window->Queue().At(0).target, c.cell == "MP3" ? FormatNamed("MP3") : FormatNamed("WAV"));
  }
}

TEST_F(BatchWindowTest, AnUnknownRowIsRedSelectableRemovableAndNeverConverted) {
  Add(*window, {Wav("a.wav"), folder + "/notes.txt"});
  EXPECT_EQ(Cell(1, 2), "Unknown!");
  EXPECT_EQ(CellData(*window, 1, 2, Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
  // Its box cannot be ticked, by mouse or by Space.
  ClickCell(1, 0);
  QTest::keyClick(List(), Qt::Key_Space);
  EXPECT_EQ(Checked(*window, 1), 0);
  EXPECT_EQ(List()->SelectedRows(), (std::vector<int>{1}));
  // The list as it is now ends "not converted"; without the row, it does
  // not. Removed through the list's context menu.
  QTimer::singleShot(0, [] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QAction* remove = menu->actions().back();
    EXPECT_EQ(remove->text(), "Remove");
    EXPECT_TRUE(remove->isEnabled());
    remove->trigger();
    menu->close();
  });
  emit List()->customContextMenuRequested(List()->viewport()->rect().center());
  EXPECT_EQ(Sources(), QStringList{"a.wav"});
  QSignalSpy finished(window.get(), &W::RunFinished);
  Button(W::kConvertAll)->click();
  ASSERT_TRUE(!finished.isEmpty() || finished.wait(30000));
  EXPECT_EQ(prompt.questions.back().text, batchlog::kSuccessLine);
  EXPECT_EQ(window->State(), BatchState::Idle);
}

TEST_F(BatchWindowTest, TheWindowResizesNeverBelowItsFirstSizeAndIsRemembered) {
  const QSize first = window->size();
  EXPECT_EQ(window->minimumSize(), first);
  auto* exit = Button(W::kExit);
  const QRect list = List()->geometry();
  const int exitBelow = first.height() - exit->geometry().top();
  const int exitLeft = exit->geometry().left();
  window->resize(first.width() + 300, first.height() + 200);
  EXPECT_EQ(List()->geometry(), list.adjusted(0, 0, 300, 200));
  EXPECT_EQ(window->height() - exit->geometry().top(), exitBelow);
  EXPECT_EQ(exit->geometry().left(), exitLeft);
  List()->setColumnWidth(1, 222);
  window->RequestClose();  // nothing added: closes at once and keeps its layout
  window = std::make_unique<W>(prompt.Services());
  window->Start();
  EXPECT_EQ(window->size(), QSize(first.width() + 300, first.height() + 200));
  EXPECT_EQ(List()->columnWidth(1), 222);
  EXPECT_EQ(List()->geometry(), list.adjusted(0, 0, 300, 200));
  EXPECT_TRUE(window->RestoredGeometry());
  window->resize(100, 100);
  EXPECT_EQ(window->size(), first);
}

TEST_F(BatchWindowTest, AddedFilesFitTheirColumnsAndACutCellShowsItsText) {
  CBatchHeader* header = List()->Header();
  // The empty window's titles already show whole.
  for (int column = 0; column < 8; ++column)
    EXPECT_GE(List()->columnWidth(column), header->TitleWidth(column));
  const std::string name = "a_rather_long_name_for_a_batch_source_1.wav";
  Add(*window, {Wav(name)});
  for (int column = 0; column < 8; ++column) {
    SCOPED_TRACE(column);
    EXPECT_GE(List()->columnWidth(column), header->TitleWidth(column));
    // The folders may be longer than half the list; then they show as tooltips.
    const QString tip = List()->CellToolTip(0, column);
    EXPECT_TRUE(tip.isEmpty() || (column >= 6 && tip == Cell(0, column)));
  }
  EXPECT_GE(List()->columnWidth(5), List()->fontMetrics().horizontalAdvance("File Exists"));
  List()->setColumnWidth(1, 40);
  EXPECT_EQ(List()->CellToolTip(0, 1), QString::fromStdString(name));
}

// Files and folders arrive as a drop, through the Add Folder shortcut or
// through the list's context menu; folders give their WAV and MP3 files,
// subfolders included, in name order.
TEST_F(BatchWindowTest, DroppedFilesAndFoldersAndAddFolderAddInNameOrder) {
  const std::string tree = dir.File("tree");
  for (const char* sub : {"tree/sub", "tree/sub2/deeper", "tree/.hidden"})
    fs::create_directories(dir.File(sub));
  for (const char* name : {"tree/z.wav", "tree/a.WAV", "tree/sub2/deeper/c.wav", "tree/sub/b.mp3"})
    kt::PatternWav(dir, name, 1);
  kt::WriteAll(dir.File("tree/notes.txt"), std::vector<std::uint8_t>{'x'});
  kt::WriteAll(dir.File("loose.txt"), std::vector<std::uint8_t>{'x'});
  const QStringList fromTree = {"a.WAV", "b.mp3", "c.wav", "z.wav"};
  enum class How { Drop, Shortcut, Menu };
  for (How how : {How::Drop, How::Shortcut, How::Menu}) {
    SCOPED_TRACE(int(how));
    List()->selectAll();
    kt::KeyClick(List(), Qt::Key_Delete);
    if (how == How::Drop) {
      QMimeData data;
      data.setUrls({QUrl::fromLocalFile(QString::fromStdString(tree)),
                    QUrl::fromLocalFile(QString::fromStdString(dir.File("loose.txt")))});
      const QPoint pos = List()->viewport()->rect().center();
      QDragEnterEvent enter(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(List()->viewport(), &enter);
      ASSERT_TRUE(enter.isAccepted());
      QDropEvent drop(QPointF(pos), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(List()->viewport(), &drop);
      ASSERT_TRUE(QTest::qWaitFor([&] { return List()->model()->rowCount() == 5; }, 5000));
      EXPECT_EQ(Sources(), fromTree + QStringList{"loose.txt"});
      continue;
    }
    prompt.AnswerFile(QString::fromStdString(tree));
    if (how == How::Shortcut) {
      Activate();
      QTest::keyClick(List(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    } else {
      QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        QStringList entries;
        for (QAction* action : menu->actions()) entries << action->text();
        EXPECT_EQ(entries, (QStringList{"Add Files...", "Add Folder...", "", "Remove"}));
        menu->actions().at(1)->trigger();
        menu->close();
      });
      emit List()->customContextMenuRequested(List()->viewport()->rect().center());
    }
    EXPECT_EQ(prompt.questions.back().kind, kt::PromptQuestion::Kind::Folder);
    EXPECT_EQ(Sources(), fromTree);
    EXPECT_TRUE(Button(W::kConvertAll)->isEnabled());
  }
}

// The file dialog and the summary are shown without waiting for them: the
// click returns, the run finishes and the event loop goes on while they,
// modal to the batch window only, are open.
TEST_F(BatchWindowTest, TheDialogsAndBoxesBlockTheBatchWindowOnlyAndDoNotWait) {
  const std::string wav = Wav("a.wav");
  window = std::make_unique<W>(realServices);  // the real dialogs and boxes
  window->Start();
  Button(W::kAddFiles)->click();
  auto* dialog = window->findChild<QFileDialog*>();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
  EXPECT_EQ(List()->model()->rowCount(), 0);
  dialog->selectFile(QString::fromStdString(wav));
  QMetaObject::invokeMethod(dialog, "accept");
  EXPECT_EQ(Sources(), QStringList{"a.wav"});
  QSignalSpy finished(window.get(), &W::RunFinished);
  Button(W::kConvertAll)->click();
  QMessageBox* box = nullptr;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        box = window->findChild<QMessageBox*>();
        return box && box->isVisible();
      },
      30000));
  EXPECT_EQ(finished.count(), 1);
  EXPECT_EQ(box->windowModality(), Qt::WindowModal);
  EXPECT_EQ(box->text(), batchlog::kSuccessLine);
  EXPECT_EQ(QApplication::activeModalWidget(), box);
  box->button(QMessageBox::Ok)->click();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !window->findChild<QMessageBox*>(); }, 5000));
  window.reset();
}

// A run that ends while the close question is open takes the question away;
// the request is taken up again for the new state once the summary is read,
// and a late answer to the old question does nothing.
TEST(BatchWindowCloseTest, ARunEndingUnderTheCloseQuestionWithdrawsIt) {
  struct Case {
    const char* name;
    bool leaveOneUnchecked;
    QStringList askedAfter;  // the questions still open after the run
    bool closes;
  };
  const Case cases[] = {
      {"all converted", false, {}, true},
      {"one left",
       true,
       {"There are some unconverted files with minor problems. Please view log file to fix the problems.\n "
        "Do "
        "you still wish to quit Batch conversion?"},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto files = std::make_unique<BatchFiles>();
    W batch(files->prompt.Services());
    batch.Start();
    files->Add(batch, {files->Wav("a.wav", 2), files->Wav("b.wav", 1)});
    if (c.leaveOneUnchecked) batch.Queue().SetChecked(1, false);
    files->ConvertAllAndHold(batch);
    QSignalSpy closed(&batch, &W::Closed);
    BatchFiles::Button(batch, W::kExit)->click();
    ASSERT_EQ(files->prompt.OpenTexts(),
              QStringList{"Batch conversion is in progress. Do you wish to close?"});
    const int asked = int(files->prompt.questions.size()) - 1;
    QSignalSpy finished(&batch, &W::RunFinished);
    files->OpenGate();
    ASSERT_TRUE(finished.wait(30000));
    kt::Spin();
    EXPECT_EQ(files->prompt.Withdrawn(), 1);
    EXPECT_EQ(files->prompt.OpenTexts(), c.askedAfter);
    // The summary came before the question that now applies.
    EXPECT_EQ(files->prompt.questions[std::size_t(asked) + 1].buttons, PromptButtons::Ok);
    EXPECT_EQ(closed.count(), c.closes ? 1 : 0);
    // The late Yes to the withdrawn question neither closes nor stops anything.
    files->prompt.DeliverLate(0, PromptAnswer::Yes);
    kt::Spin();
    EXPECT_EQ(closed.count(), c.closes ? 1 : 0);
    if (!c.closes) {
      files->prompt.AnswerOpen(PromptAnswer::No);
      EXPECT_TRUE(batch.isVisible());
      EXPECT_EQ(closed.count(), 0);
    }
  }
}

class MainWithBatchTest : public kt::MainWindowTest, public BatchFiles {
 protected:
  // Both windows ask the batch files' prompt.
  CGuiServices& WindowServices() override { return BatchFiles::prompt.Services(); }
  void TearDown() override {
    OpenGate();
    kt::MainWindowTest::TearDown();
  }
};

// Closing the program while a batch runs asks the batch window's question
// (as its Exit button does); No keeps it running, Yes stops the file, logs
// the abort and only then ends the program.
TEST_F(MainWithBatchTest, ClosingTheProgramDuringARunAsksAndWaitsForTheRun) {
  window->Action(CMainDlg::kConvertBatch)->trigger();
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
  EXPECT_EQ(window->Batch()->Session(), nullptr);
  const auto log = kt::ReadAll(BatchFiles::dir.File("state/batchconvert.log"));
  EXPECT_EQ(std::string(log.begin(), log.end()), batchlog::kAbortLine);
  EXPECT_FALSE(fs::exists(folder + "/b.mp3"));
}

}  // namespace

namespace {

// The file open in the main window is protected like a source of the list:
// an output that is that file fails with 119, with or without Overwrite, and
// the file keeps its bytes.
TEST_F(MainWithBatchTest, AnOutputReplacingTheMainWindowsOpenFileIsRefused) {
  const std::string open = Wav("tone.wav");
  const auto before = kt::ReadAll(open);
  Open(open);
  ASSERT_NE(window->File(), nullptr);
  kt::WriteAll(folder + "/tone.mp3", kt::EncodedSine(1.0, kt::LameSpec{}));
  window->Action(CMainDlg::kConvertBatch)->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->Batch()->Window() != nullptr; }, 5000));
  W* batch = window->Batch()->Window();
  for (const bool overwrite : {false, true}) {
    SCOPED_TRACE(overwrite);
    batch->List()->selectAll();
    kt::KeyClick(batch->List(), Qt::Key_Delete);
    BatchFiles::Add(*batch, {folder + "/tone.mp3"});
    kt::Control<QCheckBox>(batch, W::kOverwrite)->setChecked(overwrite);
    QSignalSpy finished(batch, &W::RunFinished);
    BatchFiles::Button(*batch, W::kConvertAll)->click();
    ASSERT_TRUE(!finished.isEmpty() || finished.wait(30000));
    EXPECT_EQ(CellData(*batch, 0, 5).toString(), "Failed");
    const auto log = kt::ReadAll(BatchFiles::dir.File("state/batchconvert.log"));
    EXPECT_NE(std::string(log.begin(), log.end()).find("Output file cannot be the same as the source file."),
              std::string::npos);
    EXPECT_EQ(kt::ReadAll(open), before);
  }
  // With the main window's file closed the same output is allowed again.
  window->OnCloseFile();
  batch->List()->selectAll();
  kt::KeyClick(batch->List(), Qt::Key_Delete);
  BatchFiles::Add(*batch, {folder + "/tone.mp3"});
  QSignalSpy finished(batch, &W::RunFinished);
  BatchFiles::Button(*batch, W::kConvertAll)->click();
  ASSERT_TRUE(!finished.isEmpty() || finished.wait(30000));
  EXPECT_EQ(CellData(*batch, 0, 5).toString(), "Done");
  EXPECT_NE(kt::ReadAll(open), before);
}

// Closing the program while the batch window's question is open: the run
// ends meanwhile, the question goes, and the question that now applies is
// asked; a late Yes to the first one does not end the program.
TEST_F(MainWithBatchTest, ClosingTheProgramUnderARunThatEndsAsksTheQuestionThatApplies) {
  window->Action(CMainDlg::kConvertBatch)->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->Batch()->Window() != nullptr; }, 5000));
  W* batch = window->Batch()->Window();
  BatchFiles::Add(*batch, {Wav("a.wav", 2), Wav("b.wav", 1)});
  batch->Queue().SetChecked(1, false);
  ConvertAllAndHold(*batch);
  QSignalSpy done(window.get(), &QDialog::finished);
  window->close();
  EXPECT_TRUE(window->isVisible());
  ASSERT_EQ(BatchFiles::prompt.OpenTexts(),
            QStringList{"Batch conversion is in progress. Do you wish to close?"});
  QSignalSpy finished(batch, &W::RunFinished);
  OpenGate();
  ASSERT_TRUE(finished.wait(30000));
  kt::Spin();
  EXPECT_EQ(BatchFiles::prompt.Withdrawn(), 1);
  ASSERT_EQ(BatchFiles::prompt.OpenTexts().size(), 1);
  EXPECT_TRUE(BatchFiles::prompt.OpenTexts().front().startsWith("There are some unconverted files"));
  BatchFiles::prompt.DeliverLate(0, PromptAnswer::Yes);
  kt::Spin();
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(done.isEmpty());
  // Yes to the question that applies ends the program once the batch window has gone.
  BatchFiles::prompt.AnswerOpen(PromptAnswer::Yes);
  ASSERT_TRUE(done.wait(5000));
  EXPECT_EQ(window->Batch()->Session(), nullptr);
}

}  // namespace
