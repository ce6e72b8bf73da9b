// beams and measure in-process: the scans, their output, and that the
// controller always gets its own set back.

#include <csignal>
#include <filesystem>

#include "cli/exit_codes.h"
#include "json_lines.h"
#include "cli_harness.h"
#include "psf/psf_file.h"
#include "psf/psf_record.h"

namespace kelvt::cli {
namespace {

using test_support::CliHarness;
using test_support::WithoutTime;
using kelvt::test::ScriptedController;

class CliBeamsTest : public CliHarness {};

constexpr char kScan1Text[] =
    "Scan 1 (16 beams)\n"
    "Channel   Broken    Made\n"
    "Total          3      13\n"
    "First          4       1\n"
    "Last           6      16\n"
    "Channel        Status\n"
    "4 - 6          Broken\n"
    "\n";

TEST_F(CliBeamsTest, CountedScansAllShowAndTheSetGoesBack) {
  ASSERT_EQ(Run({"beams", "--count", "3"}), kExitOk) << err.str();
  std::string expected;
  for (int i = 1; i <= 3; ++i) {
    std::string block = kScan1Text;
    block.replace(5, 1, std::to_string(i));
    expected += block;
  }
  EXPECT_EQ(WithoutTime(out.str()), expected);
  EXPECT_EQ(controller.scans, 3);
  EXPECT_EQ(controller.psf_writes, 2);  // the alignment set, then the controller's own
  EXPECT_TRUE(ControllerHoldsItsOwnSet());
  EXPECT_EQ(err.str(), "");
}

TEST_F(CliBeamsTest, TheAlignmentSetIsWhatTheControllerScansWith) {
  char during[kPsfSize] = {};
  OnScan(1, [&] { std::memcpy(during, controller.psf, kPsfSize); });
  ASSERT_EQ(Run({"beams"}), kExitOk) << err.str();
  EXPECT_EQ(during[3], 'I');  // ALL
  EXPECT_EQ(during[4], 'K');  // None
  EXPECT_EQ(during[6], 'c');  // Host Mode
  EXPECT_EQ(during[64], 'c');  // binary
  EXPECT_EQ(during[2], 'a');  // Straight
  EXPECT_TRUE(ControllerHoldsItsOwnSet());
}

TEST_F(CliBeamsTest, FilterBothListsEveryRun) {
  ASSERT_EQ(Run({"beams", "--filter", "both"}), kExitOk) << err.str();
  EXPECT_NE(WithoutTime(out.str()).find("Channel        Status\n"
                           "1 - 3          Made\n"
                           "4 - 6          Broken\n"
                           "7 - 16         Made\n"),
            std::string::npos)
      << out.str();
  ASSERT_EQ(Run({"beams", "-f", "made"}), kExitOk);
  EXPECT_EQ(WithoutTime(out.str()).find("Broken\n"), std::string::npos) << WithoutTime(out.str());
  EXPECT_EQ(Run({"beams", "--filter", "some"}), kExitUsage);
}

TEST_F(CliBeamsTest, Json) {
  ASSERT_EQ(Run({"--json", "beams", "--filter", "both"}), kExitOk) << err.str();
  EXPECT_EQ(WithoutTime(out.str()),
            "{\"scan\":1,\"beams\":16,\"broken\":{\"count\":3,\"first\":4,\"last\":6},"
            "\"made\":{\"count\":13,\"first\":1,\"last\":16},\"filter\":\"both\",\"ranges\":["
            "{\"channels\":\"1 - 3\",\"first\":1,\"last\":3,\"state\":\"Made\"},"
            "{\"channels\":\"4 - 6\",\"first\":4,\"last\":6,\"state\":\"Broken\"},"
            "{\"channels\":\"7 - 16\",\"first\":7,\"last\":16,\"state\":\"Made\"}]}\n");
}

// CSV lines (CRLF ended); below the header each row's leading time is
// replaced by "<time>" when it has the ISO 8601 shape, 2026-12-07T20:05:53.123+01:00.
std::vector<std::string> CsvRows(const std::string& text) {
  std::vector<std::string> rows;
  for (std::size_t at = 0, end; at < text.size(); at = end + 2) {
    end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    std::string row = text.substr(at, end - at);
    const std::size_t comma = row.find(',');
    if (!rows.empty() && comma == 29 && row[10] == 'T' && row[19] == '.') {
      row.replace(0, comma, "<time>");
    }
    rows.push_back(row);
  }
  return rows;
}

TEST_F(CliBeamsTest, CsvIsAHeaderAndARowPerScan) {
  ASSERT_EQ(Run({"beams", "--count", "3", "--csv"}), kExitOk) << err.str();
  const std::vector<std::string> expected{
      "time,scan,broken,made,first broken,last broken,first made,last made,beams",
      "<time>,1,3,13,4,6,1,16,0001110000000000", "<time>,2,3,13,4,6,1,16,0001110000000000",
      "<time>,3,3,13,4,6,1,16,0001110000000000"};
  EXPECT_EQ(CsvRows(out.str()), expected) << out.str();
  EXPECT_TRUE(ControllerHoldsItsOwnSet());

  // Watching, every scan is still a row of the record.
  OnScan(4, [] { RequestInterrupt(SIGINT); });
  ASSERT_EQ(Run({"beams", "--watch", "--csv"}), kExitOk) << err.str();
  EXPECT_EQ(CsvRows(out.str()).size(), 5u) << out.str();
  EXPECT_TRUE(ControllerHoldsItsOwnSet());

  EXPECT_EQ(Run({"--json", "beams", "--csv"}), kExitUsage);
  EXPECT_EQ(Run({"beams", "--csv", "--json"}), kExitUsage);
  EXPECT_NE(err.str().find("--csv excludes --json"), std::string::npos) << err.str();
  EXPECT_EQ(targets.size(), 2u);  // the usage errors never opened the port
}

TEST_F(CliBeamsTest, SummaryCountsChangesAndNamesTheFlickeringBeam) {
  // Beam 10 breaks in scan 3 of 50 (2 changes: flickering); beam 12 breaks
  // from scan 2 on and stays broken (1 change, also under 5 %); beam 16
  // changes in every scan (not flickering: it changes far too often).
  const auto curtain = [this] {
    controller.intercept = [seen = 0](ScriptedController& c, kelvt::test::ScriptedPort&,
                                      const char* data, int count) mutable {
      if (count == 3 && data[0] == kWake && data[2] == 'S') {
        ++seen;
        std::vector<int> broken{3, 4, 5};
        if (seen == 3) broken.push_back(9);
        if (seen >= 2) broken.push_back(11);
        if (seen % 2 == 0) broken.push_back(15);
        c.scan_payload = ScriptedController::BeamPayload(16, broken);
      }
      return false;
    };
  };
  curtain();
  ASSERT_EQ(Run({"beams", "--count", "50", "--summary"}), kExitOk) << err.str();
  const std::string text = WithoutTime(out.str());
  const std::string summary =
      "Summary of 50 scans (16 beams)\n"
      "Beam      Changes\n"
      "10              2\n"
      "12              1\n"
      "16             49\n"
      "flickering: 10 (2), 12 (1)\n";
  ASSERT_GE(text.size(), summary.size());
  EXPECT_EQ(text.substr(text.size() - summary.size()), summary) << text;
  EXPECT_TRUE(ControllerHoldsItsOwnSet());

  curtain();
  ASSERT_EQ(Run({"--json", "beams", "--count", "50", "--summary"}), kExitOk) << err.str();
  const std::string lines = WithoutTime(out.str());
  const std::string last = lines.substr(lines.rfind('\n', lines.size() - 2) + 1);
  EXPECT_EQ(last,
            "{\"scans\":50,\"beams\":16,\"changes\":[{\"beam\":10,\"changes\":2},"
            "{\"beam\":12,\"changes\":1},{\"beam\":16,\"changes\":49}],"
            "\"flickering\":[{\"beam\":10,\"changes\":2},{\"beam\":12,\"changes\":1}]}\n");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 51);

