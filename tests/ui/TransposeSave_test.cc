// Switching between the two grids, saving the shown table and the
// spreadsheet hand-off, through the real window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTest>

#include "UiTestSupport.h"
#include "ui/platform/Shell.h"
#include "ui/ut_About.h"
#include "ui/ut_EX.h"

namespace {

using ui::Prompter;
using uitest::WindowTest;

// A table of `cols` x `rows` data cells "c<col>r<row>".
std::string MakeTable(int cols, int rows, char sep = ';') {
  std::string s;
  for (int r = 1; r <= rows; ++r) {
    for (int c = 1; c <= cols; ++c) {
      if (c > 1) s += sep;
      s += "c" + std::to_string(c) + "r" + std::to_string(r);
    }
    s += "\n";
  }
  return s;
}

class TransposeTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start();
  }
  void Switch() { QTest::mouseClick(Main<QToolButton>("tbRow_Col"), Qt::LeftButton); }
};

TEST_F(TransposeTest, SwitchKeepsTheCurrentCellOnItsContent) {
  LoadThroughButton(WriteFile(QStringLiteral("t.csv"), MakeTable(3, 8)));
  ui::StringGrid* g1 = Grid1();
  ui::StringGrid* g2 = Grid2();
  // A hit in cell (2, 7), the current cell.
  QTest::keyClicks(Main<QLineEdit>("edSuchen"), QStringLiteral("c2r7"));
  QTest::keyClick(Main<QLineEdit>("edSuchen"), Qt::Key_Return);
  ASSERT_TRUE(Part<ui::Search>("Search").hit());

  Switch();
  EXPECT_TRUE(Main<QToolButton>("tbRow_Col")->isChecked());
  EXPECT_TRUE(g2->isVisible());
  EXPECT_FALSE(g1->isVisible());
  EXPECT_TRUE(g2->hasFocus());
  EXPECT_EQ(g2->Col(), 7);
  EXPECT_EQ(g2->Row(), 2);
  EXPECT_EQ(g2->Cells(7, 2), QStringLiteral("c2r7"));
  EXPECT_EQ(g2->ColCount(), 9);
  EXPECT_EQ(g2->RowCount(), 4);
  EXPECT_EQ(Main<QLabel>("lbX")->text(), QStringLiteral("Anzahl Spalten:8"));
  EXPECT_EQ(Main<QLabel>("lbY")->text(), QStringLiteral("Anzahl Zeilen: 3"));
  // The header numbers travel: row numbers become column numbers.
  EXPECT_EQ(g2->Cells(5, 0), QStringLiteral("5"));
  EXPECT_EQ(g2->Cells(0, 3), QStringLiteral("3"));
  // The moves ran the grid's click handling.
  EXPECT_EQ(Part<ui::Search>("Search").cursor_col(), 7);
  EXPECT_EQ(Part<ui::Search>("Search").cursor_row(), 2);
  EXPECT_FALSE(Part<ui::Search>("Search").hit());
  EXPECT_EQ(Main<QLineEdit>("edAb")->text(), QStringLiteral("7"));

  g2->SetCells(7, 2, QStringLiteral("neu"));
  Switch();
  EXPECT_FALSE(Main<QToolButton>("tbRow_Col")->isChecked());
  EXPECT_TRUE(g1->isVisible());
  EXPECT_EQ(g1->Col(), 2);
  EXPECT_EQ(g1->Row(), 7);
  EXPECT_EQ(g1->Cells(2, 7), QStringLiteral("neu"));
  EXPECT_EQ(g1->ColCount(), 4);
  EXPECT_EQ(g1->RowCount(), 9);
  EXPECT_EQ(Main<QLabel>("lbX")->text(), QStringLiteral("Anzahl Spalten:3"));
  EXPECT_EQ(Main<QLabel>("lbY")->text(), QStringLiteral("Anzahl Zeilen: 8"));
  EXPECT_FALSE(Main<QProgressBar>("ProgressBar1")->isVisible());
}

