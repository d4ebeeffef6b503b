#include "gui/RipChannelsDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/StringTable.h"
#include "gui/GuiServices.h"

CRipChannelsDlg::CRipChannelsDlg(const CGuiServices& services, std::uint32_t channelCount,
                                 const std::string& fileFilter, QWidget* parent)
    : QDialog(parent), services_(services), channelCount_(channelCount), fileFilter_(fileFilter) {
  setWindowTitle("Rip Channels");
  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // not resizable

  auto* nameRow = new QHBoxLayout;
  nameRow->addWidget(new QLabel("Rip to file  :", this));
  nameEdit_ = new QLineEdit(this);
  nameEdit_->setObjectName(QString::fromLatin1(ripname::kName));
  nameEdit_->setMinimumWidth(220);
  nameRow->addWidget(nameEdit_);
  auto* browse = new QPushButton("Browse...", this);
  browse->setObjectName(QString::fromLatin1(ripname::kBrowse));
  nameRow->addWidget(browse);
  layout->addLayout(nameRow);

  layout->addWidget(new QLabel("Select the track(s) to rip", this));
  auto* grid = new QGridLayout;
  const char* texts[kBoxes] = {"Left track", "Right track", "Channel #3",
                               "Channel #4", "Channel #5",  "Channel #6"};
  const char* const ids[kBoxes] = {ripname::kLeft,     ripname::kRight,    ripname::kChannel3,
                                   ripname::kChannel4, ripname::kChannel5, ripname::kChannel6};
  for (int k = 0; k < kBoxes; ++k) {
    auto* box = new QCheckBox(texts[k], this);
    box->setObjectName(QString::fromLatin1(ids[k]));
    // Channels the file does not have cannot be picked; "Left track" always can.
    box->setEnabled(k == 0 || static_cast<std::uint32_t>(k) < channelCount_);
    connect(box, &QCheckBox::toggled, this, [this, k](bool on) {
      channelFlags_[k] = on;
      const auto bit = static_cast<std::uint8_t>(1u << k);
      channelMask_ = static_cast<std::uint8_t>(on ? channelMask_ | bit : channelMask_ & ~bit);
    });
    grid->addWidget(box, k / 2, k % 2);
  }
  layout->addLayout(grid);

  auto* buttons = new QDialogButtonBox(this);
  auto* ok = buttons->addButton(QDialogButtonBox::Ok);
  ok->setObjectName(QString::fromLatin1(ripname::kOk));
  ok->setDefault(true);
  auto* cancel = buttons->addButton(QDialogButtonBox::Cancel);
  cancel->setObjectName(QString::fromLatin1(ripname::kCancel));
  layout->addWidget(buttons);

  connect(browse, &QPushButton::clicked, this, &CRipChannelsDlg::OnBrowse);
  connect(ok, &QPushButton::clicked, this, &CRipChannelsDlg::OnOk);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CRipChannelsDlg::OnBrowse() {
  FileDialogRequest request;
  request.title = "Browse - Output filename";
  request.filter = QString::fromStdString(fileFilter_);
  request.initialName = nameEdit_->text();
  request.overwritePrompt = true;
  const QString chosen = services_.Prompt().GetSaveFileName(this, request);
  if (!chosen.isEmpty()) nameEdit_->setText(chosen);
}

std::string CRipChannelsDlg::WithWavExtension(const std::string& name) {
  // An extension is a dot after the first character of the last path part.
  const std::size_t slash = name.rfind('/');
  const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot <= start) return name + ".wav";
  // "name." has an empty extension: it becomes "name.wav".
  return dot + 1 == name.size() ? name + "wav" : name;
}

void CRipChannelsDlg::OnOk() {
  if (channelMask_ == 0) {
    services_.Prompt().Ask(this, msg::kCaptionError, msg::kSelectChannel, MessageIcon::None,
                           PromptButtons::Ok);
    return;
  }
  outputName_ = QFile::encodeName(nameEdit_->text()).toStdString();
  if (outputName_.empty()) {
    services_.Prompt().Ask(this, msg::kCaptionError, msg::kEnterFilename, MessageIcon::None,
                           PromptButtons::Ok);
    return;
  }
  outputName_ =
      QFile::encodeName(InDocumentFolder(this, QFile::decodeName(WithWavExtension(outputName_).c_str())))
          .toStdString();
  accept();
}