  controller.scan_payload = ScriptedController::BeamPayload(16, {3, 4, 5});
  controller.intercept = nullptr;
  ASSERT_EQ(Run({"beams", "-n", "2", "--summary"}), kExitOk) << err.str();
  EXPECT_NE(out.str().find("(no beam changed)\nflickering: none\n"), std::string::npos) << out.str();
  EXPECT_EQ(Run({"beams", "--summary", "--csv"}), kExitUsage);
}

TEST_F(CliBeamsTest, NoBrokenBeamLeavesFirstAndLastEmpty) {
  controller.scan_payload = ScriptedController::BeamPayload(16, {});
  ASSERT_EQ(Run({"beams"}), kExitOk);
  EXPECT_NE(WithoutTime(out.str()).find("Total          0      16\n"
                           "First                  1\n"
                           "Last                  16\n"),
            std::string::npos)
      << out.str();
  EXPECT_NE(WithoutTime(out.str()).find("(none broken)\n"), std::string::npos);
  ASSERT_EQ(Run({"--json", "beams"}), kExitOk);
  EXPECT_NE(WithoutTime(out.str()).find("\"broken\":{\"count\":0,\"first\":null,\"last\":null}"),
            std::string::npos);
}

TEST_F(CliBeamsTest, WatchShowsChangesOnlyAndEndsCleanlyOnCtrlC) {
  // Steady for three scans, beam 10 broken from the fourth, Ctrl-C at the sixth.
  controller.intercept = [this, seen = 0](ScriptedController& c, kelvt::test::ScriptedPort&,
                                          const char* data, int count) mutable {
    if (count == 3 && data[0] == kWake && data[2] == 'S') {
      if (++seen == 4) c.scan_payload = ScriptedController::BeamPayload(16, {3, 4, 5, 9});
      if (seen == 6) RequestInterrupt(SIGINT);
    }
    return false;
  };
  ASSERT_EQ(Run({"--json", "beams", "--watch"}), kExitOk) << err.str();
  const std::string text = WithoutTime(out.str());
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << text;
  EXPECT_EQ(text.find("{\"scan\":1,"), 0u);
  EXPECT_NE(text.find("\n{\"scan\":4,"), std::string::npos) << text;
  EXPECT_NE(text.find("{\"channels\":\"10\",\"first\":10,\"last\":10,\"state\":\"Broken\"}"),
            std::string::npos);
  EXPECT_EQ(controller.scans, 6);
  EXPECT_TRUE(ControllerHoldsItsOwnSet());
}

TEST_F(CliBeamsTest, CtrlCBeforeTheCountIsReachedStillRestores) {
  OnScan(2, [] { RequestInterrupt(SIGINT); });
  EXPECT_EQ(Run({"beams", "--count", "10"}), kExitInterrupted);
  EXPECT_EQ(controller.scans, 2);
  EXPECT_TRUE(ControllerHoldsItsOwnSet());
  EXPECT_NE(err.str().find("putting the controller's own PSF back"), std::string::npos);
}

TEST_F(CliBeamsTest, ANotOperationalControllerIsLeftAlone) {
  controller.diagnostics =
      ScriptedController::DiagnosticsReply('A', {{'E', '1', 'G', '2'}, {'R', '1', 'G', '0'}});
  EXPECT_EQ(Run({"beams"}), kExitRefused);
  EXPECT_NE(err.str().find("Alignment cannot be executed because the device is not in an "
                           "operational state.\n  The controller reports: Emitter Error"),
            std::string::npos)
      << err.str();
  EXPECT_EQ(controller.psf_reads, 0);
  EXPECT_EQ(controller.psf_writes, 0);
}

TEST_F(CliBeamsTest, RefusedAlignmentSetChangesNothing) {
  const test::SimResponder& sim = line.Fault(test::NoAck());
  EXPECT_EQ(Run({"beams"}), kExitRefused);
  EXPECT_NE(err.str().find("Unable to output psf."), std::string::npos);
  EXPECT_EQ(sim.Heard('S'), 0);
  EXPECT_TRUE(ControllerHoldsItsOwnSet());
}

TEST_F(CliBeamsTest, SilentControllerIsNoAnswer) {
  line.Fault(test::Silent());
  EXPECT_EQ(Run({"beams"}), kExitNoAnswer);
  EXPECT_NE(err.str().find("Unable to input Diagnostics."), std::string::npos);
}

TEST_F(CliBeamsTest, AFailedScanEndsTheLoopAndRestores) {
  controller.scans_unanswered = 100;
  EXPECT_EQ(Run({"beams", "--watch"}), kExitNoAnswer);
  EXPECT_NE(err.str().find("Unable to Input Scan."), std::string::npos);
  // The scan went unanswered: no baud search is blamed.
  EXPECT_NE(err.str().find("No reply to the scan request on COM2"), std::string::npos) << err.str();
  EXPECT_EQ(err.str().find("19200 or 38400"), std::string::npos) << err.str();
  EXPECT_EQ(controller.scans, 3);  // the link's three tries
  EXPECT_TRUE(ControllerHoldsItsOwnSet());
}

TEST_F(CliBeamsTest, ARejectedScanReplyIsABadReply) {
  // A reply of the full length that is no scan frame.
  controller.intercept = [](ScriptedController& c, test::ScriptedPort& port, const char* data,
                            int n) {
    if (n != 3 || data[2] != 'S') return false;
    ++c.scans;
    port.QueueReply(std::string(c.scan_payload.size() + 3, 'x'));
    return true;
  };
  EXPECT_EQ(Run({"beams"}), kExitRefused) << err.str();
  EXPECT_NE(err.str().find("Unable to Input Scan."), std::string::npos);
  EXPECT_NE(err.str().find("bad reply"), std::string::npos) << err.str();
  EXPECT_EQ(controller.scans, 1);  // a rejected reply is not asked for again
  EXPECT_TRUE(ControllerHoldsItsOwnSet());
}

TEST_F(CliBeamsTest, AControllerGoneMidScanLeavesItsSetInAFile) {
  OnScan(2, [this] { line.Fault(test::Silent()); });
  EXPECT_EQ(Run({"beams", "--count", "5"}), kExitNoAnswer);
  EXPECT_NE(err.str().find("Unable to restore original psf."), std::string::npos) << err.str();
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) files.push_back(entry.path());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_NE(err.str().find(files[0].string()), std::string::npos) << err.str();
  EXPECT_NE(err.str().find("kelvt-cli psf send '" + files[0].string() + "'"), std::string::npos);
  PsfRecord rescued;
  ASSERT_EQ(ReadPsfFile(rescued, files[0].c_str()), 1);
  PsfRecord original;
  original.Decode(original_psf);
  EXPECT_EQ(std::memcmp(&rescued, &original, sizeof rescued), 0);
}

