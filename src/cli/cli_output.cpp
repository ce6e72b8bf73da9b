#include "cli/cli_output.h"

#include "cli/json_writer.h"
#include "platform/printable_text.h"
#include "platform/safe_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kelvt::cli {

std::string Printable(std::string_view text) { return PrintableText(text); }

std::string PadRight(std::string_view text, std::size_t width) {
  std::string padded(text);
  if (padded.size() < width) padded.append(width - padded.size(), ' ');
  return padded;
}

std::string PadLeft(std::string_view text, std::size_t width) {
  std::string padded;
  if (text.size() < width) padded.assign(width - text.size(), ' ');
  padded += text;
  return padded;
}

std::string PsfFileAdvice(const std::string& path) {
  // Never an open that could wait: a FIFO is refused, not read.
  std::string text;
  const ReadRefusal refusal = ReadUserFile(path.c_str(), kUserFileLimit, text);
  if (refusal != ReadRefusal::kNone) return path + ": " + RefusalText(refusal, errno);
  return path + ": not a .PSF file of version 1.1 with 81 value lines and a valid command byte.";
}

bool IsSmallNumber(std::string_view text) {
  if (text.empty() || text.size() > 9) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

void WriteDifferencesJson(JsonWriter& json, const char* name,
                          const std::vector<PsfDifference>& differences, const char* a,
                          const char* b) {
  json.Key(name).BeginArray();
  for (const PsfDifference& d : differences) {
    json.BeginObject().Field("key", d.key).Field("label", d.label).Field(a, d.a).Field(b, d.b).EndObject();
  }
  json.EndArray();
}

}  // namespace kelvt::cli
