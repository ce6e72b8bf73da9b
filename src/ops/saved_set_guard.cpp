#include "ops/saved_set_guard.h"

#include "link/controller_link.h"
#include "ops/confirmed_read.h"
#include "ops/psf_check.h"
#include "ops/recover.h"
#include "ops/send_back.h"

namespace kelvt {
SavedSetGuard::SavedSetGuard(ControllerLink& link, RestoreFrontEnd& front, SetJournal* journal,
                             JournalTag tag)
    : link_(link), front_(front), journal_(journal), tag_(std::move(tag)) {}

SavedSetGuard::~SavedSetGuard() { Restore(); }

KeepResult SavedSetGuard::ReadOwn() {
  if (owed_) return KeepResult::kNotRead;
  PsfImage own;
  if (!ReadConfirmedPsf(link_, own)) return KeepResult::kNotRead;
  return Adopt(own) ? KeepResult::kKept : KeepResult::kNotJournaled;
}

namespace {

// Whether the set's part number and date code (bytes 66-75) say who the
// controller is: after the editor's Send they may hold 0x01 bytes (the
// controller keeps its own), and then only its diagnostics tell.
bool SetNamesController(const PsfImage& own) {
  for (int i = 66; i < 76; ++i) {
    const auto c = static_cast<unsigned char>(own[i]);
    if (c != 0 && (c < 0x20 || c >= 0x7F)) return false;
  }
  return true;
}

}  // namespace

int SavedSetGuard::Adopt(const PsfImage& own) {
  // The owed set's entry must stay unfinished and its set kept.
  if (owed_) return 0;
  Finish();
  own_ = own;
  JournalRecord record;
  record.tag = tag_;
  record.before = own_;
  if (link_.ControllerId() != 0) record.controller.letter = link_.ControllerId();
  if (journal_ != nullptr && !SetNamesController(own_)) {
    ControllerIdentity who;
    if (AskControllerIdentity(link_, who)) record.controller = who;
  }
  if (!stamp_part_.empty()) {
    record.has_sent = true;
    record.sent = own_;
    record.sent.SetPartNumber(stamp_part_.c_str());
    record.sent.SetDateCode(stamp_date_.c_str());
  } else if (make_sent_) {
    record.has_sent = true;
    make_sent_(own_, record.sent);
  }
  make_sent_ = nullptr;
  if (journal_ != nullptr && !journal_->Add(record, entry_id_)) {
    entry_id_.clear();
    return 0;
  }
  if (journal_ != nullptr && !journal_->Warning().empty()) front_.JournalWarning(journal_->Warning());
  holding_ = true;
  return 1;
}

bool SavedSetGuard::ArmIfUnconfirmed() {
  if (holding_ && ControllerMayHoldOtherPsf(link_, own_)) armed_ = true;
  return armed_;
}

int SavedSetGuard::Restore() {
  if (!holding_) return owed_ ? 0 : 1;
  if (!armed_) {
    Finish();
    return 1;
  }
  front_.BeforeRestore();
  PsfImage sent = own_;
  if (SendBack(link_, sent)) {
    Finish();
    return 1;
  }
  armed_ = false;
  holding_ = false;
  owed_ = true;
  front_.KeepCopy(own_);
  return 0;
}

int SavedSetGuard::PutBackOwed() {
  if (!owed_) return 1;
  front_.BeforeRestore();
  PsfImage sent = own_;
  if (!SendBack(link_, sent)) {
    front_.KeepCopy(own_);
    return 0;
  }
  owed_ = false;
  Finish();
  return 1;
}

void SavedSetGuard::Release() { Finish(); }

void SavedSetGuard::Finish() {
  // Only the owed set's return finishes its entry.
  if (owed_) {
    holding_ = false;
    armed_ = false;
    return;
  }
  if (journal_ != nullptr && !entry_id_.empty()) journal_->MarkFinished(entry_id_);
  entry_id_.clear();
  holding_ = false;
  armed_ = false;
}

}  // namespace kelvt
