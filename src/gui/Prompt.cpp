#include "gui/Prompt.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMessageBox>
#include <QPointer>
#include <QTreeView>
#include <functional>

#include "settings/SettingsStore.h"

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
  if (!request.directory.isEmpty()) dialog.setDirectory(request.directory);
  if (!request.initialName.isEmpty()) {
    const QFileInfo info(request.initialName);
    if (info.isAbsolute()) dialog.setDirectory(info.absolutePath());
    dialog.selectFile(info.fileName());
  }
  // Qt's own dialog (used where no desktop integration provides one) opens
  // too small to show the name, size, type and date columns: give it room,
  // fit size, type and date to their contents and let the name take the rest.
  const QFontMetrics metrics(dialog.font());
  dialog.resize(qMax(dialog.width(), metrics.averageCharWidth() * 110),
                qMax(dialog.height(), metrics.lineSpacing() * 30));
  if (auto* details = dialog.findChild<QTreeView*>()) {
    QHeaderView* header = details->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < header->count(); ++column)
      header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
  }
  // Read-only files are listed like any other: the toolkit has no such box.
  dialog.setOption(QFileDialog::ReadOnly, false);
}

PromptAnswer ToAnswer(int result, PromptButtons buttons) {
  switch (result) {
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

// Windows that asked for it get boxes and dialogs modal to themselves only.
void SetModality(QWidget* dialog, const QWidget* parent) {
  if (parent && parent->window()->property(kWindowModalBoxesProperty).toBool())
    dialog->setWindowModality(Qt::WindowModal);
}

// An open message box; the box deletes itself when it closes.
class QtPromptHandle final : public CPromptHandle {
 public:
  explicit QtPromptHandle(QMessageBox* box) : box_(box) {}
  bool IsOpen() const override { return box_ && !answered_; }
  void Withdraw() override {
    if (!box_) return;
    QObject::disconnect(box_, nullptr, nullptr, nullptr);
    box_->close();
    box_->deleteLater();
    box_ = nullptr;
  }
  void MarkAnswered() { answered_ = true; }

 private:
  QPointer<QMessageBox> box_;
  bool answered_ = false;
};

class QtPrompt final : public CPrompt {
 public:
  PromptAnswer Ask(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon,
                   PromptButtons buttons) override {
    QMessageBox box(ToQtIcon(icon), caption, text, ToQtButtons(buttons), parent);
    box.setTextFormat(Qt::PlainText);
    SetModality(&box, parent);
    return ToAnswer(box.exec(), buttons);
  }

  std::shared_ptr<CPromptHandle> Open(QWidget* parent, const QString& caption, const QString& text,
                                      MessageIcon icon, PromptButtons buttons,
                                      std::function<void(PromptAnswer)> answered) override {
    auto* box = new QMessageBox(ToQtIcon(icon), caption, text, ToQtButtons(buttons), parent);
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    auto handle = std::make_shared<QtPromptHandle>(box);
    QObject::connect(box, &QDialog::finished, box,
                     [weak = std::weak_ptr<QtPromptHandle>(handle), buttons, answered](int result) {
                       if (auto open = weak.lock()) open->MarkAnswered();
                       if (answered) answered(ToAnswer(result, buttons));
                     });
    box->open();
    return handle;
  }

  void OpenFileNames(QWidget* parent, const FileDialogRequest& request,
                     std::function<void(const QStringList&)> chosen) override {
    auto* dialog = new QFileDialog(parent);
    Configure(*dialog, request);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFiles);
    OpenWithoutWaiting(dialog, parent, [chosen](const QStringList& files) {
      if (chosen) chosen(files);
    });
  }

  void OpenDirectory(QWidget* parent, const QString& title, const QString& start,
                     std::function<void(const QString&)> chosen) override {
    auto* dialog = new QFileDialog(parent, title, start);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    OpenWithoutWaiting(dialog, parent, [chosen](const QStringList& files) {
      if (chosen) chosen(files.isEmpty() ? QString() : files.front());
    });
  }

  QString GetOpenFileName(QWidget* parent, const FileDialogRequest& request) override {
    QFileDialog dialog(parent);
    SetModality(&dialog, parent);
    Configure(dialog, request);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
  }

  QStringList GetOpenFileNames(QWidget* parent, const FileDialogRequest& request) override {
    QFileDialog dialog(parent);
    SetModality(&dialog, parent);
    Configure(dialog, request);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles();
  }

  QString GetSaveFileName(QWidget* parent, const FileDialogRequest& request) override {
    QFileDialog dialog(parent);
    SetModality(&dialog, parent);
    Configure(dialog, request);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
  }

  // Shows dialog modal to parent's window and hands its files (none when
  // cancelled) to done; the dialog deletes itself when it closes.
  static void OpenWithoutWaiting(QFileDialog* dialog, QWidget* parent,
                                 std::function<void(const QStringList&)> done) {
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, done](int result) {
      done(result == QDialog::Accepted ? dialog->selectedFiles() : QStringList());
    });
    dialog->open();
  }

  QString GetExistingDirectory(QWidget* parent, const QString& title, const QString& start) override {
    QFileDialog dialog(parent, title, start);
    SetModality(&dialog, parent);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
  }
};

