// Undo and redo on the real window: every kind of change the window makes,
// taken back with Ctrl+Z and made again with Ctrl+Y or Ctrl+Shift+Z.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QRect>
#include <QTest>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "UiTestSupport.h"

namespace {

using ui::Prompter;
using uitest::WindowTest;

// What the window shows of a table: counts, counters, every cell and
// header, and column widths.
struct Shown {
  int cols = 0;
  int rows = 0;
  QString lbX;
  QString lbY;
  std::vector<QString> cells;
  std::vector<int> widths;
  bool operator==(const Shown&) const = default;
};

class UndoTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start();
    // 5 data columns, 6 data rows, one cell too long to be stored inside it.
    std::string text = uitest::GridText(5, 6);
    text.insert(text.find("c5r2") + 4, "ein recht langer Text in der letzten Spalte");
    LoadThroughButton(WriteFile(QStringLiteral("u.txt"), text));
    g_ = Grid1();
    g_->setFocus();
  }

  Shown Take() const {
    ui::StringGrid* g = Grid1()->isHidden() ? Grid2() : Grid1();
    Shown s{g->ColCount(),
            g->RowCount(),
            Main<QLabel>("lbX")->text(),
            Main<QLabel>("lbY")->text(),
            {},
            {}};
    for (int r = 0; r < g->RowCount(); ++r) {
      for (int c = 0; c < g->ColCount(); ++c) s.cells.push_back(g->Cells(c, r));
    }
    for (int c = 1; c < g->ColCount(); ++c) s.widths.push_back(g->ColWidth(c));
    return s;
  }

  void Select(int l, int t, int r, int b) { uitest::Select(g_, l, t, r, b); }
  void Chord(Qt::Key modifier, Qt::KeyboardModifier flag, Qt::Key key) {
    uitest::Chord(g_, modifier, flag, key);
  }
  void UndoKey() { QTest::keyClick(g_, Qt::Key_Z, Qt::ControlModifier); }
  void RedoKey() { QTest::keyClick(g_, Qt::Key_Y, Qt::ControlModifier); }
  void RedoShiftKey() { QTest::keyClick(g_, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); }

  // The range panel's OK on `ab`..`bis`, answered Yes.
  void Panel(bool columns, bool remove, const QString& ab, const QString& bis) {
    if (Main<QFrame>("plLoeschen")->isHidden()) {
      QTest::mouseClick(Main<QToolButton>("sbLoeschen"), Qt::LeftButton);
    }
    Main<QRadioButton>(columns ? "rbSpalte" : "rbZeile")->setChecked(true);
    Main<QRadioButton>(remove ? "rbAlles" : "rbInhalt")->setChecked(true);
    Main<QLineEdit>("edAb")->setText(ab);
    Main<QLineEdit>("edBis")->setText(bis);
    prompter_.answers = {Prompter::kResultYes};
    QTest::mouseClick(Main<QToolButton>("sbOK"), Qt::LeftButton);
    g_->setFocus();
  }

  // Runs `action` and checks that the view was told of everything it
  // changed: every cell whose text changed lies in a block the model
  // announced, or the model was reset (which a change of the counts needs).
  void ExpectViewTold(const std::function<void()>& action) {
    const Shown before = Take();
    bool reset = false;
    std::vector<QRect> blocks;  // table coordinates
    QAbstractItemModel* m = g_->model();
    const auto changed = QObject::connect(
        m, &QAbstractItemModel::dataChanged, [&](const QModelIndex& tl, const QModelIndex& br) {
          blocks.push_back(
              QRect(QPoint(tl.column() + 1, tl.row() + 1), QPoint(br.column() + 1, br.row() + 1)));
        });
    const auto was_reset =
        QObject::connect(m, &QAbstractItemModel::modelReset, [&] { reset = true; });
    action();
    QObject::disconnect(changed);
    QObject::disconnect(was_reset);
    const Shown after = Take();
    if (reset) return;
    ASSERT_EQ(after.cols, before.cols) << "new counts without a reset";
    ASSERT_EQ(after.rows, before.rows) << "new counts without a reset";
    for (int r = 0; r < after.rows; ++r) {
      for (int c = 0; c < after.cols; ++c) {
        const size_t i = static_cast<size_t>(r * after.cols + c);
        if (after.cells[i] == before.cells[i]) continue;
        // Header cells are shown by the header, told by the same blocks.
        bool told = false;
        for (const QRect& b : blocks) told = told || b.contains(std::max(c, 1), std::max(r, 1));
        EXPECT_TRUE(told) << "cell " << c << "," << r << " changed untold";
      }
    }
  }

  ui::StringGrid* g_ = nullptr;
};