TEST_F(CliBeamsTest, WithNowhereToSaveTheSetItsBytesArePrinted) {
  ctx.SetRescueDirectories({"/nonexistent/kelvt"});
  OnScan(1, [this] { line.Fault(test::Silent()); });
  EXPECT_EQ(Run({"beams", "--watch"}), kExitNoAnswer);
  std::string bytes;
  for (int i = 0; i < kPsfSize; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned char>(original_psf[i]));
    bytes += (i == 0 ? "" : " ") + std::string(hex);
  }
  EXPECT_NE(err.str().find("The controller's own PSF, byte by byte:\n  " + bytes + "\n"),
            std::string::npos)
      << err.str();
}

class CliMeasureTest : public CliHarness {
 protected:
  std::string WriteSet(const char* mode1, const char* mode2) {
    PsfRecord record;
    SetField(record.meas1_mode, mode1);
    SetField(record.meas2_mode, mode2);
    const std::string path = Path("trial.PSF");
    EXPECT_EQ(WritePsfFile(record, path.c_str()), 1);
    return path;
  }
};

TEST_F(CliMeasureTest, ShowsLowHighAndPresentAndRestores) {
  const std::string path = WriteSet("FBB", "None");
  // Values 5, 3, 7: low 3, high 7, present 7 at the end.
  controller.scan_payload = std::string("\x00\x05", 2);
  controller.intercept = [seen = 0](ScriptedController& c, kelvt::test::ScriptedPort&,
                                    const char* data, int count) mutable {
    if (count == 3 && data[0] == kWake && data[2] == 'S') {
      ++seen;
      c.scan_payload = std::string(1, '\0') + (seen == 1 ? '\x05' : seen == 2 ? '\x03' : '\x07');
    }
    return false;
  };
  ASSERT_EQ(Run({"measure", path, "--count", "3"}), kExitOk) << err.str();
  EXPECT_NE(WithoutTime(out.str()).find("Scan 3\n"
                           "Measurement       Low      High   Present\n"
                           "FBB                 3         7         7\n"
                           "None\n"),
            std::string::npos)
      << out.str();
  EXPECT_EQ(controller.psf_writes, 2);
  EXPECT_TRUE(ControllerHoldsItsOwnSet());
}

