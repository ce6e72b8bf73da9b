#pragma once
// Choosing journal entries by when they were made: `kelvt-cli journal
// --since` takes a local date ("2026-12-01"), a local date and time
// ("2026-12-01 14:30", "2026-12-01T14:30:05") or an age ("30m", "12h", "7d").

#include <ctime>
#include <string_view>

namespace kelvt {

// The moment `text` names, `now` being the present. False when it names none.
bool ParseSince(std::string_view text, std::time_t now, std::time_t& since);

// "YYYY-MM-DD HH:MM:SS" (local time, as the journal writes it) as a moment;
// -1 when the text is not that.
std::time_t LocalTimeOf(std::string_view text);

}  // namespace kelvt
