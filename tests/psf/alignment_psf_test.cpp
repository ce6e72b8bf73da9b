#include "psf/alignment_psf.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kelvt {
namespace {

PsfImage SampleSet() {
  PsfImage saved;
  for (int i = 0; i < kPsfSize; ++i) saved[i] = static_cast<char>('0' + i % 40);
  saved[0] = 'B';
  saved[1] = 'C';
  saved[2] = 'j';  // Edge
  saved[3] = 'A';  // FBB
  saved[4] = 'D';  // LBM
  saved[6] = 'a';  // Continuous
  saved[64] = 'g'; // no serial
  return saved;
}

TEST(MakeAlignmentPsf, ChangesExactlyTheFiveFields) {
  const PsfImage saved = SampleSet();
  PsfImage working;
  MakeAlignmentPsf(saved, working);
  struct {
    int byte;
    char code;
  } changed[] = {{2, 'a'}, {3, 'I'}, {4, 'K'}, {6, 'c'}, {64, 'c'}};
  for (const auto& c : changed) EXPECT_EQ(working[c.byte], c.code) << "byte " << c.byte;
  for (int i = 0; i < kPsfSize; ++i) {
    if (i == 2 || i == 3 || i == 4 || i == 6 || i == 64) continue;
    EXPECT_EQ(working[i], saved[i]) << "byte " << i;
  }
}

TEST(MakeAlignmentPsf, LeavesTheSavedSetUntouchedAndOverwritesTheWorkingCopy) {
  const PsfImage saved = SampleSet();
  PsfImage before = saved;
  PsfImage working;
  working.bytes.fill('#');
  MakeAlignmentPsf(saved, working);
  EXPECT_EQ(saved, before);
  EXPECT_EQ(working[10], saved[10]);
  EXPECT_EQ(working[80], saved[80]);
}

TEST(MakeAlignmentPsf, FrameCarriesTheCodesAndAFreshCheckSum) {
  PsfImage working;
  MakeAlignmentPsf(SampleSet(), working);
  char frame[kPsfFrameSize];
  working.BuildOutputFrame(frame, 'C');
  EXPECT_EQ(frame[0], 0x1B);
  EXPECT_EQ(frame[1], 'C');
  EXPECT_EQ(frame[1 + 3], 'I');
  EXPECT_EQ(frame[1 + 64], 'c');
  char sum[6];
  std::snprintf(sum, sizeof sum, "%05ld", PsfCheckSum(working.Data()));
  EXPECT_EQ(std::string(frame + 1 + 76, 5), sum);
}

}  // namespace
}  // namespace kelvt
