#include "gui/ConvertMp3Dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "core/StringTable.h"
#include "core/open/Formats.h"
#include "gui/EngineText.h"
#include "gui/GuiServices.h"
#include "gui/ObjectName.h"

namespace {
// The leading decimal integer of a list entry; "Automatic" gives 0.
std::uint16_t LeadingNumber(const QString& text) {
  std::uint32_t value = 0;
  for (QChar c : text) {
    if (c < '0' || c > '9' || value > 0xFFFF) break;
    value = value * 10 + (c.unicode() - '0');
  }
  return static_cast<std::uint16_t>(value);
}
}  // namespace

CConvertMp3Dlg::CConvertMp3Dlg(const CGuiServices& services, QWidget* parent)
    : QDialog(parent), services_(services) {
  setWindowTitle("Convert to MP3");
  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // not resizable
  QPushButton* browse = BuildNameRow(layout);
  BuildBitrateGroup(layout);
  BuildQualityGroup(layout);
  BuildFlags(layout);
  // Secondary text in the normal text colour: a disabled grey is hard to read.
  auto* credit = Named(new QLabel("MP3 encoding by the LAME project (lame.sourceforge.net)", this),
                       convertmp3name::kCredit);
  layout->addWidget(credit);

  auto* buttons = new QDialogButtonBox(this);
  auto* ok = Named(buttons->addButton(QDialogButtonBox::Ok), convertmp3name::kOk);
  auto* cancel = Named(buttons->addButton(QDialogButtonBox::Cancel), convertmp3name::kCancel);
  ok->setDefault(true);
  layout->addWidget(buttons);

  OnEncodingChanged(0);
  connect(encoding_, &QComboBox::currentIndexChanged, this, &CConvertMp3Dlg::OnEncodingChanged);
  connect(browse, &QPushButton::clicked, this, &CConvertMp3Dlg::OnBrowse);
  connect(ok, &QPushButton::clicked, this, &CConvertMp3Dlg::OnOk);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QPushButton* CConvertMp3Dlg::BuildNameRow(QBoxLayout* layout) {
  auto* nameRow = new QHBoxLayout;
  nameRow->addWidget(new QLabel("MP3 Filename", this));
  nameEdit_ = Named(new QLineEdit(this), convertmp3name::kName);
  nameEdit_->setMinimumWidth(260);
  nameRow->addWidget(nameEdit_);
  auto* browse = Named(new QPushButton("Browse...", this), convertmp3name::kBrowse);
  nameRow->addWidget(browse);
  layout->addLayout(nameRow);
  return browse;
}

void CConvertMp3Dlg::BuildBitrateGroup(QBoxLayout* layout) {
  auto* bitrateGroup = new QGroupBox("MP3 Bitrate", this);
  auto* bitrateGrid = new QGridLayout(bitrateGroup);
  bitrateGrid->addWidget(new QLabel("Bitrate Encoding", bitrateGroup), 0, 0);
  encoding_ = Named(new QComboBox(bitrateGroup), convertmp3name::kEncoding);
  encoding_->addItems({"Constant Bitrate (CBR)", "Variable Bitrate (VBR)", "Average Bitrate (ABR)"});
  bitrateGrid->addWidget(encoding_, 0, 1, 1, 2);
  bitrateGrid->addWidget(new QLabel("Output bitrate", bitrateGroup), 1, 0);
  bitrateList_ = Named(new QComboBox(bitrateGroup), convertmp3name::kBitrate);
  bitrateList_->addItems({"Automatic", "32", "40", "48", "56", "64", "80", "96", "112", "128", "160", "192",
                          "224", "256", "320"});
  bitrateGrid->addWidget(bitrateList_, 1, 1);
  bitrateGrid->addWidget(new QLabel("Kbits/Sec", bitrateGroup), 1, 2);
  layout->addWidget(bitrateGroup);
}

void CConvertMp3Dlg::BuildQualityGroup(QBoxLayout* layout) {
  qualityGroup_ = Named(new QGroupBox("VBR MP3 Quality", this), convertmp3name::kQualityGroup);
  auto* qualityLayout = new QGridLayout(qualityGroup_);
  quality_ = Named(new QSlider(Qt::Horizontal, qualityGroup_), convertmp3name::kQuality);
  quality_->setRange(0, 10);
  quality_->setValue(5);
  quality_->setPageStep(1);
  quality_->setTickPosition(QSlider::NoTicks);
  qualityLayout->addWidget(quality_, 0, 0, 1, 3);
  const char* labelTexts[] = {"Low", "Medium", "High"};
  const char* const labelIds[] = {convertmp3name::kLow, convertmp3name::kMedium, convertmp3name::kHigh};
  const Qt::Alignment alignments[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
  for (int i = 0; i < 3; ++i) {
    qualityLabels_[i] = Named(new QLabel(labelTexts[i], qualityGroup_), labelIds[i]);
    qualityLayout->addWidget(qualityLabels_[i], 1, i, alignments[i]);
  }
  layout->addWidget(qualityGroup_);
}

void CConvertMp3Dlg::BuildFlags(QBoxLayout* layout) {
  mono_ = Named(new QCheckBox("Generate mono output", this), convertmp3name::kMono);
  auto* original = Named(new QCheckBox("Set as &Original", this), convertmp3name::kOriginal);
  auto* copyright = Named(new QCheckBox("Set &Copyright", this), convertmp3name::kCopyright);
  auto* crc = Named(new QCheckBox("Enable C&RC", this), convertmp3name::kCrc);
  original->setChecked(true);
  for (QCheckBox* box : {mono_, original, copyright, crc}) layout->addWidget(box);
  connect(original, &QCheckBox::toggled, this, [this](bool on) { originalFlag_ = on; });
  connect(copyright, &QCheckBox::toggled, this, [this](bool on) { copyrightFlag_ = on; });
  connect(crc, &QCheckBox::toggled, this, [this](bool on) { crcFlag_ = on; });
}

void CConvertMp3Dlg::OnEncodingChanged(int index) {
  const bool variable = index == 1;
  qualityGroup_->setEnabled(variable);
  quality_->setEnabled(variable);
  for (QLabel* label : qualityLabels_) label->setEnabled(variable);
}

void CConvertMp3Dlg::OnBrowse() {
  FileDialogRequest request;
  request.title = "Browse - MP3 Output filename";
  request.filter = FromEngineText(FormatNamed("MP3")->FileFilter());
  request.defaultExtension = "mp3";
  request.initialName = nameEdit_->text();
  request.overwritePrompt = true;
  const QString chosen = services_.Prompt().GetSaveFileName(this, request);
  if (!chosen.isEmpty()) nameEdit_->setText(chosen);
}

std::string CConvertMp3Dlg::WithMp3Extension(const std::string& name) {
  return name.find(".mp3", 1) == std::string::npos ? name + ".mp3" : name;
}

void CConvertMp3Dlg::OnOk() {
  mp3Name_ = QFile::encodeName(nameEdit_->text()).toStdString();
  if (mp3Name_.empty()) {
    services_.Prompt().Ask(this, msg::kCaptionError, msg::kEnterMp3Filename, MessageIcon::None,
                           PromptButtons::Ok);
    return;
  }
  mp3Name_ = QFile::encodeName(InDocumentFolder(this, QFile::decodeName(WithMp3Extension(mp3Name_).c_str())))
                 .toStdString();
  bitrate_ = LeadingNumber(bitrateList_->currentText());
  const int index = encoding_->currentIndex();
  encodingMode_ = index == 1 ? 2 : index == 2 ? 3 : 0;
  vbrQuality_ = static_cast<std::uint16_t>(quality_->value() == 0 ? 9 : 10 - quality_->value());
  monoFlag_ = mono_->isChecked();
  accept();
}

Mp3EncodeSettings CConvertMp3Dlg::GetSettings() const {
  Mp3EncodeSettings settings;
  settings.bitrate = bitrate_;
  settings.encodingMode = encodingMode_;
  settings.vbrQuality = vbrQuality_;
  settings.monoFlag = monoFlag_;
  settings.copyrightFlag = copyrightFlag_;
  settings.crcFlag = crcFlag_;
  settings.originalFlag = originalFlag_;
  return settings;
}
