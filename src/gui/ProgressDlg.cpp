#include "gui/ProgressDlg.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

namespace {

QGroupBox* Frame(const QString& title, QWidget* content) {
  auto* box = new QGroupBox(title);
  auto* layout = new QVBoxLayout(box);
  layout->addWidget(content);
  return box;
}

QProgressBar* Bar(const char* name) {
  auto* bar = new QProgressBar;
  bar->setObjectName(QString::fromLatin1(name));
  bar->setTextVisible(false);
  bar->setRange(0, 100);
  bar->setValue(0);
  return bar;
}

// "verb source to target" in at most width pixels: each name keeps its own
// width when it fits in its share; longer names lose their middle.
QString ElidedAction(const QFontMetrics& metrics, int width, const QString& verb, const QString& source,
                     const QString& target) {
  const QString to = QStringLiteral(" to ");
  const QString full = verb + source + to + target;
  if (metrics.horizontalAdvance(full) <= width) return full;
  const int room = std::max(width - metrics.horizontalAdvance(verb + to), 0);
  const int sourceWidth = metrics.horizontalAdvance(source);
  const int targetWidth = metrics.horizontalAdvance(target);
  const int half = room / 2;
  const int sourceRoom = sourceWidth <= half ? sourceWidth : targetWidth <= half ? room - targetWidth : half;
  // elidedText measures in fractions of a pixel and may shorten a name whose
  // rounded width is exactly its room: a name that fits is kept whole.
  auto fit = [&metrics](const QString& name, int nameWidth, int nameRoom) {
    return nameWidth <= nameRoom ? name : metrics.elidedText(name, Qt::ElideMiddle, nameRoom);
  };
  return verb + fit(source, sourceWidth, sourceRoom) + to + fit(target, targetWidth, room - sourceRoom);
}

}  // namespace

CProgressDlg::CProgressDlg(QWidget* parentWindow) : QDialog(parentWindow) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setWindowModality(Qt::WindowModal);
  setWindowTitle(QString::fromStdString(CProgressState{}.title));
  setAttribute(Qt::WA_DeleteOnClose, false);

  action_ = new QLabel;
  action_->setObjectName(QString::fromLatin1(kActionLabelName));
  action_->setAlignment(Qt::AlignCenter);
  // A fixed width: long names are shortened instead of widening the window.
  action_->setFixedWidth(std::max(QFontMetrics(action_->font()).averageCharWidth() * 64, 400));
  count_ = new QLabel;
  count_->setObjectName(QString::fromLatin1(kCountLabelName));
  count_->setAlignment(Qt::AlignCenter);
  auto* labels = new QWidget;
  auto* labelLayout = new QVBoxLayout(labels);
  labelLayout->setContentsMargins(0, 0, 0, 0);
  labelLayout->addWidget(action_);
  labelLayout->addWidget(count_);
  auto* labelFrame = Frame(QString(), labels);

  overall_ = Bar(kOverallBarName);
  fileBar_ = Bar(kFileBarName);

  cancel_ = new QPushButton(tr("Cancel"));
  cancel_->setObjectName(QString::fromLatin1(kCancelName));
  cancel_->setAutoDefault(false);
  connect(cancel_, &QPushButton::clicked, this, &CProgressDlg::OnCancelButton);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cancel_);
  buttons->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(labelFrame);
  layout->addWidget(Frame(tr("Overall progress"), overall_));
  layout->addWidget(Frame(tr("File progress"), fileBar_));
  layout->addLayout(buttons);
  // The window takes the size of its contents and keeps it: the action line
  // has a fixed width, and both lines the height of a line of text even while
  // empty. A window deriving from this one keeps the rule for what it adds.
  for (QLabel* label : {action_, count_}) {
    label->setText(QStringLiteral("X"));
    label->setMinimumHeight(label->sizeHint().height());
    label->clear();
  }
  layout->setSizeConstraint(QLayout::SetFixedSize);
  sincePump_.start();
}

void CProgressDlg::ShowStarted() {
  closing_ = false;
  show();
  raise();
  // Let the window appear before the first block of work.
  QCoreApplication::processEvents();
  sincePump_.restart();
}

void CProgressDlg::ShowAction(const CProgressAction& action) {
  const QString full = QString::fromStdString(action.Text());
  const QString elided =
      ElidedAction(action_->fontMetrics(), action_->contentsRect().width(),
                   QString::fromStdString(action.verb), QString::fromStdString(ToUpperAscii(action.source)),
                   QString::fromStdString(ToUpperAscii(action.target)));
  action_->setText(elided);
  action_->setToolTip(elided == full ? QString() : full);
}

void CProgressDlg::OnCancelButton() {
  cancelRequested_ = true;
}

bool CProgressDlg::IsCancelled() {
  if (!closing_) Pump();
  return cancelRequested_;
}

void CProgressDlg::Pump() {
  // Only the window's own thread may run its events.
  if (QThread::currentThread() != thread()) return;
  if (sincePump_.elapsed() < kPumpIntervalMs) return;
  QCoreApplication::processEvents();
  sincePump_.restart();
}

void CProgressDlg::closeEvent(QCloseEvent* event) {
  // Only the program closes the window (Closed or destruction).
  if (closing_)
    event->accept();
  else
    event->ignore();
}

void CProgressDlg::ShowBar(QProgressBar* bar, const CProgressBarState& state) {
  // QProgressBar counts in int; larger ranges are shown scaled.
  std::uint32_t shift = 0;
  while ((state.maximum >> shift) > static_cast<std::uint32_t>(INT_MAX)) ++shift;
  const int maximum = static_cast<int>(state.maximum >> shift);
  const int value = static_cast<int>(state.position >> shift);
  if (bar->maximum() != maximum) bar->setRange(0, maximum);
  if (bar->value() != value) bar->setValue(value);
}

void CProgressDlg::Changed(const CProgressState& state, ProgressChange change) {
  switch (change) {
    case ProgressChange::Started:
      ShowStarted();
      break;
    case ProgressChange::Title:
      setWindowTitle(QString::fromStdString(state.title));
      break;
    case ProgressChange::FileCount:
    case ProgressChange::OverallStep:
      ShowBar(overall_, state.overall);
      break;
    case ProgressChange::FileRange:
    case ProgressChange::FileStep:
      ShowBar(fileBar_, state.file);
      break;
    case ProgressChange::Action:
      ShowAction(state.action);
      break;
    case ProgressChange::Count:
      count_->setText(QString::fromStdString(state.countText));
      break;
    case ProgressChange::Closed:
      closing_ = true;
      hide();
      break;
  }
}