TEST_F(UndoTest, EveryKindOfChangeComesBackAndGoesAgain) {
  struct Case {
    const char* name;
    std::function<void()> change;
  };
  const std::vector<Case> cases = {
      {"cell edit",
       [&] {
         g_->SetCol(2);
         g_->SetRow(3);
         QTest::keyClick(g_, Qt::Key_F2);
         QWidget* editor = QApplication::focusWidget();
         static_cast<QLineEdit*>(editor)->selectAll();
         QTest::keyClicks(editor, QStringLiteral("neu und lang genug fuer den Speicher"));
         QTest::keyClick(editor, Qt::Key_Return);
       }},
      {"Del on a block",
       [&] {
         Select(2, 2, 4, 5);
         QTest::keyClick(g_, Qt::Key_Delete);
       }},
      {"Shift+Ins",
       [&] {
         Select(1, 1, 2, 2);
         Chord(Qt::Key_Control, Qt::ControlModifier, Qt::Key_Insert);
         Select(4, 5, 4, 5);
         Chord(Qt::Key_Shift, Qt::ShiftModifier, Qt::Key_Insert);
       }},
      {"Ctrl+V",
       [&] {
         QGuiApplication::clipboard()->setText(
             QStringLiteral("x\ty\tz\nlang genug für den Speicher\tw"));
         Select(3, 4, 3, 4);
         QTest::keyClick(g_, Qt::Key_V, Qt::ControlModifier);
       }},
      {"drag a column", [&] { g_->horizontalHeader()->moveSection(0, 3); }},
      {"drag a row", [&] { g_->verticalHeader()->moveSection(4, 1); }},
      {"panel clear columns",
       [&] { Panel(true, false, QStringLiteral("2"), QStringLiteral("3")); }},
      {"panel clear rows", [&] { Panel(false, false, QStringLiteral("5"), QStringLiteral("9")); }},
      {"panel remove columns",
       [&] { Panel(true, true, QStringLiteral("2"), QStringLiteral("3")); }},
      {"panel remove last column",
       [&] { Panel(true, true, QStringLiteral("3"), QStringLiteral("3")); }},
      {"panel remove rows", [&] { Panel(false, true, QStringLiteral("2"), QStringLiteral("4")); }},
      {"panel remove last rows",
       [&] { Panel(false, true, QStringLiteral("2"), QStringLiteral("3")); }},
  };
  g_->SetColWidth(1, 120);  // a width that travels with its column
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Shown before = Take();
    c.change();
    const Shown after = Take();
    ASSERT_NE(after, before) << "the change changed something";
    ExpectViewTold([&] { UndoKey(); });
    EXPECT_EQ(Take(), before);
    ExpectViewTold([&] { RedoKey(); });
    EXPECT_EQ(Take(), after);
    UndoKey();
    RedoShiftKey();
    EXPECT_EQ(Take(), after);
  }
  // And all of it back, newest first.
  const size_t steps = Part<ui::TableEdits>("TableEdits").history().UndoSteps();
  EXPECT_EQ(steps, cases.size());
  for (size_t i = 0; i < steps; ++i) UndoKey();
  EXPECT_EQ(g_->Cells(2, 3), QStringLiteral("c2r3"));
  EXPECT_EQ(g_->ColCount(), 6);
  EXPECT_EQ(g_->RowCount(), 7);
  EXPECT_EQ(g_->ColWidth(1), 120);
  EXPECT_EQ(Main<QLabel>("lbY")->text(), QStringLiteral("Anzahl Zeilen: 6"));
  EXPECT_TRUE(prompter_.messages.size() == 6u) << "only the panel's questions";
}

