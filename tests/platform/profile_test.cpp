#include "platform/profile.h"

#include "platform/frame_settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace kelvt {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

class TempFolder {
 public:
  TempFolder() {
    char templ[] = "/tmp/kelvt-profile-XXXXXX";
    path_ = mkdtemp(templ);
  }
  ~TempFolder() { fs::remove_all(path_); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Sets an environment variable for the guard's lifetime.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    if (old != nullptr) old_ = old;
    had_ = old != nullptr;
    if (value != nullptr) setenv(name, value, 1);
    else unsetenv(name);
  }
  ~ScopedEnv() {
    if (had_) setenv(name_, old_.c_str(), 1);
    else unsetenv(name_);
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

TEST(SettingsFilePath, FollowsXdgConfigHome) {
  struct Case {
    const char* xdg;
    const char* home;
    const char* expected;
  };
  const Case cases[] = {
      {"/tmp/cfg", "/home/tech", "/tmp/cfg/kelvt.INI"},
      {nullptr, "/home/tech", "/home/tech/.config/kelvt.INI"},
      {"", "/home/tech", "/home/tech/.config/kelvt.INI"},
      {"relative/cfg", "/home/tech", "/home/tech/.config/kelvt.INI"},  // not absolute: ignored
  };
  for (const Case& c : cases) {
    ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
    ScopedEnv home("HOME", c.home);
    EXPECT_EQ(SettingsFilePath(), c.expected) << (c.xdg ? c.xdg : "(unset)");
  }
}

TEST(Profile, NamesAreCaseInsensitiveAndTheFirstMatchWins) {
  Profile p;
  p.Parse(
      "[communication]\n"
      "PORT=4\n"
      "port=7\n"
      "[Communication]\n"
      "Port=9\n"
      "Extra=1\n");
  struct Case {
    const char* section;
    const char* key;
    int32_t expected;
  };
  const Case cases[] = {
      {"Communication", "Port", 4}, {"COMMUNICATION", "port", 4}, {"communication", "pOrT", 4},
      // A key only in the second section of the same name is not found.
      {"Communication", "Extra", -1}, {"Options", "Save", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(p.GetInt(c.section, c.key, -1), c.expected) << c.section << "/" << c.key;
  EXPECT_TRUE(p.HasSection("COMMUNICATION"));
  EXPECT_FALSE(p.HasSection("Options"));
}

TEST(Profile, EntriesInFileOrderSkippingComments) {
  Profile p;
  p.Parse(
      "; site list\n"
      "[PartNumbers]\n"
      "Z=123456\n"
      "\n"
      "; older ones\n"
      "A = 654321 \n"
      "m=\"  q  \"\n"
      "bare\n"
      "[Other]\n"
      "x=1\n");
  const std::vector<Profile::Entry> expected = {
      {"Z", "123456"}, {"A", "654321"}, {"m", "  q  "}, {"bare", ""}};
  EXPECT_EQ(p.Entries("partnumbers"), expected);
  EXPECT_TRUE(p.Entries("Missing").empty());
  EXPECT_EQ(p.SectionNames(), (std::vector<std::string>{"PartNumbers", "Other"}));
}

TEST(Profile, EmptySectionHasNoEntries) {
  Profile p;
  p.Parse("[PartNumbers]\n; nothing yet\n\n[Options]\nSave=1\n");
  EXPECT_TRUE(p.HasSection("PartNumbers"));
  EXPECT_TRUE(p.Entries("PartNumbers").empty());
}

TEST(Profile, IntegersParseLikePrivateProfileReads) {
  struct Case {
    const char* text;
    int32_t expected;
  };
  const Case cases[] = {
      {"4", 4},          {"  12", 12},      {"-3", -3},         {"+8", 8},
      {"4abc", 4},       {"abc", 0},        {"", 77},           {"0x1F", 31},
      {"0b101", 5},      {"0o17", 15},      {"007", 7},         {"4294967295", -1},
      {"4294967296", 0}, {"99999999999999999999", 1661992959},
      {"-", 0},          {"0x", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseProfileInt(c.text, 77), c.expected) << '"' << c.text << '"';
}

TEST(Profile, WritingChangesOnlyThatKeysLine) {
  const std::string original =
      "; Kelvo-Tarn settings\n"
      "[Communication]\n"
      "  ; the port\n"
      "Port=1\n"
      "\n"
      "[Options]\n"
      "save=0\n"
      "Other=keep me\n";
  Profile p;
  p.Parse(original);
  p.SetInt("COMMUNICATION", "port", 4);
  p.SetInt("Options", "Save", 1);
  EXPECT_EQ(p.Text(),
            "; Kelvo-Tarn settings\n"
            "[Communication]\n"
            "  ; the port\n"
            "Port=4\n"
            "\n"
            "[Options]\n"
            "save=1\n"
            "Other=keep me\n");
}

TEST(Profile, WritingAddsMissingKeysAndSections) {
  struct Case {
    const char* before;
    const char* after;
  };
  const Case cases[] = {
      {"", "[Communication]\nPort=4\n"},
      {"; only a comment\n", "; only a comment\n\n[Communication]\nPort=4\n"},
      {"[Communication]\nBaud=9600\n\n[Options]\nSave=1\n",
       "[Communication]\nBaud=9600\nPort=4\n\n[Options]\nSave=1\n"},
      {"[Communication]\n", "[Communication]\nPort=4\n"},
      {"[Communication]\r\nBaud=9600\r\n", "[Communication]\r\nBaud=9600\r\nPort=4\r\n"},
  };
  for (const Case& c : cases) {
    Profile p;
    p.Parse(c.before);
    p.SetInt("Communication", "Port", 4);
    EXPECT_EQ(p.Text(), c.after) << c.before;
    EXPECT_EQ(p.GetInt("communication", "port", -1), 4);
  }
}

TEST(Profile, ParseAndTextRoundTripUntouchedFiles) {
  const char* texts[] = {
      "",
      "[A]\nx=1\n",
      "\n\n; c\n[A]\n\n\nweird line\n[ B ] trailing\n=novalue\n",
      "no section=1\n[A]\r\nk=v\r\n",
  };
  for (const char* t : texts) {
    Profile p;
    p.Parse(t);
    EXPECT_EQ(p.Text(), t);
  }
}

TEST(Profile, SaveIsAtomicAndKeepsComments) {
  TempFolder dir;
  const std::string path = dir.path() + "/sub/kelvt.INI";  // folder created on save
  Profile first(path);
  EXPECT_FALSE(first.Load());
  first.SetInt("Communication", "Port", 4);
  ASSERT_TRUE(first.Save());
  EXPECT_EQ(ReadFile(path), "[Communication]\nPort=4\n");

  WriteFile(path, "; mine\n[Communication]\nPort=4\n[PartNumbers]\nA=123456\n");
  Profile second(path);
  ASSERT_TRUE(second.Load());
  second.SetInt("Options", "Save", 1);
  ASSERT_TRUE(second.Save());
  EXPECT_EQ(ReadFile(path),
            "; mine\n[Communication]\nPort=4\n[PartNumbers]\nA=123456\n\n[Options]\nSave=1\n");
  // No temporary file is left behind.
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir.path() + "/sub")) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1);
}

TEST(Profile, FailedSaveLeavesTheOldFile) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  TempFolder dir;
  const std::string path = dir.path() + "/kelvt.INI";
  WriteFile(path, "[Options]\nSave=1\n");
  chmod(dir.path().c_str(), 0555);
  Profile p(path);
  ASSERT_TRUE(p.Load());
  p.SetInt("Options", "Save", 0);
  EXPECT_FALSE(p.Save());
  chmod(dir.path().c_str(), 0755);
  EXPECT_EQ(ReadFile(path), "[Options]\nSave=1\n");
}

TEST(Profile, SaveFailsCleanlyWhereNoFileCanBe) {
  TempFolder dir;
  const std::string blocker = dir.path() + "/plain-file";
  WriteFile(blocker, "x");
  fs::create_directory(dir.path() + "/kelvt.INI");
  const std::string paths[] = {blocker + "/kelvt.INI",  // folder is a file
                               dir.path() + "/kelvt.INI"};  // the name is a folder
  for (const std::string& path : paths) {
    Profile p(path);
    p.SetInt("Options", "Save", 1);
    EXPECT_FALSE(p.Save()) << path;
  }
  EXPECT_EQ(ReadFile(blocker), "x");
  int entries = 0;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 2) << "no temporary file is left behind";
}

