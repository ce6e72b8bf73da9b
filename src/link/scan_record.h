#pragma once
// Decoded scan replies: a beam map (one bit per beam) or one or two 16-bit
// measurement values. A record is created once per view with the parameters
// that fix its reply length and reused for every scan; nothing here
// allocates after construction (Assign only when lengths differ).

#include <cstdint>
#include <memory>

namespace kelvt {

class ScanRecord {
 public:
  ScanRecord() = default;
  virtual ~ScanRecord() = default;
  ScanRecord(const ScanRecord&) = delete;
  ScanRecord& operator=(const ScanRecord&) = delete;

  // 1 when `count` equals the expected length and the frame is FS ... LF;
  // the reply is then copied. 0 leaves the stored reply unchanged. Reads at
  // most `count` bytes; a record whose buffer cannot hold its expected length
  // (after CopyLength and friends) accepts nothing.
  virtual int Decode(const char* reply, int count);

  int ExpectedLength() const { return expected_length; }
  void CopyLength(const ScanRecord& other);
  const char* Reply() const { return reply.get(); }

 protected:
  // Replaces the buffer by a zeroed one of `length` bytes.
  void Allocate(int length);

  std::unique_ptr<char[]> reply;
  int expected_length = 0;
  int reply_size = 0;  // bytes the buffer holds
};

class MeasurementValues : public ScanRecord {
 public:
  explicit MeasurementValues(int mode) : mode(mode) {}
  // Equal lengths and values; the mode is not compared.
  int Equals(const MeasurementValues& other) const;
  int Differs(const MeasurementValues& other) const { return !Equals(other); }
  void CopyValues(const MeasurementValues& other);

  uint16_t value1 = 0;
  uint16_t value2 = 0;
  int mode;  // 0 only measurement 1, 1 only measurement 2, 2 both
};

class MeasurementScan : public MeasurementValues {
 public:
  explicit MeasurementScan(int mode);
  int Decode(const char* reply, int count) override;
};

struct BeamStatistics {
  int32_t broken_count;
  int32_t made_count;
  int32_t first_broken;
  int32_t last_broken;
  int32_t first_made;
  int32_t last_made;

  BeamStatistics() { Reset(); }
  void Reset();
  bool operator==(const BeamStatistics&) const = default;
};

class BeamScan : public ScanRecord {
 public:
  // A negative n counts as 0 beams.
  explicit BeamScan(int n);
  // 1 broken, 0 made; 0 for an index outside 0..n-1.
  virtual int BeamState(int index) const = 0;
  // Recounts the statistics from BeamState of every beam.
  void ComputeStatistics();
  int SameChannelCount(const BeamScan& other) const { return channel_count == other.channel_count; }
  void CopySummary(const BeamScan& other);
  int ChannelCount() const { return channel_count; }

  BeamStatistics statistics;

 protected:
  int channel_count;
};

class BeamBitmapScan : public BeamScan {
 public:
  explicit BeamBitmapScan(int n);
  int Decode(const char* reply, int count) override;
  int BeamState(int index) const override;
  int Equals(const BeamBitmapScan& other) const;
  void Assign(const BeamBitmapScan& other);
};

// Reply length of a beam map for n beams: FS, id, one bit per beam rounded
// up to whole bytes, LF. For a multiple of 8 this is n / 8 + 3; a partial last
// byte gets a byte of its own, so no beam's state is ever read from the LF.
int BeamReplyLength(int n);

}  // namespace kelvt
