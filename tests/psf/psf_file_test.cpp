#include "psf/psf_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <cctype>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "psf/psf_image.h"
#include "psf/psf_record.h"

namespace kelvt {
namespace {

namespace fs = std::filesystem;

const char kGolden[] = KELVT_TEST_DATA "/known_record.PSF";

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Spit(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size() - 1;
    lines.push_back(text.substr(start, end - start + 1));
    start = end + 1;
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& l : lines) text += l;
  return text;
}

// The record the golden file was made from.
PsfRecord KnownRecord() {
  PsfRecord r;
  SetField(r.controller_id, "C");
  r.straight = kNotSelected;
  r.skip = kSelected;
  SetField(r.skip_count, "3");
  SetField(r.meas1_mode, "TBM");
  SetField(r.meas2_mode, "LBB");
  r.baud_index = 1;
  r.continuous = kNotSelected;
  r.gate = kSelected;
  SetField(r.blank1_low, "10");
  SetField(r.blank1_high, "20");
  SetField(r.blank2_low, "100");
  SetField(r.blank2_high, "384");
  SetField(r.out1_scan_count, "4");
  SetField(r.out2_mode, "2");
  SetField(r.out2_low_threshold, "50");
  SetField(r.out2_high_threshold, "60");
  SetField(r.out2_low_hysteresis, "49");
  SetField(r.out2_high_hysteresis, "61");
  SetField(r.out2_scan_count, "4");
  SetField(r.out2_invert, "Yes");
  SetField(r.analog1_source, "Meas1");
  SetField(r.analog1_invert, "Yes");
  SetField(r.analog2_source, "Meas2");
  r.no_serial = kNotSelected;
  r.binary_tx = kSelected;
  r.binary_suppress_clear = kSelected;
  r.binary_compress = kSelected;
  return r;
}

std::string EncodedImage(const PsfRecord& r) {
  char image[kPsfSize + 1];
  r.Encode(image);
  return std::string(image, kPsfSize);
}

class PsfFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("kelvt_psf_" + std::to_string(::getpid()) + "_" + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
  }
  std::string Path(const char* name) const { return (dir_ / name).string(); }

  fs::path dir_;
};

TEST_F(PsfFileTest, WritesTheGoldenFileExceptTheDate) {
  const std::string path = Path("known.PSF");
  ASSERT_EQ(WritePsfFile(KnownRecord(), path.c_str()), 1);
  const std::vector<std::string> written = SplitLines(Slurp(path));
  const std::vector<std::string> golden = SplitLines(Slurp(kGolden));
  ASSERT_EQ(golden.size(), 84u);
  ASSERT_EQ(written.size(), golden.size());
  for (std::size_t i = 0; i < golden.size(); ++i) {
    if (i == 1) continue;
    EXPECT_EQ(written[i], golden[i]) << "line " << i + 1;
  }
  const std::regex date(
      "(Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
      "[ 123][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}\n");
  EXPECT_TRUE(std::regex_match(written[1], date)) << written[1];
  EXPECT_EQ(Slurp(path).find('\r'), std::string::npos);
}

TEST_F(PsfFileTest, ReplacesALongerFile) {
  const std::string path = Path("old.PSF");
  Spit(path, std::string(20000, 'q'));
  ASSERT_EQ(WritePsfFile(PsfRecord(), path.c_str()), 1);
  const std::string text = Slurp(path);
  EXPECT_EQ(text.find('q'), std::string::npos);
  EXPECT_EQ(SplitLines(text).size(), 84u);
}

TEST_F(PsfFileTest, WriteFailuresReturnZeroWithReason) {
  const std::string missing_dir = Path("no/such/folder/x.PSF");
  const std::string a_folder = dir_.string();
  const struct {
    const char* name;
    std::string path;
    int error;
  } cases[] = {
      {"folder missing", missing_dir, ENOENT},
      {"path is a folder", a_folder, EISDIR},
      {"a device is never replaced", "/dev/full", EINVAL},
  };
  char image[kPsfSize + 1];
  PsfRecord().Encode(image);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    errno = 0;
    EXPECT_EQ(WriteImageFile(c.path.c_str(), image), 0);
    EXPECT_EQ(errno, c.error);
    errno = 0;
    EXPECT_EQ(WritePsfFile(PsfRecord(), c.path.c_str()), 0);
  }
}

