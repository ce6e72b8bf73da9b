#pragma once
// A prompter for tests: records every message box and file dialog, answers
// from a script, and installs itself for its lifetime.

#include <deque>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "gui/prompter.h"

namespace kelvt {

struct RecordedMessage {
  std::string text;
  std::string caption;
  PromptButtons buttons = PromptButtons::Ok;
  PromptIcon icon = PromptIcon::None;
  std::string detail;
  QWidget* parent = nullptr;
};

enum class FileDialogKind { Open, Save, Folder };

class ScriptedPrompter : public Prompter {
 public:
  ScriptedPrompter();  // installs itself
  ~ScriptedPrompter() override;  // restores the real prompter
  ScriptedPrompter(const ScriptedPrompter&) = delete;
  ScriptedPrompter& operator=(const ScriptedPrompter&) = delete;

  // Answers to Yes/No questions, in order; when none is left the answer is No.
  void AnswerQuestions(std::initializer_list<PromptAnswer> answers);
  // Paths returned by the file dialogs, in order; std::nullopt (or none
  // left) is Cancel.
  void ChooseFiles(std::initializer_list<std::optional<std::string>> paths);
  // Called while a message is "up" (e.g. to check the wait cursor).
  void OnMessage(std::function<void(const RecordedMessage&)> hook) { hook_ = std::move(hook); }

  PromptAnswer Message(QWidget* parent, const std::string& text, const std::string& caption,
                       PromptButtons buttons, PromptIcon icon,
                       const std::string& detail) override;
  bool OpenPsfFile(QWidget* parent, std::string& path) override;
  bool SavePsfFile(QWidget* parent, std::string& path) override;
  // Takes its answer from ChooseFiles too; the folder it started in is kept.
  bool ChooseFolder(QWidget* parent, std::string& folder) override;
  bool ChooseItems(QWidget* parent, const std::string& text, const std::string& caption,
                   const std::vector<std::string>& items, const std::string& accept,
                   std::vector<bool>& chosen) override;
  void Beep() override { ++beeps; }
  // Answers to ChooseItems, in order: the ticks, or std::nullopt for Cancel
  // (also when none is left).
  void AnswerChoices(std::initializer_list<std::optional<std::vector<bool>>> answers) {
    choice_answers_.insert(choice_answers_.end(), answers.begin(), answers.end());
  }
  struct RecordedChoice {
    std::string text;
    std::vector<std::string> items;
    std::vector<bool> offered;  // the ticks as offered
  };
  std::vector<RecordedChoice> choices;

  std::vector<RecordedMessage> messages;
  std::vector<FileDialogKind> file_dialogs;
  int beeps = 0;
  std::vector<std::string> folder_starts;
  // Wait cursors alive while each message was up (should be suspended: see WaitCursor).
  std::vector<bool> cursor_shown_during_message;

 private:
  bool NextFile(std::string& path);

  std::deque<PromptAnswer> answers_;
  std::deque<std::optional<std::vector<bool>>> choice_answers_;
  std::deque<std::optional<std::string>> files_;
  std::function<void(const RecordedMessage&)> hook_;
};

}  // namespace kelvt
