#pragma once
// A CPrompt for GUI tests: answers each question from a queue in turn and
// records everything it was asked. Services() are window services that ask
// through it (behind the starting-folder layer, as the program's do); the
// windows under test are given those. Their settings store and batch log are
// where the environment points (KESTRUNE_CONFIG_DIR, KESTRUNE_STATE_DIR) when
// Services() is first called: fixtures point them at folders of their own.
// Message boxes with only an OK button are recorded and acknowledged without
// taking a queued answer; any other question with no queued answer, or with
// an answer of the wrong kind, fails the test and is answered Cancel/No/empty.
// Questions opened without waiting (Open) are answered at once from the
// queue too; with no queued answer they stay open until AnswerOpen or until
// the window withdraws them.

#include <deque>
#include <functional>
#include <memory>
#include <variant>
#include <vector>

#include "gui/GuiServices.h"
#include "gui/Prompt.h"

namespace kt {

struct PromptQuestion {
  enum class Kind { Message, OpenFile, OpenFiles, SaveFile, Folder };
  Kind kind = Kind::Message;
  QString caption;
  QString text;
  MessageIcon icon = MessageIcon::None;
  PromptButtons buttons = PromptButtons::Ok;
  FileDialogRequest request;  // file dialogs
};

class ScriptedPrompt : public CPrompt {
 public:
  ScriptedPrompt();
  ~ScriptedPrompt() override;

  // Queue the answer to the next question (message or file dialog).
  ScriptedPrompt& Answer(PromptAnswer answer);
  ScriptedPrompt& AnswerFile(const QString& path);  // empty: the user cancels
  ScriptedPrompt& AnswerFiles(const QStringList& paths);

  // Window services whose questions come here; tests may replace their
  // link opener, beep and desktop session with fakes.
  CGuiServices& Services();

  std::vector<PromptQuestion> questions;
  // The texts of the message boxes shown so far, in order.
  QStringList MessageTexts() const;
  bool AllAnswersUsed() const { return answers_.empty(); }
  // The texts of the questions asked through Open that are still open.
  QStringList OpenTexts() const;
  // How many opened questions the windows withdrew.
  int Withdrawn() const;
  // Answers the oldest open question.
  void AnswerOpen(PromptAnswer answer);
  // Delivers an answer to the n-th opened question even when it was already
  // answered or withdrawn: the late click a window must ignore.
  void DeliverLate(int n, PromptAnswer answer);

  PromptAnswer Ask(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon,
                   PromptButtons buttons) override;
  QString GetOpenFileName(QWidget* parent, const FileDialogRequest& request) override;
  QStringList GetOpenFileNames(QWidget* parent, const FileDialogRequest& request) override;
  QString GetSaveFileName(QWidget* parent, const FileDialogRequest& request) override;
  QString GetExistingDirectory(QWidget* parent, const QString& title, const QString& start) override;
  std::shared_ptr<CPromptHandle> Open(QWidget* parent, const QString& caption, const QString& text,
                                      MessageIcon icon, PromptButtons buttons,
                                      std::function<void(PromptAnswer)> answered) override;

 private:
  struct OpenQuestion;
  std::vector<std::shared_ptr<OpenQuestion>> opened_;
  QStringList NextFiles(const PromptQuestion& question);
  std::deque<std::variant<PromptAnswer, QStringList>> answers_;
  std::unique_ptr<CGuiServices> services_;
};

}  // namespace kt
