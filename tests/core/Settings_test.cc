#include "core/Settings.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/FileIo.h"
#include "core/FileUtil.h"

namespace core {

// Names the fields in failure messages; long texts are cut.
void PrintTo(const SettingsValues& v, std::ostream* os) {
  *os << "{\"" << v.last_dir.substr(0, 40) << "\", " << v.hide_banner << ", "
      << v.allow_row_col_move << ", {\"" << v.separator.choice.substr(0, 40) << "\", \""
      << v.separator.other << "\", " << v.separator.auto_detect << ", "
      << v.separator.quoted_fields << "}, " << v.open_filter_index
      << ", " << v.save_filter_index << "}";
}

namespace {

using testing_support::TempDirTest;

std::string CrLfLines(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\r\n";
  return s;
}

// Values unlike every default and every value the files below hold, so that
// each test sees what the reading changed.
SettingsValues Preset(bool flags) {
  return {"/vorher", true, true, {"Tab", "#", flags, flags}, 5, 6};
}

class SettingsTest : public TempDirTest {};

const std::vector<std::string> kSixLines = {"D:\\Daten", "1", "0", "Komma", "|", "3"};

std::vector<std::string> With(std::vector<std::string> lines,
                              const std::vector<std::string>& more) {
  lines.insert(lines.end(), more.begin(), more.end());
  return lines;
}

std::string ManyLines(const std::string& line, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += line;
  return s;
}

struct LoadCase {
  const char* name;
  std::string bytes;
  // What the reading leaves; its auto_detect counts only when `automatic`
  // says so, its quoted_fields only when `ninth` does; otherwise the value
  // from before the reading must stay.
  SettingsValues expected;
  bool automatic = false;
  bool ninth = false;
};

TEST_F(SettingsTest, ReadingRulesLineByLine) {
  const std::string six = CrLfLines(kSixLines);
  const std::string huge(6u << 20, 'x');
  // Fields: last_dir, hide_banner, allow_row_col_move, separator {choice,
  // other, auto_detect}, open_filter_index, save_filter_index.
  const LoadCase cases[] = {
      {"empty file: every line empty", "", {"/vorher", false, false, {"", " "}, 2, 2}},
      {"six lines leave the save index", six, {"D:\\Daten", true, false, {"Komma", "|"}, 3, 2}},
      {"six lines, the last without its end",
       six.substr(0, six.size() - 2),
       {"D:\\Daten", true, false, {"Komma", "|"}, 3, 2}},
      {"seven lines read the save index",
       CrLfLines(With(kSixLines, {"1"})),
       {"D:\\Daten", true, false, {"Komma", "|"}, 3, 1}},
      {"line 8 \"1\" ticks",
       CrLfLines(With(kSixLines, {"3", "1"})),
       {"D:\\Daten", true, false, {"Komma", "|", true}, 3, 3},
       true},
      {"line 8 empty",
       CrLfLines(With(kSixLines, {"3", ""})),
       {"D:\\Daten", true, false, {"Komma", "|", false}, 3, 3},
       true},
      {"line 8 \"0\"",
       CrLfLines(With(kSixLines, {"3", "0"})),
       {"D:\\Daten", true, false, {"Komma", "|", false}, 3, 3},
       true},
      {"line 8 \" 1\"",
       CrLfLines(With(kSixLines, {"3", " 1"})),
       {"D:\\Daten", true, false, {"Komma", "|", false}, 3, 3},
       true},
      {"line 8 \"11\"",
       CrLfLines(With(kSixLines, {"3", "11"})),
       {"D:\\Daten", true, false, {"Komma", "|", false}, 3, 3},
       true},
      {"line 9 \"1\" quotes",
       CrLfLines(With(kSixLines, {"3", "1", "1"})),
       {"D:\\Daten", true, false, {"Komma", "|", true, true}, 3, 3},
       true,
       true},
      {"line 9 empty",
       CrLfLines(With(kSixLines, {"3", "1", ""})),
       {"D:\\Daten", true, false, {"Komma", "|", true, false}, 3, 3},
       true,
       true},
      {"line 9 \" 1\"",
       CrLfLines(With(kSixLines, {"3", "", " 1"})),
       {"D:\\Daten", true, false, {"Komma", "|", false, false}, 3, 3},
       true,
       true},
      {"a word in line 6 ends the reading after line 5",
       CrLfLines({"/neu", "1", "1", "Leerzeichen", "x", "Wort", "4", "1"}),
       {"/neu", true, true, {"Leerzeichen", "x"}, 2, 2}},
      {"an empty line 6 too",
       CrLfLines({"/neu", "1", "1", "Leerzeichen", "x", "", "4", "1"}),
       {"/neu", true, true, {"Leerzeichen", "x"}, 2, 2}},
      {"\"2x\" in line 6 too",
       CrLfLines({"/neu", "1", "1", "Leerzeichen", "x", "2x", "4", "1"}),
       {"/neu", true, true, {"Leerzeichen", "x"}, 2, 2}},
      {"\"1.0\" in line 6 too",
       CrLfLines({"/neu", "1", "1", "Leerzeichen", "x", "1.0", "4", "1"}),
       {"/neu", true, true, {"Leerzeichen", "x"}, 2, 2}},
      {"a bad line 7 keeps line 6 and ends the reading",
       CrLfLines({"/neu", "0", "1", "Tab", " ", "3", "zwei", ""}),
       {"/neu", false, true, {"Tab", " "}, 3, 2}},
      // Line 1 empty keeps the directory; only "1" is true; line 5 keeps its
      // first character, or a blank when empty.
      {"single line rules",
       CrLfLines({"", " 1", "1 ", "Anderes", "abc", "1"}),
       {"/vorher", false, false, {"Anderes", "a"}, 1, 2}},
      {"single line rules, other values",
       CrLfLines({"/x", "0", "1", "anything at all", "", "2"}),
       {"/x", false, true, {"anything at all", " "}, 2, 2}},
      // LF alone ends a line too; a CR is never part of a line; Ctrl-Z ends
      // the readable content.
      {"LF line ends",
       "/lf\n1\n1\nKomma\n;\n4\n5\n1\n",
       {"/lf", true, true, {"Komma", ";", true}, 4, 5},
       true},
      {"CR dropped, Ctrl-Z ends the file",
       "/a\rb\r\n1\r\n1\r\n\x1aKomma\r\n;\r\n4\r\n",
       {"/ab", true, true, {"", " "}, 2, 2}},
      {"a line of 6 MiB", huge, {huge, false, false, {"", " "}, 2, 2}},
      {"400000 lines",
       ManyLines("12345678\r\n", 400000),
       {"12345678", false, false, {"12345678", "1", false}, 12345678, 12345678},
       true,
       true},
  };
  for (const LoadCase& c : cases) {
    for (bool before : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (before ? ", ticked before" : ""));
      SettingsValues v = Preset(before);
      ASSERT_TRUE(LoadSettingsFile(WriteFile(kSettingsFileName, c.bytes), v).ok());
      SettingsValues expected = c.expected;
      if (!c.automatic) expected.separator.auto_detect = before;
      if (!c.ninth) expected.separator.quoted_fields = before;
      EXPECT_EQ(v, expected);
    }
  }
}

TEST_F(SettingsTest, NoFileKeepsEverythingButTheIndices) {
  SettingsValues v = Preset(false);
  EXPECT_EQ(LoadSettingsFile(PathOf(kSettingsFileName), v).code(), Code::kOpenFailed);
  EXPECT_EQ(v, (SettingsValues{"/vorher", true, true, {"Tab", "#", false, false}, 2, 2}));

  SettingsValues fresh;
  EXPECT_EQ(LoadSettingsFile(PathOf("nothing/here"), fresh).code(), Code::kOpenFailed);
  EXPECT_EQ(fresh, (SettingsValues{"", false, true, {"Semikolon", " ", true}, 2, 2}));
}

TEST_F(SettingsTest, GarbageNeverCrashes) {
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    std::mt19937 rng(seed);
    std::string bytes(rng() % 70000, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    SettingsValues v;
    EXPECT_TRUE(LoadSettingsFile(WriteFile(kSettingsFileName, bytes), v).ok());
  }
}

// The nine lines exactly, over an older and longer file, and read back the
// same (an empty directory line keeps the directory there was).
TEST_F(SettingsTest, SaveWritesTheNineLinesAndReadsThemBack) {
  struct Case {
    SettingsValues values;
    std::string bytes;
  };
  const Case cases[] = {
      {{"D:\\Daten", false, true, {"Semikolon", " ", true}, 2, 1},
       "D:\\Daten\r\n0\r\n1\r\nSemikolon\r\n \r\n2\r\n1\r\n1\r\n\r\n"},
      {{"", true, false, {"Anderes", "|", false, true}, 3, 12},
       "\r\n1\r\n0\r\nAnderes\r\n|\r\n3\r\n12\r\n\r\n1\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    const std::string path = WriteFile(kSettingsFileName, std::string(5000, 'o'));
    const Result saved = SaveSettingsFile(path, c.values);
    ASSERT_TRUE(saved.ok()) << saved.reason();
    EXPECT_EQ(ReadFile(path), c.bytes);
    SettingsValues back = Preset(!c.values.separator.auto_detect);
    back.separator.quoted_fields = !c.values.separator.quoted_fields;
    ASSERT_TRUE(LoadSettingsFile(path, back).ok());
    SettingsValues expected = c.values;
    if (expected.last_dir.empty()) expected.last_dir = "/vorher";
    EXPECT_EQ(back, expected);
  }
}

TEST_F(SettingsTest, PathThatCannotBeCreatedIsSkipped) {
  const std::string blocker = WriteFile("plain", "keep");
  SettingsValues v;
  Result result;
  EXPECT_NO_THROW(result = SaveSettingsFile(blocker + "/" + kSettingsFileName, v));
  EXPECT_EQ(result.code(), Code::kNotCreated);
  EXPECT_EQ(ReadFile(blocker), "keep");
}

// A disk that fills while the settings are written: the old file stays, and
// the failure carries the text the window shows.
TEST_F(SettingsTest, FailedWriteKeepsTheOldFileAndSaysWhere) {
  const std::string old = "/alt\r\n0\r\n1\r\nKomma\r\n \r\n2\r\n2\r\n1\r\n";
  const std::string path = WriteFile(kSettingsFileName, old);
  ScopedFileIo io({}, [](int, const void*, size_t) -> ssize_t {
    errno = ENOSPC;
    return -1;
  });
  const Result result = SaveSettingsFile(path, SettingsValues{});
  EXPECT_EQ(result.code(), Code::kWriteFailed);
  EXPECT_EQ(result.message(), "Die Einstellungen konnten nicht in " + path + " geschrieben werden");
  EXPECT_EQ(ReadFile(path), old);
}

TEST_F(SettingsTest, FileExistsWaitFindsEveryKindOfEntryAndPauses) {
  const std::string file = WriteFile("f", "x");
  struct Case {
    std::string path;
    bool exists;
  };
  const Case cases[] = {{dir_.string(), true},
                        {file, true},
                        {PathOf("missing"), false},
                        {PathOf("missing/deeper"), false},
                        {file + "/below", false}};
  for (const auto& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(FileExistsWait(c.path), c.exists) << c.path;
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(95)) << c.path;
  }
}

}  // namespace
}  // namespace core
