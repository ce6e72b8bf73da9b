#include "ui/support/scripted_prompter.h"

#include <QApplication>

#include "gui/active_dialog.h"

namespace kelvt {

ScriptedPrompter::ScriptedPrompter() { SetPrompter(this); }

ScriptedPrompter::~ScriptedPrompter() { SetPrompter(nullptr); }

void ScriptedPrompter::AnswerQuestions(std::initializer_list<PromptAnswer> answers) {
  answers_.insert(answers_.end(), answers.begin(), answers.end());
}

void ScriptedPrompter::ChooseFiles(std::initializer_list<std::optional<std::string>> paths) {
  files_.insert(files_.end(), paths.begin(), paths.end());
}

PromptAnswer ScriptedPrompter::Message(QWidget* parent, const std::string& text,
                                       const std::string& caption, PromptButtons buttons,
                                       PromptIcon icon, const std::string& detail) {
  // Like the real boxes: no wait cursor while a message is up.
  WaitCursor::SuspendAll();
  messages.push_back({text, caption, buttons, icon, detail, parent});
  cursor_shown_during_message.push_back(QApplication::overrideCursor() != nullptr);
  if (hook_) hook_(messages.back());
  WaitCursor::ResumeAll();
  if (buttons == PromptButtons::Ok) return PromptAnswer::Ok;
  if (answers_.empty()) return PromptAnswer::No;
  const PromptAnswer answer = answers_.front();
  answers_.pop_front();
  return answer;
}

bool ScriptedPrompter::ChooseItems(QWidget*, const std::string& text, const std::string&,
                                   const std::vector<std::string>& items, const std::string&,
                                   std::vector<bool>& chosen) {
  choices.push_back({text, items, chosen});
  if (choice_answers_.empty()) return false;
  const std::optional<std::vector<bool>> answer = choice_answers_.front();
  choice_answers_.pop_front();
  if (!answer) return false;
  chosen = *answer;
  return true;
}

bool ScriptedPrompter::NextFile(std::string& path) {
  if (files_.empty()) return false;
  std::optional<std::string> next = files_.front();
  files_.pop_front();
  if (!next) return false;
  path = *next;
  return true;
}

bool ScriptedPrompter::OpenPsfFile(QWidget*, std::string& path) {
  file_dialogs.push_back(FileDialogKind::Open);
  return NextFile(path);
}

bool ScriptedPrompter::SavePsfFile(QWidget*, std::string& path) {
  file_dialogs.push_back(FileDialogKind::Save);
  return NextFile(path);
}

bool ScriptedPrompter::ChooseFolder(QWidget*, std::string& folder) {
  file_dialogs.push_back(FileDialogKind::Folder);
  folder_starts.push_back(folder);
  return NextFile(folder);
}

}  // namespace kelvt