TEST_F(PsfFileTest, WriteWithoutPermissionFails) {
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores file permissions";
  const fs::path locked = dir_ / "locked";
  fs::create_directories(locked);
  fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
  const std::string path = (locked / "x.PSF").string();
  EXPECT_EQ(WritePsfFile(PsfRecord(), path.c_str()), 0);
  EXPECT_EQ(errno, EACCES);
}

// A save cut short (here by the file size limit, as a full disk would) keeps
// the earlier file as it was and leaves no temporary file beside it.
TEST_F(PsfFileTest, SaveCutShortKeepsTheOldFile) {
  const std::string path = Path("old.PSF");
  ASSERT_EQ(WritePsfFile(KnownRecord(), path.c_str()), 1);
  const std::string before = Slurp(path);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 40;
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(3);
    errno = 0;
    if (WritePsfFile(PsfRecord(), path.c_str()) != 0) _exit(1);
    _exit(errno == EFBIG ? 0 : 2);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the save succeeded, 2: errno is not EFBIG";
  EXPECT_EQ(Slurp(path), before);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"old.PSF"});
}

TEST(PsfFileComments, ExactTexts) {
  const struct {
    int index;
    const char* text;
  } cases[] = {
      {0, "  //Controller I.D. Letter"},
      {32, "  //Number of scans before changing outputs"},
      {50, "  //Analog Voltage #2 "},
      {51, "  //Alarm Low Threshold or trigger (value *10)"},
      {64, "  //Serial Transmisssion"},
      {71, "  //Controller part number LSD"},
      {80, "  //Check Sum LSD"},
      {-1, ""},
      {81, ""},
  };
  for (const auto& c : cases) EXPECT_STREQ(ByteComment(c.index), c.text) << c.index;
  for (int i = 0; i < kPsfSize; ++i) {
    EXPECT_EQ(std::strncmp(ByteComment(i), "  //", 4), 0) << i;
  }
}

TEST(PsfFileDate, MatchesAsctimeLayout) {
  std::setlocale(LC_ALL, "C");
  const struct {
    int year, mon, mday, hour, min, sec, wday;
  } cases[] = {{93, 5, 30, 21, 49, 8, 3}, {70, 0, 1, 0, 0, 0, 4},
               {124, 1, 29, 23, 59, 59, 4}, {199, 11, 31, 9, 5, 7, 6}};
  for (const auto& c : cases) {
    std::tm when{};
    when.tm_year = c.year;
    when.tm_mon = c.mon;
    when.tm_mday = c.mday;
    when.tm_hour = c.hour;
    when.tm_min = c.min;
    when.tm_sec = c.sec;
    when.tm_wday = c.wday;
    char out[32];
    FormatAsctime(when, out);
    EXPECT_STREQ(out, std::asctime(&when));
  }
  std::tm odd{};
  odd.tm_wday = 9;
  odd.tm_mon = -3;
  odd.tm_mday = 1000000;
  odd.tm_year = 2000000000;
  char out[32];
  FormatAsctime(odd, out);
  EXPECT_EQ(std::strlen(out), 31u);
  EXPECT_EQ(out[30], '\n');
}

// --- Reading -------------------------------------------------------------

struct ReadOutcome {
  int parsed;
  int result;
  std::string image;
};

ReadOutcome ReadText(const std::string& text) {
  ReadOutcome o;
  char image[kPsfSize];
  std::memset(image, '?', sizeof image);
  o.parsed = ParsePsfText(text.data(), text.size(), image);
  o.image.assign(image, kPsfSize);
  PsfRecord r;
  o.result = ReadPsfText(r, text.data(), text.size());
  return o;
}

std::string GoldenText() { return Slurp(kGolden); }

// Golden lines with line `n` (1-based) replaced.
std::string GoldenWithLine(int n, const std::string& line) {
  std::vector<std::string> lines = SplitLines(GoldenText());
  lines[n - 1] = line;
  return JoinLines(lines);
}

