#include "gui/AboutDlg.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>

#include "Version.h"
#include "gui/GuiServices.h"
#include "gui/ObjectName.h"
#include "gui/Resources.h"
#include "gui/StaticLink.h"

namespace {
QLabel* Centred(const QString& text) {
  auto* label = new QLabel(text);
  label->setAlignment(Qt::AlignCenter);
  return label;
}
}  // namespace

CAboutDlg::CAboutDlg(const CGuiServices& services, QWidget* parent) : QDialog(parent) {
  InitKestruneResources();
  setWindowTitle(QStringLiteral("About Kestrune v" KESTRUNE_VERSION));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  auto* icon = new QLabel;
  icon->setPixmap(QIcon(QStringLiteral(":/kestrune/kestrune.svg")).pixmap(48, 48));
  icon->setAlignment(Qt::AlignCenter);

  auto* name = Centred(QStringLiteral("Kestrune v" KESTRUNE_VERSION));
  QFont bold = name->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.3);
  name->setFont(bold);

  auto link = [&services](const char* text) {
    return new CStaticLink(QString::fromLatin1(text), services.openLink, services.beep);
  };
  webPage_ = Named(link(kMakerWebPage), kWebPageName);
  email_ = Named(link(kMakerEmail), kEmailName);
  email_->SetLink(QStringLiteral("mailto:") + QString::fromLatin1(kMakerEmail));
  encoder_ = Named(link(kEncoderWebPage), kEncoderName);
  for (CStaticLink* link : {webPage_, email_, encoder_}) link->setAlignment(Qt::AlignCenter);

  auto* line = new QFrame;
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  Named(buttons->button(QDialogButtonBox::Ok), "ok")->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->setSpacing(4);
  layout->addWidget(icon);
  layout->addWidget(name);
  layout->addWidget(Centred(QStringLiteral("Version " KESTRUNE_VERSION ", 2026")));
  layout->addSpacing(10);
  layout->addWidget(
      Centred(QStringLiteral("Program concept and coding by %1").arg(QString::fromLatin1(kMakerName))));
  layout->addWidget(webPage_);
  layout->addWidget(email_);
  layout->addSpacing(6);
  auto* lineRow = new QHBoxLayout;
  lineRow->setContentsMargins(30, 0, 30, 0);
  lineRow->addWidget(line);
  layout->addLayout(lineRow);
  layout->addSpacing(6);
  layout->addWidget(Centred(QStringLiteral("MP3 technology powered by")));
  layout->addWidget(encoder_);
  layout->addSpacing(8);
  layout->addWidget(buttons, 0, Qt::AlignCenter);
  // At least 380 pixels wide, wider when a large font needs it.
  layout->addSpacerItem(new QSpacerItem(380 - 2 * 11, 0, QSizePolicy::Minimum, QSizePolicy::Fixed));
  layout->setSizeConstraint(QLayout::SetFixedSize);
}
