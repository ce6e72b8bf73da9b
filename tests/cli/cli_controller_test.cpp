// diag, ports, psf and the global options, in-process against a scripted controller.

#include <unistd.h>

#include <csignal>
#include <fstream>

#include "cli/device_report.h"
#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "json_lines.h"
#include "cli_harness.h"
#include "psf/psf_file.h"
#include "ops/set_journal.h"
#include "psf/psf_record.h"

namespace kelvt::cli {
namespace {

using test_support::CliHarness;
using test_support::JsonLineShapes;
using test_support::WithoutTime;
using kelvt::test::ScriptedController;

class CliControllerTest : public CliHarness {
 protected:
  // A .PSF file holding the default set with measurement 1 set to `mode`.
  std::string WriteSet(const std::string& name, const char* mode) {
    PsfRecord record;
    SetField(record.meas1_mode, mode);
    const std::string path = Path(name);
    EXPECT_EQ(WritePsfFile(record, path.c_str()), 1);
    return path;
  }
};

TEST_F(CliControllerTest, DiagShowsStateBoardsPartNumberAndDateCode) {
  ASSERT_EQ(Run({"diag"}), kExitOk) << err.str();
  EXPECT_EQ(WithoutTime(out.str()),
            "System State:               Operational\n"
            "Number Of Emitter Boards:   1\n"
            "Number Of Receiver Boards:  1\n"
            "\n"
            "Board  Num Channels  Type  State\n"
            "    1  16            E     0 No Errors\n"
            "    1  16            R     0 No Errors\n"
            "\n"
            "Part Number:  123456\n"
            "Date Code:    0124\n");
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(controller.diag_reads, 1);
}

TEST_F(CliControllerTest, DiagJson) {
  ASSERT_EQ(Run({"--json", "diag"}), kExitOk) << err.str();
  EXPECT_EQ(WithoutTime(out.str()),
            "{\"system_state\":\"Operational\",\"operational\":true,\"emitter_count\":1,"
            "\"receiver_count\":1,\"total_channels\":32,\"boards\":["
            "{\"type\":\"E\",\"board\":1,\"channels\":16,\"error_code\":0,"
            "\"error\":\"0 No Errors\"},"
            "{\"type\":\"R\",\"board\":1,\"channels\":16,\"error_code\":0,"
            "\"error\":\"0 No Errors\"}],"
            "\"part_number\":\"123456\",\"date_code\":\"0124\"}\n");
}

TEST_F(CliControllerTest, GlobalOptionsAlsoAfterTheSubcommand) {
  ASSERT_EQ(Run({"diag", "--json", "--port", "COM4"}), kExitOk) << err.str();
  EXPECT_EQ(WithoutTime(out.str()).front(), '{');
  ASSERT_EQ(targets.size(), 1u);
  EXPECT_EQ(targets[0].port_number, 3);
  EXPECT_EQ(targets[0].device_path, "/dev/ttyS3");
}

TEST_F(CliControllerTest, DiagCheckRefusesAControllerWithBoardErrors) {
  controller.diagnostics =
      ScriptedController::DiagnosticsReply('A', {{'E', '1', '8', '0'}, {'R', '1', '8', '3'}});
  EXPECT_EQ(Run({"diag"}), kExitOk);
  EXPECT_NE(WithoutTime(out.str()).find("System State:               Reciever Error"), std::string::npos);
  EXPECT_NE(WithoutTime(out.str()).find("    1  8             R     3 Channel 3\n"), std::string::npos)
      << out.str();
  EXPECT_EQ(Run({"diag", "--check"}), kExitRefused);
  EXPECT_NE(err.str().find("not operational: Reciever Error"), std::string::npos) << err.str();
}

TEST_F(CliControllerTest, DiagWithoutReceiverBoardsSaysTheSensorDoesNotRespond) {
  controller.diagnostics = ScriptedController::DiagnosticsReply('A', {{'E', '1', '8', '0'}});
  ASSERT_EQ(Run({"diag"}), kExitOk);
  EXPECT_NE(WithoutTime(out.str()).find("System State:               Sensor Not Responding\n"),
            std::string::npos);
  EXPECT_NE(WithoutTime(out.str()).find("Number Of Receiver Boards:  No Response From Receiver\n"),
            std::string::npos);
  ASSERT_EQ(Run({"--json", "diag", "--check"}), kExitRefused);
  EXPECT_NE(WithoutTime(out.str()).find("\"system_state\":\"Sensor Not Responding\",\"operational\":false"),
            std::string::npos)
      << out.str();
}

TEST_F(CliControllerTest, UnprintablePartNumberBytesAreEscapedInText) {
  controller.diagnostics = ScriptedController::DiagnosticsReply(
      'A', {{'E', '1', '8', '0'}, {'R', '1', '8', '0'}}, "\x01\x01\x01\x01\x01\x01", "12\x1b" "4");
  ASSERT_EQ(Run({"diag"}), kExitOk);
  EXPECT_NE(WithoutTime(out.str()).find("Part Number:  \\x01\\x01\\x01\\x01\\x01\\x01\n"), std::string::npos);
  EXPECT_NE(WithoutTime(out.str()).find("Date Code:    12\\x1B4\n"), std::string::npos);
  ASSERT_EQ(Run({"--json", "diag"}), kExitOk);
  EXPECT_NE(WithoutTime(out.str()).find("\"date_code\":\"12\\u001b4\""), std::string::npos) << WithoutTime(out.str());
}

struct FailureCase {
  const char* name;
  std::function<void(CliHarness&)> setup;
  std::vector<std::string> args;
  int status;
  const char* message;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class CliFailureTest : public CliControllerTest,
                       public ::testing::WithParamInterface<FailureCase> {};

TEST_P(CliFailureTest, ExitStatusAndMessage) {
  const FailureCase& c = GetParam();
  c.setup(*this);
  std::vector<std::string> argv{"kelvt-cli"};
  argv.insert(argv.end(), c.args.begin(), c.args.end());
  EXPECT_EQ(RunCli(argv, ctx), c.status) << c.name;
  EXPECT_NE(err.str().find(c.message), std::string::npos) << c.name << ": " << err.str();
}

void Mute(CliHarness& h) { h.line.Fault(test::Silent()); }
void Nothing(CliHarness&) {}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliFailureTest,
    ::testing::Values(
        FailureCase{"silent diag", Mute, {"diag"}, kExitNoAnswer, "Error reading diagnostics"},
        FailureCase{"silent diag advice", Mute, {"--port", "3", "diag"}, kExitNoAnswer,
                    "No controller answered on COM3 (/dev/ttyS2) at 9600, 19200 or 38400"},
        FailureCase{"port not found",
                    [](CliHarness& h) { h.port_error = kPortNotFound; },
                    {"--port", "COM7", "diag"},
                    kExitPortOpen,
                    "kelvt-cli: Unable to open 7\n  Port not found\n  Device: /dev/ttyS6\n"},
        FailureCase{"port in use",
                    [](CliHarness& h) { h.port_error = kPortInUse; },
                    {"--device", "/dev/ttyUSB0", "psf", "get"},
                    kExitPortOpen,
                    "Unable to open /dev/ttyUSB0\n  Port in use\n"},
        FailureCase{"bad port", Nothing, {"--port", "COM25", "diag"}, kExitUsage,
                    "'COM25' is not a serial port"},
        // An unset shell variable must not mean the default port.
        FailureCase{"empty device", Nothing, {"-d", "", "psf", "send", "F"}, kExitUsage,
                    "must not be empty"},
        FailureCase{"empty port", Nothing, {"-p", "", "diag"}, kExitUsage, "must not be empty"},
        FailureCase{"port and device", Nothing, {"--port", "1", "--device", "/x", "diag"},
                    kExitUsage, "excludes"},
        FailureCase{"unknown command", Nothing, {"align"}, kExitUsage, "align"},
        FailureCase{"no command", Nothing, {}, kExitUsage, "subcommand is required"},
        FailureCase{"psf without command", Nothing, {"psf"}, kExitUsage,
                    "subcommand is required"},
        FailureCase{"unknown option", Nothing, {"diag", "--fast"}, kExitUsage, "--fast"},
        FailureCase{"silent psf get", Mute, {"psf", "get"}, kExitNoAnswer,
                    "Unable to input psf."},
        FailureCase{"psf get unwritable", Nothing, {"psf", "get", "/nonexistent/dir/x.PSF"},
                    kExitFileWrite, "Unable to save the PSF file.\n  /nonexistent/dir/x.PSF: "},
        FailureCase{"psf show missing", Nothing, {"psf", "show", "/nonexistent/x.PSF"},
                    kExitFileRejected,
                    "This File is Not Compatible\n  /nonexistent/x.PSF: No such file"},
        FailureCase{"psf send missing", Nothing, {"psf", "send", "/nonexistent/x.PSF"},
                    kExitFileRejected, "This File is Not Compatible"},
        FailureCase{"psf diff missing", Nothing, {"psf", "diff", "controller", "/nonexistent"},
                    kExitFileRejected, "This File is Not Compatible"}));

TEST_F(CliControllerTest, PsfGetWritesAFileTheEditorCanLoad) {
  const std::string path = Path("controller.PSF");
  ASSERT_EQ(Run({"psf", "get", path}), kExitOk) << err.str();
  EXPECT_EQ(WithoutTime(out.str()), "PSF written to " + path + "\n");
  PsfRecord read;
  ASSERT_EQ(ReadPsfFile(read, path.c_str()), 1);
  PsfRecord held;
  held.Decode(controller.psf);
  EXPECT_EQ(std::memcmp(&read, &held, sizeof read), 0);
  EXPECT_EQ(controller.psf_writes, 0);  // reading changes nothing
}

TEST_F(CliControllerTest, PsfGetWithoutFileShowsEveryField) {
  ASSERT_EQ(Run({"psf", "get"}), kExitOk) << err.str();
  const std::string text = out.str();
  EXPECT_NE(text.find("Controller I.D. Letter                      A\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("Measurement Mode #1                         FBB\n"), std::string::npos);
  EXPECT_NE(text.find("Baud Rate Selection                         9600\n"), std::string::npos);
  EXPECT_NE(text.find("Binary Compress Data                        No\n"), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 38);
}

TEST_F(CliControllerTest, PsfShowJsonNamesEveryField) {
  const std::string path = WriteSet("lbm.PSF", "LBM");
  ASSERT_EQ(Run({"--json", "psf", "show", path}), kExitOk) << err.str();
  const std::string json = WithoutTime(out.str());
  EXPECT_EQ(json.rfind("{\"source\":\"" + path + "\",\"fields\":{\"controller_id\":\"A\","
                       "\"scanning_method\":\"Straight\",\"skip_count\":1,"
                       "\"meas1_mode\":\"LBM\",",
                       0),
            0u)
      << json;
  EXPECT_NE(json.find("\"binary_compress\":\"No\"}}\n"), std::string::npos) << json;
  EXPECT_EQ(controller.wakes, 0);  // a file needs no controller
}

TEST_F(CliControllerTest, PsfShowControllerReadsIt) {
  ASSERT_EQ(Run({"--json", "psf", "show", "controller"}), kExitOk) << err.str();
  EXPECT_EQ(WithoutTime(out.str()).rfind("{\"source\":\"controller\",\"fields\":{", 0), 0u);
  EXPECT_EQ(controller.psf_reads, 1);
}

TEST_F(CliControllerTest, PsfSendPutsTheFileIntoTheController) {
  const std::string path = WriteSet("lbb.PSF", "LBB");
  ASSERT_EQ(Run({"psf", "send", path}), kExitOk) << err.str();
  EXPECT_EQ(WithoutTime(out.str()), "PSF Accepted\n");
  EXPECT_EQ(controller.psf_writes, 1);
  EXPECT_EQ(controller.psf[3], 'C');  // LBB
  PsfRecord held;
  held.Decode(controller.psf);
  EXPECT_STREQ(held.meas1_mode, "LBB");
}

TEST_F(CliControllerTest, PsfSendJson) {
  const std::string path = WriteSet("lbb.PSF", "LBB");
  ASSERT_EQ(Run({"psf", "send", path, "--json"}), kExitOk) << err.str();
  EXPECT_EQ(WithoutTime(out.str()),
            "{\"file\":\"" + path + "\",\"accepted\":true,\"entry\":null}\n");
}

// journal: one device's entries (by any name) and those since a time, an
// entry's set as psf show prints it, and put-back only to the entry's
// controller unless forced.
TEST_F(CliControllerTest, JournalFiltersShowsAndPutsBack) {
  SetJournal journal(Path("journal"));
  InstallJournal(&journal);
  const std::string lbb = WriteSet("lbb.PSF", "LBB");
  ASSERT_EQ(Run({"--device", Path("ttyA"), "psf", "send", lbb}), kExitOk) << err.str();
  std::ofstream(Path("ttyA"));  // a device that is there, and a link to it
  std::filesystem::create_symlink(Path("ttyA"), Path("linkA"));
  ASSERT_EQ(Run({"--device", Path("ttyB"), "psf", "send", lbb}), kExitOk) << err.str();
  ASSERT_EQ(Run({"journal"}), kExitOk) << err.str();
  EXPECT_NE(out.str().find("    Measurement Mode #1: FBB -> LBB\n"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("    (no field changed)\n"), std::string::npos) << out.str();
  ASSERT_EQ(Run({"--json", "--device", Path("linkA"), "journal", "--since", "1h"}), kExitOk);
  EXPECT_NE(out.str().find("\"changes\":[{\"key\":\"meas1_mode\",\"label\":\"Measurement Mode "
                           "#1\",\"before\":\"FBB\",\"after\":\"LBB\"}]"),
            std::string::npos) << out.str();
  EXPECT_EQ(out.str().find(Path("ttyB")), std::string::npos) << out.str();
  ASSERT_EQ(Run({"--json", "journal", "--since", "2099-01-01"}), kExitOk);
  EXPECT_NE(out.str().find("\"entries\":[]"), std::string::npos) << out.str();
  EXPECT_EQ(Run({"journal", "--since", "soon"}), kExitUsage);

  const std::string first = journal.Entries().back().id;
  ASSERT_EQ(Run({"journal", "show", first}), kExitOk) << err.str();
  EXPECT_NE(out.str().find("Measurement Mode #1                         FBB\n"), std::string::npos)
      << out.str();
  ASSERT_EQ(Run({"journal", "show", "--sent", first}), kExitOk);
  EXPECT_NE(out.str().find("Measurement Mode #1                         LBB\n"), std::string::npos);
  EXPECT_EQ(Run({"journal", "show", first.substr(0, 8)}), kExitUsage);  // both entries
  EXPECT_EQ(Run({"journal", "show", "no-such-entry"}), kExitUsage);

  // Another controller answers: nothing is sent unless forced.
  controller.id = 'B';
  const int writes = controller.psf_writes;
  EXPECT_EQ(Run({"--device", Path("ttyA"), "journal", "put-back", first}), kExitRefused);
  EXPECT_NE(err.str().find("is another one: controller B"), std::string::npos) << err.str();
  EXPECT_EQ(controller.psf_writes, writes);
  ASSERT_EQ(Run({"--device", Path("ttyA"), "journal", "put-back", "--force", first}), kExitOk)
      << err.str();
  PsfRecord held;
  held.Decode(controller.psf);
  EXPECT_STREQ(held.meas1_mode, "FBB");
  EXPECT_EQ(journal.Entries().back().state, EntryState::kPutBack);
  EXPECT_EQ(journal.Entries().front().tag.operation, "put back");
  InstallJournal(nullptr);
}

// The controller answers but its set cannot be read: no copy, so nothing is
// sent unless --no-backup says to.
TEST_F(CliControllerTest, PsfSendRefusesWithoutACopyUnlessNoBackup) {
  controller.intercept = [](ScriptedController& c, kelvt::test::ScriptedPort& port,
                            const char* data, int count) {
    if (count != 4 || data[2] != 'D') return false;
    port.QueueReply(std::string(kPsfFrameSize, 'x'), 0, c.baud);
    return true;
  };
  const std::string path = WriteSet("lbb.PSF", "LBB");
  EXPECT_EQ(Run({"psf", "send", path}), kExitNoAnswer);
  EXPECT_NE(err.str().find("kelvt-cli: The controller's own PSF could not be read.\n"),
            std::string::npos) << err.str();
  EXPECT_EQ(controller.psf_writes, 0);
  ASSERT_EQ(Run({"psf", "send", path, "--no-backup"}), kExitOk) << err.str();
  EXPECT_EQ(controller.psf_writes, 1);
  EXPECT_NE(err.str().find("without a copy"), std::string::npos) << err.str();
}

TEST_F(CliControllerTest, PsfSendToAControllerThatRefuses) {
  const test::SimResponder& sim = line.Fault(test::NoAck());
  const std::string path = WriteSet("lbb.PSF", "LBB");
  EXPECT_EQ(Run({"psf", "send", path}), kExitRefused);
  EXPECT_NE(err.str().find("PSF Not Accepted"), std::string::npos);
  EXPECT_EQ(sim.Heard('C'), 3);  // the link's three tries
  EXPECT_TRUE(ControllerHoldsItsOwnSet());
}

TEST_F(CliControllerTest, PsfSendToASilentControllerIsNoAnswerNotRefusal) {
  line.Fault(test::Silent());
  const std::string path = WriteSet("lbb.PSF", "LBB");
  EXPECT_EQ(Run({"psf", "send", path}), kExitNoAnswer);
  EXPECT_NE(err.str().find("Unable to output psf."), std::string::npos);
}

TEST_F(CliControllerTest, PsfSendRejectsAnIncompatibleFileBeforeTouchingTheController) {
  const std::string path = Path("bad.PSF");
  std::ofstream(path) << "Kelvo-Tarn 2.0 PSF String\nMon Jan  1 00:00:00 2024\nVersion 1.0\n";
  EXPECT_EQ(Run({"psf", "send", path}), kExitFileRejected);
  EXPECT_NE(err.str().find("not a .PSF file of version 1.1"), std::string::npos) << err.str();
  EXPECT_TRUE(targets.empty());
  EXPECT_EQ(controller.wakes, 0);
}

TEST_F(CliControllerTest, PsfGetThenSendRoundTrip) {
  const std::string path = Path("round.PSF");
  ASSERT_EQ(Run({"psf", "get", path}), kExitOk);
  ASSERT_EQ(Run({"psf", "send", path}), kExitOk) << err.str();
  ASSERT_EQ(Run({"psf", "diff", path, "controller"}), kExitOk) << err.str();
  EXPECT_EQ(WithoutTime(out.str()), "The sets are identical.\n");
}

TEST_F(CliControllerTest, PsfDiffListsTheFieldsThatDiffer) {
  const std::string a = WriteSet("a.PSF", "FBB");
  const std::string b = WriteSet("b.PSF", "TBM");
  ASSERT_EQ(Run({"psf", "diff", a, b}), kExitDifferent) << err.str();
  EXPECT_NE(WithoutTime(out.str()).find("Measurement Mode #1                         FBB"), std::string::npos)
      << out.str();
  const std::string text = out.str();
  EXPECT_NE(text.find("TBM\n"), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);  // header and one field

  ASSERT_EQ(Run({"--json", "psf", "diff", a, b}), kExitDifferent);
  EXPECT_EQ(WithoutTime(out.str()), "{\"a\":\"" + a + "\",\"b\":\"" + b +
                           "\",\"identical\":false,\"differences\":[{\"key\":\"meas1_mode\","
                           "\"label\":\"Measurement Mode #1\",\"a\":\"FBB\",\"b\":\"TBM\"}]}\n");
  ASSERT_EQ(Run({"--json", "psf", "diff", a, "controller"}), kExitOk) << err.str();
  EXPECT_NE(WithoutTime(out.str()).find("\"identical\":true,\"differences\":[]"), std::string::npos);
}

// psf set: every change through the editor's rules; the file replaced only
// when all of them passed.
TEST_F(CliControllerTest, PsfSetChangesAFileThroughTheEditorsRules) {
  struct Case {
    std::vector<std::string> changes;
    int status;
    const char* message;  // in err ("" for none)
  };
  const Case cases[] = {
      {{"meas1_mode=tbb", "blank1_low=12", "blank1_high=020"}, kExitOk, ""},
      {{"blank1_low=500"}, kExitFileRejected,
       "blank1_low: the editor's rules make 500 into 384"},
      {{"meas1_mode=TBB", "meas2_mode=TBB"}, kExitFileRejected,
       "Cannot Have Identical Measurement Modes"},
      {{"skip_count=3"}, kExitFileRejected, "skip_count is used with scanning_method=Skip only"},
      {{"colour=red"}, kExitUsage, "No field is called 'colour'"},
      {{"meas1_mode"}, kExitUsage, "'meas1_mode' is not KEY=VALUE"},
  };
  for (const Case& c : cases) {
    const std::string path = WriteSet("set.PSF", "FBB");
    std::ifstream in(path, std::ios::binary);
    const std::string before((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> argv{"kelvt-cli", "psf", "set", path};
    argv.insert(argv.end(), c.changes.begin(), c.changes.end());
    out.str("");
    err.str("");
    EXPECT_EQ(RunCli(argv, ctx), c.status) << c.changes[0] << ": " << err.str();
    EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
    PsfRecord after;
    ASSERT_EQ(ReadPsfFile(after, path.c_str()), 1);
    if (c.status != kExitOk) {
      std::ifstream again(path, std::ios::binary);
      EXPECT_EQ(std::string((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>()),
                before) << c.changes[0];
      continue;
    }
    EXPECT_STREQ(after.meas1_mode, "TBB");
    EXPECT_STREQ(after.blank1_low, "12");
    EXPECT_STREQ(after.blank1_high, "20");
    EXPECT_NE(WithoutTime(out.str()).find("Measurement Mode #1                         FBB -> TBB\n"),
              std::string::npos) << out.str();
  }
}

TEST_F(CliControllerTest, PortsListsTheTwentyFourPortsWithTheirDevices) {
  Profile settings;
  settings.Parse("[Communication]\nPort=2\n[Devices]\nCOM3=/dev/null\n");
  ctx.SetSettings(settings);
  ASSERT_EQ(Run({"ports"}), kExitOk) << err.str();
  const std::string text = out.str();
  EXPECT_NE(text.find("COM3  * /dev/null    yes     yes     settings [Devices]\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("COM24   /dev/ttyS23"), std::string::npos);
  ASSERT_EQ(Run({"--json", "ports"}), kExitOk);
  EXPECT_NE(WithoutTime(out.str()).find("{\"port\":\"COM3\",\"number\":3,\"device\":\"/dev/null\","
                           "\"from_settings\":true,\"exists\":true,\"accessible\":true,"
                           "\"selected\":true}"),
            std::string::npos)
      << out.str();
  EXPECT_EQ(Run({"--port", "COM1", "--json", "ports"}), kExitOk);
  EXPECT_NE(WithoutTime(out.str()).find("\"number\":1,\"device\":\"/dev/ttyS0\",\"from_settings\":false,"),
            std::string::npos);
  EXPECT_TRUE(targets.empty());  // listing opens nothing
}

TEST_F(CliControllerTest, PortsListsTheDevicesFoundWithTheirMappings) {
  struct FakeDevices : SerialDeviceSource {
    std::vector<SerialDevice> List() override {
      SerialDevice usb{"/dev/serial/by-id/usb-FTDI_X-if00", "/dev/serial/by-id/usb-FTDI_X-if00",
                       "ttyUSB0", "ftdi_sio", "0403", "6001", "FTDI", "FT232R", "A6X"};
      return {usb};
    }
    int MonitorDescriptor() override { return -1; }
    bool TakeChanges() override { return false; }
  } fake;
  SetDeviceSource(&fake);
  Profile settings;
  settings.Parse("[Devices]\nCOM3=/dev/serial/by-id/usb-FTDI_X-if00\nCOM4=/dev/kelvt-gone\n");
  ctx.SetSettings(settings);
  ASSERT_EQ(Run({"ports"}), kExitOk) << err.str();
  EXPECT_NE(WithoutTime(out.str()).find("ttyUSB0 /dev/serial/by-id/usb-FTDI_X-if00  COM3    A6X               FTDI FT232R\n"),
            std::string::npos)
      << out.str();
  const size_t absent = out.str().find("absent  /dev/kelvt-gone");
  ASSERT_NE(absent, std::string::npos) << out.str();
  const std::string line = out.str().substr(absent, out.str().find('\n', absent) - absent);
  EXPECT_NE(line.find("  COM4  "), std::string::npos) << line;
  EXPECT_NE(line.find("  not plugged in"), std::string::npos) << line;
  ASSERT_EQ(Run({"--json", "ports"}), kExitOk);
  EXPECT_NE(WithoutTime(out.str()).find("\"devices\":[{\"path\":\"/dev/serial/by-id/usb-FTDI_X-if00\",\"by_id\":"
                           "\"/dev/serial/by-id/usb-FTDI_X-if00\",\"port\":\"COM3\",\"kernel_name\":"
                           "\"ttyUSB0\",\"driver\":\"ftdi_sio\",\"vendor_id\":\"0403\""),
            std::string::npos)
      << out.str();
  EXPECT_NE(WithoutTime(out.str()).find("\"path\":\"/dev/kelvt-gone\",\"by_id\":null,\"port\":\"COM4\""),
            std::string::npos);
  SetDeviceSource(nullptr);
}

TEST_F(CliControllerTest, WatchReportsAPulledAdapterAsNotPresent) {
  // Plugged in, pulled out, then Ctrl-C; the monitor always has news, so
  // the loop never waits.
  struct PlugAndPull : SerialDeviceSource {
    int fds[2] = {-1, -1};
    int lists = 0;
    PlugAndPull() {
      EXPECT_EQ(pipe(fds), 0);
      EXPECT_EQ(write(fds[1], "x", 1), 1);
    }
    ~PlugAndPull() override {
      close(fds[0]);
      close(fds[1]);
    }
    std::vector<SerialDevice> List() override {
      if (++lists == 3) RequestInterrupt(SIGINT);
      if (lists > 1) return {};
      return {SerialDevice{"/dev/ttyUSB0", "", "ttyUSB0", "ftdi_sio", "0403", "6001", "QEMU",
                           "QEMU USB SERIAL", "LAB1"}};
    }
    int MonitorDescriptor() override { return fds[0]; }
    bool TakeChanges() override { return true; }
  } source;
  SetDeviceSource(&source);
  EXPECT_EQ(Run({"--json", "ports", "--watch"}), kExitOk) << err.str();
  ClearInterrupt();
  SetDeviceSource(nullptr);
  const std::string lines = WithoutTime(out.str());
  EXPECT_NE(lines.find("\"event\":\"present\",\"path\":\"/dev/ttyUSB0\""), std::string::npos) << lines;
  const size_t removed = lines.find("\"event\":\"removed\"");
  ASSERT_NE(removed, std::string::npos) << lines;
  EXPECT_NE(lines.find("\"present\":false", removed), std::string::npos) << lines;
}

TEST_F(CliControllerTest, SettingsPickThePortAndItsDevice) {
  Profile settings;
  settings.Parse("[Communication]\nPort=4\n[Devices]\nCOM5=/dev/ttyUSB3\n");
  ctx.SetSettings(settings);
  ASSERT_EQ(Run({"diag"}), kExitOk) << err.str();
  ASSERT_EQ(targets.size(), 1u);
  EXPECT_EQ(targets[0].port_number, 4);
  EXPECT_EQ(targets[0].device_path, "/dev/ttyUSB3");
}

TEST_F(CliControllerTest, VerboseLogsTheFramesOnStandardError) {
  ASSERT_EQ(Run({"-v", "psf", "get"}), kExitOk) << err.str();
  const std::string log = err.str();
  EXPECT_NE(log.find("kelvt-cli: opened COM2 (/dev/ttyS1) at 9600 baud, 8E2\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("-> F8"), std::string::npos);
  EXPECT_NE(log.find("-> 1B 41 44 0D"), std::string::npos);
  EXPECT_NE(log.find("<- 1C 41 45"), std::string::npos) << log;
  EXPECT_EQ(WithoutTime(out.str()).find(" ms "), std::string::npos);  // the log stays off standard output
}

TEST_F(CliControllerTest, HelpAndVersionSucceed) {
  EXPECT_EQ(Run({"--help"}), kExitOk);
  EXPECT_NE(WithoutTime(out.str()).find("Exit status:"), std::string::npos);
  EXPECT_NE(WithoutTime(out.str()).find("130  interrupted"), std::string::npos);
  EXPECT_EQ(Run({"psf", "send", "--help"}), kExitOk);
  EXPECT_NE(WithoutTime(out.str()).find("FILE"), std::string::npos);
  EXPECT_EQ(Run({"--version"}), kExitOk);
  EXPECT_EQ(WithoutTime(out.str()).rfind("kelvt-cli ", 0), 0u);
  EXPECT_TRUE(targets.empty());
}

TEST_F(CliControllerTest, EachCommandsHelpListsTheGlobalOptionsAndPlainChoices) {
  struct Case {
    std::initializer_list<std::string> args;
    const char* choices;  // nullptr: none
  };
  const Case cases[] = {
      {{"diag", "--help"}, nullptr},
      {{"psf", "get", "--help"}, nullptr},
      {{"beams", "--help"}, "--filter broken|made|both"},
      {{"nullspan", "set", "--help"}, "--update null|span|ok"},
  };
  for (const Case& c : cases) {
    const std::string name = *c.args.begin();
    ASSERT_EQ(Run(c.args), kExitOk) << name;
    const std::string help = out.str();
    for (const char* global : {"-p,--port COMn", "-d,--device PATH", "--json", "-v,--verbose"}) {
      EXPECT_NE(help.find(global), std::string::npos) << name << ": " << global;
    }
    if (c.choices != nullptr) {
      EXPECT_NE(help.find(c.choices), std::string::npos) << help;
    }
    EXPECT_EQ(help.find("ENUM"), std::string::npos) << help;
    EXPECT_EQ(help.find("->"), std::string::npos) << help;
  }
}

}  // namespace
}  // namespace kelvt::cli

namespace kelvt::cli {
namespace {

// The keys and value types of every command's JSON lines, as scripts rely on
// them (the README lists them). Shapes as JsonLineShapes writes them.
struct ShapeCase {
  const char* name;
  std::vector<std::string> args;  // "@NAME": a file of the test's folder
  int status;
  std::string shapes;
};
void PrintTo(const ShapeCase& c, std::ostream* os) { *os << c.name; }

// The fields of a set: a value of 1 to 9 digits is a number, any other a string.
const std::string kFieldsShape =
    "fields:{controller_id:s,scanning_method:s,skip_count:n,meas1_mode:s,meas2_mode:s,"
    "baud_rate:n,scan_control:s,blank1_low:n,blank1_high:n,blank2_low:n,blank2_high:n,"
    "out1_mode:s,out1_low_threshold:n,out1_high_threshold:n,out1_low_hysteresis:n,"
    "out1_high_hysteresis:n,out1_scan_count:n,out1_invert:s,out2_use:s,out2_mode:s,"
    "trigger_value:n,out2_low_threshold:n,out2_high_threshold:n,out2_low_hysteresis:n,"
    "out2_high_hysteresis:n,out2_scan_count:n,out2_invert:s,analog1_source:s,analog1_invert:s,"
    "analog1_scan_count:n,analog2_source:s,analog2_invert:s,analog2_scan_count:n,"
    "serial_transmission:s,ascii_suppress_clear:s,binary_suppress_clear:s,"
    "binary_suppress_header:s,binary_compress:s}";
const std::string kScanShape =
    "{time:s,scan:n,beams:n,broken:{count:n,first:n,last:n},made:{count:n,first:n,last:n},"
    "filter:s,ranges:[{channels:s,first:n,last:n,state:s}]}\n";

class CliJsonShapeTest : public CliControllerTest, public ::testing::WithParamInterface<ShapeCase> {};

TEST_P(CliJsonShapeTest, KeysAndTypes) {
  struct NoDevices : SerialDeviceSource {
    std::vector<SerialDevice> List() override { return {}; }
    int MonitorDescriptor() override { return -1; }
    bool TakeChanges() override { return false; }
  } no_devices;
  SetDeviceSource(&no_devices);
  SetJournal journal(Path("journal"));
  InstallJournal(&journal);
  Profile settings;
  settings.Parse("[Devices]\nCOM4=/dev/kelvt-missing\n[PartNumbers]\nPart1=ABC123\n");
  ctx.SetSettings(settings);
  PsfRecord record;
  SetField(record.meas1_mode, "LBB");  // differs from the controller's FBB
  ASSERT_EQ(WritePsfFile(record, Path("trial.PSF").c_str()), 1);
  // Beam 10 breaks in the third scan only: a flickering beam for the summary.
  controller.intercept = [seen = 0](ScriptedController& c, kelvt::test::ScriptedPort&,
                                    const char* data, int count) mutable {
    if (count == 3 && data[0] == kWake && data[2] == 'S') {
      c.scan_payload = ScriptedController::BeamPayload(16, ++seen == 3 ? std::vector<int>{3, 4, 5, 9}
                                                                      : std::vector<int>{3, 4, 5});
    }
    return false;
  };
  ASSERT_EQ(Run({"beams"}), kExitOk) << err.str();  // a set for the journal

  std::vector<std::string> argv{"kelvt-cli", "--json"};
  for (const std::string& arg : GetParam().args) argv.push_back(arg[0] == '@' ? Path(arg.substr(1)) : arg);
  out.str("");
  EXPECT_EQ(RunCli(argv, ctx), GetParam().status) << err.str();
  EXPECT_EQ(JsonLineShapes(out.str()), GetParam().shapes) << out.str();
  InstallJournal(nullptr);
  SetDeviceSource(nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CliJsonShapeTest,
    ::testing::Values(
        ShapeCase{"ports", {"ports"}, kExitOk,
                  "{time:s,settings_file:s,ports:[{port:s,number:n,device:s,from_settings:b,"
                  "exists:b,accessible:b,selected:b}],devices:[{path:s,by_id:null,port:s,"
                  "kernel_name:s,driver:s,vendor_id:s,product_id:s,maker:s,product:s,"
                  "serial_number:s,listed:b,present:b}]}\n"},
        ShapeCase{"ports_probe", {"ports", "--probe"}, kExitNoAnswer,
                  "{time:s,path:s,by_id:null,port:s,controller:null,skipped:s}\n"},
        ShapeCase{"diag", {"diag"}, kExitOk,
                  "{time:s,system_state:s,operational:b,emitter_count:n,receiver_count:n,"
                  "total_channels:n,boards:[{type:s,board:n,channels:n,error_code:n,error:s}],"
                  "part_number:s,date_code:s}\n"},
        ShapeCase{"psf_get", {"psf", "get", "@got.PSF"}, kExitOk,
                  "{time:s,source:s,file:s," + kFieldsShape + "}\n"},
        ShapeCase{"psf_show", {"psf", "show", "@trial.PSF"}, kExitOk,
                  "{time:s,source:s," + kFieldsShape + "}\n"},
        ShapeCase{"psf_send", {"psf", "send", "@trial.PSF"}, kExitOk, "{time:s,file:s,accepted:b,entry:s}\n"},
        ShapeCase{"psf_diff", {"psf", "diff", "@trial.PSF", "controller"}, kExitDifferent,
                  "{time:s,a:s,b:s,identical:b,differences:[{key:s,label:s,a:s,b:s}]}\n"},
        ShapeCase{"psf_set", {"psf", "set", "@trial.PSF", "meas2_mode=TBB"}, kExitOk,
                  "{time:s,file:s,written:b,changes:[{key:s,label:s,before:s,after:s}]}\n"},
        ShapeCase{"beams", {"beams", "--filter", "both"}, kExitOk, kScanShape},
        ShapeCase{"beams_summary", {"beams", "-n", "50", "--summary"}, kExitOk,
                  kScanShape + "{time:s,scans:n,beams:n,changes:[{beam:n,changes:n}],"
                               "flickering:[{beam:n,changes:n}]}\n"},
        ShapeCase{"measure", {"measure", "@trial.PSF"}, kExitOk,
                  "{time:s,scan:n,measurements:[{measurement:n,label:s,enabled:b,low:n,high:n,"
                  "present:n}|{measurement:n,label:s,enabled:b}]}\n"},
        ShapeCase{"nullspan_get", {"nullspan", "get"}, kExitOk,
                  "{time:s,values:{null1:n,span1:n,null2:n,span2:n}}\n"},
        ShapeCase{"nullspan_set", {"nullspan", "set", "0", "2000", "0", "2000"}, kExitOk,
                  "{time:s,update:s,before:{null1:n,span1:n,null2:n,span2:n},"
                  "sent:{null1:n,span1:n,null2:n,span2:n},acknowledged:b}\n"},
        ShapeCase{"stamp", {"stamp", "--part", "ABC123"}, kExitOk,
                  "{time:s,part_number:s,date_code:s,stamped:b}\n"},
        ShapeCase{"stamp_list", {"stamp", "--list"}, kExitOk,
                  "{time:s,settings_file:s,part_numbers:[{entry:s,part_number:s}]}\n"},
        ShapeCase{"journal", {"journal"}, kExitOk,
                  "{time:s,folder:s,entries:[{time:s,port:s,device:s,controller:s,part_number:s,"
                  "date_code:s,operation:s,finished:b,file:s,id:s,state:s,exact:b,user:s,host:s,"
                  "by_id:s,serial_number:s,new_part_number:s,new_date_code:s,set_file:s,kind:s,"
                  "changes:[{key:s,label:s,before:s,after:s}]}]}\n"}),
    [](const ::testing::TestParamInfo<ShapeCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelvt::cli
