#pragma once
// The one owner of a controller's own parameter set while an operation has
// the controller run another: it reads the set (confirmed), writes it into
// the journal before anything is changed, and puts it back on every way out,
// marking the journal entry finished once the controller has it again. When
// the controller does not take it back, the front end gives the user a copy
// (a file); the journal entry then stays unfinished for a later recover.

#include <functional>

#include "ops/set_journal.h"
#include "psf/psf_image.h"

namespace kelvt {

class ControllerLink;

// What a front end supplies: its way of telling and of saving.
class RestoreFrontEnd {
 public:
  virtual ~RestoreFrontEnd() = default;
  // The own set is about to go back (e.g. after Ctrl-C): say so if wanted.
  virtual void BeforeRestore() {}
  // The controller did not take its own set back: give the user a copy.
  virtual void KeepCopy(const PsfImage& own) = 0;
  // The journal took the set but something after went wrong (its folder
  // could not be synced): the entry is there; say so if wanted.
  virtual void JournalWarning(const std::string& /*text*/) {}
};

enum class KeepResult {
  kKept,          // read, confirmed and journaled
  kNotRead,       // could not be read or confirmed: nothing may be changed
  kNotJournaled,  // read, but no durable copy could be written: nothing may be changed
};

class SavedSetGuard {
 public:
  // `journal` may be null (no journal kept).
  SavedSetGuard(ControllerLink& link, RestoreFrontEnd& front, SetJournal* journal,
                JournalTag tag);
  ~SavedSetGuard();  // Restore()
  SavedSetGuard(const SavedSetGuard&) = delete;
  SavedSetGuard& operator=(const SavedSetGuard&) = delete;

  // Reads the controller's own set (ReadConfirmedPsf) and journals it.
  // kNotRead without reading while an earlier set is owed (see Owed).
  KeepResult ReadOwn();
  // Takes `own` as the controller's set (already read, e.g. from the journal)
  // and journals it. 1, or 0 when it could not be journaled or an earlier
  // set is owed.
  int Adopt(const PsfImage& own);
  const PsfImage& Own() const { return own_; }
  // A stamp: the entry also records the set to be sent (the own set with
  // this part number and date code), so that a later recover knows the
  // controller under either. Call before ReadOwn.
  void SetStamp(const std::string& part_number, const std::string& date_code) {
    stamp_part_ = part_number;
    stamp_date_ = date_code;
  }
  // The entry also records the set the operation is about to send, made
  // from the own set (the alignment set, the trial set). Call before
  // ReadOwn; it serves that one entry.
  void SetSent(std::function<void(const PsfImage& own, PsfImage& sent)> make) {
    make_sent_ = std::move(make);
  }
  // The journal entry of the own set ("" when none).
  const std::string& EntryId() const { return entry_id_; }
  bool Holding() const { return holding_; }

  // The controller now runs (or may run) another set.
  void Arm() { armed_ = holding_; }
  bool Armed() const { return armed_; }
  // After an OutputPsf that failed: arms when the frame went out and the
  // controller no longer answers with its own set (or not at all). Armed().
  bool ArmIfUnconfirmed();

  // Puts the own set back when armed. 1 when it is back or never left; 0 when
  // the controller did not take it (the front end was given a copy, and the
  // journal entry stays unfinished) or an earlier set is still owed.
  int Restore();
  // A restore failed: the controller may still run another set, and its own
  // set (Own()) is still owed, its journal entry unfinished. Whatever the
  // controller holds now is not its own set: nothing read from it may take
  // that place until the owed set is back.
  bool Owed() const { return owed_; }
  // Tries the owed set again. 1 when it is back (the entry is then finished)
  // or nothing is owed; 0 when the controller did not take it (the front end
  // is given a copy again, and it stays owed).
  int PutBackOwed();
  // The controller keeps the set it was given on purpose (a stamp): nothing
  // is owed any more.
  void Release();

 private:
  void Finish();

  ControllerLink& link_;
  RestoreFrontEnd& front_;
  SetJournal* journal_;
  JournalTag tag_;
  PsfImage own_;
  std::string entry_id_;
  std::string stamp_part_;
  std::string stamp_date_;
  std::function<void(const PsfImage& own, PsfImage& sent)> make_sent_;
  bool holding_ = false;
  bool armed_ = false;
  bool owed_ = false;
};

}  // namespace kelvt
