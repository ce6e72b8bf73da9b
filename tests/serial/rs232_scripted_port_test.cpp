// The scripted port other tests rely on behaves like a device: timing at the
// line rate, garbage at a wrong rate, overruns, purges and a vanished device.

#include <gtest/gtest.h>

#include <string>

#include "platform/tick.h"
#include "support/scripted_port.h"

namespace kelvt {
namespace {

using test::ScriptedPort;

class ScriptedPortTest : public ::testing::Test {
 protected:
  VirtualTickSource clock{0xFFFFFFF0u};  // every test crosses the wrap
  ScopedTickSource scoped{&clock};
  ScriptedPort port;
  char buffer[128] = {};
};

TEST_F(ScriptedPortTest, TransferTimeIsTwelveBitsPerByteAtTheLineRate) {
  const struct {
    int bytes;
    long baud;
    uint32_t ms;
  } cases[] = {{1, 9600, 2}, {83, 9600, 104}, {83, 38400, 26}, {21, 19200, 14}, {0, 9600, 0}};
  for (const auto& c : cases) EXPECT_EQ(ScriptedPort::TransferMs(c.bytes, c.baud), c.ms);

  port.SetTransferTiming(true);
  const uint32_t t0 = clock.Now();
  EXPECT_EQ(port.WriteBuffer(std::string(83, 'x').data(), 83), 0);
  EXPECT_EQ(clock.Now() - t0, 104u);
  port.QueueReply(std::string(21, 'r'), 0, 9600);
  EXPECT_EQ(port.Read(buffer, 21, 1000), 0);
  EXPECT_EQ(port.ElapsedTime(), 27) << "the last byte arrives after 26.25 ms";
}

TEST_F(ScriptedPortTest, BytesSentAtAnotherRateArriveGarbled) {
  port.QueueReply("ok", 0, 38400);
  EXPECT_EQ(port.FramingError(0), 0);
  EXPECT_EQ(port.Read(buffer, 2, 0), 0);
  EXPECT_EQ(std::string(buffer, 2), "\xff\xff");
  EXPECT_EQ(port.FramingError(1), 1);
  port.QueueReply("ok", 0, 9600);
  port.QueueReply("!!");  // no rate: readable at any
  EXPECT_EQ(port.Read(buffer, 4, 0), 0);
  EXPECT_EQ(std::string(buffer, 4), "ok!!");
  EXPECT_EQ(port.FramingError(0), 0);
}

TEST_F(ScriptedPortTest, RepliesSeeTheRateTheyWereWrittenAt) {
  std::string heard;
  port.SetResponder([&heard](ScriptedPort& p, const char* d, int n, long baud) {
    heard += std::to_string(baud) + ":" + std::string(d, static_cast<size_t>(n)) + " ";
    p.QueueReply("ack", 10, baud);
  });
  EXPECT_EQ(port.Write(0x41, 0), 0);
  EXPECT_EQ(port.SetLineParameters(19200, -1, -1, -1), 0);
  EXPECT_EQ(port.Write("BC", 2, 0, nullptr), 0);
  EXPECT_EQ(heard, "9600:A 19200:BC ");
  EXPECT_EQ(port.Pending(), 6);
  EXPECT_EQ(port.Available(), 0);
  EXPECT_EQ(port.Read(buffer, 6, 0), 0);
  EXPECT_EQ(std::string(buffer, 6), "\xff\xff\xff" "ack") << "the first reply was sent at 9600";
  EXPECT_EQ(port.RateHistory(), (std::vector<long>{19200}));
}

TEST_F(ScriptedPortTest, PurgeDropsOnlyWhatHasArrived) {
  port.QueueReply("now");
  port.QueueReply("later", 50);
  EXPECT_EQ(port.ClearRxBuffer(), 0);
  EXPECT_EQ(port.Pending(), 5);
  EXPECT_EQ(port.Read(buffer, 5, 100), 0);
  EXPECT_EQ(std::string(buffer, 5), "later");
  EXPECT_EQ(port.ClearRxCalls(), 1);
  EXPECT_EQ(port.ClearTxBuffer(), 0);
  EXPECT_EQ(port.ClearTxCalls(), 1);
  EXPECT_EQ(port.EventString(), "XrT");
}

TEST_F(ScriptedPortTest, AFullReceiveQueueOverruns) {
  port.QueueReply(std::string(ScriptedPort::kRxCapacity + 3, 'o'));
  EXPECT_EQ(port.Overruns(), 3);
  EXPECT_EQ(port.Pending(), ScriptedPort::kRxCapacity);
  EXPECT_EQ(port.RxOverflow(1), 1);
  EXPECT_EQ(port.RxOverflow(0), 0);
}

TEST_F(ScriptedPortTest, AVanishedDeviceFailsEveryCallAtOnce) {
  port.QueueReply("data");
  port.Vanish(-200);
  const uint32_t t0 = clock.Now();
  EXPECT_EQ(port.Read(buffer, 4, -1), -200);
  EXPECT_EQ(port.Write("x", 1, -1, nullptr), -200);
  EXPECT_EQ(port.Write(0x41, -1), -200);
  EXPECT_EQ(port.SetLineParameters(19200, -1, -1, -1), -200);
  EXPECT_EQ(port.ClearRxBuffer(), -200);
  EXPECT_EQ(port.ClearTxBuffer(), -200);
  EXPECT_EQ(port.ParityError(0), -200);
  EXPECT_EQ(port.SendBreak(10), -200);
  EXPECT_EQ(clock.Now(), t0) << "nothing waits";
  EXPECT_EQ(port.Written(), "");
}

TEST_F(ScriptedPortTest, SingleByteCallsAndBreak) {
  port.QueueReply(std::string("\xF8", 1));
  EXPECT_EQ(port.ReadByte(), 0xF8) << "bytes come back as 0..255";
  EXPECT_EQ(port.ReadByte(), -98);
  EXPECT_EQ(port.WriteByte(0x1B), 0);
  EXPECT_EQ(port.Written(), "\x1b");
  const uint32_t t0 = clock.Now();
  EXPECT_EQ(port.SendBreak(250), 0);
  EXPECT_EQ(clock.Now() - t0, 250u);
  EXPECT_EQ(port.BreaksSent(), 1);
  EXPECT_EQ(port.XonXoffHandshaking(-1), 0);
  EXPECT_EQ(port.XonXoffHandshaking(5), 1);
  EXPECT_EQ(port.Settings().xon_xoff, 1);
}

}  // namespace
}  // namespace kelvt
