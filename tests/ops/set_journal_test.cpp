#include "ops/set_journal.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>

#include "link/controller_link.h"
#include "ops/recover.h"
#include "platform/safe_file.h"
#include "platform/tick.h"
#include "psf/psf_file.h"
#include "support/scripted_controller.h"
#include "support/scripted_port.h"

namespace kelvt {
namespace {
namespace fs = std::filesystem;

class JournalTest : public ::testing::Test {
 protected:
  JournalTest() {
    // Memory-backed where there is one: 250 entries are 1500 syncs.
    char shm[] = "/dev/shm/kelvt-journal-XXXXXX";
    char tmp[] = "/tmp/kelvt-journal-XXXXXX";
    const char* made = mkdtemp(shm);
    if (made == nullptr) made = mkdtemp(tmp);
    root_ = made != nullptr ? made : "/tmp";
    folder_ = root_ + "/kelvt";
  }
  ~JournalTest() override { fs::remove_all(root_); }

  static std::string Bytes(const PsfImage& image) { return std::string(image.Data(), kPsfSize); }
  std::string Read(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  static unsigned Mode(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : 01000;
  }

  std::string root_;
  std::string folder_;
};

// Add then Load gives every set back byte for byte, every byte value
// included (NUL, LF, '-', '/', 0x01, 0xFF...), with the set sent, and the
// controller's texts through the index as they were.
TEST_F(JournalTest, RandomSetsRoundTripExactly) {
  SetJournal journal(folder_);
  std::mt19937 random(20261209);
  std::vector<std::pair<std::string, JournalRecord>> added;
  for (int n = 0; n < 40; ++n) {
    JournalRecord r;
    for (int i = 0; i < kPsfSize; ++i) {
      // The first sets walk through all 256 values, the rest are random.
      r.before[i] = static_cast<char>(n < 4 ? (n * kPsfSize + i) % 256 : random() % 256);
      r.sent[i] = static_cast<char>(random() % 256);
    }
    r.has_sent = n % 3 == 0;
    r.tag = {"COM" + std::to_string(n % 24 + 1), "/dev/ttyS" + std::to_string(n % 24),
             n % 2 ? "alignment" : "stamp\t%\n"};
    r.controller = {static_cast<char>('A' + n % 15), std::string("K-\0/\n\x01", 6), "26/1"};
    std::string id;
    ASSERT_EQ(journal.Add(r, id), 1) << journal.Problem();
    added.emplace_back(id, r);
  }
  JournalRecord values;
  values.kind = EntryKind::kNullSpan;
  values.null_span_before = {0, 4095, 1000, 2000};
  values.has_sent = true;
  values.null_span_sent = {12, 4000, 8, 4010};
  std::string values_id;
  ASSERT_EQ(journal.Add(values, values_id), 1);

  const std::vector<JournalEntry> entries = journal.Entries();
  ASSERT_EQ(entries.size(), added.size() + 1);
  NullSpanValues before, sent;
  ASSERT_EQ(journal.LoadNullSpan(entries[0], before, sent), LoadResult::kOk);
  EXPECT_EQ(before, values.null_span_before);
  EXPECT_EQ(sent, values.null_span_sent);
  for (std::size_t i = 0; i < added.size(); ++i) {
    const JournalEntry& e = entries[added.size() - i];  // newest first
    const JournalRecord& r = added[i].second;
    SCOPED_TRACE(e.id);
    EXPECT_EQ(e.id, added[i].first);
    EXPECT_EQ(e.tag.operation, r.tag.operation);
    EXPECT_EQ(e.part_number, r.controller.part_number);
    EXPECT_EQ(e.date_code, "26/1");
    EXPECT_EQ(e.letter, r.controller.letter);
    EXPECT_FALSE(e.finished);
    PsfImage image;
    ASSERT_EQ(journal.Load(e, image), LoadResult::kOk);
    EXPECT_EQ(Bytes(image), Bytes(r.before));
    if (r.has_sent) {
      ASSERT_EQ(journal.LoadSent(e, image), LoadResult::kOk);
      EXPECT_EQ(Bytes(image), Bytes(r.sent));
      std::string part(r.sent.Data() + 66, 6);
      while (!part.empty() && part.back() == '\0') part.pop_back();
      EXPECT_EQ(e.new_part_number, part);
    }
  }
}

// A damaged copy is reported, never loaded; wrong size, sum or swapped file.
TEST_F(JournalTest, DamagedCopiesAreRefused) {
  SetJournal journal(folder_);
  PsfImage set;
  set[10] = 'x';
  std::string first, second;
  ASSERT_EQ(journal.Add(set, {"", "/dev/ttyS0", "alignment"}, first), 1);
  set[10] = 'y';
  ASSERT_EQ(journal.Add(set, {"", "/dev/ttyS0", "alignment"}, second), 1);
  const std::string path = folder_ + "/" + first + ".set";
  const std::string good = Read(path);
  const std::string other = Read(folder_ + "/" + second + ".set");
  std::string flipped = good;
  flipped[20] ^= 0x04;
  const std::string cases[] = {flipped, good.substr(0, good.size() - 1), good + "x", other, ""};
  for (const std::string& text : cases) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    PsfImage image;
    EXPECT_EQ(journal.Load(journal.Entries()[1], image), LoadResult::kDamaged) << text.size();
  }
  fs::remove(path);
  PsfImage image;
  EXPECT_EQ(journal.Load(journal.Entries()[1], image), LoadResult::kMissing);
}

// Eight processes adding and finishing 25 entries each in one journal: every
// entry is there, and every finished flag as it was set.
TEST_F(JournalTest, EightWritersLoseNothing) {
  constexpr int kWriters = 8, kEach = 25;
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      SetJournal journal(folder_);
      int failures = 0;
      for (int n = 0; n < kEach; ++n) {
        PsfImage set;
        set[2] = static_cast<char>(w);
        set[3] = static_cast<char>(n);
        std::string id;
        if (!journal.Add(set, {"", "/dev/ttyUSB" + std::to_string(w), std::to_string(n)}, id)) {
          ++failures;
        } else if (n % 2 == 1 && !journal.MarkFinished(id)) {
          ++failures;
        }
      }
      _exit(failures);
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) {
    int status = -1;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  SetJournal journal(folder_);
  const std::vector<JournalEntry> entries = journal.Entries();
  ASSERT_EQ(entries.size(), static_cast<std::size_t>(kWriters * kEach));
  std::set<std::pair<int, int>> seen;
  for (const JournalEntry& e : entries) {
    PsfImage set;
    ASSERT_EQ(journal.Load(e, set), LoadResult::kOk);
    const int n = std::stoi(e.tag.operation);
    EXPECT_EQ(set[3], static_cast<char>(n));
    EXPECT_EQ(e.tag.device, "/dev/ttyUSB" + std::to_string(set[2]));
    EXPECT_EQ(e.finished, n % 2 == 1) << e.id;
    seen.insert({set[2], n});
  }
  EXPECT_EQ(seen.size(), entries.size());
}

// Pruning drops finished entries only: one unfinished among 250 survives
// with its files, whatever its age.
TEST_F(JournalTest, PruningKeepsTheUnfinished) {
  SetJournal journal(folder_);
  PsfImage own;
  own[2] = 'o';
  std::string kept;
  ASSERT_EQ(journal.Add(own, {"", "/dev/ttyUSB0", "alignment"}, kept), 1);
  JournalRecord stamp;
  stamp.finished = true;
  stamp.tag = {"", "/dev/ttyUSB1", "stamp"};
  std::string id;
  for (int n = 0; n < 249; ++n) ASSERT_EQ(journal.Add(stamp, id), 1);
  const std::vector<JournalEntry> entries = journal.Entries();
  ASSERT_EQ(entries.size(), SetJournal::kKeep);
  EXPECT_EQ(entries.back().id, kept);
  PsfImage image;
  ASSERT_EQ(journal.Load(entries.back(), image), LoadResult::kOk);
  EXPECT_EQ(Bytes(image), Bytes(own));
  EXPECT_TRUE(fs::exists(entries.back().path));
  // Two files an entry, the index and the lock: nothing of the pruned left.
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), {}), 2 * 200 + 2);
}

