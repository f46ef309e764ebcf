// The range panel on the real window: opening it, the fields, grid clicks,
// the OK hint and question, removing and clearing runs, dragging, and the
// colours the grids paint the run in.

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "UiTestSupport.h"

namespace {

using ui::Prompter;
using uitest::WindowTest;

const QRgb kRed = qRgb(255, 181, 176);
const QRgb kOrange = qRgb(255, 207, 159);
const QRgb kYellow = qRgb(254, 226, 13);
const QRgb kWhite = qRgb(255, 255, 255);

class RangePanelTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start();
    LoadThroughButton(WriteFile(QStringLiteral("t.txt"), uitest::GridText(10, 6)));
    g1_ = Grid1();
    ASSERT_EQ(g1_->ColCount(), 11);
  }

  // The panel's controls, by their names.
  struct Controls {
    QFrame* plLoeschen;
    QRadioButton *rbSpalte, *rbZeile, *rbAlles, *rbInhalt, *rbAb, *rbBis;
    QLineEdit *edAb, *edBis;
    QLabel *Label1, *Label2;
    QToolButton *sbOK, *sbLoesch_Exit;
  };
  Controls range() const {
    return {Main<QFrame>("plLoeschen"),
            Main<QRadioButton>("rbSpalte"),
            Main<QRadioButton>("rbZeile"),
            Main<QRadioButton>("rbAlles"),
            Main<QRadioButton>("rbInhalt"),
            Main<QRadioButton>("rbAb"),
            Main<QRadioButton>("rbBis"),
            Main<QLineEdit>("edAb"),
            Main<QLineEdit>("edBis"),
            Main<QLabel>("Label1"),
            Main<QLabel>("Label2"),
            Main<QToolButton>("sbOK"),
            Main<QToolButton>("sbLoesch_Exit")};
  }
  core::RangeBounds Bounds() const { return Part<ui::RangePanel>("RangePanel").bounds(); }
  void OpenPanel() {
    QTest::mouseClick(Main<QToolButton>("sbLoeschen"), Qt::LeftButton);
    QApplication::processEvents();
  }
  // The centre of data cell (col, row) of `g` in its viewport.
  QPoint CellCentre(ui::StringGrid* g, int col, int row) {
    return g->visualRect(g->model()->index(row - 1, col - 1)).center();
  }
  void ClickCell(ui::StringGrid* g, int col, int row) {
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, CellCentre(g, col, row));
  }
  // A mouse movement without a button, as the window system delivers it.
  static void MoveOver(QWidget* w, QPoint at) {
    QMouseEvent move(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(w, &move);
  }
  // The background of data cell (col, row), read beside its text.
  QRgb Background(ui::StringGrid* g, int col, int row) {
    const QImage image = g->viewport()->grab().toImage();
    const QRect r = g->visualRect(g->model()->index(row - 1, col - 1));
    return image.pixel(r.right() - 3, r.bottom() - 3) | 0xFF000000;
  }
  QRgb HeaderBackground(ui::StringGrid* g, int col) {
    QWidget* h = g->horizontalHeader();
    const QImage image = h->grab().toImage();
    const QRect r = g->visualRect(g->model()->index(0, col - 1));
    return image.pixel(r.right() - 3, h->height() / 2) | 0xFF000000;
  }
  void TypeInto(QLineEdit* field, const QString& keys) {
    field->setFocus();
    QTest::keyClicks(field, keys);
  }
  void SetFields(const QString& ab, const QString& bis) {
    Main<QLineEdit>("edAb")->setText(ab);
    Main<QLineEdit>("edBis")->setText(bis);
  }

  ui::StringGrid* g1_ = nullptr;
};

TEST_F(RangePanelTest, OpeningFillsAbAndLeavesBisEmpty) {
  ASSERT_FALSE(Main<QFrame>("plLoeschen")->isVisible());
  OpenPanel();
  EXPECT_TRUE(Main<QFrame>("plLoeschen")->isVisible());
  EXPECT_EQ(Main<QLineEdit>("edAb")->text(), QStringLiteral("1"));
  EXPECT_EQ(Main<QLineEdit>("edBis")->text(), QString());
  EXPECT_TRUE(Main<QRadioButton>("rbAb")->isChecked());
  EXPECT_EQ(QApplication::focusWidget(), Main<QLineEdit>("edAb"));
  EXPECT_EQ(Bounds().ColFrom, 1);
  EXPECT_EQ(Bounds().ColTo, 0);  // nothing marked
  EXPECT_EQ(Background(g1_, 1, 1), kWhite);
  OpenPanel();
  EXPECT_FALSE(Main<QFrame>("plLoeschen")->isVisible());
}

