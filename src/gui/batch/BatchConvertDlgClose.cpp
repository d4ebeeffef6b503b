// Closing the batch window: the close question of each state, asked without
// waiting; what happens when a run ends while it is open; remembering the
// window's layout.
#include <QTimer>

#include "core/StringTable.h"
#include "gui/GuiServices.h"
#include "gui/batch/BatchConvertDlg.h"

bool CBatchConvertDlg::CloseQuestionOpen() const {
  return closeQuestion_ && closeQuestion_->IsOpen();
}

bool CBatchConvertDlg::RequestClose(std::function<void(bool)> decided) {
  if (closed_) return true;
  if (!CloseQuestionOpen() && !closePending_ && run_.State() == BatchState::Idle) {
    CloseNow();
    return true;
  }
  if (decided) closeWaiters_.push_back(std::move(decided));
  // One question at a time: a second request waits for the open one.
  if (!CloseQuestionOpen() && !closePending_) AskClose();
  return false;
}

void CBatchConvertDlg::AskClose() {
  std::uint32_t question = ids::kBatchCloseWithFiles;
  if (run_.State() == BatchState::Converting) question = ids::kBatchCloseInProgress;
  if (run_.State() == BatchState::Unfinished) question = ids::kBatchCloseWithProblems;
  const int generation = ++closeGeneration_;
  auto handle = services_.Prompt().Open(
      this, QString::fromLatin1(msg::kCaptionComfirm), QString::fromStdString(LoadMessage(question)),
      MessageIcon::Warning, PromptButtons::YesNo,
      [this, generation](PromptAnswer answer) { OnCloseAnswer(generation, answer == PromptAnswer::Yes); });
  // An answer given before Open returned has already been acted on.
  if (handle && handle->IsOpen() && generation == closeGeneration_) closeQuestion_ = std::move(handle);
}

void CBatchConvertDlg::OnCloseAnswer(int generation, bool yes) {
  // The answer to a question that was withdrawn, or replaced, does nothing.
  if (generation != closeGeneration_ || closed_) return;
  ++closeGeneration_;
  closeQuestion_.reset();
  Decide(yes);
}

void CBatchConvertDlg::Decide(bool yes) {
  for (auto& waiter : std::exchange(closeWaiters_, {})) waiter(yes);
  if (!yes) return;
  if (run_.Running())
    run_.RequestClose();
  else
    CloseNow();
}

void CBatchConvertDlg::OnRunEnded() {
  emit RunFinished();
  if (!CloseQuestionOpen()) return;
  // The question no longer applies: it goes, and the request is taken up
  // again for the new state once the summary has been read.
  closeQuestion_->Withdraw();
  closeQuestion_.reset();
  ++closeGeneration_;
  closePending_ = true;
  if (!host_.SummaryOpen()) QTimer::singleShot(0, this, &CBatchConvertDlg::ResumeCloseRequest);
}

void CBatchConvertDlg::ResumeCloseRequest() {
  if (!closePending_ || closed_ || host_.SummaryOpen()) return;
  closePending_ = false;
  if (run_.State() == BatchState::Idle)
    Decide(true);  // nothing left that a question would be about
  else
    AskClose();
}

void CBatchConvertDlg::CloseNow() {
  if (closed_) return;
  closed_ = true;
  if (closeQuestion_) closeQuestion_->Withdraw();
  closeQuestion_.reset();
  ++closeGeneration_;
  if (list_) SaveLayout();
  hide();
  emit Closed();
}

std::vector<std::string> CBatchConvertDlg::ProtectedFiles() const {
  std::vector<std::string> files;
  if (openFile_) {
    const std::string open = openFile_();
    if (!open.empty()) files.push_back(open);
  }
  return files;
}

void CBatchConvertDlg::PassProtectedFiles() {
  // Read at every step: the main window may open another file during a run.
  run_.SetProtectedFiles(ProtectedFiles());
}