TEST(Profile, SaveWritesThroughASymbolicLink) {
  TempFolder dir;
  const std::string real = dir.path() + "/real.INI";
  const std::string link = dir.path() + "/kelvt.INI";
  WriteFile(real, "[Options]\nSave=1\n");
  fs::create_symlink(real, link);
  Profile p(link);
  ASSERT_TRUE(p.Load());
  p.SetInt("Options", "Save", 0);
  ASSERT_TRUE(p.Save());
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadFile(real), "[Options]\nSave=0\n");
}

TEST(Profile, ArbitraryBytesDoNotBreakTheReader) {
  std::string junk;
  for (int i = 0; i < 2048; ++i) junk.push_back(static_cast<char>((i * 131 + 7) & 0xFF));
  junk += std::string("\0[Devices]\0COM1=\0\n[", 19);
  Profile p;
  p.Parse(junk);
  // Untouched, any file reads back byte for byte (a last line gets its end).
  EXPECT_EQ(p.Text(), junk + "\n");
  EXPECT_FALSE(p.SectionNames().empty());
  EXPECT_TRUE(DeviceOverridesFrom(p).empty());
}

TEST(DeviceOverrides, ComKeysMapToZeroBasedPorts) {
  Profile p;
  p.Parse(
      "[Devices]\n"
      "COM1=/dev/pts/7\n"
      "com3 = /dev/ttyUSB0\n"
      "COM1=/dev/ignored\n"
      "COM0=/dev/zero-port\n"
      "COMx=/dev/bad\n"
      "COM24=/dev/ttyACM1\n"
      "COM5=\n"
      "COM123456789=/dev/too-long\n"
      "LPT1=/dev/lp0\n");
  const std::map<int, std::string> expected = {
      {0, "/dev/pts/7"}, {2, "/dev/ttyUSB0"}, {23, "/dev/ttyACM1"}};
  EXPECT_EQ(DeviceOverridesFrom(p), expected);
}

