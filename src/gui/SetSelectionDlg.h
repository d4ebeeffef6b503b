#pragma once
// Edit > Set Selection...: the start and end of the selection typed as
// times (S, S.fff, M:SS.fff or H:MM:SS.fff), read to the sample.

#include <QDialog>
#include <cstdint>
#include <variant>

class QLabel;
class QLineEdit;

class CSetSelectionDlg : public QDialog {
  Q_OBJECT

 public:
  struct Span {
    std::uint64_t first = 0;
    std::uint64_t end = 0;
  };

  // The fields start with the current selection [first, end) at rate.
  CSetSelectionDlg(std::uint32_t rate, std::uint64_t length, Span current, QWidget* parent = nullptr);

  // Two typed times as a span of a stream of length samples at rate, or the
  // reason they are none (shown in the dialog).
  static std::variant<Span, QString> Read(const QString& start, const QString& end, std::uint32_t rate,
                                          std::uint64_t length);

  Span Selection() const { return span_; }
  QLineEdit* StartEdit() const { return start_; }
  QLineEdit* EndEdit() const { return end_; }
  QLabel* Problem() const { return problem_; }

  // OK: closes only when both times read; otherwise says why and stays.
  void accept() override;

 private:
  std::uint32_t rate_;
  std::uint64_t length_;
  Span span_;
  QLineEdit* start_ = nullptr;
  QLineEdit* end_ = nullptr;
  QLabel* problem_ = nullptr;
};
