#include "psf/psf_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace kelvt {
namespace {

std::string CheckSumText(const PsfImage& image) {
  return std::string(image.Data() + 76, 5);
}

// Fills bytes 0-75 with `count` copies of `value` and zeros after them.
PsfImage ImageWith(int count, char value) {
  PsfImage image;
  for (int i = 0; i < count; ++i) image[i] = value;
  return image;
}

struct CheckSumCase {
  const char* name;
  int count;
  char value;
  long sum;
  const char* text;
};

TEST(PsfImageCheckSum, FormatsSignedByteSumPlusEsc) {
  const CheckSumCase cases[] = {
      {"sum 5000", 50, 100, 5027, "05027"},
      {"sum 9000", 75, 120, 9027, "09027"},
      {"all zero", 0, 0, 27, "00027"},
      {"all 127", 76, 127, 9679, "09679"},
      // Bytes above 0x7F count negative; "%05ld" then keeps the sign.
      {"all 0xFF", 76, static_cast<char>(0xFF), -49, "-0049"},
      {"all 0x80", 76, static_cast<char>(0x80), -9701, "-9701"},
  };
  for (const CheckSumCase& c : cases) {
    SCOPED_TRACE(c.name);
    PsfImage image = ImageWith(c.count, c.value);
    EXPECT_EQ(PsfCheckSum(image.Data()), c.sum);
    image[80] = 'Q';  // check sum digits are not summed and get replaced
    image.UpdateCheckSum();
    EXPECT_EQ(CheckSumText(image), c.text);
  }
}

TEST(PsfImageCheckSum, IgnoresBytesFromSeventySixOn) {
  PsfImage a = ImageWith(10, 'A');
  PsfImage b = a;
  for (int i = 76; i < kPsfSize; ++i) b[i] = '9';
  EXPECT_EQ(PsfCheckSum(a.Data()), PsfCheckSum(b.Data()));
}

struct ReplyCase {
  const char* name;
  char lead, command, end;
  bool accepted;
};

TEST(PsfImageReply, AcceptsOnlyFsELf) {
  const ReplyCase cases[] = {
      {"valid", 0x1C, 'E', 0x0A, true},
      {"CR instead of LF", 0x1C, 'E', 0x0D, false},
      {"ESC lead", 0x1B, 'E', 0x0A, false},
      {"command C", 0x1C, 'C', 0x0A, false},
      {"command e", 0x1C, 'e', 0x0A, false},
  };
  for (const ReplyCase& c : cases) {
    SCOPED_TRACE(c.name);
    char reply[kPsfFrameSize];
    for (int i = 0; i < kPsfFrameSize; ++i) reply[i] = static_cast<char>('0' + i % 40);
    reply[0] = c.lead;
    reply[2] = c.command;
    reply[82] = c.end;
    PsfImage image = ImageWith(76, 'z');
    const PsfImage before = image;
    EXPECT_EQ(image.FromControllerReply(reply), c.accepted);
    if (c.accepted) {
      EXPECT_EQ(image[1], 'C');
      EXPECT_EQ(image[0], reply[1]);
      EXPECT_EQ(0, std::memcmp(image.Data() + 2, reply + 3, kPsfSize - 2));
    } else {
      EXPECT_EQ(image, before);
    }
  }
}

TEST(PsfImageFrame, BuildsEscImageCrAndKeepsLetterAndSum) {
  PsfImage image = ImageWith(76, 'a');
  image[1] = 'C';
  char frame[kPsfFrameSize];
  std::memset(frame, 0x55, sizeof frame);
  image.BuildOutputFrame(frame, 'D');
  EXPECT_EQ(frame[0], 0x1B);
  EXPECT_EQ(frame[82], 0x0D);
  EXPECT_EQ(image[0], 'D');
  EXPECT_EQ(0, std::memcmp(frame + 1, image.Data(), kPsfSize));
  // 'D' + 'C' + 74 * 'a' + ESC
  const long expected = 'D' + 'C' + 74L * 'a' + 27;
  char text[8];
  std::snprintf(text, sizeof text, "%05ld", expected);
  EXPECT_EQ(CheckSumText(image), text);
}

TEST(PsfImageFromBytes, ReplacesLetterOnlyWhenGiven) {
  char bytes[kPsfSize];
  for (int i = 0; i < kPsfSize; ++i) bytes[i] = static_cast<char>('A' + i % 26);
  PsfImage kept;
  kept.FromBytes(bytes, 0);
  EXPECT_EQ(0, std::memcmp(kept.Data(), bytes, kPsfSize));
  PsfImage lettered;
  lettered.FromBytes(bytes, 'K');
  EXPECT_EQ(lettered[0], 'K');
  EXPECT_EQ(0, std::memcmp(lettered.Data() + 1, bytes + 1, kPsfSize - 1));
}

TEST(PsfImageSetters, TouchOnlyTheirBytes) {
  struct Case {
    const char* name;
    void (*apply)(PsfImage&);
    int at;
    char code;
  };
  const Case cases[] = {
      {"scanning method", [](PsfImage& i) { i.SetScanningMethod('j'); }, 2, 'j'},
      {"mode 1", [](PsfImage& i) { i.SetMeasurementMode('J', true); }, 3, 'J'},
      {"mode 2", [](PsfImage& i) { i.SetMeasurementMode('B', false); }, 4, 'B'},
      {"scan control", [](PsfImage& i) { i.SetScanControl('c'); }, 6, 'c'},
      {"transmission", [](PsfImage& i) { i.SetSerialTransmission('c'); }, 64, 'c'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PsfImage image = ImageWith(kPsfSize, '#');
    c.apply(image);
    for (int i = 0; i < kPsfSize; ++i) {
      EXPECT_EQ(image[i], i == c.at ? c.code : '#') << "byte " << i;
    }
  }
}

TEST(PsfImageSetters, PartNumberAndDateCodeStayInTheirFields) {
  PsfImage image = ImageWith(kPsfSize, '#');
  image.SetPartNumber("123456");
  image.SetDateCode("0524");
  EXPECT_EQ(std::string(image.Data() + 66, 10), "1234560524");
  EXPECT_EQ(image[65], '#');
  EXPECT_EQ(std::string(image.Data() + 76, 5), "#####");

  // Too long is cut at the field, too short leaves NULs in it only.
  image.SetPartNumber("ABCDEFGHIJ");
  image.SetDateCode("12");
  EXPECT_EQ(std::string(image.Data() + 66, 6), "ABCDEF");
  EXPECT_EQ(std::string(image.Data() + 72, 4), std::string("12\0\0", 4));
  EXPECT_EQ(image[76], '#');
}

}  // namespace
}  // namespace kelvt