TEST_F(CliMeasureTest, CsvRowsCarryPresentLowAndHigh) {
  const std::string path = WriteSet("VHS", "LBB");  // measurement 2 only
  controller.intercept = [seen = 0](ScriptedController& c, kelvt::test::ScriptedPort&,
                                    const char* data, int count) mutable {
    if (count == 3 && data[0] == kWake && data[2] == 'S') {
      c.scan_payload = std::string(1, '\0') + (++seen == 2 ? '\x03' : '\x05');
    }
    return false;
  };
  ASSERT_EQ(Run({"measure", path, "-n", "3", "--csv"}), kExitOk) << err.str();
  const std::vector<std::string> expected{
      "time,scan,measurement 2,measurement 2 low,measurement 2 high", "<time>,1,5,5,5",
      "<time>,2,3,3,5", "<time>,3,5,3,5"};
  EXPECT_EQ(CsvRows(out.str()), expected) << out.str();
  EXPECT_TRUE(ControllerHoldsItsOwnSet());
  EXPECT_EQ(Run({"--json", "measure", path, "--csv"}), kExitUsage);
}

TEST_F(CliMeasureTest, TheTrialSetRunsInHostModeWithBinaryValues) {
  const std::string path = WriteSet("VHS", "LBB");  // mode 1: measurement 2 only
  controller.scan_payload = std::string("\x01\x2C", 2);
  char during[kPsfSize] = {};
  OnScan(1, [&] { std::memcpy(during, controller.psf, kPsfSize); });
  ASSERT_EQ(Run({"--json", "measure", path}), kExitOk) << err.str();
  EXPECT_EQ(during[3], 'J');   // VHS
  EXPECT_EQ(during[4], 'C');   // LBB
  EXPECT_EQ(during[6], 'c');   // Host Mode, whatever the file says
  EXPECT_EQ(during[64], 'c');  // binary
  EXPECT_EQ(WithoutTime(out.str()),
            "{\"scan\":1,\"measurements\":[{\"measurement\":1,\"label\":\"VHS\",\"enabled\":false},"
            "{\"measurement\":2,\"label\":\"LBB\",\"enabled\":true,\"low\":300,\"high\":300,"
            "\"present\":300}]}\n");
  EXPECT_TRUE(ControllerHoldsItsOwnSet());
}