TEST_F(TransposeTest, UnmovedCursorLeavesSearchAtTheStart) {
  LoadThroughButton(WriteFile(QStringLiteral("t.csv"), MakeTable(3, 3)));
  // Typing into the search field sets the cursor before the first row.
  QTest::keyClicks(Main<QLineEdit>("edSuchen"), QStringLiteral("x"));
  ASSERT_EQ(Part<ui::Search>("Search").cursor_col(), 0);
  ASSERT_EQ(Grid1()->Col(), 1);
  ASSERT_EQ(Grid1()->Row(), 1);
  Switch();  // (1,1) stays (1,1): nothing moves, nothing runs
  EXPECT_EQ(Part<ui::Search>("Search").cursor_col(), 1);
  EXPECT_EQ(Part<ui::Search>("Search").cursor_row(), 1);
}

TEST_F(TransposeTest, EachGridKeepsItsOwnColumnWidth) {
  LoadThroughButton(WriteFile(QStringLiteral("t.csv"), MakeTable(3, 2)));
  Grid1()->SetColWidth(1, 120);
  Switch();
  EXPECT_EQ(Main<QLineEdit>("edBreite")->text(), QStringLiteral("80"));
  Grid2()->SetColWidth(1, 55);
  Switch();
  EXPECT_EQ(Main<QLineEdit>("edBreite")->text(), QStringLiteral("120"));
  Switch();
  EXPECT_EQ(Main<QLineEdit>("edBreite")->text(), QStringLiteral("55"));
}

TEST_F(TransposeTest, SingleDataColumnBecomesSingleDataRow) {
  SetSeparator(QStringLiteral("Tab"), QStringLiteral(" "), /*automatic=*/false);
  LoadThroughButton(WriteFile(QStringLiteral("eins.txt"), "a\nb\nc\n"));
  Switch();
  EXPECT_EQ(Grid2()->RowCount(), 2);
  EXPECT_EQ(Grid2()->ColCount(), 4);
  EXPECT_EQ(Grid2()->Cells(3, 1), QStringLiteral("c"));
  // Loaded without detection: row 0 was empty, so column 0 now is.
  EXPECT_EQ(Grid2()->Cells(0, 1), QString());
}

TEST_F(TransposeTest, LoadingShowsTheNormalViewAgain) {
  const QString path = WriteFile(QStringLiteral("t.csv"), MakeTable(3, 3));
  LoadThroughButton(path);
  Switch();
  LoadThroughButton(path);
  EXPECT_FALSE(Main<QToolButton>("tbRow_Col")->isChecked());
  EXPECT_TRUE(Grid1()->isVisible());
  EXPECT_FALSE(Grid2()->isVisible());
}

class SaveTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start();
  }
  void Press(Qt::MouseButton b) {
    QTest::mousePress(Main<QToolButton>("sbSpeichern"), b);
    QTest::mouseRelease(Main<QToolButton>("sbSpeichern"), b);
  }
};

