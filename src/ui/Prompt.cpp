#include "ui/Prompt.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace {

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information:
      return QMessageBox::Information;
    case MessageIcon::Warning:
      return QMessageBox::Warning;
    case MessageIcon::Error:
      return QMessageBox::Critical;
    case MessageIcon::Question:
      return QMessageBox::Question;
    case MessageIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQtButtons(PromptButtons buttons) {
  switch (buttons) {
    case PromptButtons::Ok:
      return QMessageBox::Ok;
    case PromptButtons::OkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case PromptButtons::YesNo:
      return QMessageBox::Yes | QMessageBox::No;
    case PromptButtons::YesNoCancel:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
  }
  return QMessageBox::Ok;
}

// Sets up a QFileDialog as the request asks; the caller decides open or save.
void Configure(QFileDialog& dialog, const FileDialogRequest& request) {
  if (!request.title.isEmpty()) dialog.setWindowTitle(request.title);
  const QString filter = QtFilter(request.filter);
  if (!filter.isEmpty()) dialog.setNameFilters(filter.split(QStringLiteral(";;")));
  if (!request.defaultExtension.isEmpty()) dialog.setDefaultSuffix(request.defaultExtension);
  if (!request.initialName.isEmpty()) {
    const QFileInfo info(request.initialName);
    if (info.isAbsolute()) dialog.setDirectory(info.absolutePath());
    dialog.selectFile(info.fileName());
  }
  // Read-only files are listed like any other: the toolkit has no such box.
  dialog.setOption(QFileDialog::ReadOnly, false);
}

class QtPrompt final : public CPrompt {
 public:
  PromptAnswer Ask(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon,
                   PromptButtons buttons) override {
    QMessageBox box(ToQtIcon(icon), caption, text, ToQtButtons(buttons), parent);
    box.setTextFormat(Qt::PlainText);
    switch (box.exec()) {
      case QMessageBox::Yes:
        return PromptAnswer::Yes;
      case QMessageBox::No:
        return PromptAnswer::No;
      case QMessageBox::Cancel:
        return PromptAnswer::Cancel;
      case QMessageBox::Ok:
        return PromptAnswer::Ok;
      default:
        // Closed by the title bar or Escape.
        return buttons == PromptButtons::YesNo ? PromptAnswer::No
               : buttons == PromptButtons::Ok  ? PromptAnswer::Ok
                                               : PromptAnswer::Cancel;
    }
  }

  QString GetOpenFileName(QWidget* parent, const FileDialogRequest& request) override {
    QFileDialog dialog(parent);
    Configure(dialog, request);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
  }

  QStringList GetOpenFileNames(QWidget* parent, const FileDialogRequest& request) override {
    QFileDialog dialog(parent);
    Configure(dialog, request);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles();
  }

  QString GetSaveFileName(QWidget* parent, const FileDialogRequest& request) override {
    QFileDialog dialog(parent);
    Configure(dialog, request);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
  }

  QString GetExistingDirectory(QWidget* parent, const QString& title, const QString& start) override {
    return QFileDialog::getExistingDirectory(parent, title, start);
  }
};

CPrompt*& Installed() {
  static CPrompt* prompt = nullptr;
  return prompt;
}

}  // namespace

CPrompt& Prompt() {
  static QtPrompt qtPrompt;
  CPrompt* installed = Installed();
  return installed ? *installed : qtPrompt;
}

void SetPrompt(CPrompt* prompt) {
  Installed() = prompt;
}

QString QtFilter(const QString& filter) {
  // "desc|pattern|desc|pattern||": pairs until an empty description. The
  // description already names its patterns, so Qt gets "desc (patterns)"
  // only when the description does not show them itself.
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    const QString desc = parts[i].trimmed();
    if (desc.isEmpty()) break;
    QStringList patterns;
    for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      const QString pattern = p.trimmed();
      if (!pattern.isEmpty()) patterns << pattern;
    }
    if (patterns.isEmpty()) continue;
    QString label = desc;
    // Qt reads the patterns from the last parentheses of an entry.
    const int open = label.lastIndexOf(QLatin1Char('('));
    if (open >= 0) label = label.left(open).trimmed();
    out << QStringLiteral("%1 (%2)").arg(label, patterns.join(QLatin1Char(' ')));
  }
  return out.join(QStringLiteral(";;"));
}
