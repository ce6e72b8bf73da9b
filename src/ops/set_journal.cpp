#include "ops/set_journal.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/safe_file.h"
#include "psf/psf_file.h"

namespace kelvt {
namespace {

constexpr const char kIndexName[] = "index2";
constexpr const char kLegacyIndexName[] = "index";
constexpr const char kLockName[] = "lock";
constexpr const char kHeader[] = "kelvt-journal 2";
constexpr const char kSetMagic[] = "KVTSET2\n";  // 8 bytes
constexpr std::size_t kMagicSize = 8;
constexpr std::size_t kIndexLimit = 4 * 1024 * 1024;
constexpr std::size_t kSetFileLimit = 4096;
constexpr unsigned char kFlagSent = 1;

SetJournal*& Installed() {
  static SetJournal* journal = nullptr;
  return journal;
}

// ---- the index's text ------------------------------------------------------

std::string Escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u >= 0x7F || c == '%') {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", u);
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool Unescaped(std::string_view text, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    const int hi = HexDigit(text[i + 1]);
    const int lo = HexDigit(text[i + 2]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return true;
}

std::vector<std::string> SplitOn(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) break;
    start = at + 1;
  }
  return parts;
}

const char* StateWord(EntryState state) {
  switch (state) {
    case EntryState::kOpen: return "open";
    case EntryState::kFinished: return "finished";
    case EntryState::kPutBack: return "put-back";
  }
  return "open";
}

bool ValidId(const std::string& id) {
  return !id.empty() && id.find('/') == std::string::npos && id[0] != '.';
}

std::string IndexLineOf(const JournalEntry& e) {
  char crc[16];
  std::snprintf(crc, sizeof crc, "%08lX", e.crc & 0xFFFFFFFFUL);
  const std::pair<const char*, std::string> fields[] = {
      {"id", e.id},
      {"time", e.time},
      {"epoch", std::to_string(e.epoch)},
      {"user", e.user},
      {"host", e.host},
      {"op", e.tag.operation},
      {"port", e.tag.port},
      {"device", e.tag.device},
      {"canonical", e.device.canonical},
      {"by_id", e.device.by_id},
      {"serial", e.device.serial_number},
      {"network", e.device.network ? "1" : "0"},
      {"letter", e.letter != 0 ? std::string(1, e.letter) : std::string()},
      {"part", e.part_number},
      {"date", e.date_code},
      {"new_part", e.new_part_number},
      {"new_date", e.new_date_code},
      {"kind", e.kind == EntryKind::kNullSpan ? "nullspan" : "set"},
      {"sent", e.has_sent ? "1" : "0"},
      {"state", StateWord(e.state)},
      {"format", e.legacy ? "psf" : "set"},
      {"crc", crc},
  };
  std::string line;
  for (const auto& [key, value] : fields) {
    if (!line.empty()) line += '\t';
    line += key;
    line += '=';
    line += Escaped(value);
  }
  return line;
}

// One line of the index: an entry, or a line kept as it was.
struct IndexLine {
  bool parsed = false;
  JournalEntry entry;
  std::string raw;
};

bool ParseEntryLine(const std::string& line, const std::string& folder, JournalEntry& e) {
  bool have_crc = false;
  for (const std::string& field : SplitOn(line, '\t')) {
    const std::size_t eq = field.find('=');
    if (eq == std::string::npos) return false;
    const std::string key = field.substr(0, eq);
    std::string value;
    if (!Unescaped(std::string_view(field).substr(eq + 1), value)) return false;
    if (key == "id") e.id = value;
    else if (key == "time") e.time = value;
    else if (key == "epoch") e.epoch = std::strtoll(value.c_str(), nullptr, 10);
    else if (key == "user") e.user = value;
    else if (key == "host") e.host = value;
    else if (key == "op") e.tag.operation = value;
    else if (key == "port") e.tag.port = value;
    else if (key == "device") e.tag.device = e.device.path = value;
    else if (key == "canonical") e.device.canonical = value;
    else if (key == "by_id") e.device.by_id = value;
    else if (key == "serial") e.device.serial_number = value;
    else if (key == "network") e.device.network = value == "1";
    else if (key == "letter") e.letter = value.empty() ? 0 : value[0];
    else if (key == "part") e.part_number = value;
    else if (key == "date") e.date_code = value;
    else if (key == "new_part") e.new_part_number = value;
    else if (key == "new_date") e.new_date_code = value;
    else if (key == "kind") e.kind = value == "nullspan" ? EntryKind::kNullSpan : EntryKind::kSet;
    else if (key == "sent") e.has_sent = value == "1";
    else if (key == "format") e.legacy = value == "psf";
    else if (key == "state") {
      e.state = value == "finished" ? EntryState::kFinished
                : value == "put-back" ? EntryState::kPutBack
                                      : EntryState::kOpen;
    } else if (key == "crc") {
      char* end = nullptr;
      e.crc = std::strtoul(value.c_str(), &end, 16);
      have_crc = end != value.c_str() && *end == '\0';
    }
  }
  if (!ValidId(e.id) || (!e.legacy && !have_crc)) return false;
  e.finished = e.state != EntryState::kOpen;
  e.path = folder + "/" + e.id + ".PSF";
  e.set_path = e.legacy ? std::string() : folder + "/" + e.id + ".set";
  return true;
}

// The previous version's line: id, time, port, device, letter, part number,
// date code, operation, open|finished.
bool ParseLegacyLine(const std::string& line, const std::string& folder, JournalEntry& e) {
  const std::vector<std::string> f = SplitOn(line, '\t');
  if (f.size() != 9 || !ValidId(f[0])) return false;
  e.id = f[0];
  e.time = f[1];
  e.tag.port = f[2];
  e.tag.device = e.device.path = f[3];
  e.letter = f[4].empty() || f[4] == "?" ? 0 : f[4][0];
  e.part_number = f[5];
  e.date_code = f[6];
  e.tag.operation = f[7];
  e.state = f[8] == "finished" ? EntryState::kFinished : EntryState::kOpen;
  e.finished = e.state != EntryState::kOpen;
  e.legacy = true;
  e.path = folder + "/" + e.id + ".PSF";
  return true;
}

enum class IndexRead { kAbsent, kRead, kUnreadable };

// Reads `path`; kUnreadable when it exists but cannot be taken as an index
// (`why` says why).
IndexRead ReadIndexFile(const std::string& path, const std::string& folder, bool legacy,
                        std::vector<IndexLine>& lines, std::string& why) {
  lines.clear();
  std::string text;
  const ReadRefusal refusal = ReadUserFile(path.c_str(), kIndexLimit, text);
  if (refusal == ReadRefusal::kCannotOpen && errno == ENOENT) return IndexRead::kAbsent;
  if (refusal != ReadRefusal::kNone) {
    why = RefusalText(refusal, errno);
    return IndexRead::kUnreadable;
  }
  std::vector<std::string> rows = SplitOn(text, '\n');
  if (!rows.empty() && rows.back().empty()) rows.pop_back();
  std::size_t first = 0;
  if (!legacy) {
    if (rows.empty() || rows[0] != kHeader) {
      why = "it does not start with \"" + std::string(kHeader) + "\"";
      return IndexRead::kUnreadable;
    }
    first = 1;
  }
  for (std::size_t i = first; i < rows.size(); ++i) {
    IndexLine line;
    line.parsed = legacy ? ParseLegacyLine(rows[i], folder, line.entry)
                         : ParseEntryLine(rows[i], folder, line.entry);
    if (!line.parsed) line.raw = rows[i];
    lines.push_back(std::move(line));
  }
  return IndexRead::kRead;
}

// ---- the exact copy --------------------------------------------------------

void PutValue(std::string& out, int value) {
  const auto v = static_cast<unsigned>(std::clamp(value, 0, 0xFFFF));
  out += static_cast<char>(v >> 8);
  out += static_cast<char>(v & 0xFF);
}

int GetValue(const char* p) {
  return (static_cast<unsigned char>(p[0]) << 8) | static_cast<unsigned char>(p[1]);
}

std::size_t PayloadSize(EntryKind kind) { return kind == EntryKind::kSet ? kPsfSize : 8; }

std::string SetFileBytes(const JournalRecord& r, unsigned long& crc) {
  std::string out(kSetMagic, kMagicSize);
  out += r.kind == EntryKind::kNullSpan ? 'N' : 'S';
  out += static_cast<char>(r.has_sent ? kFlagSent : 0);
  if (r.kind == EntryKind::kSet) {
    out.append(r.before.Data(), kPsfSize);
    if (r.has_sent) out.append(r.sent.Data(), kPsfSize);
  } else {
    for (int i = 0; i < 4; ++i) PutValue(out, r.null_span_before[i]);
    if (r.has_sent) {
      for (int i = 0; i < 4; ++i) PutValue(out, r.null_span_sent[i]);
    }
  }
  crc = JournalCrc32(out.data(), out.size());
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((crc >> shift) & 0xFF);
  return out;
}

// Reads and checks an entry's .set file; the payload (before, then sent) in `payload`.
LoadResult ReadSetFile(const JournalEntry& e, std::string& payload) {
  std::string bytes;
  if (ReadUserFile(e.set_path.c_str(), kSetFileLimit, bytes) != ReadRefusal::kNone) {
    return errno == ENOENT ? LoadResult::kMissing : LoadResult::kDamaged;
  }
  const std::size_t payload_size = PayloadSize(e.kind) * (e.has_sent ? 2 : 1);
  if (bytes.size() != kMagicSize + 2 + payload_size + 4 ||
      bytes.compare(0, kMagicSize, kSetMagic, kMagicSize) != 0 ||
      bytes[kMagicSize] != (e.kind == EntryKind::kNullSpan ? 'N' : 'S') ||
      bytes[kMagicSize + 1] != static_cast<char>(e.has_sent ? kFlagSent : 0)) {
    return LoadResult::kDamaged;
  }
  const std::size_t body = bytes.size() - 4;
  unsigned long stored = 0;
  for (std::size_t i = body; i < bytes.size(); ++i) {
    stored = (stored << 8) | static_cast<unsigned char>(bytes[i]);
  }
  const unsigned long crc = JournalCrc32(bytes.data(), body);
  if (stored != crc || crc != (e.crc & 0xFFFFFFFFUL)) return LoadResult::kDamaged;
  payload = bytes.substr(kMagicSize + 2, payload_size);
  return LoadResult::kOk;
}

// A legacy entry's set from its .PSF text, but only when writing those bytes
// gives the same text again (the reader keeps one letter or digit a line, so
// a '-' or a NUL would come back changed).
LoadResult ReadLegacySet(const JournalEntry& e, PsfImage& image) {
  std::string text;
  if (ReadUserFile(e.path.c_str(), kUserFileLimit, text) != ReadRefusal::kNone) {
    return errno == ENOENT ? LoadResult::kMissing : LoadResult::kDamaged;
  }
  char bytes[kPsfSize];
  // A NUL or LF among the bytes leaves the text unreadable: inexact too.
  if (!ParsePsfText(text.data(), text.size(), bytes)) return LoadResult::kInexact;
  char again[6144];
  const std::size_t len = ImageFileText(bytes, again, sizeof again);
  // Compare after the date line (the second).
  const auto after_date = [](std::string_view t) -> std::string_view {
    const std::size_t first = t.find('\n');
    const std::size_t second = first == std::string_view::npos ? first : t.find('\n', first + 1);
    return second == std::string_view::npos ? std::string_view() : t.substr(second + 1);
  };
  const std::string_view was = after_date(text);
  if (len == 0 || was.empty() || was != after_date(std::string_view(again, len))) {
    return LoadResult::kInexact;
  }
  image.FromBytes(bytes, 0);
  return LoadResult::kOk;
}

// ---- who and where ---------------------------------------------------------

std::string Trimmed(const char* bytes, int n) {
  std::string out(bytes, static_cast<std::size_t>(n));
  while (!out.empty() && out.back() == '\0') out.pop_back();
  return out;
}

std::string UserName() {
  char buffer[1024];
  passwd pw{};
  passwd* found = nullptr;
  if (getpwuid_r(geteuid(), &pw, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
    return found->pw_name;
  }
  const char* user = std::getenv("USER");
  return user != nullptr ? user : std::to_string(geteuid());
}

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

// flock() on the folder's lock file, released when it goes out of scope.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder) {
    const std::string path = folder + "/" + kLockName;
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd_);
      fd_ = -1;
      errno = err;
      return;
    }
  }
  ~FolderLock() {
    if (fd_ >= 0) ::close(fd_);  // releases the lock
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// The index under the lock: index2, else the previous version's lines.
IndexRead LoadIndex(const std::string& folder, std::vector<IndexLine>& lines, std::string& why) {
  const IndexRead read = ReadIndexFile(folder + "/" + kIndexName, folder, false, lines, why);
  if (read != IndexRead::kAbsent) return read;
  const IndexRead legacy =
      ReadIndexFile(folder + "/" + kLegacyIndexName, folder, true, lines, why);
  return legacy == IndexRead::kUnreadable ? legacy : IndexRead::kRead;
}

std::string IndexText(const std::vector<IndexLine>& lines) {
  std::string text = std::string(kHeader) + '\n';
  for (const IndexLine& line : lines) text += (line.parsed ? IndexLineOf(line.entry) : line.raw) + '\n';
  return text;
}

}  // namespace

