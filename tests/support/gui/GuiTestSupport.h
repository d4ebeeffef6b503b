#pragma once
// Helpers for GUI tests: finding controls by their object names and
// answering modal windows that a command opens and waits on.

#include <QApplication>
#include <QWidget>
#include <functional>

namespace kt {

// The descendant of root with that object name (nullptr if none).
QWidget* FindControl(const QWidget* root, const char* name);

template <typename T>
T* Control(const QWidget* root, const char* name) {
  return qobject_cast<T*>(FindControl(root, name));
}

// Runs action on the next modal window that appears (from inside its own
// event loop), so a test can fill in and close a dialog that a command runs
// with exec(). Gives up after timeoutMs; the modal guard then fails the test.
void WhenModal(std::function<void(QWidget* modal)> action, int timeoutMs = 3000);

// Sends a key press and release to widget, as typing would.
void KeyClick(QWidget* widget, int key, const QString& text = QString());
// Types text into widget character by character.
void TypeText(QWidget* widget, const QString& text);

// Lets pending events run (timers, posted events) for about ms milliseconds.
void Spin(int ms = 0);

// Seconds a modal window may stay up unanswered before the guard closes it
// and fails the running test.
inline constexpr int kModalGuardSeconds = 5;

}  // namespace kt
