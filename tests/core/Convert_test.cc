#include "core/Convert.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace core {
namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

struct ToIntCase {
  const char* text;
  int32_t expected;
};

TEST(ToInt, ReadsDecimalNumbersRoundingHalfToEven) {
  const ToIntCase cases[] = {
      {"", 0},         {"42", 42},
      {"  42", 42},    {"-7", -7},
      {"+5", 5},       {"0", 0},
      {"2.5", 2},      {"3.5", 4},
      {"-2.5", -2},    {"-3.5", -4},
      {"0.5", 0},      {"1.5", 2},
      {"2.51", 3},     {"2.49", 2},
      {"-0.4", 0},     {"1E3", 1000},
      {"1e3", 1000},   {"1E+3", 1000},
      {"15E-1", 2},    {"25e-1", 2},
      {".5", 0},       {"7.", 7},
      {"0042", 42},    {"  -12.0", -12},
      {"1.25E2", 125}, {"123456789", 123456789},
  };
  for (const auto& c : cases) EXPECT_EQ(ToInt(c.text), c.expected) << "text: '" << c.text << "'";
}

TEST(ToInt, TextsThatAreNoNumbersGiveZero) {
  const char* cases[] = {"abc", "-",   "+",  ".",  " ",   "E5",   "1e",   "1E+",
                         "++1", "+-1", "1x", "x1", "1,5", "\t42", "1..2", "--7"};
  for (const char* text : cases) EXPECT_EQ(ToInt(text), 0) << "text: '" << text << "'";
}

TEST(ToInt, ClampsToThe32BitRange) {
  const ToIntCase cases[] = {
      {"2147483647", kMax},
      {"2147483646.6", kMax},
      {"2147483648", kMax},
      {"99999999999", kMax},
      {"1e10", kMax},
      {"1e999", kMax},
      {"-2147483648", kMin},
      {"-2147483649", kMin},
      {"-99999999999", kMin},
      {"-1e999", kMin},
      {"1e-999", 0},
      {"-1e-999", 0},
      {"2147483646", 2147483646},
      {"-2147483647", -2147483647},
      {"123456789012345678901234567890", kMax},
  };
  for (const auto& c : cases) EXPECT_EQ(ToInt(c.text), c.expected) << "text: '" << c.text << "'";
}

TEST(StrToIntStrict, AcceptsWholeNumbersWithBlanksAround) {
  const ToIntCase cases[] = {{"0", 0},  {"42", 42}, {" 42 ", 42},         {"  -7", -7},
                             {"+5", 5}, {"007", 7}, {"2147483647", kMax}, {"-2147483648", kMin}};
  for (const auto& c : cases) {
    EXPECT_EQ(StrToIntStrict(c.text), c.expected) << "text: '" << c.text << "'";
  }
}

TEST(StrToIntStrict, RejectsEverythingElseWithTheUsersMessage) {
  const char* cases[] = {"abc", "",    " ",   "2147483648", "-2147483649", "+-5", "-+5",
                         "1.5", "1e3", "12a", "--5",        "1 2",         "+",   "-"};
  for (const char* text : cases) {
    try {
      StrToIntStrict(text);
      ADD_FAILURE() << "no error for '" << text << "'";
    } catch (const ConvertError& e) {
      EXPECT_EQ(std::string(e.what()), "'" + std::string(text) + "' ist kein gültiger Integerwert");
    }
  }
}

TEST(FilterNumericKey, WithoutDecimalOnlyDigitsAndBackspacePass) {
  for (char d = '0'; d <= '9'; ++d) EXPECT_EQ(FilterNumericKey(d, '#'), d);
  EXPECT_EQ(FilterNumericKey('\b', '#'), '\b');
  for (char k : {'.', ',', '#', '-', '+', 'a', 'Z', 'e', ' ', '\r', '\x1b'}) {
    EXPECT_EQ(FilterNumericKey(k, '#'), '\0') << "key " << static_cast<int>(k);
  }
}

TEST(FilterNumericKey, PointAndCommaBecomeTheDecimalCharacter) {
  EXPECT_EQ(FilterNumericKey('.', ','), ',');
  EXPECT_EQ(FilterNumericKey(',', ','), ',');
  EXPECT_EQ(FilterNumericKey('a', ','), '\0');
  EXPECT_EQ(FilterNumericKey('#', ','), '\0');
  EXPECT_EQ(FilterNumericKey('-', ','), '\0');
  EXPECT_EQ(FilterNumericKey('5', ','), '5');
  EXPECT_EQ(FilterNumericKey('\b', ','), '\b');
  EXPECT_EQ(FilterNumericKey(',', '.'), '.');
  EXPECT_EQ(FilterNumericKey('.', '.'), '.');
}

TEST(IntToStr, WritesDecimal) {
  EXPECT_EQ(IntToStr(0), "0");
  EXPECT_EQ(IntToStr(-15), "-15");
  EXPECT_EQ(IntToStr(std::numeric_limits<int64_t>::max()), "9223372036854775807");
  EXPECT_EQ(IntToStr(std::numeric_limits<int64_t>::min()), "-9223372036854775808");
}

}  // namespace
}  // namespace core