const char* LoadResultText(LoadResult result) {
  switch (result) {
    case LoadResult::kOk: return "ok";
    case LoadResult::kMissing: return "its file is missing";
    case LoadResult::kDamaged: return "its file is damaged (size or check sum wrong)";
    case LoadResult::kInexact:
      return "written by an earlier version whose .PSF text cannot give every byte back";
    case LoadResult::kWrongKind: return "it holds no parameter set";
  }
  return "";
}

unsigned long JournalCrc32(const char* data, std::size_t size) {
  static const auto table = [] {
    std::array<unsigned long, 256> t{};
    for (unsigned long n = 0; n < 256; ++n) {
      unsigned long c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320UL ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  unsigned long crc = 0xFFFFFFFFUL;
  for (std::size_t i = 0; i < size; ++i) {
    crc = table[(crc ^ static_cast<unsigned char>(data[i])) & 0xFF] ^ (crc >> 8);
  }
  return (crc ^ 0xFFFFFFFFUL) & 0xFFFFFFFFUL;
}

SetJournal* InstalledJournal() { return Installed(); }
void InstallJournal(SetJournal* journal) { Installed() = journal; }

std::string SetJournal::DefaultFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') return std::string(state) + "/kelvt";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.local/state/kelvt";
  return {};
}

int SetJournal::Add(const PsfImage& own, const JournalTag& tag, std::string& id) {
  JournalRecord record;
  record.tag = tag;
  record.before = own;
  return Add(record, id);
}

int SetJournal::Add(const JournalRecord& record, std::string& id) {
  problem_.clear();
  warning_.clear();
  const auto fail = [this](const std::string& why, int err) {
    problem_ = why;
    errno = err;
    return 0;
  };
  if (folder_.empty()) return fail("no folder for the journal (neither XDG_STATE_HOME nor HOME)", ENOENT);
  if (!MakeFolders(folder_, 0700)) return fail(folder_ + ": " + std::strerror(errno), errno);
  FolderLock lock(folder_);
  if (!lock.Held()) return fail(folder_ + "/" + kLockName + ": " + std::strerror(errno), errno);

  std::vector<IndexLine> lines;
  std::string why;
  if (LoadIndex(folder_, lines, why) == IndexRead::kUnreadable) {
    return fail("the journal's index in " + folder_ + " cannot be read (" + why +
                    "); nothing is written to the journal until it is repaired or moved away",
                EIO);
  }

  JournalEntry e;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) std::memset(&local, 0, sizeof local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  char when[32];
  std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
  e.time = when;
  e.epoch = static_cast<long long>(now);
  e.user = UserName();
  e.host = HostName();
  e.tag = record.tag;
  e.device = IdentifyDevice(record.tag.device);
  e.kind = record.kind;
  e.has_sent = record.has_sent;
  e.state = record.finished ? EntryState::kFinished : EntryState::kOpen;
  e.finished = record.finished;
  const ControllerIdentity& who = record.controller;
  const bool is_set = record.kind == EntryKind::kSet;
  e.letter = who.letter != 0 ? who.letter : is_set ? record.before[0] : 0;
  e.part_number = !who.part_number.empty() || !is_set ? who.part_number
                                                      : Trimmed(record.before.Data() + 66, 6);
  e.date_code = !who.date_code.empty() || !is_set ? who.date_code
                                                  : Trimmed(record.before.Data() + 72, 4);
  // 0x01 there (the editor's Send) leaves the controller its own.
  if (is_set && record.has_sent && record.sent[66] != '\x01') {
    e.new_part_number = Trimmed(record.sent.Data() + 66, 6);
  }
  if (is_set && record.has_sent && record.sent[72] != '\x01') {
    e.new_date_code = Trimmed(record.sent.Data() + 72, 4);
  }
  const std::string bytes = SetFileBytes(record, e.crc);

  // The files first, each new (O_EXCL): an index line never names a set that
  // is not there, and no two processes ever share a file.
  for (int n = 1;; ++n) {
    e.id = std::string(stamp) + "-" + std::to_string(getpid()) + "-" + std::to_string(n);
    e.set_path = folder_ + "/" + e.id + ".set";
    e.path = folder_ + "/" + e.id + ".PSF";
    if (CreateNewFile(e.set_path.c_str(), bytes.data(), bytes.size())) break;
    if (errno != EEXIST || n > 1000) {
      const int err = errno;
      ::unlink(e.set_path.c_str());  // not in the index: only ours
      return fail(e.set_path + ": " + std::strerror(err), err);
    }
  }
  const bool psf_ok = !is_set || CreateImageFile(e.path.c_str(), record.before.Data());
  if (!psf_ok) {
    const int err = errno;
    ::unlink(e.set_path.c_str());
    ::unlink(e.path.c_str());
    return fail(e.path + ": " + std::strerror(err), err);
  }

  IndexLine added;
  added.parsed = true;
  added.entry = e;
  lines.push_back(std::move(added));
  // Only finished entries go, oldest first; what is unfinished stays.
  std::size_t count = 0;
  for (const IndexLine& line : lines) count += line.parsed ? 1 : 0;
  std::vector<std::string> dropped;
  for (auto it = lines.begin(); count > kKeep && it != lines.end();) {
    if (it->parsed && it->entry.finished) {
      dropped.push_back(it->entry.path);
      if (!it->entry.set_path.empty()) dropped.push_back(it->entry.set_path);
      it = lines.erase(it);
      --count;
    } else {
      ++it;
    }
  }
  const std::string text = IndexText(lines);
  const std::string index = folder_ + "/" + kIndexName;
  bool renamed = false;
  if (!ReplaceFileDurably(index.c_str(), text.data(), text.size(), 0600, &renamed)) {
    const int err = errno;
    if (!renamed) {
      ::unlink(e.set_path.c_str());
      ::unlink(e.path.c_str());
      return fail(index + ": " + std::strerror(err), err);
    }
    // The index names the entry now: its files stay.
    warning_ = index + " is written but its folder could not be synced: " + std::strerror(err);
  }
  for (const std::string& path : dropped) ::unlink(path.c_str());
  id = e.id;
  return 1;
}

int SetJournal::MarkFinished(const std::string& id) { return Change(id, EntryState::kFinished); }
int SetJournal::MarkPutBack(const std::string& id) { return Change(id, EntryState::kPutBack); }

int SetJournal::Change(const std::string& id, EntryState state) {
  problem_.clear();
  warning_.clear();
  if (folder_.empty()) {
    errno = ENOENT;
    return 0;
  }
  FolderLock lock(folder_);
  if (!lock.Held()) {
    problem_ = folder_ + "/" + kLockName + ": " + std::strerror(errno);
    return 0;
  }
  std::vector<IndexLine> lines;
  std::string why;
  if (LoadIndex(folder_, lines, why) == IndexRead::kUnreadable) {
    problem_ = "the journal's index in " + folder_ + " cannot be read (" + why + ")";
    errno = EIO;
    return 0;
  }
  bool found = false;
  for (IndexLine& line : lines) {
    // Any entry can be put back later (History, journal put-back), a
    // finished one too; only an open one can be finished.
    if (line.parsed && line.entry.id == id &&
        (!line.entry.finished || (state == EntryState::kPutBack &&
                                  line.entry.state != EntryState::kPutBack))) {
      line.entry.state = state;
      line.entry.finished = true;
      found = true;
    }
  }
  if (!found) {
    errno = ENOENT;
    return 0;
  }
  const std::string text = IndexText(lines);
  const std::string index = folder_ + "/" + kIndexName;
  bool renamed = false;
  if (!ReplaceFileDurably(index.c_str(), text.data(), text.size(), 0600, &renamed)) {
    if (!renamed) {
      problem_ = index + ": " + std::strerror(errno);
      return 0;
    }
    warning_ = index + " is written but its folder could not be synced: " + std::strerror(errno);
  }
  return 1;
}

std::string SetJournal::IndexProblem() const {
  std::vector<IndexLine> lines;
  std::string why;
  if (folder_.empty() || LoadIndex(folder_, lines, why) != IndexRead::kUnreadable) return {};
  return "the journal's index in " + folder_ + " cannot be read (" + why +
         "); nothing is written to the journal until it is repaired or moved away";
}

std::vector<JournalEntry> SetJournal::Entries() const {
  std::vector<JournalEntry> entries;
  if (folder_.empty()) return entries;
  std::vector<IndexLine> lines;
  std::string why;
  LoadIndex(folder_, lines, why);
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    if (!it->parsed) continue;
    JournalEntry& e = it->entry;
    if (e.legacy && e.kind == EntryKind::kSet) {
      PsfImage scratch;
      e.exact = ReadLegacySet(e, scratch) == LoadResult::kOk;
    }
    entries.push_back(std::move(e));
  }
  return entries;
}

