#pragma once
// The waveform strip with its scroll bar and the readouts of the selection,
// and the worker that computes the peaks of the open file: started when a
// file opens, cancelled when it closes or another opens. The window stays
// responsive: the worker only fills the peak model, a timer repaints.

#include <QWidget>
#include <atomic>
#include <memory>
#include <thread>

#include "core/peaks/PeakJob.h"

class CAudioFile;
class CSelectionModel;
class CWaveformView;
class QLabel;
class QScrollBar;

class CWaveformPanel : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kPollMs = 40;
  static constexpr int kWorkerNice = 10;

  CWaveformPanel(CSelectionModel& selection, QWidget* parent = nullptr);
  ~CWaveformPanel() override;

  // Starts the peaks of file (stopping any earlier work).
  void Open(CAudioFile& file);
  void Close();
  // True while the worker runs.
  bool Busy() const { return worker_.joinable() && !finished_.load(); }
  // Waits for the worker (tests and benchmarks).
  void WaitForPeaks();
  const peaks::CPeakJob* Job() const { return job_.get(); }

  CWaveformView* View() const { return view_; }
  QLabel* Readout() const { return readout_; }
  void UpdateReadout();

 private:
  void Poll();
  void SyncScrollBar();
  void Stop();
  void RequestDetail(std::uint64_t first, std::uint64_t last, std::uint32_t samplesPerPoint);

  CSelectionModel& selection_;
  CWaveformView* view_ = nullptr;
  QScrollBar* scroll_ = nullptr;
  QLabel* readout_ = nullptr;
  QTimer* poll_ = nullptr;
  std::unique_ptr<peaks::CPeakJob> job_;
  std::thread worker_;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> finished_{false};
  std::thread detailWorker_;  // reads the finer points of a deep zoom
  std::atomic<bool> detailCancel_{false};
  bool announced_ = false;
};

// "H:MM:SS.mmm" of a sample at a rate.
QString SampleTimeText(std::uint64_t sample, std::uint32_t rate);
