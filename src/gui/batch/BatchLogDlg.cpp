#include "gui/batch/BatchLogDlg.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/batch/BatchLog.h"
#include "gui/ObjectName.h"

CBatchLogDlg::CBatchLogDlg(const QString& logPath, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Batch Convert Log File"));
  text_ = Named(new QPlainTextEdit, kLogText);
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  text_->setPlainText(QString::fromStdString(ReadBatchLogForViewer(logPath.toStdString())));

  auto* ok = Named(new QPushButton(QStringLiteral("OK")), kOk);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addLayout(buttons);
  resize(490, 320);
}