// An index that exists but cannot be read stops every write with a clear
// message, changes nothing, and is never replaced.
TEST_F(JournalTest, AnUnreadableIndexStopsEveryWrite) {
  SetJournal journal(folder_);
  ASSERT_TRUE(MakeFolders(folder_, 0700));
  EXPECT_EQ(journal.IndexProblem(), "");  // none yet is no problem
  const std::string index = folder_ + "/index2";
  for (const char* text : {"garbage\n", "kelvt-journal 3\nid=x\n"}) {
    std::ofstream(index, std::ios::trunc) << text;
    std::string id;
    EXPECT_EQ(journal.Add(PsfImage(), {"", "/dev/ttyS0", "alignment"}, id), 0);
    EXPECT_NE(journal.Problem().find("cannot be read"), std::string::npos) << journal.Problem();
    EXPECT_EQ(journal.MarkFinished("x"), 0);
    EXPECT_NE(journal.IndexProblem().find("cannot be read"), std::string::npos);
    EXPECT_EQ(Read(index), text);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), {}), 2);  // the index and the lock
  }
}

// The previous version's entries are listed; one goes back only when its
// .PSF text gives every byte back ('-' does not survive that text).
TEST_F(JournalTest, PreviousVersionEntriesAreListedAndUsedOnlyWhenExact) {
  ASSERT_TRUE(MakeFolders(folder_, 0700));
  PsfImage clean;
  for (int i = 0; i < kPsfSize; ++i) clean[i] = static_cast<char>('0' + i % 10);
  PsfImage dashed = clean;
  dashed.SetPartNumber("KT-100");
  ASSERT_EQ(WriteImageFile((folder_ + "/old-1.PSF").c_str(), clean.Data()), 1);
  ASSERT_EQ(WriteImageFile((folder_ + "/old-2.PSF").c_str(), dashed.Data()), 1);
  std::ofstream(folder_ + "/index")
      << "old-1\t2026-01-01 10:00:00\tCOM3\t/dev/ttyS2\tA\tKT1000\t2601\talignment\topen\n"
      << "old-2\t2026-01-01 11:00:00\t\t/dev/ttyS2\tA\tKT-100\t2601\ttrial run\topen\n";
  SetJournal journal(folder_);
  std::vector<JournalEntry> entries = journal.Unfinished(IdentifyDevice("/dev/ttyS2"));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_TRUE(entries[0].legacy && !entries[0].exact);
  EXPECT_TRUE(entries[1].exact);
  PsfImage image;
  EXPECT_EQ(journal.Load(entries[0], image), LoadResult::kInexact);
  ASSERT_EQ(journal.Load(entries[1], image), LoadResult::kOk);
  EXPECT_EQ(Bytes(image), Bytes(clean));
  // The first write carries them over; the old index stays as it was.
  ASSERT_EQ(journal.MarkPutBack("old-1"), 1);
  entries = journal.Entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].state, EntryState::kPutBack);
  EXPECT_TRUE(entries[0].legacy && !entries[0].finished);
}

