#include "core/Range.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "core/Convert.h"
#include "core/Table.h"

namespace core {

// The values in failure messages.
void PrintTo(const RangeFields& f, std::ostream* os) {
  *os << "'" << f.ab << "'..'" << f.bis << "'";
}
void PrintTo(const RangeBounds& b, std::ostream* os) {
  *os << "columns " << b.ColFrom << ".." << b.ColTo << ", rows " << b.RowFrom << ".." << b.RowTo;
}

namespace {

// 5 data columns and 4 data rows, numbered, with "c<col>r<row>" cells.
void Fill(Table& t) {
  t.Reset(6, 5);
  for (int c = 1; c < 6; ++c) t.Set(c, 0, std::to_string(c));
  for (int r = 1; r < 5; ++r) {
    t.Set(0, r, std::to_string(r));
    for (int c = 1; c < 6; ++c) t.Set(c, r, "c" + std::to_string(c) + "r" + std::to_string(r));
  }
}

struct ReadCase {
  const char* ab;
  const char* bis;
  int count;
  int from, to;  // the run read
  const char* ab_after;
  const char* bis_after;
};

TEST(ReadRange, OutcomeTable) {
  const ReadCase cases[] = {
      {"2", "3", 6, 2, 3, "2", "3"},       // inside the table: unchanged
      {"2", "99", 6, 2, 5, "2", "5"},      // last beyond: cut to n - 1
      {"4", "2", 6, 4, 4, "4", "4"},       // last below first: the first
      {"6", "7", 6, 7, 7, "6", "7"},       // first = n: empty run past the end
      {"12", "", 11, 12, 12, "12", "12"},  // first beyond, 10 data columns
      {"", "3", 6, 1, 3, "1", "3"},        // no first: 1
      {"0", "3", 6, 1, 3, "1", "3"},
      {"", "", 6, 1, 0, "1", ""},  // both empty: the empty run 1..0
      {"0", "0", 6, 1, 0, "1", "0"},
      {"-5", "-3", 6, 1, -3, "1", "-3"},  // pasted negatives: still no cell below 1
      {"3", "-2", 6, 3, 3, "3", "3"},
      {"x", "2", 6, 1, 2, "1", "2"},      // unreadable counts as 0
      {"2.6", "4", 6, 3, 4, "2.6", "4"},  // rounded as ToInt reads it
      {"1", "1", 1, 2, 2, "1", "2"},      // no data column at all
  };
  for (const ReadCase& c : cases) {
    for (RangeAxis axis : {RangeAxis::kColumns, RangeAxis::kRows}) {
      RangeFields f{c.ab, c.bis};
      const bool cols = axis == RangeAxis::kColumns;
      const std::string what = std::string(cols ? "columns" : "rows") + " ab '" + c.ab + "' bis '" +
                               c.bis + "' n " + std::to_string(c.count);
      // The other pair stays 0.
      EXPECT_EQ(ReadRange(f, axis, c.count),
                (cols ? RangeBounds{c.from, c.to, 0, 0} : RangeBounds{0, 0, c.from, c.to}))
          << what;
      EXPECT_EQ(f, (RangeFields{c.ab_after, c.bis_after})) << what;
    }
  }
}

TEST(RangeFields, CheckCopiesAbIntoAnEmptyBis) {
  RangeFields f{"3", ""};
  EXPECT_TRUE(CheckFields(f));
  EXPECT_EQ(f.bis, "3");
  RangeFields none{"", ""};
  EXPECT_FALSE(CheckFields(none));
  RangeFields no_ab{"", "4"};
  EXPECT_FALSE(CheckFields(no_ab));
  EXPECT_EQ(no_ab.bis, "4");
}

TEST(DeleteConfirmText, LinesAndNumbers) {
  EXPECT_EQ(DeleteConfirmText({"3", "5"}, RangeAxis::kColumns, RangeMode::kRemove),
            "Löschen alles\rSpalte: 3-5");
  EXPECT_EQ(DeleteConfirmText({"007", " 9 "}, RangeAxis::kRows, RangeMode::kClear),
            "Löschen Inhalt\rZeile: 7-9");
  try {
    DeleteConfirmText({"1", "2x"}, RangeAxis::kRows, RangeMode::kClear);
    ADD_FAILURE() << "no conversion error";
  } catch (const ConvertError& e) {
    EXPECT_STREQ(e.what(), "'2x' ist kein gültiger Integerwert");
  }
}

struct HintCase {
  const char* ab;
  const char* bis;
  int count;
  const char* ab_after;
  const char* bis_after;
  const char* hint;
};

TEST(OkHint, CorrectsTheFieldsToTheRunAClickActsOn) {
  const HintCase cases[] = {
      {"12", "", 11, "10", "10", "Löschen alles\rSpalte: 10-10"},  // not 12..12 as ReadRange
      {"2", "99", 6, "2", "5", "Löschen alles\rSpalte: 2-5"},
      {"4", "2", 6, "4", "4", "Löschen alles\rSpalte: 4-4"},
      {"0", "0", 6, "1", "0", "Löschen alles\rSpalte: 1-0"},
      {"abc", "3", 6, "5", "5", "Löschen alles\rSpalte: 5-5"},  // unreadable: n - 1
      {"1", "1", 1, "1", "0", "Löschen alles\rSpalte: 1-0"},    // no data column
      {"", "", 6, "", "", "Ab und Bis eingeben"},
      {"", "4", 6, "", "4", "Ab und Bis eingeben"},
  };
  for (const HintCase& c : cases) {
    RangeFields f{c.ab, c.bis};
    EXPECT_EQ(OkHint(f, RangeAxis::kColumns, RangeMode::kRemove, c.count), c.hint)
        << "ab '" << c.ab << "' bis '" << c.bis << "'";
    EXPECT_EQ(f, (RangeFields{c.ab_after, c.bis_after}))
        << "ab '" << c.ab << "' bis '" << c.bis << "'";
  }
}

// What OK does once its question is answered Yes.
Result Act(Table& t, RangeFields& f, RangeAxis axis, RangeMode mode, RangeBounds& b) {
  const int count = axis == RangeAxis::kColumns ? t.ColCount() : t.RowCount();
  const std::optional<RangeRun> run = PlanRange(f, axis, mode, count, b);
  return run ? ApplyRange(t, *run, nullptr) : Result::Ok();
}

TEST(RangeRun, RemovesOrEmptiesTheRunRead) {
  {
    Table t;
    Fill(t);
    RangeFields f{"2", "3"};
    RangeBounds b;
    ASSERT_TRUE(Act(t, f, RangeAxis::kColumns, RangeMode::kRemove, b).ok());
    EXPECT_EQ(t.ColCount(), 4);
    EXPECT_EQ(t.Get(2, 1), "c4r1");
    EXPECT_EQ(t.Get(3, 0), "3");
    EXPECT_EQ(b, (RangeBounds{2, 3, 0, 0}));
  }
  {
    Table t;
    Fill(t);
    RangeFields f{"4", ""};  // bis takes ab: the last row alone
    RangeBounds b;
    ASSERT_TRUE(Act(t, f, RangeAxis::kRows, RangeMode::kRemove, b).ok());
    EXPECT_EQ(t.RowCount(), 4);
    EXPECT_EQ(t.Get(1, 3), "c1r3");
    EXPECT_EQ(f.bis, "4");
  }
  {
    Table t;
    Fill(t);
    RangeFields f{"2", "3"};
    RangeBounds b;
    ASSERT_TRUE(Act(t, f, RangeAxis::kRows, RangeMode::kClear, b).ok());
    EXPECT_EQ(t.RowCount(), 5);
    EXPECT_EQ(t.Get(1, 2), "");
    EXPECT_EQ(t.Get(5, 3), "");
    EXPECT_EQ(t.Get(0, 2), "2");  // the row numbers stay
    EXPECT_EQ(t.Get(1, 4), "c1r4");
  }
}

TEST(RangeRun, RunsThatReachNoCellChangeNothing) {
  struct Case {
    const char* ab;
    const char* bis;
    RangeAxis axis;
  };
  for (const Case& c : {Case{"12", "", RangeAxis::kColumns}, Case{"6", "9", RangeAxis::kColumns},
                        Case{"5", "5", RangeAxis::kRows}, Case{"-4", "-2", RangeAxis::kRows},
                        Case{"0", "0", RangeAxis::kColumns}, Case{"", "", RangeAxis::kRows}}) {
    for (RangeMode mode : {RangeMode::kRemove, RangeMode::kClear}) {
      Table t;
      Fill(t);
      RangeFields f{c.ab, c.bis};
      RangeBounds b;
      ASSERT_TRUE(Act(t, f, c.axis, mode, b).ok());
      EXPECT_EQ(t.ColCount(), 6) << c.ab << ".." << c.bis;
      EXPECT_EQ(t.RowCount(), 5) << c.ab << ".." << c.bis;
      EXPECT_EQ(t.Get(5, 4), "c5r4") << c.ab << ".." << c.bis;
      EXPECT_EQ(t.Get(1, 1), "c1r1") << c.ab << ".." << c.bis;
    }
  }
}

TEST(RangeRun, RemovingEveryDataRowLeavesTheHeaderRow) {
  Table t;
  Fill(t);
  RangeFields f{"1", "4"};
  RangeBounds b;
  ASSERT_TRUE(Act(t, f, RangeAxis::kRows, RangeMode::kRemove, b).ok());
  EXPECT_EQ(t.RowCount(), 1);
  EXPECT_EQ(t.Get(3, 0), "3");
}

}  // namespace
}  // namespace core