TEST_F(RangePanelTest, TabOrderAndCursors) {
  OpenPanel();
  const Controls p = range();
  // The focus chain, without the widgets that never take the focus. (Which
  // of them Tab stops at also depends on the platform's settings: some let
  // Tab reach text fields only.)
  std::vector<QWidget*> chain;
  for (QWidget* w = p.rbSpalte; w && chain.size() < 8; w = w->nextInFocusChain()) {
    if (w->focusPolicy() != Qt::NoFocus) chain.push_back(w);
  }
  const std::vector<QWidget*> want = {p.rbSpalte, p.rbZeile,  p.edAb, p.edBis,
                                      p.rbAlles,  p.rbInhalt, p.rbAb, p.rbBis};
  EXPECT_EQ(chain, want);
  EXPECT_EQ(p.plLoeschen->cursor().shape(), Qt::SizeAllCursor);
  for (QWidget* w : std::initializer_list<QWidget*>{p.Label1, p.Label2, p.sbOK, p.sbLoesch_Exit,
                                                    p.rbSpalte, p.rbAb}) {
    EXPECT_EQ(w->cursor().shape(), Qt::ArrowCursor) << w->objectName().toStdString();
  }
  EXPECT_TRUE(p.plLoeschen->font().bold());
  EXPECT_EQ(p.plLoeschen->geometry(), QRect(472, 128, 152, 133));
}

TEST_F(RangePanelTest, EnterMovesBetweenTheFieldsAndOnlyDigitsGetIn) {
  OpenPanel();
  Main<QLineEdit>("edAb")->clear();
  TypeInto(Main<QLineEdit>("edAb"), QStringLiteral("a2-.,x"));
  EXPECT_EQ(Main<QLineEdit>("edAb")->text(), QStringLiteral("2"));
  QTest::keyClick(Main<QLineEdit>("edAb"), Qt::Key_Return);
  EXPECT_EQ(QApplication::focusWidget(), Main<QLineEdit>("edBis"));
  EXPECT_TRUE(Main<QRadioButton>("rbBis")->isChecked());
  QTest::keyClicks(Main<QLineEdit>("edBis"), QStringLiteral("3 "));
  QTest::sendKeyEvent(QTest::Click, Main<QLineEdit>("edBis"), Qt::Key_Udiaeresis,
                      QStringLiteral("ü"), Qt::NoModifier);
  QTest::keyClick(Main<QLineEdit>("edBis"), Qt::Key_Backspace);
  QTest::keyClicks(Main<QLineEdit>("edBis"), QStringLiteral("4"));
  EXPECT_EQ(Main<QLineEdit>("edBis")->text(), QStringLiteral("4"));
  QTest::keyClick(Main<QLineEdit>("edBis"), Qt::Key_Enter);
  EXPECT_EQ(QApplication::focusWidget(), Main<QLineEdit>("edAb"));
  EXPECT_TRUE(Main<QRadioButton>("rbAb")->isChecked());
  EXPECT_EQ(Main<QLineEdit>("edAb")->text(), QStringLiteral("2"));  // Enter typed nothing
  // The field comes with its text selected: what is typed replaces it.
  QTest::keyClicks(Main<QLineEdit>("edAb"), QStringLiteral("5"));
  EXPECT_EQ(Main<QLineEdit>("edAb")->text(), QStringLiteral("5"));
}