TEST_F(CliMeasureTest, FollowsTheControllerToTheRateOfTheTrialSet) {
  PsfRecord record;
  SetField(record.meas2_mode, "LBB");
  record.baud_index = 2;
  const std::string path = Path("fast.PSF");
  ASSERT_EQ(WritePsfFile(record, path.c_str()), 1);
  controller.scan_payload = std::string("\x00\x01\x00\x02", 4);
  ASSERT_EQ(Run({"--json", "measure", path, "-n", "2"}), kExitOk) << err.str();
  EXPECT_EQ(controller.scans, 2);
  EXPECT_EQ(controller.baud, 9600);  // its own set brought it back
  EXPECT_TRUE(ControllerHoldsItsOwnSet());
}

TEST_F(CliMeasureTest, WatchEndsOnCtrlCAndRestores) {
  const std::string path = WriteSet("FBB", "None");
  controller.scan_payload = std::string("\x00\x09", 2);
  OnScan(4, [] { RequestInterrupt(SIGINT); });
  ASSERT_EQ(Run({"measure", path, "--watch"}), kExitOk) << err.str();
  const std::string text = out.str();
  EXPECT_EQ(text.find("Scan 1\n"), 0u) << text;
  EXPECT_EQ(text.find("Scan", 1), std::string::npos) << text;  // steady values show once
  EXPECT_EQ(controller.scans, 4);
  EXPECT_TRUE(ControllerHoldsItsOwnSet());
}