std::vector<JournalEntry> SetJournal::Unfinished() const {
  std::vector<JournalEntry> out;
  for (JournalEntry& e : Entries()) {
    if (!e.finished && e.kind == EntryKind::kSet) out.push_back(std::move(e));
  }
  return out;
}

std::vector<JournalEntry> SetJournal::Unfinished(const DeviceIdentity& device) const {
  std::vector<JournalEntry> out;
  for (JournalEntry& e : Unfinished()) {
    // An entry of the previous version knows only its path: what it leads to now.
    const DeviceIdentity then = e.legacy ? IdentifyDevice(e.tag.device) : e.device;
    if (SameDevice(then, device)) out.push_back(std::move(e));
  }
  return out;
}

LoadResult SetJournal::Load(const JournalEntry& entry, PsfImage& image) const {
  if (entry.kind != EntryKind::kSet) return LoadResult::kWrongKind;
  if (entry.legacy) return ReadLegacySet(entry, image);
  std::string payload;
  const LoadResult read = ReadSetFile(entry, payload);
  if (read == LoadResult::kOk) image.FromBytes(payload.data(), 0);
  return read;
}

LoadResult SetJournal::LoadSent(const JournalEntry& entry, PsfImage& image) const {
  if (entry.kind != EntryKind::kSet || !entry.has_sent || entry.legacy) return LoadResult::kWrongKind;
  std::string payload;
  const LoadResult read = ReadSetFile(entry, payload);
  if (read == LoadResult::kOk) image.FromBytes(payload.data() + kPsfSize, 0);
  return read;
}

LoadResult SetJournal::LoadNullSpan(const JournalEntry& entry, NullSpanValues& before,
                                    NullSpanValues& sent) const {
  if (entry.kind != EntryKind::kNullSpan) return LoadResult::kWrongKind;
  std::string payload;
  const LoadResult read = ReadSetFile(entry, payload);
  if (read != LoadResult::kOk) return read;
  for (int i = 0; i < 4; ++i) before[i] = GetValue(payload.data() + 2 * i);
  if (entry.has_sent) {
    for (int i = 0; i < 4; ++i) sent[i] = GetValue(payload.data() + 8 + 2 * i);
  }
  return read;
}

}  // namespace kelvt
