#include "gui/SettingsDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "core/StringTable.h"
#include "gui/FilterEdit.h"
#include "gui/GuiServices.h"
#include "gui/ObjectName.h"

namespace {

// The overlap field takes digits only; typed values above the arrows' 200
// are accepted, as in any edit field.
class COverlapSpin : public QSpinBox {
 public:
  COverlapSpin() {
    setRange(0, 200);
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    // The arrows stop at 0 and 200; the text itself is free digits.
    setMaximum(INT_MAX);
  }
  void stepBy(int steps) override {
    const long next = static_cast<long>(value()) + steps;
    setValue(static_cast<int>(std::clamp<long>(next, 0, 200)));
  }

 protected:
  StepEnabled stepEnabled() const override {
    StepEnabled enabled = StepNone;
    if (value() > 0) enabled |= StepDownEnabled;
    if (value() < 200) enabled |= StepUpEnabled;
    return enabled;
  }
};

// Reads digits as an unsigned decimal; a text that is not a number gives 0.
std::uint32_t ParseUnsigned(const QString& text) {
  bool ok = false;
  const qulonglong value = text.trimmed().toULongLong(&ok, 10);
  if (!ok || value > 0xFFFFFFFFull) return 0;
  return static_cast<std::uint32_t>(value);
}

}  // namespace

CSettingsDlg::CSettingsDlg(const CGuiServices& services, QWidget* parent)
    : QDialog(parent), services_(services), overlapTime_(ReadOverlapTime()), suffix_(ReadFilenameSuffix()) {
  Build();
}

CSettingsDlg::CSettingsDlg(const CGuiServices& services, std::uint32_t overlapTime, const std::string& suffix,
                           bool overlapGiven, bool suffixGiven, QWidget* parent)
    : QDialog(parent),
      services_(services),
      overlapTime_(overlapGiven ? overlapTime : ReadOverlapTime()),
      suffix_(suffixGiven ? suffix : ReadFilenameSuffix()) {
  Build();
}

std::uint32_t CSettingsDlg::ReadOverlapTime() const {
  return services_.settings.OverlapTime();
}
std::string CSettingsDlg::ReadFilenameSuffix() const {
  return services_.settings.Suffix();
}
bool CSettingsDlg::SaveOverlapTime() const {
  return services_.settings.SetOverlapTime(overlapTime_);
}
bool CSettingsDlg::SaveFilenameSuffix() const {
  return services_.settings.SetSuffix(suffix_);
}
bool CSettingsDlg::SaveGaplessMp3() const {
  return services_.settings.SetGaplessMp3(gapless_);
}

void CSettingsDlg::SetGaplessMp3(bool gapless) {
  gapless_ = gapless;
  gaplessBox_->setChecked(gapless);
}

void CSettingsDlg::Build() {
  setWindowTitle(QStringLiteral("Customize settings"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  spin_ = Named(new COverlapSpin, kSpinName);
  spin_->setValue(static_cast<int>(std::min<std::uint32_t>(overlapTime_, INT_MAX)));
  spin_->setMinimumWidth(80);
  // The spin box's text field is the overlap edit.
  auto* overlapEdit = spin_->findChild<QLineEdit*>();
  if (overlapEdit) Named(overlapEdit, kOverlapEditName);

  suffixEdit_ = Named(new CFilterEdit, kSuffixEditName);
  suffixEdit_->SetRefusedCharacters(QString::fromLatin1(LoadMessage(ids::kRefusedNameChars).c_str()));
  suffixEdit_->setText(QString::fromStdString(suffix_));
  suffixEdit_->setMinimumWidth(160);

  saveOverlap_ = Named(new QCheckBox(QStringLiteral("Save overlap time")), kSaveOverlapName);
  saveSuffix_ = Named(new QCheckBox(QStringLiteral("Save filename suffix")), kSaveSuffixName);
  gapless_ = services_.settings.GaplessMp3();
  gaplessBox_ = Named(new QCheckBox(QStringLiteral("Gapless MP3 pieces")), kGaplessName);
  gaplessBox_->setChecked(gapless_);
  saveGapless_ = Named(new QCheckBox(QStringLiteral("Save")), kSaveGaplessName);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  Named(buttons->button(QDialogButtonBox::Ok), "ok");
  Named(buttons->button(QDialogButtonBox::Cancel), "cancel");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  // The dialog takes the size its contents need, whatever the font.
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->addLayout(LayOutGrid());
  layout->addSpacing(8);
  layout->addWidget(buttons);
}

QGridLayout* CSettingsDlg::LayOutGrid() {
  auto* line = new QFrame;
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);

  // One grid, so both fields start at the same x and both Save boxes line
  // up; the explanations run on one line each, as wide as the dialog.
  grid_ = new QGridLayout;
  grid_->setHorizontalSpacing(10);
  grid_->addWidget(
      new QLabel(QStringLiteral("If you want to have the file splits to overlap each other, then set "
                                "the desired overlaping time ")),
      0, kLabelColumn, 1, 3);
  grid_->addWidget(new QLabel(QStringLiteral("Set overlaping time in seconds :")), 1, kLabelColumn);
  grid_->addWidget(spin_, 1, kFieldColumn, Qt::AlignLeft);
  grid_->addWidget(saveOverlap_, 1, kSaveColumn);
  grid_->setRowMinimumHeight(2, 6);
  grid_->addWidget(line, 3, kLabelColumn, 1, 3);
  grid_->addWidget(new QLabel(QStringLiteral(
                       "Enter the filename suffix that will be appened to each of the file splits.")),
                   4, kLabelColumn, 1, 3);
  grid_->addWidget(new QLabel(QStringLiteral("Filename suffix :")), 5, kLabelColumn);
  grid_->addWidget(suffixEdit_, 5, kFieldColumn);
  grid_->addWidget(saveSuffix_, 5, kSaveColumn);
  grid_->addWidget(gaplessBox_, kSpareRow, kLabelColumn, 1, 2);
  grid_->addWidget(saveGapless_, kSpareRow, kSaveColumn);
  grid_->setColumnStretch(kSaveColumn, 1);
  return grid_;
}

void CSettingsDlg::accept() {
  auto* overlapEdit = spin_->findChild<QLineEdit*>();
  overlapTime_ = ParseUnsigned(overlapEdit ? overlapEdit->text() : QString());
  suffix_ = suffixEdit_->text().toStdString();
  gapless_ = gaplessBox_->isChecked();
  if (saveOverlap_->isChecked() && !SaveOverlapTime())
    services_.Prompt().Ask(this, msg::kCaptionError, msg::kUnableSaveOverlap, MessageIcon::Warning,
                           PromptButtons::Ok);
  if (saveSuffix_->isChecked() && !SaveFilenameSuffix())
    services_.Prompt().Ask(this, msg::kCaptionError, msg::kUnableSaveSuffix, MessageIcon::Warning,
                           PromptButtons::Ok);
  if (saveGapless_->isChecked() && !SaveGaplessMp3())
    services_.Prompt().Ask(this, msg::kCaptionError, msg::kUnableSaveGapless, MessageIcon::Warning,
                           PromptButtons::Ok);
  QDialog::accept();
}