TEST_F(SaveTest, MouseButtonAndNameChooseTheSeparator) {
  LoadThroughButton(WriteFile(QStringLiteral("in.csv"), "a;b;c\n1;2;3\n"));
  Grid1()->SetCells(2, 2, QStringLiteral("x;y"));
  struct Case {
    Qt::MouseButton button;
    const char* choice;
    const char* name;
    const char* expected;
    bool splits;  // the cell holds the separator: asked first, answered Ja
  };
  const Case cases[] = {
      {Qt::LeftButton, "Komma", "links.txt", "a\tb\tc\t\r\n1\tx;y\t3\t\r\n", false},
      {Qt::RightButton, "Komma", "rechts.txt", "a,b,c,\r\n1,x;y,3,\r\n", false},
      {Qt::RightButton, "Tab", "gross.CsV", "a;b;c;\r\n1;x;y;3;\r\n", true},
      {Qt::LeftButton, "Komma", "klein.csv", "a;b;c;\r\n1;x;y;3;\r\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetSeparator(QString::fromLatin1(c.choice));
    const QString path = dir_.path() + QLatin1Char('/') + QString::fromLatin1(c.name);
    prompter_.save_answers.push_back(path);
    if (c.splits) prompter_.answers.push_back(Prompter::kResultYes);
    const size_t asked = prompter_.save_requests.size();
    Press(c.button);
    ASSERT_EQ(prompter_.save_requests.size(), asked + 1) << "one press saves once";
    EXPECT_EQ(prompter_.messages.size(), c.splits ? 1u : 0u);
    prompter_.messages.clear();
    EXPECT_EQ(ReadFile(path), c.expected);
    EXPECT_EQ(Part<ui::FileOperations>("FileOperations").file_name(), path);
  }
  const ui::FileDialogState& req = prompter_.save_requests.front();
  EXPECT_EQ(req.filter, QStringLiteral("TXT-Datei|*.txt|CSV-Datei|*.csv"));
  EXPECT_EQ(req.default_ext, QStringLiteral("csv"));
  EXPECT_TRUE(req.confirm_overwrite);
  EXPECT_EQ(req.initial_dir, dir_.path());
  EXPECT_TRUE(Main<QFrame>("plMenu")->isVisible());
  EXPECT_FALSE(Main<ui::StatusBar>("StatusBar1")->isVisible());
  EXPECT_FALSE(Main<QProgressBar>("ProgressBar1")->isVisible());
  EXPECT_TRUE(prompter_.messages.empty());
}

TEST_F(SaveTest, TransposedViewSavesTheTransposedTable) {
  LoadThroughButton(WriteFile(QStringLiteral("in.csv"), "a;b;c\n1;2;3\n"));
  QTest::mouseClick(Main<QToolButton>("tbRow_Col"), Qt::LeftButton);
  const QString out = dir_.path() + QStringLiteral("/quer.txt");
  prompter_.save_answers.push_back(out);
  Press(Qt::LeftButton);
  EXPECT_EQ(ReadFile(out), "a\t1\t\r\nb\t2\t\r\nc\t3\t\r\n");

  // And back: load the saved file, transpose, and the cells are the original ones.
  LoadThroughButton(out);
  QTest::mouseClick(Main<QToolButton>("tbRow_Col"), Qt::LeftButton);
  ui::StringGrid* g2 = Grid2();
  EXPECT_EQ(g2->Cells(3, 2), QStringLiteral("3"));
  EXPECT_EQ(g2->Cells(1, 1), QStringLiteral("a"));
  EXPECT_EQ(g2->RowCount(), 4);  // the empty column of the trailing separators
}

TEST_F(SaveTest, CancelledDialogChangesNothing) {
  const QString in = WriteFile(QStringLiteral("in.csv"), "a;b;c\n");
  LoadThroughButton(in);
  prompter_.save_answers.push_back(std::nullopt);
  ASSERT_EQ(LastDir(), dir_.path());
  Press(Qt::RightButton);
  EXPECT_EQ(LastDir(), dir_.path());
  EXPECT_EQ(Part<ui::FileOperations>("FileOperations").file_name(), in);
  EXPECT_EQ(ReadFile(in), "a;b;c\n");
}

TEST_F(SaveTest, FailureWarnsAndLeavesTheOldFileAlone) {
  LoadThroughButton(WriteFile(QStringLiteral("in.csv"), "a;b;c\n"));
  const QString blocker = WriteFile(QStringLiteral("datei"), "kein Ordner");
  const QString bad = blocker + QStringLiteral("/ziel.txt");
  prompter_.save_answers.push_back(bad);
  Press(Qt::LeftButton);
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].title, QStringLiteral("Warnung"));
  EXPECT_EQ(prompter_.messages[0].text,
            QStringLiteral("Datei ") + bad +
                QStringLiteral(" konnte nicht gespeichert werden. Eine vorhandene Datei dieses "
                               "Namens bleibt unverändert"));
  EXPECT_EQ(ReadFile(blocker), "kein Ordner");
  EXPECT_TRUE(Main<QFrame>("plMenu")->isVisible());
  EXPECT_FALSE(Main<ui::StatusBar>("StatusBar1")->isVisible());
  EXPECT_FALSE(Main<QProgressBar>("ProgressBar1")->isVisible());
}