TEST_F(UndoTest, TheEditorKeepsItsOwnUndoAndNothingLeftDoesNothing) {
  const Shown start = Take();
  UndoKey();  // nothing to take back
  RedoKey();
  EXPECT_EQ(Take(), start);
  g_->SetCol(1);
  g_->SetRow(1);
  QTest::keyClick(g_, Qt::Key_F2);
  QWidget* editor = QApplication::focusWidget();
  ASSERT_NE(editor, g_);
  QTest::keyClicks(editor, QStringLiteral("xy"));
  QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);  // the editor's own
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_EQ(g_->Cells(1, 1), QStringLiteral("c1r1"));
  EXPECT_EQ(Part<ui::TableEdits>("TableEdits").history().UndoSteps(), 0u)
      << "an edit that changes nothing is no step";
}

TEST_F(UndoTest, ALoadAndAViewSwitchStartAFreshHistory) {
  Select(1, 1, 2, 2);
  QTest::keyClick(g_, Qt::Key_Delete);
  ASSERT_TRUE(Part<ui::TableEdits>("TableEdits").history().CanUndo());
  // A cancelled dialog loads nothing and keeps the history.
  prompter_.open_answers.push_back(std::nullopt);
  QTest::mouseClick(Main<QToolButton>("sbLaden_TXT"), Qt::LeftButton);
  EXPECT_TRUE(Part<ui::TableEdits>("TableEdits").history().CanUndo());

  LoadThroughButton(WriteFile(QStringLiteral("v.txt"), "a;b;c\nd;e;f\n"));
  EXPECT_FALSE(Part<ui::TableEdits>("TableEdits").history().CanUndo());
  g_->setFocus();
  UndoKey();
  EXPECT_EQ(g_->Cells(1, 1), QStringLiteral("a"));

  Select(1, 1, 1, 1);
  QTest::keyClick(g_, Qt::Key_Delete);
  ASSERT_TRUE(Part<ui::TableEdits>("TableEdits").history().CanUndo());
  QTest::mouseClick(Main<QToolButton>("tbRow_Col"), Qt::LeftButton);
  EXPECT_FALSE(Part<ui::TableEdits>("TableEdits").history().CanUndo())
      << "the transposed view is a new table";
  ui::StringGrid* g2 = Grid2();
  g2->SetCol(2);
  g2->SetRow(1);
  QTest::keyClick(g2, Qt::Key_Delete);
  EXPECT_EQ(g2->Cells(2, 1), QString());
  QTest::keyClick(g2, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(g2->Cells(2, 1), QStringLiteral("d")) << "undo in the transposed view";
}

TEST_F(UndoTest, TheCapDropsTheOldestSteps) {
  // Room for about three single-cell steps.
  Part<ui::TableEdits>("TableEdits").history().SetCap(0.0, 3 * 300);
  for (int i = 1; i <= 5; ++i) {
    Select(i, 1, i, 1);
    QTest::keyClick(g_, Qt::Key_Delete);
  }
  EXPECT_EQ(Part<ui::TableEdits>("TableEdits").history().UndoSteps(), 3u);
  for (int i = 0; i < 5; ++i) UndoKey();
  EXPECT_EQ(g_->Cells(1, 1), QString()) << "the oldest are gone";
  EXPECT_EQ(g_->Cells(2, 1), QString());
  EXPECT_EQ(g_->Cells(3, 1), QStringLiteral("c3r1"));
  EXPECT_EQ(g_->Cells(5, 1), QStringLiteral("c5r1"));
}

}  // namespace
