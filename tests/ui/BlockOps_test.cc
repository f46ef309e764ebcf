// The grids' block keys, the Enter walk, the width field and the system
// clipboard on the real window.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QTest>
#include <string>

#include "UiTestSupport.h"

namespace {

using ui::Prompter;
using uitest::Chord;
using uitest::WindowTest;

class BlockOpsTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start();
    LoadThroughButton(WriteFile(QStringLiteral("b.txt"), uitest::GridText(4, 3)));
    g_ = Grid1();
    g_->setFocus();
  }
  void Select(int l, int t, int r, int b) { uitest::Select(g_, l, t, r, b); }
  QWidget* Editor() {
    QWidget* w = QApplication::focusWidget();
    return w == g_ ? nullptr : w;
  }

  ui::StringGrid* g_ = nullptr;
};

TEST_F(BlockOpsTest, DelEmptiesTheBlockAndLeavesTheHeaders) {
  Select(2, 1, 3, 2);
  QTest::keyClick(g_, Qt::Key_Delete);
  EXPECT_EQ(g_->Cells(2, 1), QString());
  EXPECT_EQ(g_->Cells(3, 2), QString());
  EXPECT_EQ(g_->Cells(1, 1), QStringLiteral("c1r1"));
  EXPECT_EQ(g_->Cells(4, 2), QStringLiteral("c4r2"));
  EXPECT_EQ(g_->Cells(2, 3), QStringLiteral("c2r3"));
  EXPECT_EQ(g_->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("2"));
  EXPECT_EQ(Editor(), nullptr);  // Del opened no editor
  EXPECT_FALSE(Main<QProgressBar>("ProgressBar1")->isVisible());
}

TEST_F(BlockOpsTest, CtrlInsCopiesAndShiftInsPastesCutAtTheEdge) {
  QGuiApplication::clipboard()->setText(QStringLiteral("vorher"));
  Select(1, 1, 3, 2);
  Chord(g_, Qt::Key_Control, Qt::ControlModifier, Qt::Key_Insert);
  EXPECT_FALSE(Part<ui::BlockOps>("BlockOps").ctrl_down());
  EXPECT_EQ(Main<ui::StringGrid>("sgh")->ColCount(), 3);
  EXPECT_EQ(Main<ui::StringGrid>("sgh")->RowCount(), 2);
  EXPECT_EQ(Main<ui::StringGrid>("sgh")->Cells(2, 1), QStringLiteral("c3r2"));
  // Left edge in the second-to-last column: two columns fit, the third drops.
  Select(3, 2, 3, 2);
  Chord(g_, Qt::Key_Shift, Qt::ShiftModifier, Qt::Key_Insert);
  EXPECT_EQ(g_->Cells(3, 2), QStringLiteral("c1r1"));
  EXPECT_EQ(g_->Cells(4, 3), QStringLiteral("c2r2"));
  EXPECT_EQ(g_->ColCount(), 5);
  EXPECT_EQ(g_->RowCount(), 4);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("vorher"));  // untouched
}

TEST_F(BlockOpsTest, ShiftInsBeforeAnyCopyPastesFiveByFiveEmptyCells) {
  Select(2, 2, 2, 2);
  Chord(g_, Qt::Key_Shift, Qt::ShiftModifier, Qt::Key_Insert);
  EXPECT_EQ(g_->Cells(2, 2), QString());
  EXPECT_EQ(g_->Cells(4, 3), QString());
  EXPECT_EQ(g_->Cells(1, 2), QStringLiteral("c1r2"));
  EXPECT_EQ(g_->Cells(4, 1), QStringLiteral("c4r1"));
}

