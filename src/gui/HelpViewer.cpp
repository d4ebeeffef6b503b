#include "gui/HelpViewer.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "gui/Resources.h"

namespace {
QPointer<CHelpViewer>& Current() {
  static QPointer<CHelpViewer> viewer;
  return viewer;
}
// "<page> - Kestrune Help", or "Kestrune Help" alone for the contents page,
// whose own title already says so.
QString TitleFor(const QString& pageTitle) {
  const QString help = QStringLiteral("Kestrune Help");
  const QString page = pageTitle.trimmed();
  return page.isEmpty() || page == help ? help : page + QStringLiteral(" - ") + help;
}
QUrl TopicUrl(const QString& topic) {
  const QString name = topic.isEmpty() ? QStringLiteral("index") : topic;
  return QUrl(QStringLiteral("qrc:/kestrune/help/%1.html").arg(name));
}
}  // namespace

CHelpViewer::CHelpViewer(QWidget* owner) : QDialog(owner) {
  InitKestruneResources();
  setWindowTitle(QStringLiteral("Kestrune Help"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint);
  setAttribute(Qt::WA_DeleteOnClose);
  browser_ = new QTextBrowser;
  browser_->setOpenLinks(true);
  browser_->setOpenExternalLinks(true);
  browser_->setSearchPaths({QStringLiteral(":/kestrune/help")});

  auto* contents = new QPushButton(tr("&Contents"));
  auto* back = new QPushButton(tr("&Back"));
  auto* forward = new QPushButton(tr("&Forward"));
  auto* close = new QPushButton(tr("Close"));
  back->setEnabled(false);
  forward->setEnabled(false);
  connect(contents, &QPushButton::clicked, this, [this] { GoTo(QString()); });
  connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
  connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
  connect(browser_, &QTextBrowser::sourceChanged, this,
          [this] { setWindowTitle(TitleFor(browser_->documentTitle())); });
  connect(close, &QPushButton::clicked, this, &QDialog::close);

  auto* bar = new QHBoxLayout;
  bar->addWidget(contents);
  bar->addWidget(back);
  bar->addWidget(forward);
  bar->addStretch();
  bar->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(bar);
  layout->addWidget(browser_);
  resize(640, 560);
}

CHelpViewer* CHelpViewer::Instance() {
  return Current().data();
}

void CHelpViewer::GoTo(const QString& topic) {
  browser_->setSource(TopicUrl(topic));
}

CHelpViewer* CHelpViewer::ShowTopic(QWidget* owner, const QString& topic) {
  CHelpViewer* viewer = Current().data();
  if (!viewer) {
    viewer = new CHelpViewer(owner);
    Current() = viewer;
  }
  viewer->GoTo(topic);
  viewer->show();
  viewer->raise();
  viewer->activateWindow();
  return viewer;
}