TEST_F(RangePanelTest, GridClicksFillTheFieldLastFocused) {
  ClickCell(g1_, 7, 3);  // the panel need not be shown
  EXPECT_EQ(Main<QLineEdit>("edAb")->text(), QStringLiteral("7"));
  Main<QLineEdit>("edBis")->setFocus();
  ClickCell(g1_, 9, 2);
  EXPECT_EQ(Main<QLineEdit>("edBis")->text(), QStringLiteral("9"));
  EXPECT_EQ(Main<QLineEdit>("edAb")->text(), QStringLiteral("7"));
  EXPECT_EQ(Part<ui::Search>("Search").cursor_col(), 9);
  EXPECT_EQ(Part<ui::Search>("Search").cursor_row(), 2);
  Main<QRadioButton>("rbZeile")->setChecked(true);
  Main<QRadioButton>("rbAb")->setChecked(true);
  ClickCell(g1_, 4, 5);
  EXPECT_EQ(Main<QLineEdit>("edAb")->text(), QStringLiteral("5"));  // the row in row mode
}

TEST_F(RangePanelTest, PassingOverOkShowsTheQuestionAsHint) {
  OpenPanel();
  SetFields(QStringLiteral("12"), QString());
  MoveOver(Main<QToolButton>("sbOK"), {5, 5});
  EXPECT_EQ(Main<QToolButton>("sbOK")->property("hint").toString(),
            QStringLiteral("Löschen alles\rSpalte: 10-10"));
  EXPECT_EQ(Main<QLineEdit>("edAb")->text(), QStringLiteral("10"));
  EXPECT_EQ(Main<QLineEdit>("edBis")->text(), QStringLiteral("10"));
  EXPECT_TRUE(Main<QToolButton>("sbOK")->toolTip().contains(QLatin1Char('\n')));
  SetFields(QString(), QString());
  MoveOver(Main<QToolButton>("sbOK"), {6, 5});
  EXPECT_EQ(Main<QToolButton>("sbOK")->property("hint").toString(),
            QStringLiteral("Ab und Bis eingeben"));
}

TEST_F(RangePanelTest, YesRemovesTheColumnsAndNoLeavesTheTable) {
  OpenPanel();
  g1_->SetCol(5);  // the search cursor moves there
  ASSERT_EQ(Part<ui::Search>("Search").cursor_col(), 5);
  SetFields(QStringLiteral("2"), QStringLiteral("3"));
  prompter_.answers = {Prompter::kResultNo};
  QTest::mouseClick(Main<QToolButton>("sbOK"), Qt::LeftButton);
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].text, QStringLiteral("Löschen alles\rSpalte: 2-3"));
  EXPECT_EQ(prompter_.messages[0].title, QStringLiteral("Informationen"));
  EXPECT_EQ(prompter_.messages[0].buttons, Prompter::Buttons::kYesNo);
  EXPECT_EQ(g1_->ColCount(), 11);
  EXPECT_EQ(Part<ui::Search>("Search").cursor_col(), 1);  // whatever the answer
  EXPECT_EQ(Part<ui::Search>("Search").cursor_row(), 1);

  prompter_.answers = {Prompter::kResultYes};
  QTest::mouseClick(Main<QToolButton>("sbOK"), Qt::LeftButton);
  EXPECT_EQ(g1_->ColCount(), 9);
  EXPECT_EQ(g1_->Cells(2, 1), QStringLiteral("c4r1"));
  EXPECT_EQ(g1_->Cells(8, 6), QStringLiteral("c10r6"));
  EXPECT_EQ(g1_->model()->headerData(7, Qt::Horizontal).toString(), QStringLiteral("8"));
  EXPECT_EQ(Main<QLabel>("lbX")->text(), QStringLiteral("Anzahl Spalten:8"));
  EXPECT_FALSE(Main<QProgressBar>("ProgressBar1")->isVisible());
  EXPECT_TRUE(Main<QFrame>("plLoeschen")->isVisible());  // the panel stays open
}

