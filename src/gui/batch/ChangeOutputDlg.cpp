#include "gui/batch/ChangeOutputDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "gui/FilterEdit.h"
#include "gui/GuiServices.h"
#include "gui/ObjectName.h"

CChangeOutputDlg::CChangeOutputDlg(const CGuiServices& services, QWidget* parent)
    : QDialog(parent), services_(services) {
  setWindowTitle(QStringLiteral("Change Output Filename or Path"));
  nameEdit_ = Named(new CFilterEdit, kName);
  nameEdit_->SetRefusedCharacters(QString::fromLatin1(kRefusedInName));
  folderEdit_ = Named(new CFilterEdit, kFolder);
  folderEdit_->SetRefusedCharacters(QString::fromLatin1(kRefusedInFolder));
  auto* browse = Named(new QPushButton(QStringLiteral("Browse...")), kBrowse);
  browse->setAutoDefault(false);
  connect(browse, &QPushButton::clicked, this, &CChangeOutputDlg::OnBrowse);

  auto* ok = Named(new QPushButton(QStringLiteral("OK")), kOk);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &CChangeOutputDlg::accept);
  auto* cancel = Named(new QPushButton(QStringLiteral("Cancel")), kCancel);
  cancel->setAutoDefault(false);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(QStringLiteral("Output filename")), 0, 0);
  grid->addWidget(nameEdit_, 0, 1, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Output Path")), 1, 0);
  grid->addWidget(folderEdit_, 1, 1);
  grid->addWidget(browse, 1, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addStretch();
  buttons->addWidget(cancel);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(buttons);
  setMinimumWidth(360);
}

void CChangeOutputDlg::SetFolder(const QString& folder) {
  folder_ = folder;
  folderEdit_->setText(folder);
}

void CChangeOutputDlg::SetName(const QString& name) {
  name_ = name;
  nameEdit_->setText(name);
}

void CChangeOutputDlg::OnBrowse() {
  const QString chosen = services_.Prompt().GetExistingDirectory(this, QString(), folderEdit_->text());
  if (chosen.isEmpty()) return;
  folder_ = chosen;
  folderEdit_->setText(chosen);
}

void CChangeOutputDlg::accept() {
  name_ = nameEdit_->text();
  folder_ = folderEdit_->text();
  QDialog::accept();
}