struct ModeCase {
  const char* mode1;
  const char* mode2;
  const char* message;
};

class CliMeasureModesTest : public CliMeasureTest,
                            public ::testing::WithParamInterface<ModeCase> {};

TEST_P(CliMeasureModesTest, ModesThatCannotRunAreRefusedBeforeTheController) {
  const std::string path = WriteSet(GetParam().mode1, GetParam().mode2);
  EXPECT_EQ(Run({"measure", path}), kExitFileRejected);
  EXPECT_NE(err.str().find(GetParam().message), std::string::npos) << err.str();
  EXPECT_TRUE(targets.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliMeasureModesTest,
    ::testing::Values(
        ModeCase{"ALL", "None",
                 "At least one meas must not be 'None' and neither can be set to 'All'"},
        ModeCase{"None", "None",
                 "At least one meas must not be 'None' and neither can be set to 'All'"},
        ModeCase{"FBB", "ALL",
                 "At least one meas must not be 'None' and neither can be set to 'All'"},
        ModeCase{"VHS", "None", "Invalid Analysis mode combination."}));

TEST_F(CliMeasureTest, FailuresOfTheTrialRun) {
  const std::string path = WriteSet("FBB", "None");
  line.Fault(test::NoAck());
  EXPECT_EQ(Run({"measure", path}), kExitRefused);
  EXPECT_NE(err.str().find("Unable to output psf."), std::string::npos);
  EXPECT_TRUE(ControllerHoldsItsOwnSet());

  line.Fault(test::Silent());
  EXPECT_EQ(Run({"measure", path}), kExitNoAnswer);
  EXPECT_NE(err.str().find("Unable to input existing controller's psf."), std::string::npos);

  line.Mend();
  controller.scans_unanswered = 3;
  EXPECT_EQ(Run({"measure", path, "--count", "2"}), kExitNoAnswer);
  EXPECT_NE(err.str().find("Could not input scan"), std::string::npos);
  EXPECT_TRUE(ControllerHoldsItsOwnSet());

  EXPECT_EQ(Run({"measure", Path("missing.PSF")}), kExitFileRejected);
  EXPECT_EQ(Run({"measure"}), kExitUsage);
  EXPECT_EQ(Run({"measure", path, "--count", "0"}), kExitUsage);
  EXPECT_EQ(Run({"measure", path, "--count", "2", "--watch"}), kExitUsage);
}

}  // namespace
}  // namespace kelvt::cli
