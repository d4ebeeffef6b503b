#include "gui/ShredEquallyDlg.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/StringTable.h"
#include "core/open/Formats.h"
#include "gui/EngineText.h"
#include "gui/EstimateDlg.h"
#include "gui/GuiServices.h"

namespace {
// The leading decimal integer of a text, 0 when there is none; values past
// the 32-bit range saturate so that they are refused as too many splits.
std::uint64_t LeadingNumber(const QString& text) {
  std::uint64_t value = 0;
  for (QChar c : text) {
    if (!c.isDigit() || c.unicode() > '9') break;
    value = std::min<std::uint64_t>(value * 10 + (c.unicode() - '0'), 0xFFFFFFFFull);
  }
  return value;
}

}  // namespace

CUpDownCtrl::CUpDownCtrl(QLineEdit* buddy, int lower, int upper, QWidget* parent)
    : QWidget(parent), buddy_(buddy), lower_(lower), upper_(upper) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  up_ = new QToolButton(this);
  up_->setArrowType(Qt::UpArrow);
  down_ = new QToolButton(this);
  down_->setArrowType(Qt::DownArrow);
  for (QToolButton* button : {up_, down_}) {
    button->setAutoRepeat(true);
    button->setFixedSize(18, 11);
    layout->addWidget(button);
  }
  connect(up_, &QToolButton::clicked, this, [this] { Step(1); });
  connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
  buddy_->installEventFilter(this);
}

bool CUpDownCtrl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == buddy_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
      Step(key == Qt::Key_Up ? 1 : -1);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void CUpDownCtrl::SetPos(int position) {
  buddy_->setText(QString::number(position));
}

void CUpDownCtrl::Step(int delta) {
  const auto typed = static_cast<std::int64_t>(LeadingNumber(buddy_->text()));
  const auto stepped = std::clamp<std::int64_t>(typed + delta, lower_, upper_);
  SetPos(static_cast<int>(stepped));
}

CShredEquallyDlg::CShredEquallyDlg(const CGuiServices& services, Estimator estimate,
                                   const QString& fileFilter, const std::string& sourceFileName,
                                   const std::string& sourceFilePath, std::uint32_t overlapTime,
                                   QWidget* parent)
    : QDialog(parent),
      services_(services),
      estimate_(std::move(estimate)),
      fileFilter_(fileFilter),
      sourceFileName_(sourceFileName),
      sourceFilePath_(sourceFilePath),
      overlapTime_(overlapTime) {
  setWindowTitle("Shred Equally");
  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // not resizable
  BuildTitle(layout);
  QPushButton* browse = BuildFields(layout);
  BuildButtons(layout);
  connect(splitsEdit_, &QLineEdit::textChanged, this,
          [this](const QString& text) { numberOfSplits_ = static_cast<std::uint32_t>(LeadingNumber(text)); });
  splitsEdit_->setText(QString::number(numberOfSplits_));
  connect(useOriginal_, &QCheckBox::clicked, this, &CShredEquallyDlg::OnUseOriginalClicked);
  connect(browse, &QPushButton::clicked, this, &CShredEquallyDlg::OnBrowse);
}

void CShredEquallyDlg::BuildTitle(QBoxLayout* layout) {
  auto* frame = new QFrame(this);
  frame->setFrameShape(QFrame::StyledPanel);
  auto* frameLayout = new QVBoxLayout(frame);
  auto* title = new QLabel("Shredding file - " + FromFileName(sourceFileName_), frame);
  title->setTextFormat(Qt::PlainText);
  title->setObjectName(QString::fromLatin1(shredname::kTitle));
  frameLayout->addWidget(title);
  layout->addWidget(frame);
}

QPushButton* CShredEquallyDlg::BuildFields(QBoxLayout* layout) {
  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel("Base filename :", this), 0, 0);
  baseEdit_ = new QLineEdit(this);
  baseEdit_->setObjectName(QString::fromLatin1(shredname::kBaseFilename));
  baseEdit_->setToolTip("Enter a base filename");
  baseEdit_->setMinimumWidth(280);
  grid->addWidget(baseEdit_, 0, 1, 1, 2);
  auto* browse = new QPushButton("&Browse...", this);
  browse->setObjectName(QString::fromLatin1(shredname::kBrowse));
  browse->setToolTip("Browse and select a base filename");
  grid->addWidget(browse, 0, 3);
  useOriginal_ = new QCheckBox("&Use original filename", this);
  useOriginal_->setObjectName(QString::fromLatin1(shredname::kUseOriginal));
  useOriginal_->setToolTip("Uses the original filename for base filename");
  grid->addWidget(useOriginal_, 1, 1, 1, 3);

  grid->addWidget(new QLabel("Number of splits :", this), 2, 0);
  auto* splitsRow = new QHBoxLayout;
  splitsRow->setSpacing(0);
  splitsEdit_ = new QLineEdit(this);
  splitsEdit_->setObjectName(QString::fromLatin1(shredname::kSplits));
  splitsEdit_->setToolTip("Enter number of splitss");
  splitsEdit_->setAlignment(Qt::AlignRight);
  splitsEdit_->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), splitsEdit_));
  splitsEdit_->setMaxLength(10);
  splitsEdit_->setFixedWidth(70);
  splitsRow->addWidget(splitsEdit_);
  auto* spin = new CUpDownCtrl(splitsEdit_, 2, 200, this);
  spin->setObjectName(QString::fromLatin1(shredname::kSpin));
  splitsRow->addWidget(spin);
  splitsRow->addStretch();
  grid->addLayout(splitsRow, 2, 1);
  layout->addLayout(grid);
  return browse;
}