// Gives each file dialog its starting folder and remembers where the user
// went, then asks the prompt underneath.
class StartFolderPrompt final : public CPrompt {
 public:
  StartFolderPrompt(CPrompt& inner, const CSettingsStore& settings) : inner_(inner), settings_(settings) {}

  PromptAnswer Ask(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon,
                   PromptButtons buttons) override {
    return inner_.Ask(parent, caption, text, icon, buttons);
  }
  std::shared_ptr<CPromptHandle> Open(QWidget* parent, const QString& caption, const QString& text,
                                      MessageIcon icon, PromptButtons buttons,
                                      std::function<void(PromptAnswer)> answered) override {
    return inner_.Open(parent, caption, text, icon, buttons, std::move(answered));
  }
  QString GetOpenFileName(QWidget* parent, const FileDialogRequest& request) override {
    return Remember(inner_.GetOpenFileName(parent, WithStart(parent, request)));
  }
  QStringList GetOpenFileNames(QWidget* parent, const FileDialogRequest& request) override {
    const QStringList paths = inner_.GetOpenFileNames(parent, WithStart(parent, request));
    if (!paths.isEmpty()) Remember(paths.front());
    return paths;
  }
  QString GetSaveFileName(QWidget* parent, const FileDialogRequest& request) override {
    return Remember(inner_.GetSaveFileName(parent, WithStart(parent, request)));
  }
  void OpenFileNames(QWidget* parent, const FileDialogRequest& request,
                     std::function<void(const QStringList&)> chosen) override {
    inner_.OpenFileNames(parent, WithStart(parent, request), [this, chosen](const QStringList& paths) {
      if (!paths.isEmpty()) Remember(paths.front());
      if (chosen) chosen(paths);
    });
  }
  void OpenDirectory(QWidget* parent, const QString& title, const QString& start,
                     std::function<void(const QString&)> chosen) override {
    inner_.OpenDirectory(parent, title, start.isEmpty() ? DialogStartFolder(parent, settings_) : start,
                         [this, chosen](const QString& folder) {
                           if (!folder.isEmpty()) settings_.SetLastFolder(QDir::cleanPath(folder));
                           if (chosen) chosen(folder);
                         });
  }
  QString GetExistingDirectory(QWidget* parent, const QString& title, const QString& start) override {
    const QString folder = inner_.GetExistingDirectory(
        parent, title, start.isEmpty() ? DialogStartFolder(parent, settings_) : start);
    if (!folder.isEmpty()) settings_.SetLastFolder(QDir::cleanPath(folder));
    return folder;
  }

 private:
  FileDialogRequest WithStart(const QWidget* parent, FileDialogRequest request) const {
    if (request.directory.isEmpty()) {
      const QFileInfo initial(request.initialName);
      request.directory = !request.initialName.isEmpty() && initial.isAbsolute()
                              ? initial.absolutePath()
                              : DialogStartFolder(parent, settings_);
    }
    return request;
  }
  QString Remember(const QString& path) {
    if (!path.isEmpty()) settings_.SetLastFolder(QFileInfo(path).absolutePath());
    return path;
  }

  CPrompt& inner_;
  const CSettingsStore& settings_;
};

// The handle of a question that was answered before Open returned.
class AnsweredHandle final : public CPromptHandle {
 public:
  bool IsOpen() const override { return false; }
  void Withdraw() override {}
};

}  // namespace

std::shared_ptr<CPromptHandle> CPrompt::Open(QWidget* parent, const QString& caption, const QString& text,
                                             MessageIcon icon, PromptButtons buttons,
                                             std::function<void(PromptAnswer)> answered) {
  const PromptAnswer answer = Ask(parent, caption, text, icon, buttons);
  if (answered) answered(answer);
  return std::make_shared<AnsweredHandle>();
}

void CPrompt::OpenFileNames(QWidget* parent, const FileDialogRequest& request,
                            std::function<void(const QStringList&)> chosen) {
  const QStringList files = GetOpenFileNames(parent, request);
  if (chosen) chosen(files);
}

void CPrompt::OpenDirectory(QWidget* parent, const QString& title, const QString& start,
                            std::function<void(const QString&)> chosen) {
  const QString folder = GetExistingDirectory(parent, title, start);
  if (chosen) chosen(folder);
}

std::unique_ptr<CPrompt> MakeQtPrompt() {
  return std::make_unique<QtPrompt>();
}

std::unique_ptr<CPrompt> WithStartFolders(CPrompt& inner, const CSettingsStore& settings) {
  return std::make_unique<StartFolderPrompt>(inner, settings);
}

namespace {
QString DocumentFolder(const QWidget* parent) {
  for (const QWidget* window = parent; window; window = window->parentWidget()) {
    const QString folder = window->property(kDocumentFolderProperty).toString();
    if (!folder.isEmpty()) return folder;
  }
  return {};
}
}  // namespace

QString InDocumentFolder(const QWidget* parent, const QString& name) {
  if (name.isEmpty() || QDir::isAbsolutePath(name)) return name;
  const QString folder = DocumentFolder(parent);
  return folder.isEmpty() ? name : QDir(folder).filePath(name);
}

QString DialogStartFolder(const QWidget* parent, const CSettingsStore& settings) {
  if (const QString folder = DocumentFolder(parent); !folder.isEmpty()) return folder;
  const QString last = settings.LastFolder();
  return !last.isEmpty() && QFileInfo(last).isDir() ? last : QString();
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