// The three pairs are three groups of their own: a click on the selected
// button keeps it selected, a click on the other moves the choice within the
// pair only, and OK acts on what the pairs show.
TEST_F(RangePanelTest, EachRadioPairKeepsExactlyOneChoice) {
  OpenPanel();
  const Controls p = range();
  const std::vector<std::pair<QRadioButton*, QRadioButton*>> pairs = {
      {p.rbSpalte, p.rbZeile}, {p.rbAlles, p.rbInhalt}, {p.rbAb, p.rbBis}};
  for (int round = 0; round < 2; ++round) {
    for (const auto& [first, second] : pairs) {
      for (QRadioButton* b : {first, first, second, second, first}) {
        QTest::mouseClick(b, Qt::LeftButton);
        for (const auto& [one, other] : pairs) {
          EXPECT_NE(one->isChecked(), other->isChecked())
              << "after a click on " << b->objectName().toStdString() << ": "
              << one->objectName().toStdString() << " and " << other->objectName().toStdString();
        }
        EXPECT_TRUE(b->isChecked()) << b->objectName().toStdString();
      }
    }
  }
  SetFields(QStringLiteral("2"), QStringLiteral("3"));
  prompter_.answers = {Prompter::kResultYes};
  QTest::mouseClick(p.sbOK, Qt::LeftButton);
  EXPECT_EQ(g1_->ColCount(), 9);
  EXPECT_EQ(g1_->RowCount(), 7);
}

TEST_F(RangePanelTest, RemovingRowsUpdatesTheCounter) {
  OpenPanel();
  Main<QRadioButton>("rbZeile")->setChecked(true);
  SetFields(QStringLiteral("1"), QStringLiteral("6"));
  prompter_.answers = {Prompter::kResultYes};
  QTest::mouseClick(Main<QToolButton>("sbOK"), Qt::LeftButton);
  EXPECT_EQ(g1_->RowCount(), 1);
  EXPECT_EQ(Main<QLabel>("lbY")->text(), QStringLiteral("Anzahl Zeilen: 0"));
}

TEST_F(RangePanelTest, AnUnreadableFieldStopsBeforeTheQuestion) {
  OpenPanel();
  SetFields(QStringLiteral("2x"), QStringLiteral("3"));  // pasted: the filter never saw it
  QTest::mouseClick(Main<QToolButton>("sbOK"), Qt::LeftButton);
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].kind, Prompter::Kind::kError);
  EXPECT_EQ(prompter_.messages[0].text, QStringLiteral("'2x' ist kein gültiger Integerwert."));
  EXPECT_EQ(g1_->ColCount(), 11);
}

TEST_F(RangePanelTest, ClearingInTheTransposedViewUsesThatGridsCounts) {
  QTest::mouseClick(Main<QToolButton>("tbRow_Col"), Qt::LeftButton);
  ui::StringGrid* g2 = Grid2();
  ASSERT_TRUE(g2->isVisible());
  ASSERT_EQ(g2->ColCount(), 7);  // 6 data columns there
  OpenPanel();
  Main<QRadioButton>("rbInhalt")->setChecked(true);
  SetFields(QStringLiteral("5"), QStringLiteral("99"));
  prompter_.answers = {Prompter::kResultYes};
  QTest::mouseClick(Main<QToolButton>("sbOK"), Qt::LeftButton);
  EXPECT_EQ(Main<QLineEdit>("edBis")->text(), QStringLiteral("6"));  // cut to that grid, not to 10
  EXPECT_EQ(g2->Cells(5, 1), QString());
  EXPECT_EQ(g2->Cells(6, 10), QString());
  EXPECT_EQ(g2->Cells(4, 1), QStringLiteral("c1r4"));
  EXPECT_EQ(g2->ColCount(), 7);
  EXPECT_EQ(g2->model()->headerData(4, Qt::Horizontal).toString(), QStringLiteral("5"));
  EXPECT_EQ(g1_->Cells(1, 5), QStringLiteral("c1r5"));  // the other view is untouched
}

TEST_F(RangePanelTest, DraggingKeepsTenPixelsWithinReach) {
  OpenPanel();
  QFrame* panel = Main<QFrame>("plLoeschen");
  const QPoint grab_at(70, 100);  // free area, below the fields
  QTest::mousePress(panel, Qt::LeftButton, {}, grab_at);
  const int x = 3 - panel->width() + grab_at.x();  // 3 pixels left in view
  QTest::mouseMove(main_, QPoint(x, 200));
  EXPECT_EQ(panel->x(), 3 - panel->width());
  QTest::mouseRelease(main_, Qt::LeftButton, {}, QPoint(x, 200));
  EXPECT_EQ(panel->x(), 10 - panel->width());
  EXPECT_EQ(panel->y(), 200 - grab_at.y());
  // Far beyond the bottom right: pulled back to W - 38, H - 60.
  QTest::mousePress(panel, Qt::LeftButton, {}, grab_at);
  QTest::mouseRelease(main_, Qt::LeftButton, {}, QPoint(5000, 5000));
  EXPECT_EQ(panel->x(), main_->frameGeometry().width() - 38);
  EXPECT_EQ(panel->y(), main_->frameGeometry().height() - 60);
}

