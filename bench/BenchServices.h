#pragma once
// The window services of the benchmark programs, as the GUI tests make
// theirs: nothing waits on a person (every box is answered OK, every file
// dialog cancelled), the settings and the batch log live in a folder of
// their own that goes at the end, and the desktop session is left alone
// (no notifications, no file manager). Create it after the QApplication.

#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "gui/GuiServices.h"
#include "gui/Prompt.h"
#include "settings/StatePaths.h"

namespace bench {

class QuietPrompt : public CPrompt {
 public:
  PromptAnswer Ask(QWidget*, const QString&, const QString&, MessageIcon, PromptButtons) override {
    return PromptAnswer::Ok;
  }
  QString GetOpenFileName(QWidget*, const FileDialogRequest&) override { return {}; }
  QStringList GetOpenFileNames(QWidget*, const FileDialogRequest&) override { return {}; }
  QString GetSaveFileName(QWidget*, const FileDialogRequest&) override { return {}; }
  QString GetExistingDirectory(QWidget*, const QString&, const QString&) override { return {}; }
};

class BenchServices {
 public:
  BenchServices() {
    qputenv("KESTRUNE_CONFIG_DIR", QFile::encodeName(folder_.filePath(QStringLiteral("config"))));
    qputenv("KESTRUNE_STATE_DIR", QFile::encodeName(folder_.filePath(QStringLiteral("state"))));
    services_ = std::make_unique<CGuiServices>(prompt_, SettingsFilePath(), DefaultBatchLogPath());
    struct Quiet : IDesktopNotifier, IFolderShower {
      void Notify(const QString&, const QString&) override {}
      void ShowItem(const QString&) override {}
    };
    auto quiet = std::make_shared<Quiet>();
    services_->desktop.notifier = quiet;
    services_->desktop.folders = quiet;
    services_->desktop.inBackground = [](const QWidget*) { return false; };
  }

  CGuiServices& Services() { return *services_; }

 private:
  QTemporaryDir folder_;
  QuietPrompt prompt_;
  std::unique_ptr<CGuiServices> services_;
};

}  // namespace bench
