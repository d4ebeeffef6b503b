#include "support/gui/ScriptedPrompt.h"

#include <gtest/gtest.h>

#include "settings/StatePaths.h"

namespace kt {

CGuiServices& ScriptedPrompt::Services() {
  if (!services_)
    services_ = std::make_unique<CGuiServices>(*this, SettingsFilePath(), DefaultBatchLogPath());
  return *services_;
}

ScriptedPrompt::ScriptedPrompt() = default;

struct ScriptedPrompt::OpenQuestion : CPromptHandle {
  QString text;
  std::function<void(PromptAnswer)> answered;
  bool open = true;
  bool withdrawn = false;
  bool IsOpen() const override { return open; }
  void Withdraw() override {
    if (open) withdrawn = true;
    open = false;
  }
};

ScriptedPrompt::~ScriptedPrompt() {
  EXPECT_TRUE(OpenTexts().isEmpty()) << "questions left open: " << OpenTexts().join(" | ").toStdString();
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

std::shared_ptr<CPromptHandle> ScriptedPrompt::Open(QWidget*, const QString& caption, const QString& text,
                                                    MessageIcon icon, PromptButtons buttons,
                                                    std::function<void(PromptAnswer)> answered) {
  questions.push_back({PromptQuestion::Kind::Message, caption, text, icon, buttons, {}});
  auto handle = std::make_shared<OpenQuestion>();
  handle->text = text;
  handle->answered = std::move(answered);
  opened_.push_back(handle);
  const bool queued = !answers_.empty() && std::holds_alternative<PromptAnswer>(answers_.front());
  if (buttons == PromptButtons::Ok || queued) {
    PromptAnswer answer = PromptAnswer::Ok;
    if (buttons != PromptButtons::Ok) {
      answer = std::get<PromptAnswer>(answers_.front());
      answers_.pop_front();
    }
    handle->open = false;
    if (handle->answered) handle->answered(answer);
  }
  return handle;
}

QStringList ScriptedPrompt::OpenTexts() const {
  QStringList texts;
  for (const auto& q : opened_)
    if (q->open) texts << q->text;
  return texts;
}

int ScriptedPrompt::Withdrawn() const {
  int count = 0;
  for (const auto& q : opened_) count += q->withdrawn ? 1 : 0;
  return count;
}

void ScriptedPrompt::AnswerOpen(PromptAnswer answer) {
  for (const auto& q : opened_) {
    if (!q->open) continue;
    q->open = false;
    if (q->answered) q->answered(answer);
    return;
  }
  ADD_FAILURE() << "no open question to answer";
}

void ScriptedPrompt::DeliverLate(int n, PromptAnswer answer) {
  ASSERT_LT(n, int(opened_.size()));
  const auto question = opened_[std::size_t(n)];
  question->open = false;
  if (question->answered) question->answered(answer);
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