// Window places: parsed strictly (anything odd is ignored, the window then
// opens at its own size), kept through the settings file with the other keys.
TEST(WindowPlaces, ParseFormatAndRoundTripThroughTheSettings) {
  struct Case { const char* text; bool ok; int w, h; bool placed; int x, y; const char* formatted; };

  const Case cases[] = {
      {"620,660", true, 620, 660, false, 0, 0, "620,660"},
      {" 620 , 660 , -8 , 40 ", true, 620, 660, true, -8, 40, "620,660,-8,40"},
      {"1,1,-32768,32767", true, 1, 1, true, -32768, 32767, "1,1,-32768,32767"}};
  for (const char* bad : {"620", "620,", "0,660", "620,32768", "620,660,", "620,660,5",
                          "620,660,5,6,7", "620x660", "620,660,5,40000", "", "a,b"}) {
    WindowPlace place;
    place.width = -1;
    EXPECT_FALSE(ParseWindowPlace(bad, place)) << bad;
    EXPECT_EQ(place.width, -1) << bad;
  }
  for (const Case& c : cases) {
    WindowPlace place;
    ASSERT_TRUE(ParseWindowPlace(c.text, place)) << c.text;
    EXPECT_EQ(place.width, c.w);
    EXPECT_EQ(place.height, c.h);
    EXPECT_EQ(place.has_position, c.placed);
    EXPECT_EQ(place.x, c.x);
    EXPECT_EQ(place.y, c.y);
    EXPECT_EQ(FormatWindowPlace(place), c.formatted);
  }

  Profile profile;
  profile.Parse("[windows]\n; mine\nCAlignmentDlg=860,560,10,20\ncalignmentdlg=1,1\nCDevicesDlg=oops\n"
                "[Measurement]\nTimeAxis=clock\n");
  FrameSettings s = ReadFrameSettings(profile);
  EXPECT_EQ(s.trend_clock_time, 1);
  ASSERT_EQ(s.windows.size(), 1u);
  EXPECT_EQ(FormatWindowPlace(s.windows["CAlignmentDlg"]), "860,560,10,20");
  s.windows["CAlignmentDlg"] = WindowPlace{900, 600, false, 0, 0};
  s.windows["CMainFrame"] = WindowPlace{640, 420, true, 5, 6};
  s.trend_clock_time = 0;
  ASSERT_TRUE(WriteFrameSettings(s, profile));
  EXPECT_EQ(profile.Text(),
            "[windows]\n; mine\nCAlignmentDlg=900,600\ncalignmentdlg=1,1\nCDevicesDlg=oops\n"
            "CMainFrame=640,420,5,6\n[Measurement]\nTimeAxis=Seconds\n"
            "\n[Communication]\nPort=1\n\n[Options]\nSave=1\n");
  // Nothing chosen, nothing written.
  Profile empty;
  ASSERT_TRUE(WriteFrameSettings(FrameSettings{}, empty));
  EXPECT_EQ(empty.Text(), "[Communication]\nPort=1\n\n[Options]\nSave=1\n");
}

}  // namespace
}  // namespace kelvt

