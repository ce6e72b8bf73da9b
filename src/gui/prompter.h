#pragma once
// Every message box, question and file dialog of the tool goes through the
// installed prompter, so that tests can script the answers and check each
// text, caption, button set and icon.

#include <string>
#include <vector>

#include "psf/captions.h"

class QWidget;

namespace kelvt {

enum class PromptIcon { None, Information, Warning, Stop, Question };
// YesNoDefaultNo: Enter (the default button) answers No, for a question
// whose Yes could do harm.
enum class PromptButtons { Ok, YesNo, YesNoDefaultNo };
enum class PromptAnswer { Ok, Yes, No };

class Prompter {
 public:
  virtual ~Prompter() = default;
  // Shows a message box owned by `parent` (may be null); `detail` is the
  // box's detailed text (empty for none). Returns the button pressed.
  virtual PromptAnswer Message(QWidget* parent, const std::string& text,
                               const std::string& caption, PromptButtons buttons,
                               PromptIcon icon, const std::string& detail = {}) = 0;
  // The PSF open dialog ("FileBox"); true and the full path on OK.
  virtual bool OpenPsfFile(QWidget* parent, std::string& path) = 0;
  // The PSF save dialog ("FileSave", asks before replacing); true and the path on OK.
  virtual bool SavePsfFile(QWidget* parent, std::string& path) = 0;
  // The record folder dialog: starts in `folder`; true and the folder on OK.
  virtual bool ChooseFolder(QWidget* parent, std::string& folder) = 0;
  // A window with `text` above a list of `items`, each with a check box
  // (ticked as `chosen` says on entry), and the buttons `accept` and Cancel.
  // True with the ticks in `chosen` on `accept`; false on Cancel.
  virtual bool ChooseItems(QWidget* parent, const std::string& text, const std::string& caption,
                           const std::vector<std::string>& items, const std::string& accept,
                           std::vector<bool>& chosen) = 0;
  // The warning beep some rules sound.
  virtual void Beep() = 0;
};

// Before a change whose controller answered but whose own set could not be
// read (so no copy is kept): "Send anyway?", No the default. True for Yes.
bool AskSendUnread(QWidget* parent);

// The detail of a message about a file that could not be written: the path,
// and the system's reason when `err` (an errno value) names one.
std::string FileFailureDetail(const std::string& path, int err);

// The installed prompter (the real one unless a test installed another).
Prompter& CurrentPrompter();
// Installs `prompter` (not owned); nullptr restores the real one.
void SetPrompter(Prompter* prompter);

}  // namespace kelvt
