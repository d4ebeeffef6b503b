#pragma once
// Drives dialogs offscreen: a prompt that answers from a script and records
// every question and file dialog, control lookup by id, and actions run on
// the next modal window that opens.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ui/Prompt.h"

namespace kt {

struct PromptCall {
  enum Kind { Message, OpenFile, SaveFile } kind = Message;
  QString caption, text;
  MessageIcon icon = MessageIcon::None;
  PromptButtons buttons = PromptButtons::Ok;
  FileDialogRequest request;
};

// Answers questions and file dialogs in turn; message boxes with only an OK
// button need no script. A question without a scripted answer fails the test.
class DlgPrompt : public CPrompt {
 public:
  std::deque<PromptAnswer> answers;
  std::deque<QString> files;  // an empty entry: the user cancelled
  std::vector<PromptCall> calls;

  DlgPrompt() { SetPrompt(this); }
  ~DlgPrompt() override { SetPrompt(nullptr); }

  PromptAnswer Ask(QWidget*, const QString& caption, const QString& text, MessageIcon icon,
                   PromptButtons buttons) override {
    calls.push_back({PromptCall::Message, caption, text, icon, buttons, {}});
    if (buttons == PromptButtons::Ok) return PromptAnswer::Ok;
    if (answers.empty()) {
      ADD_FAILURE() << "unscripted question: " << text.toStdString();
      return buttons == PromptButtons::YesNo ? PromptAnswer::No : PromptAnswer::Cancel;
    }
    const PromptAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  QString GetOpenFileName(QWidget*, const FileDialogRequest& request) override {
    return NextFile(PromptCall::OpenFile, request);
  }
  QStringList GetOpenFileNames(QWidget*, const FileDialogRequest& request) override {
    const QString file = NextFile(PromptCall::OpenFile, request);
    return file.isEmpty() ? QStringList() : QStringList{file};
  }
  QString GetSaveFileName(QWidget*, const FileDialogRequest& request) override {
    return NextFile(PromptCall::SaveFile, request);
  }
  QString GetExistingDirectory(QWidget*, const QString&, const QString&) override {
    ADD_FAILURE() << "unexpected folder browser";
    return {};
  }

  // The texts of the message boxes shown so far.
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& call : calls)
      if (call.kind == PromptCall::Message) texts.push_back(call.text.toStdString());
    return texts;
  }

 private:
  QString NextFile(PromptCall::Kind kind, const FileDialogRequest& request) {
    calls.push_back({kind, {}, {}, MessageIcon::None, PromptButtons::Ok, request});
    if (files.empty()) {
      ADD_FAILURE() << "unscripted file dialog: " << request.title.toStdString();
      return {};
    }
    const QString file = files.front();
    files.pop_front();
    return file;
  }
};

// The control of a window carrying the given id.
template <class T>
T* Control(QWidget* window, int id) {
  for (T* child : window->findChildren<T*>())
    if (child->property("controlId").toInt() == id) return child;
  ADD_FAILURE() << "no control " << id;
  return nullptr;
}

inline void Click(QWidget* window, int id) {
  if (auto* button = Control<QAbstractButton>(window, id)) button->click();
}

// Types text into a widget key by key, as the user would (validators apply).
inline void TypeKeys(QWidget* widget, const QString& text) {
  for (QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(widget, &release);
  }
}

// Runs action on the modal window that the next operation opens. The action
// must close it, or the test would wait for ever.
inline void OnNextModal(std::function<void(QWidget*)> action) {
  QTimer::singleShot(0, [action = std::move(action)] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) {
      ADD_FAILURE() << "no modal window opened";
      return;
    }
    action(modal);
  });
}

}  // namespace kt
