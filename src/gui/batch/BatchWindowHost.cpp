#include "gui/batch/BatchWindowHost.h"

#include <QCheckBox>
#include <QProgressBar>
#include <QTimer>
#include <algorithm>

#include "gui/BitmapButton.h"
#include "gui/EngineText.h"
#include "gui/GuiServices.h"

CBatchWindowHost::CBatchWindowHost(const CGuiServices& services, Window window)
    : services_(services), window_(std::move(window)) {}

void CBatchWindowHost::StartWorker(std::uint64_t id, BatchJob& job) {
  worker_.Start(job, fileMaker_, [this, id] {
    // On the worker, once the job's result is written: the window reads it
    // on its own thread.
    QMetaObject::invokeMethod(
        window_.window, [this, id] { window_.jobFinished(id); }, Qt::QueuedConnection);
  });
}

bool CBatchWindowHost::OverwriteChecked() const {
  return controls_.overwrite->isChecked();
}

void CBatchWindowHost::EnableConvertAll(bool enable) {
  controls_.convertAll->setEnabled(enable);
}

void CBatchWindowHost::EnableStop(bool enable) {
  controls_.stop->setEnabled(enable);
}

void CBatchWindowHost::SetOverallProgress(int maximum, int position) {
  // A range of 0..0 would turn the bar into a busy indicator.
  controls_.overall->setRange(0, std::max(maximum, 1));
  controls_.overall->setValue(position);
}

void CBatchWindowHost::ShowSummary(const std::string& text, bool exclamation) {
  // Shown without waiting, so a main-window operation goes on meanwhile.
  summaryOpen_ = true;
  services_.Prompt().Open(window_.window, QStringLiteral("Batch Convert Information"), FromEngineText(text),
                          exclamation ? MessageIcon::Warning : MessageIcon::Information, PromptButtons::Ok,
                          [this](PromptAnswer) {
                            summaryOpen_ = false;
                            // The run's last step may still be on its way out.
                            QTimer::singleShot(0, window_.window, window_.summaryRead);
                          });
}

void CBatchWindowHost::CloseWindow() {
  window_.close();
}

void CBatchWindowHost::PostPercent(std::uint64_t id, int percent) {
  // On the worker: the queue belongs to the window's thread, so the new
  // value travels as a queued call.
  QMetaObject::invokeMethod(
      window_.window, [this, id, percent] { window_.percent(id, percent); }, Qt::QueuedConnection);
}