TEST_F(BlockOpsTest, CtrlShiftInsLeavesTheGridAndFillsTheBlockClipboard) {
  Select(2, 2, 3, 3);
  QTest::keyPress(g_, Qt::Key_Control, Qt::ControlModifier);
  QTest::keyPress(g_, Qt::Key_Shift, Qt::ControlModifier | Qt::ShiftModifier);
  QTest::keyClick(g_, Qt::Key_Insert, Qt::ControlModifier | Qt::ShiftModifier);
  QTest::keyRelease(g_, Qt::Key_Shift, Qt::ControlModifier);
  QTest::keyRelease(g_, Qt::Key_Control);
  EXPECT_EQ(g_->Cells(2, 2), QStringLiteral("c2r2"));
  EXPECT_EQ(g_->Cells(3, 3), QStringLiteral("c3r3"));
  EXPECT_EQ(Main<ui::StringGrid>("sgh")->Cells(1, 1), QStringLiteral("c3r3"));
}

TEST_F(BlockOpsTest, AModifierReleasedOutsideTheGridsStaysSet) {
  QTest::keyPress(g_, Qt::Key_Control, Qt::ControlModifier);
  Main<QLineEdit>("edSuchen")->setFocus();
  QTest::keyRelease(Main<QLineEdit>("edSuchen"), Qt::Key_Control);
  EXPECT_TRUE(Part<ui::BlockOps>("BlockOps").ctrl_down());
  g_->setFocus();
  Select(1, 3, 1, 3);
  QTest::keyClick(g_, Qt::Key_Insert);  // a plain Ins copies all the same
  EXPECT_EQ(Main<ui::StringGrid>("sgh")->Cells(0, 0), QStringLiteral("c1r3"));
}

TEST_F(BlockOpsTest, BlockKeysWorkWhileTheEditorIsOpen) {
  QGuiApplication::clipboard()->setText(QStringLiteral("vorher"));
  Select(2, 1, 2, 1);
  QTest::keyClick(g_, Qt::Key_F2);
  QWidget* editor = Editor();
  ASSERT_NE(editor, nullptr);
  Chord(editor, Qt::Key_Control, Qt::ControlModifier, Qt::Key_Insert);
  EXPECT_EQ(Main<ui::StringGrid>("sgh")->Cells(0, 0), QStringLiteral("c2r1"));
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("vorher"));
}

// In an open editor Del deletes a character of the text, as in any text
// field; the cell is not emptied under it.
TEST_F(BlockOpsTest, DelInTheEditorDeletesOneCharacter) {
  Select(2, 1, 2, 1);
  QTest::keyClick(g_, Qt::Key_F2);
  QWidget* editor = Editor();
  ASSERT_NE(editor, nullptr);
  QTest::keyClick(editor, Qt::Key_Home);
  QTest::keyClick(editor, Qt::Key_Delete);
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_EQ(g_->Cells(2, 1), QStringLiteral("2r1"));
}

TEST_F(BlockOpsTest, EnterWalksThroughTheCellsEditingAsItGoes) {
  Select(4, 1, 4, 1);
  int clicks = 0;
  QObject::connect(g_, &ui::StringGrid::cellClicked, [&clicks] { ++clicks; });
  QTest::keyClick(g_, Qt::Key_Return);  // last column: next row, column 1
  EXPECT_EQ(g_->Col(), 1);
  EXPECT_EQ(g_->Row(), 2);
  EXPECT_EQ(clicks, 2);
  QWidget* editor = Editor();
  ASSERT_NE(editor, nullptr) << "the editor opens on the new cell";
  QTest::keyClicks(editor, QStringLiteral("neu"));
  QTest::keyClick(editor, Qt::Key_Return);  // keeps the text, moves on, edits there
  EXPECT_EQ(g_->Cells(1, 2), QStringLiteral("neu"));
  EXPECT_EQ(g_->Col(), 2);
  ASSERT_NE(Editor(), nullptr);

  g_->setFocus();
  Select(4, 3, 4, 3);  // the last cell: Enter only opens and closes the editor
  ASSERT_EQ(Editor(), nullptr);
  QTest::keyClick(g_, Qt::Key_Return);
  EXPECT_EQ(g_->Col(), 4);
  EXPECT_EQ(g_->Row(), 3);
  editor = Editor();
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, QStringLiteral("x"));
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_EQ(Editor(), nullptr);
  EXPECT_EQ(g_->Cells(4, 3), QStringLiteral("x"));
}

