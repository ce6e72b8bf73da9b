// RS232 base: names, settings record, debug lines, slot defaults and the
// sticky error status.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/tick.h"
#include "serial/rs232.h"
#include "support/scripted_port.h"

namespace kelvt {
namespace {

using test::ScriptedPort;

// A port that supplies only the pure slots, to see what RS232 itself does.
class BarePort : public RS232 {
 public:
  int ReadBuffer(char*, int) override { return kTimeout; }
  int WriteBuffer(const char*, int) override { return kTimeout; }
  int ReadByte() override { return kTimeout; }
  int WriteByte(int) override { return kTimeout; }
  int SetLineParameters(long, int, int, int) override { return 0; }
  int ParityError(int) override { return 0; }
  int BreakDetected(int) override { return 0; }
  int FramingError(int) override { return 0; }
  int OverrunError(int) override { return 0; }

  void Open(int port, const PortSettings& saved, const PortSettings& current) {
    port_number = port;
    saved_settings = saved;
    settings = current;
    error_status = 0;
  }
  void SetCounters(uint32_t count, int32_t elapsed) {
    byte_count = count;
    elapsed_time = elapsed;
  }
  void SetStatus(int status) { error_status = status; }
};

// A derived port with a name of its own, to see FormatDebugLine use the slot.
class NamedPort : public BarePort {
 public:
  const char* ErrorName(int code) override {
    return code == -191 ? "Port already open" : RS232::ErrorName(code);
  }
};

struct NameCase {
  int code;
  const char* name;
};

TEST(RS232ErrorName, EveryCodeOfTheTableAndNothingElse) {
  const NameCase cases[] = {
      {0, "Success"},
      {-86, "XON/XOFF handshaking not supported"},
      {-87, "DTR/DSR handshaking not supported"},
      {-88, "RTS/CTS handshaking not supported"},
      {-89, "RTS control not supported"},
      {-90, "DTR control not supported"},
      {-91, "No terminator"},
      {-92, "No modem response"},
      {-93, "Illegal line number"},
      {-94, "Illegal stop bits"},
      {-95, "Illegal word length"},
      {-96, "Illegal parity setting"},
      {-97, "Illegal baud rate"},
      {-98, "Timeout"},
      {-99, "Function not supported"},
      {-100, "General Warning"},
      {-194, "Memory allocation error"},
      {-195, "Illegal IRQ"},
      {-196, "Port in use"},
      {-197, "Port not found"},
      {-198, "IRQ line in use"},
      {-200, "General Error"},
      {-199, "???"},
      {5, "???"},
      {1, "???"},
      {-1, "???"},
      {-85, "???"},
      {-101, "???"},
      {-190, "???"},
      {-193, "???"},
      {-201, "???"},
  };
  BarePort port;
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_STREQ(RS232ErrorName(c.code), c.name);
    EXPECT_STREQ(port.ErrorName(c.code), c.name);
  }
}

TEST(PortSettings, UpdateOverwritesOnlyGivenFieldsAndUpperCasesParity) {
  PortSettings s;
  s.Update(9600, 'e', 7, 1, 0, 1, 0, 1, 1);
  EXPECT_EQ(s.baud, 9600);
  EXPECT_EQ(s.parity, 'E');
  EXPECT_EQ(s.word_length, 7);
  EXPECT_EQ(s.stop_bits, 1);
  EXPECT_EQ(s.dtr, 0);
  EXPECT_EQ(s.rts, 1);
  EXPECT_EQ(s.xon_xoff, 0);

  const PortSettings before = s;
  s.Update(-1, -1, -1, -1, -1, -1, -1, -1, -1);
  EXPECT_EQ(std::memcmp(&before, &s, sizeof s), 0) << "all -1 changes nothing";

  s.Update(38400, -1, -1, 2, -1, -1, 1, -1, -1);
  EXPECT_EQ(s.baud, 38400);
  EXPECT_EQ(s.parity, 'E');
  EXPECT_EQ(s.word_length, 7);
  EXPECT_EQ(s.stop_bits, 2);
  EXPECT_EQ(s.rts, 1);
  EXPECT_EQ(s.xon_xoff, 1);

  for (const char p : {'n', 'o', 'm', 's', 'N'}) {
    s.Update(-1, p, -1, -1, -1, -1, -1, -1, -1);
    EXPECT_EQ(s.parity, std::toupper(p));
  }
}

TEST(RS232, ConstructedPortIsNotOpened) {
  BarePort port;
  EXPECT_EQ(port.ErrorStatus(), -199);
  EXPECT_STREQ(port.ErrorName(port.ErrorStatus()), "???");
}

TEST(RS232, OptionalSlotsAreNotSupported) {
  BarePort port;
  port.Open(0, {}, {});
  EXPECT_EQ(port.SendBreak(100), -99);
  EXPECT_EQ(port.RxOverflow(0), -99);
  EXPECT_EQ(port.XonXoffHandshaking(-1), -99);
  EXPECT_EQ(port.Reserved13(0), -99);
  EXPECT_EQ(port.Reserved14(0), -99);
  EXPECT_EQ(port.Reserved15(0, 0), -99);
  EXPECT_EQ(port.Reserved16(), -99);
  EXPECT_EQ(port.Reserved17(), -99);
  EXPECT_EQ(port.ClearTxBuffer(), -99);
}

TEST(RS232, DebugLineCountAndIllegalLine) {
  BarePort port;
  EXPECT_EQ(port.FormatDebugLine(nullptr, 0), 4);
  EXPECT_EQ(port.FormatDebugLine(nullptr, 9), 4);
  char buffer[RS232::kDebugLineSize];
  std::strcpy(buffer, "untouched");
  EXPECT_EQ(port.FormatDebugLine(buffer, 4), -93);
  EXPECT_EQ(port.FormatDebugLine(buffer, -1), -93);
  EXPECT_STREQ(buffer, "untouched");
}

TEST(RS232, DebugLinesHaveTheirExactFormats) {
  NamedPort port;
  PortSettings saved;
  saved.Update(19200, 'o', 7, 1, 1, 0, 1, -1, -1);
  PortSettings current;
  current.Update(9600, 'e', 8, 2, 0, 0, 0, -1, -1);
  port.Open(2, saved, current);
  port.SetCounters(83, 1234);

  struct Line {
    int line;
    const char* text;
  };
  const Line lines[] = {
      {0, "Base class: RS232  COM3   Status: Success                            "},
      {1, "Byte count:    83  Elapsed time:      1234  "},
      {2, "Saved port:  19200,O, 7, 1  DTR,RTS:  1, 0  XON/OFF,RTS/CTS,DTR/DSR:  1"},
      {3, "Current port:   9600,E,8,2  DTR,RTS:  0, 0  XON/OFF,RTS/CTS,DTR/DSR:  0"},
  };
  char buffer[RS232::kDebugLineSize];
  for (const Line& l : lines) {
    SCOPED_TRACE(l.line);
    ASSERT_EQ(port.FormatDebugLine(buffer, l.line), 0);
    EXPECT_STREQ(buffer, l.text);
  }

  // The status name comes through the virtual slot, cut at 35 characters.
  port.SetStatus(-191);
  ASSERT_EQ(port.FormatDebugLine(buffer, 0), 0);
  EXPECT_STREQ(buffer, "Base class: RS232  COM3   Status: Port already open                  ");
  port.SetStatus(-86);
  ASSERT_EQ(port.FormatDebugLine(buffer, 0), 0);
  EXPECT_STREQ(buffer, "Base class: RS232  COM3   Status: XON/XOFF handshaking not supported ");
  port.SetStatus(-87);
  ASSERT_EQ(port.FormatDebugLine(buffer, 0), 0);
  EXPECT_EQ(std::string(buffer).substr(34), "DTR/DSR handshaking not supported  ");
}

TEST(RS232, DebugLinesFitTheirBufferWhateverTheFields) {
  BarePort port;
  PortSettings extreme;
  extreme.Update(INT32_MIN, 0, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, -1, -1);
  port.Open(INT32_MAX - 1, extreme, extreme);
  port.SetCounters(UINT32_MAX, INT32_MIN);
  char buffer[RS232::kDebugLineSize + 8];
  std::memset(buffer, 'Z', sizeof buffer);
  for (int line = 0; line < 4; ++line) {
    ASSERT_EQ(port.FormatDebugLine(buffer, line), 0);
    EXPECT_LT(std::strlen(buffer), static_cast<size_t>(RS232::kDebugLineSize));
    EXPECT_EQ(buffer[RS232::kDebugLineSize + 7], 'Z');
  }
  ASSERT_EQ(port.FormatDebugLine(buffer, 3), 0);
  EXPECT_NE(std::string(buffer).find(",?,"), std::string::npos) << "a NUL parity prints as ?";
}

// Every data operation on a port whose open failed returns the status and moves nothing.
TEST(RS232, StickyStatusStopsEveryOperation) {
  VirtualTickSource clock(1000);
  ScopedTickSource scoped(&clock);
  ScriptedPort port;
  port.QueueReply("waiting");
  port.SetErrorStatus(-197);
  char buffer[16] = {};

  struct Op {
    const char* name;
    int (*call)(ScriptedPort&, char*);
  };
  const Op ops[] = {
      {"Read", [](ScriptedPort& p, char* b) { return p.Read(b, 4, 1000); }},
      {"Read-1", [](ScriptedPort& p, char* b) { return p.Read(b, 4, -1); }},
      {"WriteBlock", [](ScriptedPort& p, char*) { return p.Write("abc", 3, 1000, "\r"); }},
      {"WriteByte", [](ScriptedPort& p, char*) { return p.Write(0xF8, -1); }},
      {"ClearRx", [](ScriptedPort& p, char*) { return p.ClearRxBuffer(); }},
      {"BaseClearRx", [](ScriptedPort& p, char*) { return p.RS232::ClearRxBuffer(); }},
      {"ClearTx", [](ScriptedPort& p, char*) { return p.ClearTxBuffer(); }},
      {"Parity", [](ScriptedPort& p, char*) { return p.ParityError(1); }},
      {"Break", [](ScriptedPort& p, char*) { return p.BreakDetected(0); }},
      {"Framing", [](ScriptedPort& p, char*) { return p.FramingError(-1); }},
      {"Overrun", [](ScriptedPort& p, char*) { return p.OverrunError(1); }},
      {"RxOverflow", [](ScriptedPort& p, char*) { return p.RxOverflow(1); }},
      {"SendBreak", [](ScriptedPort& p, char*) { return p.SendBreak(10); }},
      {"XonXoff", [](ScriptedPort& p, char*) { return p.XonXoffHandshaking(1); }},
  };
  for (const Op& op : ops) {
    SCOPED_TRACE(op.name);
    EXPECT_EQ(op.call(port, buffer), -197);
    EXPECT_EQ(port.ByteCount(), 0u);
    EXPECT_EQ(port.ElapsedTime(), 0);
  }
  EXPECT_TRUE(port.Events().empty()) << port.EventString();
  EXPECT_TRUE(port.Written().empty());
  EXPECT_EQ(port.Pending(), 7);
  EXPECT_EQ(clock.Now(), 1000u);
}

TEST(RS232, LineErrorQueriesClearOnlyWhenAsked) {
  ScriptedPort port;
  port.SetLineErrors(true, true, true, true);
  struct Query {
    const char* name;
    int (ScriptedPort::*call)(int);
  };
  const Query queries[] = {{"parity", &ScriptedPort::ParityError},
                           {"break", &ScriptedPort::BreakDetected},
                           {"framing", &ScriptedPort::FramingError},
                           {"overrun", &ScriptedPort::OverrunError}};
  for (const Query& q : queries) {
    SCOPED_TRACE(q.name);
    EXPECT_EQ((port.*q.call)(0), 1);
    EXPECT_EQ((port.*q.call)(-1), 1) << "-1 reads without clearing";
    EXPECT_EQ((port.*q.call)(1), 1);
    EXPECT_EQ((port.*q.call)(0), 0) << "cleared by the previous query";
  }
}

}  // namespace
}  // namespace kelvt
