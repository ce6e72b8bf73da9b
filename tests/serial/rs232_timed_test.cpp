// RS232 timed operations on a virtual clock: attempts, deadlines, the idle
// step between attempts, byte counts and elapsed times.

#include <gtest/gtest.h>

#include <string>

#include "platform/tick.h"
#include "serial/rs232.h"
#include "support/scripted_port.h"

namespace kelvt {
namespace {

using test::ScriptedPort;

class TimedOps : public ::testing::Test {
 protected:
  VirtualTickSource clock{5000};
  ScopedTickSource scoped{&clock};
  ScriptedPort port;
  char buffer[64] = {};
};

struct DeadlineCase {
  long timeout;
  int attempts;     // raw reads made
  int32_t elapsed;  // 95 ms each
};

// A read that never fills tries again until the deadline has passed: the
// deadline is overrun by at most one attempt.
TEST_F(TimedOps, ReadRetriesUntilTheDeadline) {
  const DeadlineCase cases[] = {
      {0, 1, 95},     {1, 1, 95},       {95, 1, 95},      {96, 2, 190},
      {200, 3, 285},  {250, 3, 285},    {1000, 11, 1045}, {2500, 27, 2565},
      {-7, 1, 95},  // any other negative value is one attempt, never an endless wait
  };
  for (const DeadlineCase& c : cases) {
    SCOPED_TRACE(c.timeout);
    port.ClearEvents();
    const uint32_t t0 = clock.Now();
    EXPECT_EQ(port.Read(buffer, 4, c.timeout), -98);
    EXPECT_EQ(port.RawReads(), c.attempts);
    EXPECT_EQ(port.ElapsedTime(), c.elapsed);
    EXPECT_EQ(clock.Now() - t0, static_cast<uint32_t>(c.elapsed));
    EXPECT_EQ(port.ByteCount(), 0u);
  }
}

TEST_F(TimedOps, ReadWithTimeoutZeroMakesExactlyOneAttempt) {
  port.QueueReply("ab");
  EXPECT_EQ(port.Read(buffer, 5, 0), -98);
  EXPECT_EQ(port.RawReads(), 1);
  EXPECT_EQ(port.ByteCount(), 2u);
  EXPECT_EQ(std::string(buffer, 2), "ab");
  EXPECT_EQ(port.IdleCalls(), 0) << "the deadline stops it before any idle step";
}

TEST_F(TimedOps, FilledReadReturnsAtOnceAfterOneIdleStep) {
  port.QueueReply("hello");
  EXPECT_EQ(port.Read(buffer, 5, 1000), 0);
  EXPECT_EQ(port.ByteCount(), 5u);
  EXPECT_EQ(port.ElapsedTime(), 0);
  EXPECT_EQ(port.IdleCalls(), 1);
  EXPECT_EQ(std::string(buffer, 5), "hello");
}

TEST_F(TimedOps, ReadCollectsPiecesThatArriveOverTime) {
  port.QueueReply("ab");
  port.QueueReply("cde", 150);
  EXPECT_EQ(port.Read(buffer, 5, 1000), 0);
  EXPECT_EQ(std::string(buffer, 5), "abcde");
  EXPECT_EQ(port.ByteCount(), 5u);
  EXPECT_EQ(port.ElapsedTime(), 150);
  EXPECT_EQ(port.RawReads(), 2);
}

TEST_F(TimedOps, ReadWithoutDeadlineWaitsUntilEverythingArrived) {
  port.QueueReply("xyz", 1000);
  EXPECT_EQ(port.Read(buffer, 3, -1), 0);
  EXPECT_EQ(std::string(buffer, 3), "xyz");
  EXPECT_EQ(port.ElapsedTime(), 1000);
  EXPECT_EQ(port.RawReads(), 11);
}

TEST_F(TimedOps, ReadWithoutDeadlineEndsOnADeviceFailure) {
  port.QueueReply("12");
  port.SetIdleHook([this] {
    if (port.IdleCalls() == 30) port.Vanish(-200);
    return 0;
  });
  EXPECT_EQ(port.Read(buffer, 4, -1), -200);
  EXPECT_EQ(port.ByteCount(), 2u) << "what arrived before the failure still counts";
  EXPECT_EQ(port.RawReads(), 31);
}

TEST_F(TimedOps, NegativeIdleResultEndsAReadWait) {
  port.QueueReply("a");
  port.SetIdleHook([this] { return port.IdleCalls() == 2 ? -42 : 0; });
  EXPECT_EQ(port.Read(buffer, 4, 5000), -42);
  EXPECT_EQ(port.RawReads(), 2);
  EXPECT_EQ(port.ByteCount(), 1u);
  EXPECT_EQ(port.ElapsedTime(), 190);
}

TEST_F(TimedOps, NegativeIdleResultAfterAFilledReadIsReturned) {
  port.QueueReply("abcd");
  port.SetIdleHook([] { return -3; });
  EXPECT_EQ(port.Read(buffer, 4, 1000), -3);
  EXPECT_EQ(port.ByteCount(), 4u);
}

TEST_F(TimedOps, ReadRefusesNonsenseArguments) {
  EXPECT_EQ(port.Read(nullptr, 4, 100), -100);
  EXPECT_EQ(port.Read(buffer, -1, 100), -100);
  EXPECT_EQ(port.Read(buffer, 0, 100), 0);
  EXPECT_EQ(port.RawReads(), 0);
}

TEST_F(TimedOps, ElapsedTimeIsRightAcrossTheTickWrap) {
  clock.Set(0xFFFFFF00u);
  EXPECT_EQ(port.Read(buffer, 4, 1000), -98);
  EXPECT_EQ(port.ElapsedTime(), 1045);
  EXPECT_EQ(port.RawReads(), 11);

  clock.Set(0xFFFFFFF0u);
  port.FailWrites(100);
  EXPECT_EQ(port.Write(0x41, 300), -98);
  EXPECT_EQ(port.ElapsedTime(), 400);
}

struct ByteWriteCase {
  const char* name;
  int fail_count;
  int fail_code;
  long timeout;
  int result;
  int attempts;
  int32_t elapsed;
};

TEST_F(TimedOps, OneByteWrite) {
  const ByteWriteCase cases[] = {
      {"sent", 0, 0, 0, 0, 1, 0},
      {"stalled, one attempt", 100, -98, 0, -98, 1, 200},
      {"stalled until deadline", 100, -98, 500, -98, 3, 600},
      {"stalls then goes", 2, -98, 1000, 0, 3, 400},
      {"stalls then goes, no deadline", 7, -98, -1, 0, 8, 1400},
      {"device error ends at once", 1, -200, 1000, -200, 1, 0},
  };
  for (const ByteWriteCase& c : cases) {
    SCOPED_TRACE(c.name);
    port.ClearEvents();
    port.ClearWritten();
    port.FailWrites(c.fail_count, c.fail_code);
    EXPECT_EQ(port.Write(0xF8, c.timeout), c.result);
    EXPECT_EQ(port.RawWrites(), c.attempts);
    EXPECT_EQ(port.ElapsedTime(), c.elapsed);
    EXPECT_EQ(port.ByteCount(), c.result == 0 ? 1u : 0u);
    EXPECT_EQ(port.Written(), c.result == 0 ? std::string("\xF8") : std::string());
    port.FailWrites(0);
  }
}

TEST_F(TimedOps, NegativeIdleResultEndsAOneByteWriteWait) {
  port.FailWrites(100);
  port.SetIdleHook([] { return -9; });
  EXPECT_EQ(port.Write(0x41, -1), -9);
  EXPECT_EQ(port.RawWrites(), 1);
  EXPECT_EQ(port.ByteCount(), 0u);
}

TEST_F(TimedOps, BlockWriteOfCountZeroSendsTheNulTerminatedText) {
  EXPECT_EQ(port.Write("hello", 0, 0, nullptr), 0);
  EXPECT_EQ(port.Written(), "hello");
  EXPECT_EQ(port.ByteCount(), 5u);
}

TEST_F(TimedOps, BlockWriteSendsTheTerminatorInTheSameOperation) {
  EXPECT_EQ(port.Write("ab", 2, 0, "\r"), 0);
  EXPECT_EQ(port.Written(), "ab\r");
  EXPECT_EQ(port.ByteCount(), 3u);
  EXPECT_EQ(port.IdleCalls(), 1);
}

TEST_F(TimedOps, BlockWriteSendsExactlyCountBytesEvenPastANul) {
  const char frame[4] = {'\x1b', '\0', 'D', '\r'};
  EXPECT_EQ(port.Write(frame, 4, 0, nullptr), 0);
  EXPECT_EQ(port.Written(), std::string(frame, 4));
}

struct BlockWriteCase {
  const char* name;
  int chunk;
  long timeout;
  const char* terminator;
  int result;
  const char* written;
  int32_t elapsed;
};

TEST_F(TimedOps, BlockWriteKeepsGoingUntilItsDeadline) {
  const BlockWriteCase cases[] = {
      {"one attempt", 2, 0, "\r\n", -98, "ab", 200},
      {"deadline cuts it", 2, 300, "\r\n", -98, "abcd", 400},
      {"whole block then terminator", 2, 1000, "\r\n", 0, "abcdef\r\n", 400},
      {"no deadline", 3, -1, "!", 0, "abcdef!", 200},
      {"unlimited", 0, 0, "\r", 0, "abcdef\r", 0},
  };
  for (const BlockWriteCase& c : cases) {
    SCOPED_TRACE(c.name);
    port.ClearWritten();
    port.LimitWriteChunk(c.chunk);
    EXPECT_EQ(port.Write("abcdef", 6, c.timeout, c.terminator), c.result);
    EXPECT_EQ(port.Written(), c.written);
    EXPECT_EQ(port.ByteCount(), std::string(c.written).size());
    EXPECT_EQ(port.ElapsedTime(), c.elapsed);
  }
}

TEST_F(TimedOps, BlockWriteFailures) {
  port.FailWrites(1, -200);
  EXPECT_EQ(port.Write("abc", 3, 1000, "\r"), -200);
  EXPECT_EQ(port.ByteCount(), 0u);
  EXPECT_EQ(port.Written(), "");

  port.ClearEvents();
  port.FailWrites(100);
  port.SetIdleHook([] { return -4; });
  EXPECT_EQ(port.Write("abc", 3, -1, nullptr), -4) << "a negative idle result ends the wait";
  EXPECT_EQ(port.RawWrites(), 1);

  EXPECT_EQ(port.Write(nullptr, 3, 0, nullptr), -100);
  EXPECT_EQ(port.Write("abc", -2, 0, nullptr), -100);
}

TEST_F(TimedOps, EmptyBlockWritesNothingButItsTerminator) {
  EXPECT_EQ(port.Write("", 0, 0, nullptr), 0);
  EXPECT_EQ(port.ByteCount(), 0u);
  EXPECT_EQ(port.Write(nullptr, 0, 0, "\r"), 0);
  EXPECT_EQ(port.Written(), "\r");
  EXPECT_EQ(port.ByteCount(), 1u);
}

TEST_F(TimedOps, BaseClearRxBufferDrainsInScratchSizedReads) {
  port.QueueReply(std::string(100, 'n'));
  port.QueueReply("late", 1000);
  EXPECT_EQ(port.RS232::ClearRxBuffer(), 0);
  EXPECT_EQ(port.Pending(), 4) << "bytes not yet arrived are not drained";
  EXPECT_EQ(port.RawReads(), 5);  // 32, 32, 32, 4, then silence
  for (const auto& e : port.Events()) EXPECT_EQ(e.requested, 32);
}

TEST_F(TimedOps, BaseClearRxBufferReportsAVanishedDevice) {
  port.Vanish(-200);
  EXPECT_EQ(port.RS232::ClearRxBuffer(), -200);
}

// A line that never falls silent (a controller streaming its output).
class FountainPort : public ScriptedPort {
 public:
  int ReadBuffer(char* buffer, int count) override {
    for (int i = 0; i < count; ++i) buffer[i] = 'x';
    byte_count = static_cast<uint32_t>(count);
    SleepMs(10);
    ++reads;
    return 0;
  }
  int reads = 0;
};

TEST(RS232Drain, ALineThatNeverFallsSilentDoesNotHangTheDrain) {
  VirtualTickSource clock(0);
  ScopedTickSource scoped(&clock);
  FountainPort port;
  EXPECT_EQ(port.RS232::ClearRxBuffer(), -98);
  EXPECT_EQ(port.reads, 100);
  EXPECT_EQ(clock.Now(), 1000u);
}

}  // namespace
}  // namespace kelvt