void CShredEquallyDlg::BuildButtons(QBoxLayout* layout) {
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  auto* shred = new QPushButton("&Shred", this);
  shred->setObjectName(QString::fromLatin1(shredname::kShred));
  shred->setToolTip("Starts shredding");
  shred->setDefault(true);
  auto* estimate = new QPushButton("&Estimate", this);
  estimate->setObjectName(QString::fromLatin1(shredname::kEstimate));
  estimate->setToolTip("Gives an estimated information about a split");
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName(QString::fromLatin1(shredname::kCancel));
  buttons->addWidget(shred);
  buttons->addWidget(estimate);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  connect(estimate, &QPushButton::clicked, this, [this] { Estimate(); });
  connect(shred, &QPushButton::clicked, this, &CShredEquallyDlg::OnShred);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CShredEquallyDlg::OnUseOriginalClicked(bool checked) {
  baseEdit_->setEnabled(!checked);
  baseEdit_->setText(checked ? FromFileName(sourceFilePath_) : QString());
}

void CShredEquallyDlg::OnBrowse() {
  FileDialogRequest request;
  request.title = "Browse - Base filename";
  request.filter = fileFilter_;
  request.initialName = useOriginal_->isChecked() ? FromFileName(sourceFileName_) : QString();
  const QString chosen = services_.Prompt().GetSaveFileName(this, request);
  if (chosen.isEmpty()) return;
  const QFileInfo info(chosen);
  if (!useOriginal_->isChecked() ||
      info.fileName().compare(FromFileName(sourceFileName_), Qt::CaseInsensitive) == 0) {
    baseEdit_->setText(chosen);
    return;
  }
  const PromptAnswer answer = services_.Prompt().Ask(
      this, msg::kCaptionConfirm,
      "Use original filename option is enabled, but you have changed the base filename. Do you "
      "wish to use the changed filename ?",
      MessageIcon::Question, PromptButtons::YesNo);
  if (answer == PromptAnswer::Yes) {
    baseEdit_->setText(chosen);
  } else {
    baseEdit_->setText(info.path() + "/" + FromFileName(sourceFileName_));
  }
}

void CShredEquallyDlg::OnShred() {
  baseFilename_ = ToFileName(InDocumentFolder(this, baseEdit_->text()));
  if (baseFilename_.empty()) {
    services_.Prompt().Ask(this, msg::kCaptionError, msg::kEnterBaseFilename, MessageIcon::None,
                           PromptButtons::Ok);
    return;
  }
  if (Estimate() == 0) accept();
}

void CShredEquallyDlg::AskAboutOverlap(double playtime) {
  while (OverlapTooHigh(overlapTime_, playtime)) {
    const PromptAnswer answer = services_.Prompt().Ask(this, msg::kCaptionConfirm,
                                                       FromFileName(OverlapQuestion(overlapTime_, playtime)),
                                                       MessageIcon::Question, PromptButtons::YesNo);
    if (answer != PromptAnswer::Yes || !settingsCommand_) {
      services_.Prompt().Ask(this, msg::kCaptionInformation, kOverlapNotice, MessageIcon::Warning,
                             PromptButtons::Ok);
      break;
    }
    overlapTime_ = settingsCommand_();
  }
}

int CShredEquallyDlg::Estimate() {
  const SplitEstimate estimate = estimate_(numberOfSplits_);
  if (estimate.error != err::kNone) {
    services_.Prompt().Ask(this, msg::kCaptionError, FromFileName(LoadMessage(estimate.error)),
                           MessageIcon::None, PromptButtons::Ok);
    switch (estimate.error) {
      case err::kNoSplits:
        return -3;
      case err::kSplitsNotAboveOne:
        return -2;
      default:
        return -1;
    }
  }
  AskAboutOverlap(estimate.playtime);
  CEstimateDlg window(sourceFileName_, numberOfSplits_, overlapTime_, estimate.size, estimate.playtime, this);
  return window.exec() == QDialog::Accepted ? 0 : -4;
}

CWaveShredEquallyDlg::CWaveShredEquallyDlg(const CGuiServices& services, const WaveSplitFacts& facts,
                                           const std::string& sourceFileName,
                                           const std::string& sourceFilePath, std::uint32_t overlapTime,
                                           QWidget* parent)
    : CShredEquallyDlg(
          services, [facts](std::uint32_t splits) { return EstimateWaveSplit(facts, splits); },
          FromEngineText(FormatNamed("WAV")->FileFilter()), sourceFileName, sourceFilePath, overlapTime,
          parent) {}

CMp3ShredEquallyDlg::CMp3ShredEquallyDlg(const CGuiServices& services, const Mp3SplitFacts& facts,
                                         const std::string& sourceFileName, const std::string& sourceFilePath,
                                         std::uint32_t overlapTime, QWidget* parent)
    : CShredEquallyDlg(
          services, [facts](std::uint32_t splits) { return EstimateMp3Split(facts, splits); },
          FromEngineText(FormatNamed("MP3")->FileFilter()), sourceFileName, sourceFilePath, overlapTime,
          parent) {}