TEST_F(SaveTest, EscapeStopsAfterACompleteRow) {
  LoadThroughButton(WriteFile(QStringLiteral("in.csv"), MakeTable(3, 50)));
  const QString out = WriteFile(QStringLiteral("alt.txt"), "alter Inhalt\r\n");
  prompter_.save_answers.push_back(out);
  QApplication::postEvent(main_, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
  Press(Qt::LeftButton);
  EXPECT_EQ(ReadFile(out), "c1r1\tc2r1\tc3r1\t\r\n");
  EXPECT_TRUE(prompter_.messages.empty());
  EXPECT_TRUE(Main<QFrame>("plMenu")->isVisible());
}

class ExcelTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    WriteFile(QStringLiteral("Einstel_QZR.FRB"), "/start\r\n");
    Start();
  }
};

TEST_F(ExcelTest, HandsTheChosenFileOver) {
  const QString file = WriteFile(QStringLiteral("mit Leerzeichen.csv"), "a;b\n");
  prompter_.open_answers.push_back(file);
  QTest::mouseClick(Main<QToolButton>("sbExcel"), Qt::LeftButton);
  ASSERT_EQ(prompter_.open_requests.size(), 1u);
  EXPECT_EQ(prompter_.open_requests[0].initial_dir, QStringLiteral("/start"));
  ASSERT_EQ(shell_.calls.size(), 1u);
  EXPECT_EQ(shell_.calls[0].file, file);
  EXPECT_EQ(shell_.calls[0].dir, dir_.path());
  EXPECT_EQ(LastDir(), dir_.path());
  EXPECT_EQ(Part<ui::FileOperations>("FileOperations").file_name(), file);
}

TEST_F(ExcelTest, CancelChangesNothing) {
  prompter_.open_answers.push_back(std::nullopt);
  QTest::mouseClick(Main<QToolButton>("sbExcel"), Qt::LeftButton);
  EXPECT_TRUE(shell_.calls.empty());
  EXPECT_EQ(LastDir(), QStringLiteral("/start"));
}

TEST(SpreadsheetLaunch, PrefersCalcThenGnumericAndKeepsBlanksInOneArgument) {
  static QStringList present;
  auto find = [](const QString& name) -> QString {
    return present.contains(name) ? QStringLiteral("/usr/bin/") + name : QString();
  };
  const QString file = QStringLiteral("/home/u/Meine Daten/x.csv");
  present = {QStringLiteral("localc"), QStringLiteral("gnumeric")};
  ui::Launch l = ui::SpreadsheetLaunch(file, find);
  EXPECT_EQ(l.program, QStringLiteral("/usr/bin/localc"));
  EXPECT_EQ(l.arguments, QStringList{file});
  present = {QStringLiteral("libreoffice"), QStringLiteral("gnumeric")};
  l = ui::SpreadsheetLaunch(file, find);
  EXPECT_EQ(l.arguments, (QStringList{QStringLiteral("--calc"), file}));
  present = {QStringLiteral("gnumeric")};
  l = ui::SpreadsheetLaunch(file, find);
  EXPECT_EQ(l.program, QStringLiteral("/usr/bin/gnumeric"));
  present = {};
  EXPECT_TRUE(ui::SpreadsheetLaunch(file, find).program.isEmpty());  // desktop default
}

}  // namespace