namespace {

// A settings file that is there but cannot be read is never replaced, and
// nothing that is not a regular file (or is over 1 MiB) is read at all.
TEST(ProfileRefusalTest, UnreadableOrOddFilesAreNotReadNorReplaced) {
  char folder[] = "/tmp/kelvt-profile-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string fifo = std::string(folder) + "/fifo.INI";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string big = std::string(folder) + "/big.INI";
  {
    std::FILE* f = std::fopen(big.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    const std::string text = "[PartNumbers]\n" + std::string((1 << 20) + 1, ';');
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  const std::string locked = std::string(folder) + "/locked.INI";
  {
    std::ofstream(locked) << "[PartNumbers]\nA=123456\n";
    chmod(locked.c_str(), 0);
  }
  std::vector<std::string> paths = {fifo, "/dev/zero", big};
  if (geteuid() != 0) paths.push_back(locked);  // root reads it all the same
  for (const std::string& path : paths) {
    kelvt::Profile profile(path);
    EXPECT_FALSE(profile.Load()) << path;
    EXPECT_FALSE(profile.LoadError().empty()) << path;
    profile.SetString("Options", "Save", "1");
    EXPECT_FALSE(profile.Save()) << path;
  }
  struct stat info {};
  ASSERT_EQ(stat(big.c_str(), &info), 0);
  EXPECT_GT(info.st_size, 1 << 20);  // left as it was
  chmod(locked.c_str(), 0600);
  std::ifstream locked_in(locked);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(locked_in), {}), "[PartNumbers]\nA=123456\n");
  kelvt::Profile missing(std::string(folder) + "/none.INI");
  EXPECT_FALSE(missing.Load());
  EXPECT_TRUE(missing.LoadError().empty());  // no file: defaults, and a save may create it
  unlink(fifo.c_str());
  unlink(big.c_str());
  unlink(locked.c_str());
  unlink((std::string(folder) + "/none.INI").c_str());
  rmdir(folder);
}

}  // namespace
