#include "gui/SetSelectionDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "core/TimeText.h"

namespace {

QString Time(std::uint64_t sample, std::uint32_t rate) {
  return QString::fromStdString(timetext::FormatTime(timetext::MicrosOf(sample, rate)));
}

}  // namespace

CSetSelectionDlg::CSetSelectionDlg(std::uint32_t rate, std::uint64_t length, Span current, QWidget* parent)
    : QDialog(parent), rate_(rate), length_(length), span_(current) {
  setWindowTitle(QStringLiteral("Set Selection"));
  start_ = new QLineEdit(Time(current.first, rate));
  end_ = new QLineEdit(Time(current.end, rate));
  for (QLineEdit* edit : {start_, end_})
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0:00:00.000000")) + 12);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Start:"), start_);
  form->addRow(QStringLiteral("&End:"), end_);
  auto* hint = new QLabel(QStringLiteral("Times as S, S.fff, M:SS.fff or H:MM:SS.fff (the audio lasts %1).")
                              .arg(Time(length, rate)));
  hint->setWordWrap(true);
  problem_ = new QLabel;
  problem_->setWordWrap(true);
  QPalette warning = problem_->palette();
  warning.setColor(QPalette::WindowText, QColor(0xb0, 0x20, 0x20));
  problem_->setPalette(warning);
  problem_->hide();
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &CSetSelectionDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(hint);
  layout->addWidget(problem_);
  layout->addWidget(buttons);
}

std::variant<CSetSelectionDlg::Span, QString> CSetSelectionDlg::Read(const QString& start, const QString& end,
                                                                     std::uint32_t rate,
                                                                     std::uint64_t length) {
  const timetext::ParsedTime first = timetext::ParseTime(start.toStdString());
  if (!first.micros) return QStringLiteral("Start: %1.").arg(QString::fromStdString(first.reason));
  const timetext::ParsedTime last = timetext::ParseTime(end.toStdString());
  if (!last.micros) return QStringLiteral("End: %1.").arg(QString::fromStdString(last.reason));
  Span span{timetext::SampleAt(*first.micros, rate), timetext::SampleAt(*last.micros, rate)};
  if (span.first >= length)
    return QStringLiteral("The start lies at or past the end of the audio (%1).").arg(Time(length, rate));
  span.end = std::min(span.end, length);
  if (span.end <= span.first) return QStringLiteral("The end must come after the start.");
  return span;
}

void CSetSelectionDlg::accept() {
  const auto read = Read(start_->text(), end_->text(), rate_, length_);
  if (const QString* problem = std::get_if<QString>(&read)) {
    problem_->setText(*problem);
    problem_->show();
    // The field to mend gets the keys, its text selected for retyping.
    QLineEdit* wrong =
        problem->startsWith(QStringLiteral("Start:")) || problem->startsWith(QStringLiteral("The start"))
            ? start_
            : end_;
    wrong->setFocus(Qt::OtherFocusReason);
    wrong->selectAll();
    // Taller for a message that wraps, at the width the person left it.
    layout()->activate();
    const int needed = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width())
                                                     : layout()->totalSizeHint().height();
    if (height() < needed) resize(width(), needed);
    return;
  }
  span_ = std::get<Span>(read);
  QDialog::accept();
}
