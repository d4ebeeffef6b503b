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
class CTimeRuler;
class QLabel;
class QScrollBar;

class CWaveformPanel : public QWidget {
  Q_OBJECT

 public:
  // The window redraws a filling waveform at most this often.
  static constexpr int kRedrawMs = 40;
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
  CTimeRuler* Ruler() const { return ruler_; }
  // The strip and its ruler redrawn on the axis as it is now.
  void RedrawAxis();
  QLabel* Readout() const { return readout_; }
  void UpdateReadout();

 private:
  // Shows what the job has now: its model, its failure, the end of its work.
  void Refresh();
  void SyncScrollBar();
  void Stop();
  void RequestDetail(std::uint64_t first, std::uint64_t last, std::uint32_t samplesPerPoint);

  CSelectionModel& selection_;
  CWaveformView* view_ = nullptr;
  CTimeRuler* ruler_ = nullptr;
  QScrollBar* scroll_ = nullptr;
  QLabel* readout_ = nullptr;
  std::unique_ptr<peaks::CPeakJob> job_;
  std::thread worker_;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> finished_{false};
  std::thread detailWorker_;  // reads the finer points of a deep zoom
  std::atomic<bool> detailCancel_{false};
  bool announced_ = false;
  bool endShown_ = false;  // the end of the job's work is on screen
  // The steady clock's milliseconds at the last redraw asked for while the
  // model fills (from the job's threads).
  std::atomic<std::int64_t> lastRedraw_{0};
};

// "H:MM:SS.mmm" of a sample at a rate.
QString SampleTimeText(std::uint64_t sample, std::uint32_t rate);
