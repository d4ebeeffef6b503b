#pragma once
// The time ruler above the waveform strip: a tick with its time at round
// steps (1 ms … 1 h) chosen so the labels never crowd, on the strip's own
// axis at every zoom; it reads the strip's mapping and draws nothing else.

#include <QWidget>
#include <cstdint>
#include <vector>

class CSelectionModel;
class CWaveformView;

class CTimeRuler : public QWidget {
  Q_OBJECT

 public:
  struct Tick {
    int x = 0;
    std::uint64_t ms = 0;
    QString text;
  };

  // view: the strip below, on whose x the ticks lie (the ruler spans the
  // same columns); selection: the sample rate and the stream's length.
  CTimeRuler(const CWaveformView& view, const CSelectionModel& selection, QWidget* parent = nullptr);

  // The labelled ticks as drawn now.
  std::vector<Tick> Ticks() const;
  // The milliseconds between two ticks at the present zoom.
  std::uint64_t StepMs() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const CWaveformView& view_;
  const CSelectionModel& selection_;
};

// A ruler label: "M:SS" ("H:MM:SS" past an hour) with as many decimals of
// a second as a step of stepMs needs.
QString RulerText(std::uint64_t ms, std::uint64_t stepMs);
