#pragma once
// A small streaming JSON writer: compact output, one value per call, commas
// and quoting handled here. Texts from the controller may hold any byte, so
// every byte outside printable ASCII is written as a \u00XX escape: the
// output is always valid JSON (and pure ASCII) whatever arrived.

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace kelvt::cli {

// The JSON string literal of `text`, quotes included.
std::string JsonQuote(std::string_view text);

// Where each line's "time" comes from; tests pin it. nullptr: the system clock.
using JsonClock = std::chrono::system_clock::time_point (*)();
void SetJsonClock(JsonClock clock);

// `when` as ISO 8601 local time with milliseconds and offset,
// e.g. 2026-12-07T18:45:12.345+01:00.
std::string JsonTime(std::chrono::system_clock::time_point when);

// Every top-level object starts with a "time" member, so each line of a
// stream says when it was written.
class JsonWriter {
 public:
  explicit JsonWriter(std::ostream& out) : out_(out) {}

  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  // The name of the next member; only inside an object.
  JsonWriter& Key(std::string_view name);
  JsonWriter& String(std::string_view text);
  JsonWriter& Number(int64_t value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();

  // Key and value in one call.
  JsonWriter& Field(std::string_view name, std::string_view text) { return Key(name).String(text); }
  JsonWriter& Field(std::string_view name, const char* text) { return Key(name).String(text); }
  JsonWriter& Field(std::string_view name, int64_t value) { return Key(name).Number(value); }
  JsonWriter& Field(std::string_view name, int value) { return Key(name).Number(value); }
  JsonWriter& Field(std::string_view name, bool value) { return Key(name).Bool(value); }

  // Ends a complete top-level value with a line break, so that a stream of
  // values reads as JSON Lines.
  void EndLine();

 private:
  void BeforeValue();

  std::ostream& out_;
  // One entry per open object or array: true once it holds a member.
  std::vector<bool> has_member_;
  bool after_key_ = false;
};

}  // namespace kelvt::cli