TEST_F(RangePanelTest, LoadingHidesThePanelAndKeepsItsFields) {
  OpenPanel();
  Main<QRadioButton>("rbZeile")->setChecked(true);
  SetFields(QStringLiteral("2"), QStringLiteral("4"));
  LoadThroughButton(WriteFile(QStringLiteral("u.txt"), "a;b;c\n"));
  EXPECT_FALSE(Main<QFrame>("plLoeschen")->isVisible());
  EXPECT_TRUE(Main<QRadioButton>("rbZeile")->isChecked());
  EXPECT_EQ(Main<QLineEdit>("edAb")->text(), QStringLiteral("2"));
  EXPECT_EQ(Main<QLineEdit>("edBis")->text(), QStringLiteral("4"));
}

TEST_F(RangePanelTest, TheRunIsPaintedInTheModesColour) {
  OpenPanel();
  SetFields(QStringLiteral("3"), QStringLiteral("4"));
  MoveOver(g1_->viewport(), CellCentre(g1_, 8, 5));
  EXPECT_EQ(Bounds().ColFrom, 3);
  EXPECT_EQ(Bounds().ColTo, 4);
  EXPECT_EQ(Background(g1_, 3, 1), kRed);
  EXPECT_EQ(Background(g1_, 4, 6), kRed);
  EXPECT_EQ(Background(g1_, 2, 1), kWhite);
  EXPECT_EQ(Background(g1_, 5, 3), kWhite);
  EXPECT_NE(HeaderBackground(g1_, 3), kRed);  // header cells keep the fixed look

  Main<QRadioButton>("rbInhalt")->setChecked(true);  // repaints at once
  EXPECT_EQ(Background(g1_, 3, 2), kOrange);
  Main<QRadioButton>("rbZeile")->setChecked(true);
  SetFields(QStringLiteral("2"), QStringLiteral("2"));
  MoveOver(g1_->viewport(), CellCentre(g1_, 8, 5));
  EXPECT_EQ(Background(g1_, 3, 3), kWhite);   // the column band is gone
  EXPECT_EQ(Background(g1_, 9, 2), kOrange);  // one row, all its data cells
  EXPECT_EQ(Background(g1_, 9, 3), kWhite);

  Main<QToolButton>("sbLoesch_Exit")->click();
  g1_->viewport()->repaint();
  EXPECT_EQ(Background(g1_, 9, 2), kWhite);  // hidden panel: no run colour
}

TEST_F(RangePanelTest, AHitIsYellowOverTheRunAndSelectionsLookPlain) {
  OpenPanel();
  SetFields(QStringLiteral("2"), QStringLiteral("3"));
  MoveOver(g1_->viewport(), CellCentre(g1_, 8, 5));
  // A hit in cell (2, 2).
  QTest::keyClicks(Main<QLineEdit>("edSuchen"), QStringLiteral("c2r2"));
  QTest::keyClick(Main<QLineEdit>("edSuchen"), Qt::Key_Return);
  g1_->viewport()->repaint();
  EXPECT_EQ(Background(g1_, 2, 2), kYellow);
  EXPECT_EQ(Background(g1_, 3, 2), kRed);
  ClickCell(g1_, 2, 2);  // a click on it is no hit any more
  g1_->viewport()->repaint();
  EXPECT_EQ(Background(g1_, 2, 2), kRed);

  // A selected block outside the run: no selection colour.
  g1_->selectionModel()->select(
      QItemSelection(g1_->model()->index(3, 5), g1_->model()->index(4, 7)),
      QItemSelectionModel::ClearAndSelect);
  g1_->viewport()->repaint();
  EXPECT_EQ(Background(g1_, 7, 5), kWhite);
}

}  // namespace
