#include "cli/psf_restore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>

#include "platform/tick.h"
#include "psf/psf_file.h"
#include "psf/psf_record.h"
#include "support/scripted_controller.h"
#include "support/scripted_port.h"

namespace kelvt::cli {
namespace {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/kelvt-cli-restore-XXXXXX";
    const char* made = mkdtemp(pattern);
    path_ = made != nullptr ? made : "/tmp";
  }
  ~TempDir() { fs::remove_all(path_); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

PsfImage ControllerSet() {
  PsfRecord record;
  SetField(record.meas1_mode, "LBM");
  SetField(record.blank1_high, "17");
  char bytes[kPsfSize + 1];
  record.Encode(bytes);
  PsfImage image;
  image.FromBytes(bytes, 0);
  return image;
}

TEST(RescueFileNameTest, CarriesTheLocalTimeAndAnAttemptNumber) {
  const std::time_t now = 1767225600;  // some moment; the layout is what counts
  const std::regex layout("kelvt-restore-[0-9]{8}-[0-9]{6}\\.PSF");
  EXPECT_TRUE(std::regex_match(RescueFileName(now, 0), layout)) << RescueFileName(now, 0);
  const std::string second = RescueFileName(now, 1);
  EXPECT_EQ(second.substr(second.size() - 6), "-2.PSF");
  EXPECT_EQ(RescueFileName(now, 0).substr(0, 29), second.substr(0, 29));
}

TEST(WriteRescueFileTest, WritesAFileTheReaderAccepts) {
  TempDir dir;
  std::string error;
  const PsfImage image = ControllerSet();
  const std::string path = WriteRescueFile(image, {dir.path()}, 1767225600, error);
  ASSERT_FALSE(path.empty()) << error;
  EXPECT_EQ(fs::path(path).parent_path(), fs::path(dir.path()));
  PsfRecord read;
  ASSERT_EQ(ReadPsfFile(read, path.c_str()), 1);
  EXPECT_STREQ(read.meas1_mode, "LBM");
  EXPECT_STREQ(read.blank1_high, "17");
}

TEST(WriteRescueFileTest, NeverOverwritesAnExistingFile) {
  TempDir dir;
  const std::time_t now = 1767225600;
  const std::string taken = dir.path() + "/" + RescueFileName(now, 0);
  std::ofstream(taken) << "keep me";
  std::string error;
  const std::string path = WriteRescueFile(ControllerSet(), {dir.path()}, now, error);
  EXPECT_EQ(path, dir.path() + "/" + RescueFileName(now, 1));
  std::ifstream kept(taken);
  std::string text;
  std::getline(kept, text);
  EXPECT_EQ(text, "keep me");
}

TEST(WriteRescueFileTest, FallsBackToTheNextDirectory) {
  TempDir dir;
  std::string error;
  const std::string path =
      WriteRescueFile(ControllerSet(), {"/nonexistent/kelvt", dir.path()}, 1767225600, error);
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(fs::path(path).parent_path(), fs::path(dir.path()));
}

TEST(WriteRescueFileTest, ReportsWhyWhenNoDirectoryTakesIt) {
  std::string error;
  const std::string path =
      WriteRescueFile(ControllerSet(), {"/nonexistent/a", "/nonexistent/b"}, 1767225600, error);
  EXPECT_TRUE(path.empty());
  EXPECT_NE(error.find("/nonexistent/b"), std::string::npos) << error;
}

class RestoreTest : public ::testing::Test {
 protected:
  VirtualTickSource ticks;
  ScopedTickSource scoped{&ticks};
  test::ScriptedController controller;
};

TEST_F(RestoreTest, AControllerThatAnswersTakesItsSetBack) {
  auto* port = new test::ScriptedPort();
  controller.Attach(*port);
  ControllerLink link(port);
  PsfImage saved = ControllerSet();
  TempDir dir;
  const uint32_t before = ticks.Now();
  const RestoreOutcome outcome = RestoreSavedPsf(link, saved, {dir.path()});
  EXPECT_TRUE(outcome.restored);
  EXPECT_FALSE(outcome.saved);
  EXPECT_EQ(controller.psf_writes, 1);
  EXPECT_EQ(controller.psf[3], saved[3]);
  // The pause before the port closes.
  EXPECT_GE(ticks.Now() - before, 1000u);
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_F(RestoreTest, ASilentControllerLeavesTheSetInAFile) {
  test::SimResponder silent(test::Silent());
  auto* port = new test::ScriptedPort();
  silent.Attach(*port);
  ControllerLink link(port);
  PsfImage saved = ControllerSet();
  TempDir dir;
  const RestoreOutcome outcome = RestoreSavedPsf(link, saved, {dir.path()});
  EXPECT_FALSE(outcome.restored);
  ASSERT_TRUE(outcome.saved) << outcome.save_error;
  PsfRecord read;
  ASSERT_EQ(ReadPsfFile(read, outcome.path.c_str()), 1);
  EXPECT_STREQ(read.meas1_mode, "LBM");
}

}  // namespace
}  // namespace kelvt::cli

namespace kelvt::cli {
namespace {

TEST(WriteRescueFileTest, NeverFollowsALinkPlantedAtTheName) {
  TempDir dir;
  const std::time_t now = 1767225600;
  const std::string planted = dir.path() + "/" + RescueFileName(now, 0);
  const std::string target = dir.path() + "/target";
  ASSERT_EQ(symlink(target.c_str(), planted.c_str()), 0);  // dangling
  std::string error;
  const std::string path = WriteRescueFile(ControllerSet(), {dir.path()}, now, error);
  EXPECT_EQ(path, dir.path() + "/" + RescueFileName(now, 1)) << error;
  EXPECT_FALSE(fs::exists(target));  // the link's target was not created
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  // A world-writable folder is never used.
  std::string refused;
  EXPECT_TRUE(WriteRescueFile(ControllerSet(), {"/tmp"}, now, refused).empty());
}

}  // namespace
}  // namespace kelvt::cli
