#include "gui/GuiServices.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>

CGuiServices::CGuiServices() : CGuiServices(MakeQtPrompt()) {}

CGuiServices::CGuiServices(std::unique_ptr<CPrompt> qtPrompt) : CGuiServices(*qtPrompt) {
  qtPrompt_ = std::move(qtPrompt);
}

CGuiServices::CGuiServices(CPrompt& answers)
    : openLink([](const QString& link) { return QDesktopServices::openUrl(QUrl::fromUserInput(link)); }),
      beep([] { QApplication::beep(); }),
      desktop(SessionDesktopServices()),
      prompt_(WithStartFolders(answers)) {}

CGuiServices::~CGuiServices() = default;
