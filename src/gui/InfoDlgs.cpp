#include "gui/InfoDlgs.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/ObjectName.h"

namespace {

QDialogButtonBox* OkButton(QDialog* dialog) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  QPushButton* ok = Named(buttons->button(QDialogButtonBox::Ok), "ok");
  ok->setDefault(true);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  return buttons;
}

QLabel* CentredLine(const QString& text, const char* name) {
  auto* label = Named(new QLabel(text), name);
  label->setAlignment(Qt::AlignCenter);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

}  // namespace

CWavInfoDlg::CWavInfoDlg(const QStringList& lines, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("WAV File Information"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  auto* frame = new QGroupBox;
  auto* frameLayout = new QVBoxLayout(frame);
  frameLayout->setSpacing(8);
  for (int i = 0; i < 9; ++i)
    frameLayout->addWidget(CentredLine(i < lines.size() ? lines[i] : QString(), kLineNames[i]));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(frame);
  QDialogButtonBox* buttons = OkButton(this);
  layout->addWidget(buttons, 0, Qt::AlignCenter);
  setMinimumWidth(360);
  buttons->button(QDialogButtonBox::Ok)->setFocus();
}

CMp3InfoDlg::CMp3InfoDlg(const Mp3Information& info, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("MP3 File Information"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  auto* tagFrame = new QGroupBox(QStringLiteral(" TAG info "));
  auto* form = new QFormLayout(tagFrame);
  auto field = [](const QString& text, const char* name) {
    auto* edit = Named(new QLineEdit(text), name);
    edit->setReadOnly(true);
    edit->setCursorPosition(0);
    edit->setMinimumWidth(220);
    return edit;
  };
  static const char* const kTagLabels[6] = {
      "Title   :  ", "Artist  : ", "Album  :", "Year  : ", "Comments  :", "Genre  :"};
  form->addRow(QStringLiteral("File name   :"), field(info.fileName, kFileNameName));
  for (int i = 0; i < 6; ++i)
    form->addRow(QString::fromLatin1(kTagLabels[i]),
                 field(i < info.tagFields.size() ? info.tagFields[i] : QString(), kTagNames[i]));

  auto* mpegFrame = new QGroupBox(QStringLiteral(" MPEG info "));
  auto* mpegLayout = new QVBoxLayout(mpegFrame);
  for (int i = 0; i < 9; ++i)
    mpegLayout->addWidget(
        CentredLine(i < info.mpegLines.size() ? info.mpegLines[i] : QString(), kMpegNames[i]));

  auto* frames = new QHBoxLayout;
  frames->addWidget(tagFrame, 4);
  frames->addWidget(mpegFrame, 3);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(frames);
  QDialogButtonBox* buttons = OkButton(this);
  layout->addWidget(buttons);
  buttons->button(QDialogButtonBox::Ok)->setFocus();
}
