#include "core/Separator.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace core {
namespace {

struct SplitCase {
  const char* name;
  std::string separator;
  std::string text;
  int limit;
  std::vector<std::string> fields;
};

// Names the case in test listings (instead of a dump of its bytes).
void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

class SplitTextTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTextTest, GivesTheFields) {
  const SplitCase& c = GetParam();
  EXPECT_EQ(SplitText(c.separator, c.text, c.limit), c.fields);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, SplitTextTest,
    ::testing::Values(
        SplitCase{"EmptyFieldBetweenTwoSeparators", ";", "a;b;;c", 0, {"a", "b", "", "c"}},
        SplitCase{"TrailingSeparatorGivesEmptyLastField", ";", "a;b;", 0, {"a", "b", ""}},
        SplitCase{"LeadingSeparatorGivesEmptyFirstField", ";", ";a", 0, {"", "a"}},
        SplitCase{"SeparatorAlone", ";", ";", 0, {"", ""}},
        SplitCase{"NoSeparator", ";", "abc", 0, {"abc"}}, SplitCase{"EmptyText", ";", "", 0, {}},
        SplitCase{"QuotesMeanNothing", ";", "\"x;y\"", 0, {"\"x", "y\""}},
        SplitCase{"LimitCutsAndDropsTheRest", ";", "a;b;c;d", 2, {"a", "b"}},
        SplitCase{"LimitAboveTheFieldCount", ";", "a;b", 5, {"a", "b"}},
        SplitCase{"NegativeLimitGivesNothing", ";", "a;b", -1, {}},
        SplitCase{"EmptySeparatorGivesTheWholeText", "", "a;b", 0, {"a;b"}},
        SplitCase{"MatchesOfALongSeparatorDoNotOverlap", "::", "a::b:::c", 0, {"a", "b", ":c"}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    MoreCases, SplitTextTest,
    ::testing::Values(SplitCase{"LimitOne", ";", "a;b;c", 1, {"a"}},
                      SplitCase{"LimitEqualToFieldCount", ";", "a;b;c", 3, {"a", "b", "c"}},
                      SplitCase{"LimitOneWithoutSeparator", ";", "abc", 1, {"abc"}},
                      SplitCase{"EmptyTextEmptySeparator", "", "", 0, {}},
                      SplitCase{"TextShorterThanSeparator", ";;;", "a;", 0, {"a;"}},
                      SplitCase{"BlanksStayInTheirFields", ";", " a ; b ", 0, {" a ", " b "}},
                      SplitCase{"CaseSensitive", "X", "axbXc", 0, {"axb", "c"}},
                      SplitCase{"OnlySeparators", ",", ",,,", 0, {"", "", "", ""}},
                      SplitCase{"LongSeparatorAtTheEnd", "::", "a::", 0, {"a", ""}},
                      SplitCase{"PartialLongSeparatorAtTheEnd", "::", "a:", 0, {"a:"}},
                      SplitCase{"TabSeparator", "\t", "1\t\t2", 0, {"1", "", "2"}},
                      SplitCase{"HighBytes", "\xE4", "a\xE4\xE4z", 0, {"a", "", "z"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SplitText, LongTextsSplitLikeShortOnes) {
  // Above 64 KiB the field room is counted first; the result must not change.
  std::string text;
  std::vector<std::string> expected;
  for (int i = 0; i < 20000; ++i) {
    expected.push_back(std::to_string(i * 7));
    text += expected.back();
    text += ';';
  }
  expected.emplace_back();
  ASSERT_GT(text.size(), 65536u);
  EXPECT_EQ(SplitText(";", text, 0), expected);
  const auto limited = SplitText(";", text, 3);
  EXPECT_EQ(limited, (std::vector<std::string>{"0", "7", "14"}));
  EXPECT_EQ(SplitText("::", std::string(70000, ':') + "x", 0).size(), 35001u);
  EXPECT_EQ(SplitText(";", std::string(70000, 'a'), 0),
            std::vector<std::string>{std::string(70000, 'a')});
}

TEST(SeparatorChar, EachChoiceGivesItsCharacter) {
  struct Case {
    std::string choice;
    char expected;
  };
  const Case cases[] = {{"Tab", '\t'},        {"Semikolon", ';'}, {"Komma", ','},
                        {"Leerzeichen", ' '}, {"", '\t'},         {"semikolon", '\t'},
                        {"tab", '\t'},        {"KOMMA", '\t'},    {"Semikolon ", '\t'},
                        {"anderes", '\t'},    {"Unbekannt", '\t'}};
  for (const auto& c : cases) {
    std::string other = "|";
    EXPECT_EQ(SeparatorChar(c.choice, other), c.expected) << "choice '" << c.choice << "'";
    EXPECT_EQ(other, "|") << "choice '" << c.choice << "' touched the other field";
  }
}

TEST(SeparatorChar, AnderesTakesTheFirstCharacterOfTheField) {
  SeparatorSetting s;
  s.choice = "Anderes";
  s.other = "|";
  EXPECT_EQ(SeparatorChar(s), '|');
  s.other = "#x";
  EXPECT_EQ(SeparatorChar(s), '#');
  EXPECT_EQ(s.other, "#x");
}

TEST(SeparatorChar, AnderesWithEmptyFieldGivesBlankAndFillsTheField) {
  SeparatorSetting s;
  s.choice = "Anderes";
  s.other = "";
  EXPECT_EQ(SeparatorChar(s), ' ');
  EXPECT_EQ(s.other, " ");

  std::string other;
  EXPECT_EQ(SeparatorChar("Anderes", other), ' ');
  EXPECT_EQ(other, " ");
}

TEST(SeparatorDisplay, TabByNameOthersInQuotes) {
  EXPECT_EQ(SeparatorDisplay('\t'), "Tab");
  EXPECT_EQ(SeparatorDisplay(';'), "\";\"");
  EXPECT_EQ(SeparatorDisplay(','), "\",\"");
  EXPECT_EQ(SeparatorDisplay(' '), "\" \"");
  EXPECT_EQ(SeparatorDisplay('"'), "\"\"\"");
}

}  // namespace
}  // namespace core
