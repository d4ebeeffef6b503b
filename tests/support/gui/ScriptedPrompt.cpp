#include "support/gui/ScriptedPrompt.h"

#include <gtest/gtest.h>

namespace kt {

ScriptedPrompt::ScriptedPrompt() {
  SetPrompt(this);
}

ScriptedPrompt::~ScriptedPrompt() {
  SetPrompt(nullptr);
  EXPECT_TRUE(answers_.empty()) << answers_.size() << " scripted answer(s) were never asked for";
}

ScriptedPrompt& ScriptedPrompt::Answer(PromptAnswer answer) {
  answers_.emplace_back(answer);
  return *this;
}

ScriptedPrompt& ScriptedPrompt::AnswerFile(const QString& path) {
  answers_.emplace_back(path.isEmpty() ? QStringList() : QStringList{path});
  return *this;
}

ScriptedPrompt& ScriptedPrompt::AnswerFiles(const QStringList& paths) {
  answers_.emplace_back(paths);
  return *this;
}

QStringList ScriptedPrompt::MessageTexts() const {
  QStringList texts;
  for (const auto& q : questions)
    if (q.kind == PromptQuestion::Kind::Message) texts << q.text;
  return texts;
}

PromptAnswer ScriptedPrompt::Ask(QWidget*, const QString& caption, const QString& text, MessageIcon icon,
                                 PromptButtons buttons) {
  questions.push_back({PromptQuestion::Kind::Message, caption, text, icon, buttons, {}});
  if (buttons == PromptButtons::Ok) return PromptAnswer::Ok;
  const PromptAnswer fallback = buttons == PromptButtons::YesNo ? PromptAnswer::No : PromptAnswer::Cancel;
  if (answers_.empty() || !std::holds_alternative<PromptAnswer>(answers_.front())) {
    ADD_FAILURE() << "unexpected question: [" << caption.toStdString() << "] " << text.toStdString();
    return fallback;
  }
  const PromptAnswer answer = std::get<PromptAnswer>(answers_.front());
  answers_.pop_front();
  return answer;
}

QStringList ScriptedPrompt::NextFiles(const PromptQuestion& question) {
  questions.push_back(question);
  if (answers_.empty() || !std::holds_alternative<QStringList>(answers_.front())) {
    ADD_FAILURE() << "unexpected file dialog: " << question.request.title.toStdString() << " "
                  << question.request.filter.toStdString();
    return {};
  }
  QStringList files = std::get<QStringList>(answers_.front());
  answers_.pop_front();
  return files;
}

QString ScriptedPrompt::GetOpenFileName(QWidget*, const FileDialogRequest& request) {
  const QStringList files = NextFiles({PromptQuestion::Kind::OpenFile, {}, {}, {}, {}, request});
  return files.isEmpty() ? QString() : files.front();
}

QStringList ScriptedPrompt::GetOpenFileNames(QWidget*, const FileDialogRequest& request) {
  return NextFiles({PromptQuestion::Kind::OpenFiles, {}, {}, {}, {}, request});
}

QString ScriptedPrompt::GetSaveFileName(QWidget*, const FileDialogRequest& request) {
  const QStringList files = NextFiles({PromptQuestion::Kind::SaveFile, {}, {}, {}, {}, request});
  return files.isEmpty() ? QString() : files.front();
}

QString ScriptedPrompt::GetExistingDirectory(QWidget*, const QString& title, const QString& start) {
  FileDialogRequest request;
  request.title = title;
  request.initialName = start;
  const QStringList files = NextFiles({PromptQuestion::Kind::Folder, title, {}, {}, {}, request});
  return files.isEmpty() ? QString() : files.front();
}

}  // namespace kt
