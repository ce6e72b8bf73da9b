#pragma once
// Small helpers for the text output of the subcommands.

#include <string>
#include <string_view>
#include <vector>

#include "ops/psf_fields.h"

namespace kelvt::cli {

class JsonWriter;

// `text` with every byte outside printable ASCII shown as \xNN, so that a
// terminal never receives control bytes from the controller.
std::string Printable(std::string_view text);

// `text` left-aligned in `width` columns (never cut).
std::string PadRight(std::string_view text, std::size_t width);
// `text` right-aligned in `width` columns (never cut).
std::string PadLeft(std::string_view text, std::size_t width);

// Why a .PSF file was not accepted, for the line under "This File is Not
// Compatible": the system's reason when it cannot be opened, else what the
// reader expects.
std::string PsfFileAdvice(const std::string& path);

// `differences` as the array `name` of objects {key, label, `a`, `b`}.
void WriteDifferencesJson(JsonWriter& json, const char* name,
                          const std::vector<PsfDifference>& differences, const char* a,
                          const char* b);

// True when `text` is 1..9 decimal digits, so a JSON number can carry it.
bool IsSmallNumber(std::string_view text);

}  // namespace kelvt::cli