// Journal files are private and honour the umask; so does any new file.
TEST_F(JournalTest, FilesHonourTheUmask) {
  const mode_t old = umask(077);
  SetJournal journal(folder_);
  std::string id;
  ASSERT_EQ(journal.Add(PsfImage(), {"", "/dev/ttyS0", "alignment"}, id), 1);
  const std::string settings = root_ + "/kelvt.INI";
  ASSERT_EQ(ReplaceFileDurably(settings.c_str(), "x", 1), 1);
  umask(022);
  const std::string shared = root_ + "/shared.PSF";
  ASSERT_EQ(ReplaceFileDurably(shared.c_str(), "x", 1), 1);
  umask(old);
  EXPECT_EQ(Mode(folder_), 0700u);
  for (const char* name : {"/index2", "/lock"}) EXPECT_EQ(Mode(folder_ + name), 0600u) << name;
  EXPECT_EQ(Mode(folder_ + "/" + id + ".set"), 0600u);
  EXPECT_EQ(Mode(folder_ + "/" + id + ".PSF"), 0600u);
  EXPECT_EQ(Mode(settings), 0600u);
  EXPECT_EQ(Mode(shared), 0644u);
}

// Recover at the core: damaged entries are skipped and older ones still go
// back; another controller is refused (nothing sent) unless forced; the set
// it held is journaled first; a stamp's entry knows the new part number.
TEST_F(JournalTest, RecoverChecksTheControllerAndSkipsDamagedEntries) {
  const struct {
    const char* name;
    const char* diag_part;
    bool force;
    bool stamped;
    bool foreign;  // an older entry of another controller on the same device
    RecoverStatus status;
  } rows[] = {
      {"same", "KT1000", false, false, false, RecoverStatus::kDone},
      {"other", "KT2000", false, false, false, RecoverStatus::kMismatch},
      {"other, forced", "KT2000", true, false, false, RecoverStatus::kDone},
      {"stamped with the new", "NEW001", false, true, false, RecoverStatus::kDone},
      {"stamped, another", "KT2000", false, true, false, RecoverStatus::kMismatch},
      {"another's entry waits", "KT1000", false, false, true, RecoverStatus::kDone},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    fs::remove_all(folder_);
    VirtualTickSource ticks(1000);
    ScopedTickSource scope(&ticks);
    test::ScriptedController controller;
    controller.diagnostics = test::ScriptedController::DiagnosticsReply(
        'A', {{'E', '1', '8', '0'}, {'R', '1', '8', '0'}}, row.diag_part, "2601");
    auto* port = new test::ScriptedPort(0, 9600);
    controller.Attach(*port);
    ControllerLink link(port);
    SetJournal journal(folder_);
    JournalRecord own;
    own.tag = {"", "/dev/ttyUSB0", "alignment"};
    own.controller = {'A', "KT1000", "2601"};
    std::memcpy(own.before.Data(), controller.psf, kPsfSize);
    own.before[2] = 'o';
    own.before.UpdateCheckSum();
    if (row.stamped) {
      own.has_sent = true;
      own.sent = own.before;
      own.sent.SetPartNumber("NEW001");
      own.sent.SetDateCode("2601");
    }
    JournalRecord newer = own;
    newer.before[2] = 'n';
    std::string oldest_id, damaged_id;
    JournalRecord foreign = own;
    foreign.controller.part_number = "KT9000";
    if (row.foreign) {
      ASSERT_EQ(journal.Add(foreign, oldest_id), 1);
    }
    ASSERT_EQ(journal.Add(own, oldest_id), 1);
    ASSERT_EQ(journal.Add(newer, damaged_id), 1);
    std::ofstream(folder_ + "/" + damaged_id + ".set", std::ios::app) << "x";
    const std::string held(controller.psf, kPsfSize);

    const RecoverOutcome outcome = RecoverUnfinished(
        link, journal, journal.Unfinished(IdentifyDevice("/dev/ttyUSB0")), row.force,
        JournalTag{own.tag.port, own.tag.device, "recover"});
    EXPECT_EQ(outcome.status, row.status);
    ASSERT_EQ(outcome.skipped.size(), 1u);
    EXPECT_NE(outcome.skipped[0].find(damaged_id + ".set): its file is damaged"), std::string::npos);
    const std::vector<JournalEntry> entries = journal.Entries();
    if (row.status == RecoverStatus::kMismatch) {
      EXPECT_EQ(outcome.controller.part_number, row.diag_part);
      EXPECT_EQ(outcome.expected.part_number, "KT1000");
      EXPECT_EQ(controller.psf_writes, 0);
      EXPECT_EQ(std::string(controller.psf, kPsfSize), held);
      EXPECT_EQ(entries.size(), 2u);
      continue;
    }
    EXPECT_EQ(outcome.sent, 1);
    EXPECT_EQ(controller.psf[2], 'o');  // the older entry went back
    EXPECT_EQ(outcome.waiting.size(), row.foreign ? 1u : 0u);
    EXPECT_EQ(journal.Unfinished().size(), row.foreign ? 1u : 0u);
    ASSERT_EQ(entries.size(), row.foreign ? 4u : 3u);
    EXPECT_EQ(entries[0].tag.operation, "recover");  // the replaced set, first
    EXPECT_EQ(entries[0].part_number, row.diag_part);
    PsfImage replaced;
    ASSERT_EQ(journal.Load(entries[0], replaced), LoadResult::kOk);
    EXPECT_EQ(std::string(replaced.Data() + 2, kPsfSize - 2), held.substr(2));
    EXPECT_EQ(entries[2].state, EntryState::kPutBack);
    EXPECT_TRUE(entries[1].finished);  // newer than what went back: settled
  }
}

}  // namespace
}  // namespace kelvt
