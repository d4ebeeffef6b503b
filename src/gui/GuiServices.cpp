#include "gui/GuiServices.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>
#include <utility>

CGuiServices::CGuiServices(const QString& settingsFile, std::string batchLogPath)
    : CGuiServices(MakeQtPrompt(), settingsFile, std::move(batchLogPath)) {}

CGuiServices::CGuiServices(std::unique_ptr<CPrompt> qtPrompt, const QString& settingsFile,
                           std::string batchLogPath)
    : CGuiServices(*qtPrompt, settingsFile, std::move(batchLogPath)) {
  qtPrompt_ = std::move(qtPrompt);
}

CGuiServices::CGuiServices(CPrompt& answers, const QString& settingsFile, std::string batchLogPath)
    : openLink([](const QString& link) { return QDesktopServices::openUrl(QUrl::fromUserInput(link)); }),
      beep([] { QApplication::beep(); }),
      desktop(SessionDesktopServices()),
      settings(settingsFile),
      batchLogPath(std::move(batchLogPath)),
      prompt_(WithStartFolders(answers, settings)) {}

CGuiServices::~CGuiServices() = default;
