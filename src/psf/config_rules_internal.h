#pragma once
// Helpers shared by the rule sources; not for callers of the rules.

#include "psf/config_rules.h"

namespace kelvt {

// Sets an editing rule's message with its caption.
void Tell(RuleResult& result, const char* message);
// Folds a nested rule's outcome into the caller's.
void Merge(RuleResult& into, const RuleResult& from);
// Fills in the states the record now implies.
RuleResult Finish(const PsfRecord& r, RuleResult result);

}  // namespace kelvt
