// nullspan and stamp in-process against a scripted controller.

#include "cli/exit_codes.h"
#include "json_lines.h"
#include "cli_harness.h"
#include "psf/date_code.h"

namespace kelvt::cli {
namespace {

using test_support::CliHarness;
using test_support::WithoutTime;
using kelvt::test::ScriptedController;
using kelvt::test::ScriptedPort;

class CliNullSpanTest : public CliHarness {};

TEST_F(CliNullSpanTest, GetReadsTheFourValues) {
  ASSERT_EQ(Run({"nullspan", "get"}), kExitOk) << err.str();
  EXPECT_EQ(WithoutTime(out.str()),
            "Analog Output#1  Null 250  Span 3000\n"
            "Analog Output#2  Null 100  Span 4000\n");
  ASSERT_EQ(Run({"--json", "nullspan", "get"}), kExitOk);
  EXPECT_EQ(WithoutTime(out.str()),
            "{\"values\":{\"null1\":250,\"span1\":3000,\"null2\":100,\"span2\":4000}}\n");
}

TEST_F(CliNullSpanTest, SetSendsAllFourClampedAsTheDialogClampsThem) {
  ASSERT_EQ(Run({"nullspan", "set", "120", "1500", "20000", "4095"}), kExitOk) << err.str();
  EXPECT_EQ(controller.null_span[0], 120);
  EXPECT_EQ(controller.null_span[1], 2000);
  EXPECT_EQ(controller.null_span[2], 1000);
  EXPECT_EQ(controller.null_span[3], 4095);
  EXPECT_EQ(err.str(),
            "kelvt-cli: Span 1 1500 is outside 2000-4095; 2000 is sent\n"
            "kelvt-cli: Null 2 20000 is outside 0-1000; 1000 is sent\n");
  EXPECT_EQ(WithoutTime(out.str()),
            "Analog Output#1  Null 120  Span 2000\n"
            "Analog Output#2  Null 1000  Span 4095\n");
}

TEST_F(CliNullSpanTest, UpdateChoosesTheFunctionLetter) {
  std::string frames;
  controller.intercept = [&frames](ScriptedController&, ScriptedPort&, const char* data,
                                   int count) {
    if (count == 21 && data[2] == 'K') frames.push_back(data[3]);
    return false;
  };
  ASSERT_EQ(Run({"nullspan", "set", "1", "2001", "2", "2002", "--update", "null"}), kExitOk);
  ASSERT_EQ(Run({"nullspan", "set", "1", "2001", "2", "2002", "-u", "SPAN"}), kExitOk);
  ASSERT_EQ(Run({"nullspan", "set", "1", "2001", "2", "2002"}), kExitOk);
  EXPECT_EQ(frames, "TNTSTE");  // each set reads first, to learn the controller's letter
  EXPECT_EQ(Run({"nullspan", "set", "1", "2001", "2", "2002", "-u", "store"}), kExitUsage);
}

TEST_F(CliNullSpanTest, UsesTheLetterTheControllerAnsweredWith) {
  controller.id = 'D';
  std::string letters;
  controller.intercept = [&letters](ScriptedController&, ScriptedPort&, const char* data,
                                    int count) {
    if (count == 21 && data[2] == 'K') letters.push_back(data[1]);
    return false;
  };
  ASSERT_EQ(Run({"--json", "nullspan", "set", "0", "2000", "0", "2000"}), kExitOk) << err.str();
  EXPECT_EQ(letters, "DD");
  EXPECT_EQ(WithoutTime(out.str()),
            "{\"update\":\"ok\",\"before\":{\"null1\":250,\"span1\":3000,\"null2\":100,"
            "\"span2\":4000},\"sent\":{\"null1\":0,\"span1\":2000,\"null2\":0,\"span2\":2000},"
            "\"acknowledged\":true}\n");
}

TEST_F(CliNullSpanTest, AWrongEchoIsAFaultyInterface) {
  controller.intercept = [](ScriptedController& c, ScriptedPort& port, const char* data,
                            int count) {
    if (count == 21 && data[2] == 'K' && data[3] == 'E') {
      std::string reply(data, 21);
      reply[3] = 'U';
      reply[19] = static_cast<char>(reply[19] == '9' ? '0' : reply[19] + 1);  // span 2 off by one
      port.QueueReply(reply, 0, c.baud);
      return true;
    }
    return false;
  };
  EXPECT_EQ(Run({"nullspan", "set", "1", "2001", "2", "2002"}), kExitRefused);
  EXPECT_NE(err.str().find("The Serial Interface is not functioning properly"),
            std::string::npos);
}

TEST_F(CliNullSpanTest, Failures) {
  EXPECT_EQ(Run({"nullspan", "set", "1", "x", "2", "2002"}), kExitUsage);
  EXPECT_NE(err.str().find("Span 1: 'x' is not a number"), std::string::npos) << err.str();
  EXPECT_EQ(Run({"nullspan", "set", "1", "2", "3"}), kExitUsage);
  EXPECT_EQ(Run({"nullspan"}), kExitUsage);
  EXPECT_TRUE(targets.empty());

  line.Fault(test::Silent());
  EXPECT_EQ(Run({"nullspan", "get"}), kExitNoAnswer);
  EXPECT_NE(err.str().find("Serial interface is not active"), std::string::npos);

  // Answers the read, then falls silent: the update gets no reply.
  line.Mend();
  controller.intercept = [](ScriptedController&, ScriptedPort&, const char* data, int count) {
    return count == 21 && data[3] != 'T';
  };
  EXPECT_EQ(Run({"nullspan", "set", "1", "2001", "2", "2002"}), kExitNoAnswer);
  EXPECT_NE(err.str().find("We are unable to establish the Serial Interface"), std::string::npos);
}

// kelvt-sim's controller on a line that garbles half its replies (one byte
// each, every bit inverted): each seed either prints the values the
// controller holds, or fails with no answer; never a wrong value.
TEST_F(CliNullSpanTest, AGarblingLineNeverGivesAWrongValue) {
  controller.null_span[0] = 0;
  controller.null_span[3] = 4095;
  const std::string held =
      "Analog Output#1  Null 0  Span 3000\n"
      "Analog Output#2  Null 100  Span 4095\n";
  int read = 0;
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    sim::SimConfig noise;
    noise.garble_rate = 0.5;
    noise.seed = seed;
    line.Fault(noise);
    const int status = Run({"nullspan", "get"});
    if (status == kExitOk) {
      ASSERT_EQ(WithoutTime(out.str()), held) << "seed " << seed << "\n" << line.Sim()->Log();
      ++read;
    } else {
      ASSERT_EQ(status, kExitNoAnswer) << "seed " << seed;
      ASSERT_EQ(out.str(), "") << "seed " << seed;
      ASSERT_NE(err.str().find("Serial interface is not active"), std::string::npos);
    }
  }
  // Most garbled replies fall on the read itself: some seeds must get through
  // and some must fail, or the loop proves nothing.
  EXPECT_GT(read, 10);
  EXPECT_LT(read, 190);
}

class CliStampTest : public CliHarness {
 protected:
  std::string Stamp() const { return std::string(controller.psf + 66, 10); }
};

TEST_F(CliStampTest, WritesPartNumberAndDateCodeIntoTheControllersSet) {
  ASSERT_EQ(Run({"stamp", "--part", "654321", "--date-code", "2649"}), kExitOk) << err.str();
  EXPECT_EQ(Stamp(), "6543212649");
  EXPECT_EQ(WithoutTime(out.str()),
            "Part Number and Date Code Set.\n"
            "Part Number:  654321\n"
            "Date Code:    2649\n");
  // Everything else is the set it held.
  EXPECT_EQ(std::memcmp(controller.psf, original_psf, 66), 0);
}

TEST_F(CliStampTest, TodaysDateCodeByDefault) {
  char today[kDateCodeSize];
  TodayDateCode(today);
  ASSERT_EQ(Run({"--json", "stamp", "--part", "ABC123"}), kExitOk) << err.str();
  EXPECT_EQ(Stamp(), std::string("ABC123") + today);
  EXPECT_EQ(WithoutTime(out.str()), std::string("{\"part_number\":\"ABC123\",\"date_code\":\"") + today +
                           "\",\"stamped\":true}\n");
}

TEST_F(CliStampTest, PartNumbersFromTheSettingsFile) {
  Profile settings;
  settings.Parse("[PartNumbers]\nP1=123456\nP2=12345\nModel B=ABCDEF\n");
  ctx.SetSettings(settings);
  ASSERT_EQ(Run({"stamp", "--list"}), kExitOk);
  EXPECT_EQ(WithoutTime(out.str()), "123456  P1\nABCDEF  Model B\n");
  EXPECT_EQ(err.str(),
            "kelvt-cli: Warning: Ini value: '12345' for entry 'P2' must be six characters\n");
  ASSERT_EQ(Run({"--json", "stamp", "--list"}), kExitOk);
  EXPECT_EQ(WithoutTime(out.str()),
            "{\"settings_file\":\"\",\"part_numbers\":[{\"entry\":\"P1\",\"part_number\":"
            "\"123456\"},{\"entry\":\"Model B\",\"part_number\":\"ABCDEF\"}]}\n");
  EXPECT_TRUE(targets.empty());

  ASSERT_EQ(Run({"stamp", "--part", "model b", "--date-code", "0101"}), kExitOk) << err.str();
  EXPECT_EQ(Stamp(), "ABCDEF0101");
  EXPECT_EQ(Run({"stamp", "--part", "P2"}), kExitUsage);
}

struct StampFailure {
  std::vector<std::string> args;
  std::function<void(test::FaultSwitch&)> setup;
  int status;
  const char* message;
};

class CliStampFailureTest : public CliStampTest,
                            public ::testing::WithParamInterface<StampFailure> {};

TEST_P(CliStampFailureTest, StatusAndMessage) {
  GetParam().setup(line);
  std::vector<std::string> argv{"kelvt-cli", "stamp"};
  argv.insert(argv.end(), GetParam().args.begin(), GetParam().args.end());
  EXPECT_EQ(RunCli(argv, ctx), GetParam().status);
  EXPECT_NE(err.str().find(GetParam().message), std::string::npos) << err.str();
  EXPECT_TRUE(ControllerHoldsItsOwnSet());
}

void NoFault(test::FaultSwitch&) {}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliStampFailureTest,
    ::testing::Values(
        StampFailure{{"--part", "12345"}, NoFault, kExitUsage, "'12345' is not a part number"},
        StampFailure{{"--part", "1234567"}, NoFault, kExitUsage, "is not a part number"},
        StampFailure{{}, NoFault, kExitUsage, "--part is required"},
        StampFailure{{"--part", "123456", "--date-code", "2660"}, NoFault, kExitUsage,
                     "'2660' is not a date code"},
        StampFailure{{"--part", "123456", "--list"}, NoFault, kExitUsage, "excludes"},
        StampFailure{{"--part", "123456"}, [](test::FaultSwitch& l) { l.Fault(test::Silent()); },
                     kExitNoAnswer, "Unable to input PSF."},
        StampFailure{{"--part", "123456"}, [](test::FaultSwitch& l) { l.Fault(test::NoAck()); },
                     kExitRefused, "Unable to output PSF."}));

}  // namespace
}  // namespace kelvt::cli
