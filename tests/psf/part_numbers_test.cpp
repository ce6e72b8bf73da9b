#include "psf/part_numbers.h"

#include <gtest/gtest.h>

namespace kelvt {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

TEST(ChoosePartNumbers, KeepsSixCharacterValuesInFileOrderAndWarnsForTheRest) {
  const PartNumberChoice choice =
      ChoosePartNumbers(Entries{{"P1", "123456"}, {"P2", "12345"}, {"P3", "ABCDEF"}});
  EXPECT_EQ(choice.part_numbers, (std::vector<std::string>{"123456", "ABCDEF"}));
  ASSERT_EQ(choice.warnings.size(), 1u);
  EXPECT_EQ(choice.warnings[0], "Warning: Ini value: '12345' for entry 'P2' must be six characters");
}

TEST(ChoosePartNumbers, EmptySectionGivesNothing) {
  const PartNumberChoice choice = ChoosePartNumbers({});
  EXPECT_TRUE(choice.part_numbers.empty());
  EXPECT_TRUE(choice.warnings.empty());
}

TEST(ChoosePartNumbers, OneWarningPerBadEntryInOrder) {
  const PartNumberChoice choice = ChoosePartNumbers(
      Entries{{"a", ""}, {"b", "1234567"}, {"c", "ZZZZZZ"}, {"d", "ZZZZZZ"}, {"e", "x"}});
  EXPECT_EQ(choice.part_numbers, (std::vector<std::string>{"ZZZZZZ", "ZZZZZZ"}));
  ASSERT_EQ(choice.warnings.size(), 3u);
  EXPECT_EQ(choice.warnings[0], "Warning: Ini value: '' for entry 'a' must be six characters");
  EXPECT_EQ(choice.warnings[1], "Warning: Ini value: '1234567' for entry 'b' must be six characters");
  EXPECT_EQ(choice.warnings[2], "Warning: Ini value: 'x' for entry 'e' must be six characters");
}

TEST(IsValidPartNumber, CountsBytes) {
  struct {
    std::string value;
    bool valid;
  } cases[] = {{"123456", true},
               {"A B CD", true},
               {"12345", false},
               {"1234567", false},
               {std::string("12\0" "456", 6), false},
               {"\xC3\x84" "BCDE", false},    // six bytes, not ASCII
               {"12\r456", false},
               {"12\x1b" "456", false},
               {"AB-1 9", true},
               {"\xC3\x84" "BCDEF", false}};  // six letters, seven bytes
  for (const auto& c : cases) EXPECT_EQ(IsValidPartNumber(c.value), c.valid) << c.value;
}

TEST(PartNumberWarning, StaysBoundedHoweverLongTheValueOrName) {
  const std::string long_value(5000, 'v');
  const std::string long_name(300, 'n');
  struct {
    std::string value, name;
  } cases[] = {{long_value, "P9"}, {"12", long_name}, {long_value, long_name}};
  for (const auto& c : cases) {
    const std::string text = PartNumberWarning(c.value, c.name);
    EXPECT_LE(text.size(), kWarningMax);
    EXPECT_EQ(text.rfind("Warning: Ini value: '", 0), 0u);
    EXPECT_TRUE(text.ends_with("' must be six characters")) << text;
  }
  const std::string shortened = PartNumberWarning(long_value, "P9");
  EXPECT_EQ(shortened, "Warning: Ini value: '" + std::string(kWarningFieldMax - 3, 'v') +
                           "...' for entry 'P9' must be six characters");
}

TEST(PartNumberWarning, KeepsTextsThatFitWhole) {
  const std::string value(kWarningFieldMax, 'q');
  EXPECT_EQ(PartNumberWarning(value, "E"),
            "Warning: Ini value: '" + value + "' for entry 'E' must be six characters");
}

}  // namespace
}  // namespace kelvt