TEST_F(BlockOpsTest, WidthFieldSetsEveryDataColumnOfTheShownGrid) {
  QLineEdit* field = Main<QLineEdit>("edBreite");
  struct Case {
    QString typed;
    QString shown;
    int width;
  };
  for (const Case& c : {Case{QString(), QStringLiteral("80"), 80}, Case{"0", "1", 1},
                        Case{"007", "7", 7}, Case{"1a2-5.", "125", 125}}) {
    field->clear();
    field->setFocus();
    QTest::keyClicks(field, c.typed);
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(field->text(), c.shown) << c.typed.toStdString();
    EXPECT_EQ(g_->ColWidth(1), c.width) << c.typed.toStdString();
    EXPECT_EQ(g_->ColWidth(4), c.width) << c.typed.toStdString();
    EXPECT_EQ(g_->horizontalHeader()->sectionSize(3), c.width) << c.typed.toStdString();
  }
  EXPECT_EQ(g_->ColWidth(0), 50);  // the number column keeps its width

  // A negative width can only be pasted; it counts as the narrowest, 1.
  field->setText(QStringLiteral("-5"));
  QTest::keyClick(field, Qt::Key_Return);
  EXPECT_EQ(field->text(), QStringLiteral("1"));
  EXPECT_EQ(g_->horizontalHeader()->sectionSize(0), 1);
  field->setText(QStringLiteral("125"));
  QTest::keyClick(field, Qt::Key_Return);

  // The hidden grid keeps its widths; the switch shows the other grid's.
  QTest::mouseClick(Main<QToolButton>("tbRow_Col"), Qt::LeftButton);
  EXPECT_EQ(field->text(), QStringLiteral("80"));
  QTest::mouseClick(Main<QToolButton>("tbRow_Col"), Qt::LeftButton);
  EXPECT_EQ(field->text(), QStringLiteral("125"));

  // A pasted number too long for 32 bits: the general error, nothing else.
  field->setText(QStringLiteral("99999999999"));
  QTest::keyClick(field, Qt::Key_Return);
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].text,
            QStringLiteral("'99999999999' ist kein gültiger Integerwert."));
  EXPECT_EQ(field->text(), QStringLiteral("99999999999"));
  EXPECT_EQ(g_->ColWidth(1), 125);
}

TEST_F(BlockOpsTest, CtrlCAndCtrlVExchangeTabTextWithOtherPrograms) {
  g_->SetCells(2, 2, QStringLiteral("Straße"));
  Select(1, 1, 2, 2);
  Chord(g_, Qt::Key_Control, Qt::ControlModifier, Qt::Key_C);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("c1r1\tc2r1\nc1r2\tStraße"));
  EXPECT_EQ(Main<ui::StringGrid>("sgh")->Cells(0, 0), QString());  // the block clipboard untouched

  QGuiApplication::clipboard()->setText(QStringLiteral("ä\tb\tc\n\td\n"));
  Select(3, 2, 3, 2);
  Chord(g_, Qt::Key_Control, Qt::ControlModifier, Qt::Key_V);
  EXPECT_EQ(g_->Cells(3, 2), QStringLiteral("ä"));
  EXPECT_EQ(g_->Cells(4, 2), QStringLiteral("b"));  // "c" lies beyond the edge
  EXPECT_EQ(g_->Cells(3, 3), QString());
  EXPECT_EQ(g_->Cells(4, 3), QStringLiteral("d"));
  EXPECT_EQ(g_->ColCount(), 5);

  Chord(g_, Qt::Key_Control, Qt::ControlModifier, Qt::Key_A);
  EXPECT_EQ(g_->SelLeft(), 1);
  EXPECT_EQ(g_->SelTop(), 1);
  EXPECT_EQ(g_->SelRight(), 4);
  EXPECT_EQ(g_->SelBottom(), 3);
}

}  // namespace
