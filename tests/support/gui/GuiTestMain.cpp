// The main of every GUI test program: the offscreen platform, a private
// settings folder, and a guard that fails any test leaving a modal window
// unanswered instead of hanging.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include "support/gui/GuiTestSupport.h"

namespace kt {

QWidget* FindControl(const QWidget* root, const char* name) {
  return root ? root->findChild<QWidget*>(QString::fromLatin1(name)) : nullptr;
}

void WhenModal(std::function<void(QWidget*)> action, int timeoutMs) {
  auto* timer = new QTimer;
  auto* clock = new QElapsedTimer;
  clock->start();
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, clock, action, timeoutMs] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal->isVisible()) {
      timer->stop();
      timer->deleteLater();
      delete clock;
      action(modal);
    } else if (clock->elapsed() > timeoutMs) {
      timer->stop();
      timer->deleteLater();
      delete clock;
      ADD_FAILURE() << "no modal window appeared within " << timeoutMs << " ms";
    }
  });
  timer->start();
}

void KeyClick(QWidget* widget, int key, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(widget, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(widget, &release);
}

void TypeText(QWidget* widget, const QString& text) {
  for (const QChar c : text) {
    const int key = c.isLetter() ? c.toUpper().unicode() : c.unicode();
    KeyClick(widget, key, QString(c));
  }
}

void Spin(int ms) {
  QElapsedTimer clock;
  clock.start();
  do {
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  } while (clock.elapsed() < ms);
}

}  // namespace kt

namespace {

// Watches for modal windows; one that stays up too long is closed and the
// running test fails. Windows still open when a test ends fail it as well.
class ModalGuard : public testing::EmptyTestEventListener {
 public:
  ModalGuard() {
    timer_.setInterval(100);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Check(); });
    timer_.start();
  }

  void OnTestEnd(const testing::TestInfo&) override {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->isVisible() && w->isModal()) {
        ADD_FAILURE() << "a modal window was left open: " << w->windowTitle().toStdString();
        Dismiss(w);
      }
    }
    seen_.clear();
  }

 private:
  static void Dismiss(QWidget* w) {
    if (auto* dialog = qobject_cast<QDialog*>(w))
      dialog->done(QDialog::Rejected);
    else
      w->close();
    w->hide();
  }

  void Check() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) {
      seen_.clear();
      return;
    }
    if (seen_ != modal) {
      seen_ = modal;
      clock_.start();
      return;
    }
    if (clock_.elapsed() >= kt::kModalGuardSeconds * 1000) {
      ADD_FAILURE() << "modal window left unanswered: " << modal->windowTitle().toStdString();
      Dismiss(modal);
      seen_.clear();
    }
  }

  QTimer timer_;
  QPointer<QWidget> seen_;
  QElapsedTimer clock_;
};

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // Tests never see or change the user's own settings.
  QTemporaryDir configDir;
  if (qEnvironmentVariableIsEmpty("KESTRUNE_CONFIG_DIR"))
    qputenv("KESTRUNE_CONFIG_DIR", configDir.path().toLocal8Bit());
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kestrune"));
  testing::InitGoogleTest(&argc, argv);
  auto* guard = new ModalGuard;
  testing::UnitTest::GetInstance()->listeners().Append(guard);
  const int result = RUN_ALL_TESTS();
  // The guard's timer must go before the application object.
  delete testing::UnitTest::GetInstance()->listeners().Release(guard);
  return result;
}
