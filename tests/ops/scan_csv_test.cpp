#include "ops/scan_csv.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ops/beam_history.h"
#include "ops/measurement_history.h"
#include "ops/csv_recorder.h"
#include "ops/record_folder.h"

namespace kelvt {
namespace {

// A decoded beam map from '1' broken / '.' made, beam 0 first (length a
// multiple of 8), its statistics counted.
struct Map {
  explicit Map(const std::string& beams) : scan(static_cast<int>(beams.size())) {
    std::vector<char> reply(scan.ExpectedLength(), 0);
    reply.front() = 0x1C;
    reply[1] = 'A';
    reply.back() = 0x0A;
    for (std::size_t i = 0; i < beams.size(); ++i) {
      if (beams[i] == '1') reply[2 + i / 8] |= static_cast<char>(1 << (i % 8));
    }
    EXPECT_TRUE(scan.Decode(reply.data(), static_cast<int>(reply.size())));
    scan.ComputeStatistics();
  }
  BeamBitmapScan scan;
};

const WallTime kTime{2026, 12, 7, 20, 5, 3, 42, 60};

TEST(ScanCsv, IsoTimeCarriesMillisecondsAndOffset) {
  struct Case { WallTime t; const char* text; };
  const Case cases[] = {
      {kTime, "2026-12-07T20:05:03.042+01:00"},
      {{2027, 1, 2, 3, 4, 5, 999, -330}, "2027-01-02T03:04:05.999-05:30"},
      {{2027, 6, 30, 23, 59, 59, 0, 0}, "2027-06-30T23:59:59.000+00:00"},
  };
  for (const Case& c : cases) {
    char out[kIsoTimeSize];
    EXPECT_EQ(FormatIsoTime(c.t, out, sizeof out), static_cast<int>(std::strlen(c.text)));
    EXPECT_STREQ(out, c.text);
  }
  char small[10];
  EXPECT_EQ(FormatIsoTime(kTime, small, sizeof small), -1);
  EXPECT_STREQ(small, "");
  char stamp[20];
  FormatFileStamp(kTime, stamp, sizeof stamp);
  EXPECT_STREQ(stamp, "20261207-200503");
}

TEST(ScanCsv, FieldsAreQuotedOnlyWhenTheyMustBe) {
  struct Case { const char* field; const char* csv; };
  const Case cases[] = {
      {"plain", "plain"},       {"", ""},
      {"a,b", "\"a,b\""},       {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"two\r\nlines", "\"two\r\nlines\""}, {"\"", "\"\"\"\""},
  };
  for (const Case& c : cases) {
    char out[64];
    EXPECT_EQ(AppendCsvField(c.field, out, sizeof out, 0), static_cast<int>(std::strlen(c.csv)));
    EXPECT_STREQ(out, c.csv) << c.field;
  }
  char tiny[4];
  EXPECT_EQ(AppendCsvField("a,b", tiny, sizeof tiny, 0), -1);
}

TEST(ScanCsv, AlignmentRows) {
  struct Case { const char* beams; const char* row; };
  const Case cases[] = {
      {"........", "2026-12-07T20:05:03.042+01:00,7,0,8,,,1,8,00000000\r\n"},
      {"..11...1", "2026-12-07T20:05:03.042+01:00,7,3,5,3,8,1,7,00110001\r\n"},
      {"11111111", "2026-12-07T20:05:03.042+01:00,7,8,0,1,8,,,11111111\r\n"},
  };
  for (const Case& c : cases) {
    Map map(c.beams);
    std::vector<char> out(AlignmentCsvRowSize(8));
    EXPECT_EQ(AlignmentCsvRow(kTime, 7, map.scan, out.data(), out.size()),
              static_cast<int>(std::strlen(c.row)));
    EXPECT_STREQ(out.data(), c.row);
  }
  Map wide(std::string(512, '1'));
  std::vector<char> out(AlignmentCsvRowSize(512));
  EXPECT_GT(AlignmentCsvRow(kTime, 1, wide.scan, out.data(), out.size()), 512);
  EXPECT_EQ(AlignmentCsvRow(kTime, 1, wide.scan, out.data(), 300), -1);
  char header[128];
  AlignmentCsvHeader(header, sizeof header);
  EXPECT_STREQ(header,
               "time,scan,broken,made,first broken,last broken,first made,last made,beams\r\n");
}

TEST(ScanCsv, MeasurementRowsHoldTheEnabledMeasurements) {
  MeasurementStatistics m1, m2;
  m1.Update(120);
  m1.Update(80);
  m2.Update(5);
  struct Case { int mode; const char* header; const char* row; };
  const Case cases[] = {
      {0, "time,scan,measurement 1,measurement 1 low,measurement 1 high\r\n",
       "2026-12-07T20:05:03.042+01:00,3,80,80,120\r\n"},
      {1, "time,scan,measurement 2,measurement 2 low,measurement 2 high\r\n",
       "2026-12-07T20:05:03.042+01:00,3,5,5,5\r\n"},
      {2,
       "time,scan,measurement 1,measurement 1 low,measurement 1 high,"
       "measurement 2,measurement 2 low,measurement 2 high\r\n",
       "2026-12-07T20:05:03.042+01:00,3,80,80,120,5,5,5\r\n"},
  };
  for (const Case& c : cases) {
    char out[kMeasurementCsvRowSize];
    MeasurementCsvHeader(c.mode, out, sizeof out);
    EXPECT_STREQ(out, c.header);
    MeasurementCsvRow(kTime, 3, c.mode, m1, m2, out, sizeof out);
    EXPECT_STREQ(out, c.row);
  }
  char out[kMeasurementCsvRowSize];
  MeasurementCsvRow(kTime, 0, 0, MeasurementStatistics(), m2, out, sizeof out);
  EXPECT_STREQ(out, "2026-12-07T20:05:03.042+01:00,0,0,,0\r\n");  // no low value yet
}

TEST(ScanCsv, TrendRowsHoldSecondsSinceRunAndTheShownMeasurements) {
  struct Case { int shown, has; uint32_t ms; const char* header; const char* row; };
  const Case cases[] = {
      {1, 1, 0, "time (s),FBB\r\n", "0.000,17\r\n"},
      {2, 2, 59007, "time (s),\"L,BM\"\r\n", "59.007,4\r\n"},
      {3, 3, 600000, "time (s),FBB,\"L,BM\"\r\n", "600.000,17,4\r\n"},
      {3, 1, 4294967295u, "time (s),FBB,\"L,BM\"\r\n", "4294967.295,17,\r\n"},
  };
  for (const Case& c : cases) {
    char out[kTrendCsvRowSize];
    EXPECT_GT(TrendCsvHeader(c.shown, "FBB", "L,BM", out, sizeof out), 0);
    EXPECT_STREQ(out, c.header);
    EXPECT_EQ(TrendCsvRow(c.ms, c.shown, c.has, 17, 4, out, sizeof out),
              static_cast<int>(std::strlen(c.row)));
    EXPECT_STREQ(out, c.row);
  }
  char small[8];
  EXPECT_EQ(TrendCsvRow(600000, 3, 3, 65535, 65535, small, sizeof small), -1);
  EXPECT_STREQ(small, "");
}

TEST(BeamHistory, FlickerRule) {
  struct Case { int64_t changes, scans; bool flickering; };
  const Case cases[] = {{0, 500, false}, {1, 500, true},   {24, 500, true},
                        {25, 500, false}, {3, 0, false},   {1, 20, false},
                        {1, 21, true}};
  for (const Case& c : cases) {
    EXPECT_EQ(IsFlickering(c.changes, c.scans), c.flickering) << c.changes << "/" << c.scans;
  }
}

TEST(BeamHistory, CountsChangesAndKeepsTheLastMapsNewestFirst) {
  BeamHistory history(8);
  Map steady("1.......");
  Map blink("1......1");
  Map moving(".1......");
  for (int i = 0; i < 400; ++i) history.Add(i == 100 ? blink.scan : steady.scan, 1000 + i);
  EXPECT_EQ(history.Scans(), 400);
  EXPECT_EQ(history.Depth(), kBeamHistoryDepth);
  EXPECT_EQ(history.Changes(7), 2);  // broke once, made again
  EXPECT_EQ(history.Changes(0), 0);
  EXPECT_TRUE(history.Flickering(7));
  EXPECT_FALSE(history.Flickering(0));
  char list[64];
  FormatFlickeringList(history, list, sizeof list);
  EXPECT_STREQ(list, "8 (2)");

  // Each map keeps its scan's time, the ring's wrap included.
  EXPECT_EQ(history.Time(0), 1399);
  EXPECT_EQ(history.Time(kBeamHistoryDepth - 1), 1100);
  EXPECT_EQ(history.Time(kBeamHistoryDepth), 0);
  history.Add(moving.scan, 5000);
  EXPECT_EQ(history.Time(0), 5000);
  EXPECT_EQ(history.Time(1), 1399);
  EXPECT_EQ(history.State(0, 1), 1);
  EXPECT_EQ(history.State(0, 0), 0);
  EXPECT_EQ(history.State(1, 0), 1);
  EXPECT_EQ(history.State(kBeamHistoryDepth, 0), 0);  // beyond what is held
  Map other("1111111111111111");
  history.Add(other.scan);  // another beam count: ignored
  EXPECT_EQ(history.Scans(), 401);

  history.Reset();
  EXPECT_EQ(history.Depth(), 0);
  EXPECT_EQ(history.Time(0), 0);
  EXPECT_EQ(history.Changes(7), 0);
  FormatFlickeringList(history, list, sizeof list);
  EXPECT_STREQ(list, "");
}

TEST(BeamHistory, ListIsCutAtABeamWhenFull) {
  BeamHistory history(16);
  Map a("................");
  Map b("1111111111111111");
  history.Add(a.scan);
  history.Add(b.scan);
  for (int i = 0; i < 100; ++i) history.Add(b.scan);
  char list[24];
  FormatFlickeringList(history, list, sizeof list);
  EXPECT_STREQ(list, "1 (1), 2 (1), ...");
}

TEST(MeasurementHistoryTest, KeepsTheLastScansInOrder) {
  MeasurementHistory history;
  uint16_t low = 0;
  uint16_t high = 0;
  EXPECT_FALSE(history.Range(low, high));
  const int total = MeasurementHistory::kCapacity + 5;
  for (int i = 0; i < total; ++i) {
    history.Record(static_cast<uint32_t>(i) * 10, true, static_cast<uint16_t>(i), i % 2 == 0,
                   static_cast<uint16_t>(1000 + i));
  }
  ASSERT_EQ(history.Size(), MeasurementHistory::kCapacity);
  EXPECT_EQ(history.Value(0, 0), 5);  // the oldest five fell out
  EXPECT_EQ(history.Time(0), 50u);
  EXPECT_EQ(history.Recorded(), total);
  EXPECT_EQ(history.Value(0, history.Size() - 1), total - 1);
  EXPECT_TRUE(history.Has(1, 1));     // scan 6 is even
  EXPECT_FALSE(history.Has(1, 0));
  ASSERT_TRUE(history.Range(low, high));
  EXPECT_EQ(low, 5);
  EXPECT_EQ(high, 1000 + total - 1);  // the newest scan (124) is even: it has one
  // The readout's lookup: the nearest kept scan, the earlier of two as near,
  // only up to `last` when given.
  struct Near { double ms; int last; int index; };
  const Near nears[] = {{0, -1, 0},        {50, -1, 0},      {54, -1, 0},     {55, -1, 0},
                        {56, -1, 1},       {1e9, -1, history.Size() - 1},     {1e9, 9, 9},
                        {123.4, 20, 7},    {-5, -1, 0}};
  for (const Near& n : nears) {
    EXPECT_EQ(history.Nearest(n.ms, n.last), n.index) << n.ms << " up to " << n.last;
  }
  history.Clear();
  EXPECT_EQ(history.Size(), 0);
  EXPECT_FALSE(history.Has(0, 0));
  EXPECT_EQ(history.Nearest(0), -1);
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(CsvRecorder, BuffersUntilFlushAndNeverReplacesAFile) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("kelvt-rec-" + std::to_string(getpid()) + ".csv"))
          .string();
  std::remove(path.c_str());
  CsvRecorder rec;
  ASSERT_EQ(rec.Open(path, "h\r\n", 256), 1);
  EXPECT_EQ(rec.Append("a\r\n", 3), 1);
  EXPECT_EQ(ReadAll(path), "h\r\n");  // not yet written
  EXPECT_EQ(rec.Flush(), 1);
  EXPECT_EQ(ReadAll(path), "h\r\na\r\n");
  std::string big(200, 'x');
  rec.Append(big.data(), big.size());
  rec.Append(big.data(), big.size());  // the buffer fills: the first goes out
  EXPECT_EQ(ReadAll(path).size(), 6u + 200u);
  std::string huge(1000, 'y');
  EXPECT_EQ(rec.Append(huge.data(), huge.size()), 1);
  EXPECT_EQ(rec.Close(), 1);
  EXPECT_EQ(ReadAll(path), "h\r\na\r\n" + big + big + huge);
  EXPECT_EQ(rec.Rows(), 4);