std::string GoldenWithCrLf() {
  std::string out;
  for (char c : GoldenText()) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::string GoldenFirstLines(int count) {
  std::vector<std::string> lines = SplitLines(GoldenText());
  lines.resize(count);
  return JoinLines(lines);
}

TEST(PsfFileRead, GoldenImageWithCommentLetters) {
  const ReadOutcome o = ReadText(GoldenText());
  ASSERT_EQ(o.parsed, 1);
  EXPECT_EQ(o.result, 1);
  const std::string encoded = EncodedImage(KnownRecord());
  EXPECT_EQ(o.image.substr(0, 66), encoded.substr(0, 66));
  // 0x01 is no letter or digit: the reader picks up the comment's initial.
  EXPECT_EQ(o.image.substr(66, 10), "CCCCCCDDDD");
  EXPECT_EQ(o.image.substr(76), encoded.substr(76));
}

TEST(PsfFileRead, GoldenDecodesToTheKnownRecord) {
  PsfRecord read;
  const std::string text = GoldenText();
  ASSERT_EQ(ReadPsfText(read, text.data(), text.size()), 1);
  EXPECT_EQ(EncodedImage(read), EncodedImage(KnownRecord()));
  EXPECT_STREQ(read.meas1_mode, "TBM");
  EXPECT_STREQ(read.skip_count, "3");
  EXPECT_STREQ(read.analog1_invert, "Yes");
}

struct TextCase {
  const char* name;
  std::string text;
  int parsed;
  int result;
};

TEST(PsfFileRead, AcceptsAndRejects) {
  std::string long_line(150, 'x');
  long_line += '\n';
  const TextCase cases[] = {
      {"CR LF line ends", GoldenWithCrLf(), 1, 1},
      {"Version 1.10", GoldenWithLine(3, "Version 1.10\n"), 1, 1},
      {"Version 1.1 trailing text", GoldenWithLine(3, "Version 1.1 beta\n"), 1, 1},
      {"Version 1.0", GoldenWithLine(3, "Version 1.0\n"), 0, 0},
      {"version lower case", GoldenWithLine(3, "version 1.1\n"), 0, 0},
      {"version line short", GoldenWithLine(3, "Version 1.\n"), 0, 0},
      {"80 value lines", GoldenFirstLines(83), 0, 0},
      {"81 value lines without final LF",
       GoldenText().substr(0, GoldenText().size() - 1), 1, 1},
      {"extra lines", GoldenText() + "82:\tQ  //more\nnonsense\n", 1, 1},
      {"bare value line", GoldenWithLine(10, "7:b\n"), 1, 1},
      {"value at position 10", GoldenWithLine(10, "123456789:b\n"), 1, 1},
      {"value at position 11", GoldenWithLine(10, "1234567890:b\n"), 0, 0},
      {"no colon", GoldenWithLine(10, "7\tb  //Scan Control\n"), 0, 0},
      {"nothing after colon", GoldenWithLine(10, "7:\t\n"), 0, 0},
      {"NUL value", GoldenWithLine(10, std::string("7:\t\0  //Scan Control\n", 21)), 0, 0},
      {"command byte D", GoldenWithLine(5, "2:\tD  //Command\n"), 1, 0},
      {"command byte E", GoldenWithLine(5, "2:\tE  //Command\n"), 1, 1},
      {"long first line", long_line + GoldenText().substr(GoldenText().find('\n') + 1), 0, 0},
      {"long middle value line",
       GoldenWithLine(10, "7:\tb" + std::string(120, ' ') + "\n"), 0, 0},
      {"long last value line",
       GoldenWithLine(84, "81:\t0" + std::string(200, '-') + "\n"), 1, 1},
      {"lone CR line ends", [] {
         std::string t = GoldenText();
         for (char& c : t) if (c == '\n') c = '\r';
         return t;
       }(), 0, 0},
      {"empty", "", 0, 0},
      {"two lines", GoldenFirstLines(2), 0, 0},
      {"three lines", GoldenFirstLines(3), 0, 0},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.name);
    const ReadOutcome o = ReadText(c.text);
    EXPECT_EQ(o.parsed, c.parsed);
    EXPECT_EQ(o.result, c.result);
  }
}

TEST(PsfFileRead, ValueIsFirstLetterOrDigitAfterAColon) {
  const struct {
    const char* line;
    char value;
  } cases[] = {
      {"7:\tb  //Scan Control\n", 'b'},
      {"7:\t-  //Scan Control\n", 'S'},   // not alphanumeric: next one counts
      {"7:\t\x01  //Scan Control\n", 'S'},
      {"Ab:c\n", 'c'},                    // letters before the colon don't count
      {"7::: 9\n", '9'},
      {"7:\t\xC3\xA9Z\n", 'Z'},            // bytes above 0x7F are no letters
  };
  for (const auto& c : cases) {
    const ReadOutcome o = ReadText(GoldenWithLine(10, c.line));
    ASSERT_EQ(o.parsed, 1) << c.line;
    EXPECT_EQ(o.image[6], c.value) << c.line;
  }
}

