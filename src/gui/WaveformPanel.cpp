#include "gui/WaveformPanel.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QLabel>
#include <QPointer>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>

#include "core/AudioFile.h"
#include "core/SelectionModel.h"
#include "gui/TimeRuler.h"
#include "gui/WaveformView.h"

QString SampleTimeText(std::uint64_t sample, std::uint32_t rate) {
  const std::uint64_t ms = rate ? (sample * 1000 + rate / 2) / rate : 0;
  return QStringLiteral("%1:%2:%3.%4")
      .arg(ms / 3600000)
      .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
      .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
      .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

CWaveformPanel::CWaveformPanel(CSelectionModel& selection, QWidget* parent)
    : QWidget(parent), selection_(selection) {
  view_ = new CWaveformView(selection_);
  ruler_ = new CTimeRuler(*view_, selection_);
  scroll_ = new QScrollBar(Qt::Horizontal);
  scroll_->hide();
  readout_ = new QLabel;
  readout_->setAlignment(Qt::AlignCenter);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(ruler_);
  layout->addWidget(view_, 1);
  layout->addWidget(scroll_);
  layout->addWidget(readout_);
  connect(view_, &CWaveformView::ViewChanged, this, &CWaveformPanel::SyncScrollBar);
  connect(view_, &CWaveformView::ViewChanged, ruler_, qOverload<>(&QWidget::update));
  connect(scroll_, &QScrollBar::valueChanged, this, [this](int value) {
    if (view_->ViewSpan())
      view_->SetView(static_cast<std::uint64_t>(value) * view_->ViewSpan() / 100, view_->ViewSpan());
  });
  view_->SetDetailRequest([this](std::uint64_t first, std::uint64_t last, std::uint32_t samplesPerPoint) {
    RequestDetail(first, last, samplesPerPoint);
  });
  UpdateReadout();
}

void CWaveformPanel::RequestDetail(std::uint64_t first, std::uint64_t last, std::uint32_t samplesPerPoint) {
  if (!job_) return;
  // At most one read at a time: the one before is told to stop (its answer
  // would be for another view anyway).
  detailCancel_ = true;
  if (detailWorker_.joinable()) detailWorker_.join();
  detailCancel_ = false;
  const peaks::CPeakJob* job = job_.get();
  QPointer<CWaveformView> view(view_);
  detailWorker_ = std::thread([this, job, view, first, last, samplesPerPoint] {
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kWorkerNice);
    peaks::CPeakJob::Detail detail = job->ReadDetail(first, last, samplesPerPoint, detailCancel_);
    if (detailCancel_.load()) return;
    QMetaObject::invokeMethod(
        view_,
        [view, detail = std::move(detail)]() mutable {
          if (view) view->SetDetail(std::move(detail));
        },
        Qt::QueuedConnection);
  });
}

CWaveformPanel::~CWaveformPanel() {
  Stop();
}

void CWaveformPanel::Stop() {
  cancel_ = true;
  detailCancel_ = true;
  if (worker_.joinable()) worker_.join();
  if (detailWorker_.joinable()) detailWorker_.join();
}

void CWaveformPanel::Open(CAudioFile& file) {
  Close();
  std::string whyNot;
  job_ = peaks::CPeakJob::For(file, whyNot);
  if (!job_) {
    view_->SetMessage(QString::fromStdString(whyNot));
    return;
  }
  view_->SetMessage(QString());
  cancel_ = false;
  finished_ = false;
  endShown_ = false;
  announced_ = false;
  peaks::CPeakJob* job = job_.get();
  // The first picture as soon as there is one.
  job->SetModelReady([this] {
    QMetaObject::invokeMethod(this, &CWaveformPanel::Refresh, Qt::QueuedConnection);
    // The first picture is there: the long exact pass (this thread and the
    // ones it starts, which inherit it) yields to the window, so the event
    // loop never waits for a core.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kWorkerNice);
  });
  // Then a redraw as the blocks fill, at most every kRedrawMs: the workers
  // store far more often than a window can draw.
  lastRedraw_ = 0;
  job->SetFilled([this] {
    const std::int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count();
    std::int64_t last = lastRedraw_.load();
    if (now - last < kRedrawMs || !lastRedraw_.compare_exchange_strong(last, now)) return;
    QMetaObject::invokeMethod(this, &CWaveformPanel::Refresh, Qt::QueuedConnection);
  });
  worker_ = std::thread([this, job] {
    job->Run(cancel_, std::max(1u, std::thread::hardware_concurrency()));
    finished_ = true;
    // The last picture and the end of the work, whatever the last redraw was.
    QMetaObject::invokeMethod(this, &CWaveformPanel::Refresh, Qt::QueuedConnection);
  });
  Refresh();
}

void CWaveformPanel::Close() {
  Stop();
  job_.reset();
  view_->SetModel(nullptr);
  view_->SetDetail({});
  view_->RetryDetail();
  view_->SetMessage(QString());
  UpdateReadout();
}

void CWaveformPanel::WaitForPeaks() {
  if (worker_.joinable()) worker_.join();
  Refresh();
}

void CWaveformPanel::Refresh() {
  if (!job_) return;
  if (auto model = job_->Model()) {
    if (!announced_) {
      announced_ = true;
      view_->SetModel(model);
    }
    view_->update();
  }
  if (finished_.load() && !endShown_) {
    endShown_ = true;
    if (worker_.joinable()) worker_.join();
    view_->RetryDetail();  // an MP3's frames can be decoded in view now
    if (job_->GetStage() == peaks::CPeakJob::Stage::Failed)
      view_->SetMessage(QString::fromStdString(job_->Failure()));
  }
}

void CWaveformPanel::SyncScrollBar() {
  const std::uint64_t span = view_->ViewSpan();
  scroll_->setVisible(span != 0);
  if (!span) return;
  const std::uint64_t length = job_ && job_->Model() ? job_->Model()->Shape().lengthSamples : 0;
  // Steps of one hundredth of the view.
  const QSignalBlocker block(scroll_);
  scroll_->setRange(0, static_cast<int>(std::min<std::uint64_t>((length - span) * 100 / span, 1 << 30)));
  scroll_->setPageStep(100);
  scroll_->setSingleStep(10);
  scroll_->setValue(static_cast<int>(view_->ViewFirst() * 100 / span));
}

void CWaveformPanel::RedrawAxis() {
  view_->update();
  ruler_->update();
}

void CWaveformPanel::UpdateReadout() {
  const auto span = selection_.Selection();
  const std::uint32_t rate = selection_.SampleRate();
  if (!span) {
    readout_->setText(QStringLiteral("Start -:--:--.---   End -:--:--.---   Length -:--:--.---"));
    return;
  }
  readout_->setText(QStringLiteral("Start %1   End %2   Length %3")
                        .arg(SampleTimeText(span->first, rate), SampleTimeText(span->end, rate),
                             SampleTimeText(span->end - span->first, rate)));
}