  CsvRecorder again;
  EXPECT_EQ(again.Open(path, "h\r\n"), 0);
  EXPECT_EQ(ReadAll(path).size(), 6u + 1400u);  // untouched
  EXPECT_EQ(again.Append("a", 1), 0);
  std::remove(path.c_str());
}

TEST(RecordFolder, DefaultFileNameAndCreation) {
  namespace fs = std::filesystem;
  const fs::path base =
      fs::temp_directory_path() / ("kelvt-records-" + std::to_string(getpid()));
  fs::remove_all(base);
  fs::create_directories(base / "with" / "Documents");
  fs::create_directories(base / "without");
  fs::create_directories(base / "file");
  std::ofstream(base / "file" / "Documents") << "not a folder";
  const std::string b = base.string();
  struct DefaultCase { std::string home, folder; };
  const DefaultCase defaults[] = {
      {b + "/with", b + "/with/Documents/kelvt"},
      {b + "/with/", b + "/with/Documents/kelvt"},
      {b + "/without", b + "/without"},
      {b + "/file", b + "/file"},
      {"", ""},
  };
  for (const DefaultCase& c : defaults) EXPECT_EQ(DefaultRecordFolder(c.home), c.folder) << c.home;

  struct NameCase { std::string folder; const char* kind; int attempt; std::string path; };
  const NameCase names[] = {
      {"/data/rec", "alignment", 1, "/data/rec/alignment-20261207-200503.csv"},
      {"/data/rec/", "measurement", 1, "/data/rec/measurement-20261207-200503.csv"},
      {"/", "alignment", 3, "/alignment-20261207-200503-3.csv"},
  };
  for (const NameCase& c : names) {
    EXPECT_EQ(RecordFilePath(c.folder, c.kind, kTime, c.attempt), c.path);
  }

  struct MakeCase { std::string folder; int result; int err; };
  const MakeCase makes[] = {
      {b + "/with/Documents/kelvt", 1, 0},
      {b + "/new/a/b", 1, 0},
      {b + "/without", 1, 0},
      {b + "/file/Documents/kelvt", 0, ENOTDIR},
      {"", 0, ENOENT},
  };
  for (const MakeCase& c : makes) {
    errno = 0;
    EXPECT_EQ(MakeRecordFolder(c.folder), c.result) << c.folder;
    if (c.result == 1) EXPECT_TRUE(fs::is_directory(c.folder)) << c.folder;
    else EXPECT_EQ(errno, c.err) << c.folder;
  }
  fs::remove_all(base);
}

}  // namespace
}  // namespace kelvt
