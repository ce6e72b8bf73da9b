#include "ops/set_journal.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/safe_file.h"
#include "psf/psf_file.h"
#include "psf/psf_record.h"

namespace kelvt {
namespace {

constexpr const char kIndexName[] = "index";
constexpr const char kOpen[] = "open";
constexpr const char kDone[] = "finished";
constexpr std::size_t kIndexLimit = 256 * 1024;

SetJournal*& Installed() {
  static SetJournal* journal = nullptr;
  return journal;
}

// Index fields are tab-separated: no tab or line end may stand in one.
std::string Field(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return out;
}

std::string Printable(const char* bytes, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) {
    const char c = bytes[i];
    out += (c >= 0x21 && c <= 0x7E) ? c : '?';
  }
  return out;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return fields;
}

}  // namespace

SetJournal* InstalledJournal() { return Installed(); }
void InstallJournal(SetJournal* journal) { Installed() = journal; }

std::string SetJournal::DefaultFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') return std::string(state) + "/kelvt";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.local/state/kelvt";
  return {};
}

std::string SetJournal::IndexPath() const { return folder_ + "/" + kIndexName; }

std::vector<JournalEntry> SetJournal::ReadIndex() const {
  std::vector<JournalEntry> entries;
  if (folder_.empty()) return entries;
  std::string text;
  if (ReadUserFile(IndexPath().c_str(), kIndexLimit, text) != ReadRefusal::kNone) return entries;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::vector<std::string> f = SplitTabs(text.substr(start, end - start));
    start = end + 1;
    // A damaged line (cut by a crash before the rename: never, but a hand
    // edit may) is skipped, not guessed at.
    if (f.size() != 9 || f[0].empty() || f[0].find('/') != std::string::npos) continue;
    JournalEntry e;
    e.id = f[0];
    e.time = f[1];
    e.tag.port = f[2];
    e.tag.device = f[3];
    e.letter = f[4].empty() ? 0 : f[4][0];
    e.part_number = f[5];
    e.date_code = f[6];
    e.tag.operation = f[7];
    e.finished = f[8] == kDone;
    e.path = folder_ + "/" + e.id + ".PSF";
    entries.push_back(std::move(e));
  }
  return entries;
}

int SetJournal::WriteIndex(const std::vector<JournalEntry>& oldest_first) const {
  std::string text;
  for (const JournalEntry& e : oldest_first) {
    text += Field(e.id) + '\t' + Field(e.time) + '\t' + Field(e.tag.port) + '\t' +
            Field(e.tag.device) + '\t' + Field(std::string(1, e.letter != 0 ? e.letter : '?')) +
            '\t' + Field(e.part_number) + '\t' + Field(e.date_code) + '\t' +
            Field(e.tag.operation) + '\t' + (e.finished ? kDone : kOpen) + '\n';
  }
  return ReplaceFileDurably(IndexPath().c_str(), text.data(), text.size(), 0600);
}

int SetJournal::Add(const PsfImage& own, const JournalTag& tag, std::string& id) {
  if (folder_.empty()) {
    errno = ENOENT;
    return 0;
  }
  if (!MakeFolders(folder_, 0700)) return 0;

  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) std::memset(&local, 0, sizeof local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  char when[32];
  std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);

  std::vector<JournalEntry> entries = ReadIndex();
  JournalEntry e;
  for (int n = 1;; ++n) {
    e.id = std::string(stamp) + "-" + std::to_string(getpid()) + "-" + std::to_string(n);
    const bool taken = std::any_of(entries.begin(), entries.end(),
                                   [&e](const JournalEntry& x) { return x.id == e.id; });
    if (!taken && access((folder_ + "/" + e.id + ".PSF").c_str(), F_OK) != 0) break;
  }
  e.time = when;
  e.tag = tag;
  e.letter = own[0];
  e.part_number = Printable(own.Data() + 66, 6);
  e.date_code = Printable(own.Data() + 72, 4);
  e.path = folder_ + "/" + e.id + ".PSF";

  // The file first: an index line never names a set that is not there.
  if (!WriteImageFile(e.path.c_str(), own.Data())) return 0;
  entries.push_back(e);
  std::vector<std::string> dropped;
  while (entries.size() > kKeep) {
    dropped.push_back(entries.front().path);
    entries.erase(entries.begin());
  }
  if (!WriteIndex(entries)) {
    const int err = errno;
    ::unlink(e.path.c_str());
    errno = err;
    return 0;
  }
  for (const std::string& path : dropped) ::unlink(path.c_str());
  id = e.id;
  return 1;
}

int SetJournal::MarkFinished(const std::string& id) {
  std::vector<JournalEntry> entries = ReadIndex();
  bool found = false;
  for (JournalEntry& e : entries) {
    if (e.id == id && !e.finished) {
      e.finished = true;
      found = true;
    }
  }
  return found ? WriteIndex(entries) : 0;
}

std::vector<JournalEntry> SetJournal::Entries() const {
  std::vector<JournalEntry> entries = ReadIndex();
  std::reverse(entries.begin(), entries.end());
  return entries;
}

std::vector<JournalEntry> SetJournal::Unfinished(const std::string& device) const {
  std::vector<JournalEntry> out;
  for (JournalEntry& e : Entries()) {
    if (!e.finished && (device.empty() || e.tag.device == device)) out.push_back(std::move(e));
  }
  return out;
}

int SetJournal::Load(const JournalEntry& entry, PsfImage& image) const {
  std::string text;
  if (ReadUserFile(entry.path.c_str(), kUserFileLimit, text) != ReadRefusal::kNone) return 0;
  char bytes[kPsfSize];
  if (!ParsePsfText(text.data(), text.size(), bytes)) return 0;
  image.FromBytes(bytes, 0);
  return 1;
}

}  // namespace kelvt