TEST_F(PsfFileTest, DefaultRecordRoundTripsThroughAFile) {
  const std::string path = Path("default.PSF");
  ASSERT_EQ(WritePsfFile(PsfRecord(), path.c_str()), 1);
  PsfRecord read;
  SetField(read.meas1_mode, "ALL");
  ASSERT_EQ(ReadPsfFile(read, path.c_str()), 1);
  EXPECT_EQ(EncodedImage(read), EncodedImage(PsfRecord()));
  // Every letter or digit of the image comes back from the file.
  char image[kPsfSize];
  const std::string text = Slurp(path);
  ASSERT_EQ(ParsePsfText(text.data(), text.size(), image), 1);
  const std::string encoded = EncodedImage(PsfRecord());
  for (int i = 0; i < kPsfSize; ++i) {
    const unsigned char c = static_cast<unsigned char>(encoded[i]);
    if (std::isalnum(c)) {
      EXPECT_EQ(image[i], encoded[i]) << i;
    }
  }
  EXPECT_EQ(std::string(image + 66, 10), "CCCCCCDDDD");
}

TEST_F(PsfFileTest, FilesThatAreNotPsfFilesLeaveTheRecord) {
  const std::string empty = Path("empty.PSF");
  Spit(empty, "");
  const std::string binary = Path("binary.PSF");
  std::string junk;
  for (int i = 0; i < 5000; ++i) junk += static_cast<char>((i * 37) & 0xFF);
  Spit(binary, junk);
  const std::string wrong_cmd = Path("wrong.PSF");
  Spit(wrong_cmd, GoldenWithLine(5, "2:\tX\n"));
  const std::string paths[] = {empty, binary, dir_.string(), Path("missing.PSF"),
                               wrong_cmd};
  for (const std::string& p : paths) {
    SCOPED_TRACE(p);
    PsfRecord scratch = KnownRecord();
    EXPECT_EQ(ReadPsfFile(scratch, p.c_str()), 0);
    if (p != wrong_cmd) {
      EXPECT_EQ(EncodedImage(scratch), EncodedImage(KnownRecord()));
    }
  }
}

TEST_F(PsfFileTest, ReadsCrLfAndHugeFiles) {
  const std::string crlf = Path("crlf.PSF");
  Spit(crlf, GoldenWithCrLf());
  const std::string huge = Path("huge.PSF");
  Spit(huge, GoldenText() + std::string((1 << 20) - 8192, 'z'));
  for (const std::string& p : {crlf, huge}) {
    PsfRecord r;
    EXPECT_EQ(ReadPsfFile(r, p.c_str()), 1) << p;
    EXPECT_EQ(EncodedImage(r), EncodedImage(KnownRecord()));
  }
  // Over 1 MiB, a FIFO (no open that could wait), a device, a folder: refused.
  const std::string over = Path("over.PSF");
  Spit(over, GoldenText() + std::string(1 << 20, 'z'));
  const std::string fifo = Path("fifo.PSF");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& p : {over, fifo, std::string("/dev/zero"), Path("")}) {
    PsfRecord r;
    EXPECT_EQ(ReadPsfFile(r, p.c_str()), 0) << p;
  }
}

TEST_F(PsfFileTest, UnreadableFileIsRejected) {
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores file permissions";
  const std::string path = Path("locked.PSF");
  Spit(path, GoldenText());
  fs::permissions(path, fs::perms::none);
  PsfRecord r;
  EXPECT_EQ(ReadPsfFile(r, path.c_str()), 0);
}

// The fuzzer's seed files run through the reader in every test build too.
TEST(PsfFileRead, FuzzSeedsGiveAnAnswer) {
  const fs::path corpus = fs::path(KELVT_TEST_DATA) / ".." / ".." / "fuzz" / "corpus" / "psf_file";
  ASSERT_TRUE(fs::is_directory(corpus));
  int files = 0;
  int accepted = 0;
  for (const auto& entry : fs::directory_iterator(corpus)) {
    const std::string text = Slurp(entry.path());
    PsfRecord r;
    const int result = ReadPsfText(r, text.data(), text.size());
    EXPECT_TRUE(result == 0 || result == 1) << entry.path();
    accepted += result;
    ++files;
  }
  EXPECT_GE(files, 3);
  EXPECT_GE(accepted, 2);  // the golden copy and its CR LF twin
}

}  // namespace
}  // namespace kelvt
