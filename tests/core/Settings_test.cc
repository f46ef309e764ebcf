#include "core/Settings.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/FileIo.h"
#include "core/FileUtil.h"

namespace core {
namespace {

using testing_support::TempDirTest;

std::string CrLfLines(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\r\n";
  return s;
}

// Values unlike every default and every value the files below hold, so that
// each test sees what the reading changed.
SettingsValues Preset(bool auto_detect) {
  SettingsValues v;
  v.last_dir = "/vorher";
  v.hide_banner = true;
  v.allow_row_col_move = true;
  v.separator_choice = "Tab";
  v.other_separator = "#";
  v.open_filter_index = 5;
  v.save_filter_index = 6;
  v.auto_detect = auto_detect;
  return v;
}

class SettingsTest : public TempDirTest {
 protected:
  SettingsValues LoadFrom(const std::string& bytes, bool auto_detect = false) {
    SettingsValues v = Preset(auto_detect);
    EXPECT_TRUE(LoadSettingsFile(WriteFile(kSettingsFileName, bytes), v).ok());
    return v;
  }
};

const std::vector<std::string> kSixLines = {"D:\\Daten", "1", "0", "Komma", "|", "3"};

TEST_F(SettingsTest, NoFileKeepsEverythingButTheIndices) {
  SettingsValues v = Preset(false);
  EXPECT_EQ(LoadSettingsFile(PathOf(kSettingsFileName), v).code(), Code::kOpenFailed);
  const SettingsValues p = Preset(false);
  EXPECT_EQ(v.last_dir, p.last_dir);
  EXPECT_EQ(v.hide_banner, p.hide_banner);
  EXPECT_EQ(v.separator_choice, p.separator_choice);
  EXPECT_EQ(v.other_separator, p.other_separator);
  EXPECT_EQ(v.open_filter_index, 2);
  EXPECT_EQ(v.save_filter_index, 2);
  EXPECT_FALSE(v.auto_detect);

  SettingsValues fresh;
  EXPECT_EQ(LoadSettingsFile(PathOf("nothing/here"), fresh).code(), Code::kOpenFailed);
  EXPECT_EQ(fresh.last_dir, "");
  EXPECT_FALSE(fresh.hide_banner);
  EXPECT_TRUE(fresh.allow_row_col_move);
  EXPECT_EQ(fresh.separator_choice, "Semikolon");
  EXPECT_EQ(fresh.other_separator, " ");
  EXPECT_EQ(fresh.open_filter_index, 2);
  EXPECT_EQ(fresh.save_filter_index, 2);
  EXPECT_TRUE(fresh.auto_detect);
}

TEST_F(SettingsTest, EmptyFileReadsEveryLineAsEmpty) {
  for (bool auto_detect : {false, true}) {
    const SettingsValues v = LoadFrom("", auto_detect);
    EXPECT_EQ(v.last_dir, "/vorher");
    EXPECT_FALSE(v.hide_banner);
    EXPECT_FALSE(v.allow_row_col_move);
    EXPECT_EQ(v.separator_choice, "");
    EXPECT_EQ(v.other_separator, " ");
    EXPECT_EQ(v.open_filter_index, 2);
    EXPECT_EQ(v.save_filter_index, 2);
    EXPECT_EQ(v.auto_detect, auto_detect);
  }
}

TEST_F(SettingsTest, SixLinesLeaveSaveIndexAndAutomatic) {
  for (const std::string& bytes :
       {CrLfLines(kSixLines), CrLfLines(kSixLines).substr(0, CrLfLines(kSixLines).size() - 2)}) {
    for (bool auto_detect : {false, true}) {
      const SettingsValues v = LoadFrom(bytes, auto_detect);
      EXPECT_EQ(v.last_dir, "D:\\Daten");
      EXPECT_TRUE(v.hide_banner);
      EXPECT_FALSE(v.allow_row_col_move);
      EXPECT_EQ(v.separator_choice, "Komma");
      EXPECT_EQ(v.other_separator, "|");
      EXPECT_EQ(v.open_filter_index, 3);
      EXPECT_EQ(v.save_filter_index, 2);
      EXPECT_EQ(v.auto_detect, auto_detect);
    }
  }
}

TEST_F(SettingsTest, SevenLinesReadTheSaveIndex) {
  auto lines = kSixLines;
  lines.push_back("1");
  for (bool auto_detect : {false, true}) {
    const SettingsValues v = LoadFrom(CrLfLines(lines), auto_detect);
    EXPECT_EQ(v.open_filter_index, 3);
    EXPECT_EQ(v.save_filter_index, 1);
    EXPECT_EQ(v.auto_detect, auto_detect);
  }
}

TEST_F(SettingsTest, LineEightTicksExactlyOnOne) {
  struct Case {
    std::string line8;
    bool expected;
  };
  const Case cases[] = {{"1", true}, {"", false}, {"0", false}, {" 1", false}, {"11", false}};
  for (const auto& c : cases) {
    for (bool before : {false, true}) {
      auto lines = kSixLines;
      lines.push_back("3");
      lines.push_back(c.line8);
      const SettingsValues v = LoadFrom(CrLfLines(lines), before);
      EXPECT_EQ(v.auto_detect, c.expected) << "line 8 '" << c.line8 << "', before " << before;
      EXPECT_EQ(v.save_filter_index, 3);
    }
  }
}

TEST_F(SettingsTest, BadLineSixEndsTheReadingAfterLineFive) {
  for (const char* bad : {"Wort", "", "2x", "1.0"}) {
    const SettingsValues v = LoadFrom(
        CrLfLines({"/neu", "1", "1", "Leerzeichen", "x", bad, "4", "1"}), /*auto_detect=*/false);
    EXPECT_EQ(v.last_dir, "/neu") << bad;
    EXPECT_TRUE(v.hide_banner);
    EXPECT_TRUE(v.allow_row_col_move);
    EXPECT_EQ(v.separator_choice, "Leerzeichen");
    EXPECT_EQ(v.other_separator, "x");
    EXPECT_EQ(v.open_filter_index, 2);
    EXPECT_EQ(v.save_filter_index, 2);
    EXPECT_FALSE(v.auto_detect) << "line 8 must not be read after a bad line 6";
  }
}

TEST_F(SettingsTest, BadLineSevenKeepsLineSix) {
  const SettingsValues v =
      LoadFrom(CrLfLines({"/neu", "0", "1", "Tab", " ", "3", "zwei", ""}), /*auto_detect=*/true);
  EXPECT_EQ(v.open_filter_index, 3);
  EXPECT_EQ(v.save_filter_index, 2);
  EXPECT_TRUE(v.auto_detect) << "line 8 must not be read after a bad line 7";
}

TEST_F(SettingsTest, SingleLineRules) {
  // Line 1 empty keeps the directory; only "1" is true; line 5 keeps its
  // first character, or a blank when empty.
  SettingsValues v = LoadFrom(CrLfLines({"", " 1", "1 ", "Anderes", "abc", "1"}));
  EXPECT_EQ(v.last_dir, "/vorher");
  EXPECT_FALSE(v.hide_banner);
  EXPECT_FALSE(v.allow_row_col_move);
  EXPECT_EQ(v.separator_choice, "Anderes");
  EXPECT_EQ(v.other_separator, "a");
  EXPECT_EQ(v.open_filter_index, 1);

  v = LoadFrom(CrLfLines({"/x", "0", "1", "anything at all", "", "2"}));
  EXPECT_EQ(v.last_dir, "/x");
  EXPECT_FALSE(v.hide_banner);
  EXPECT_TRUE(v.allow_row_col_move);
  EXPECT_EQ(v.separator_choice, "anything at all");
  EXPECT_EQ(v.other_separator, " ");
}

TEST_F(SettingsTest, LineRulesOfTextFiles) {
  // LF alone ends a line too; a CR is never part of a line; Ctrl-Z ends the
  // readable content.
  SettingsValues v = LoadFrom("/lf\n1\n1\nKomma\n;\n4\n5\n1\n");
  EXPECT_EQ(v.last_dir, "/lf");
  EXPECT_EQ(v.separator_choice, "Komma");
  EXPECT_EQ(v.save_filter_index, 5);
  EXPECT_TRUE(v.auto_detect);

  v = LoadFrom("/a\rb\r\n1\r\n1\r\n\x1aKomma\r\n;\r\n4\r\n");
  EXPECT_EQ(v.last_dir, "/ab");
  EXPECT_TRUE(v.hide_banner);
  EXPECT_EQ(v.separator_choice, "");
  EXPECT_EQ(v.other_separator, " ");
  EXPECT_EQ(v.open_filter_index, 2);
}

TEST_F(SettingsTest, GarbageAndHugeFilesNeverCrash) {
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    std::mt19937 rng(seed);
    std::string bytes(rng() % 70000, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    SettingsValues v;
    EXPECT_TRUE(LoadSettingsFile(WriteFile(kSettingsFileName, bytes), v).ok());
  }
  const std::string huge(6u << 20, 'x');
  SettingsValues v = LoadFrom(huge);
  EXPECT_EQ(v.last_dir, huge);
  std::string many_lines;
  for (int i = 0; i < 400000; ++i) many_lines += "12345678\r\n";
  v = LoadFrom(many_lines, true);
  EXPECT_EQ(v.open_filter_index, 12345678);
  EXPECT_EQ(v.save_filter_index, 12345678);
  EXPECT_FALSE(v.auto_detect);
}

TEST_F(SettingsTest, SaveWritesTheEightLinesExactly) {
  SettingsValues v;
  v.last_dir = "D:\\Daten";
  v.hide_banner = false;
  v.allow_row_col_move = true;
  v.separator_choice = "Semikolon";
  v.other_separator = " ";
  v.open_filter_index = 2;
  v.save_filter_index = 1;
  v.auto_detect = true;
  const std::string path = PathOf(kSettingsFileName);
  const Result saved = SaveSettingsFile(path, v);
  ASSERT_TRUE(saved.ok()) << saved.reason();
  EXPECT_EQ(ReadFile(path), "D:\\Daten\r\n0\r\n1\r\nSemikolon\r\n \r\n2\r\n1\r\n1\r\n");
}

TEST_F(SettingsTest, SaveWritesTheOtherStatesAndReplacesTheOldFile) {
  const std::string path = WriteFile(kSettingsFileName, std::string(5000, 'o'));
  SettingsValues v;
  v.last_dir = "";
  v.hide_banner = true;
  v.allow_row_col_move = false;
  v.separator_choice = "Anderes";
  v.other_separator = "|";
  v.open_filter_index = 3;
  v.save_filter_index = 12;
  v.auto_detect = false;
  ASSERT_TRUE(SaveSettingsFile(path, v).ok());
  EXPECT_EQ(ReadFile(path), "\r\n1\r\n0\r\nAnderes\r\n|\r\n3\r\n12\r\n\r\n");

  SettingsValues back = Preset(true);
  ASSERT_TRUE(LoadSettingsFile(path, back).ok());
  EXPECT_EQ(back.last_dir, "/vorher");
  EXPECT_EQ(back.hide_banner, v.hide_banner);
  EXPECT_EQ(back.allow_row_col_move, v.allow_row_col_move);
  EXPECT_EQ(back.separator_choice, v.separator_choice);
  EXPECT_EQ(back.other_separator, v.other_separator);
  EXPECT_EQ(back.open_filter_index, v.open_filter_index);
  EXPECT_EQ(back.save_filter_index, v.save_filter_index);
  EXPECT_EQ(back.auto_detect, v.auto_detect);
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
