// The search field and button on the real window.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>
#include <string>

#include "UiTestSupport.h"

namespace {

using uitest::WindowTest;

class SearchTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start();
  }
  void Load(const std::string& text) {
    LoadThroughButton(WriteFile(QStringLiteral("s.txt"), text));
    grid_ = Grid1();
  }
  QLineEdit* field() { return Main<QLineEdit>("edSuchen"); }
  void Type(const QString& text) {
    field()->setFocus();
    QTest::keyClicks(field(), text);
  }
  void Enter() { QTest::keyClick(field(), Qt::Key_Return); }
  void Press(Qt::MouseButton button) {
    QTest::mousePress(Main<QToolButton>("sbSuchen"), button);
    QTest::mouseRelease(Main<QToolButton>("sbSuchen"), button);
  }
  std::pair<int, int> Current() const { return {grid_->Col(), grid_->Row()}; }
  std::pair<int, int> Cursor() const {
    return {Part<ui::Search>("Search").cursor_col(), Part<ui::Search>("Search").cursor_row()};
  }

  ui::StringGrid* grid_ = nullptr;
};

using Cell = std::pair<int, int>;

TEST_F(SearchTest, EnterWalksTheHitsAndTheRightButtonGoesBack) {
  Load("a;x;b\nx;c;d\n");
  Type(QStringLiteral("x"));
  EXPECT_EQ(Cursor(), (Cell{0, 1}));
  Enter();
  EXPECT_EQ(Current(), (Cell{2, 1}));
  EXPECT_TRUE(Part<ui::Search>("Search").hit());
  EXPECT_EQ(QApplication::focusWidget(), field());
  Enter();
  EXPECT_EQ(Current(), (Cell{1, 2}));
  Enter();  // nothing after (1, 2), and no wrap-around
  EXPECT_EQ(Current(), (Cell{1, 2}));
  EXPECT_EQ(Cursor(), (Cell{1, 2}));
  EXPECT_FALSE(Part<ui::Search>("Search").hit());
  EXPECT_EQ(field()->text(), QStringLiteral("x"));  // Enter typed nothing

  Press(Qt::RightButton);
  EXPECT_EQ(Current(), (Cell{2, 1}));
  EXPECT_TRUE(Part<ui::Search>("Search").hit());
  EXPECT_EQ(QApplication::focusWidget(), grid_);
}

TEST_F(SearchTest, ButtonsKeepTheCursorAndTypingResetsIt) {
  Load("x;a;x\nb;x;c\n");
  // Right after the load the cursor is (1, 1): a forward press starts at (2, 1).
  field()->setText(QStringLiteral("x"));
  Press(Qt::MiddleButton);
  EXPECT_EQ(Current(), (Cell{3, 1}));
  Press(Qt::LeftButton);
  EXPECT_EQ(Current(), (Cell{2, 2}));
  Press(Qt::LeftButton);  // no more: the hit stays painted
  EXPECT_EQ(Current(), (Cell{2, 2}));
  EXPECT_TRUE(Part<ui::Search>("Search").hit());
  // A key typed into the field starts over at (0, 1), so (1, 1) is found.
  Type(QStringLiteral("\b"));
  Type(QStringLiteral("x"));
  EXPECT_FALSE(Part<ui::Search>("Search").hit());
  Enter();
  EXPECT_EQ(Current(), (Cell{1, 1}));
  // Backwards from (0, 1) there is nothing.
  Type(QStringLiteral("\bx"));
  Press(Qt::RightButton);
  EXPECT_EQ(Current(), (Cell{1, 1}));
}

TEST_F(SearchTest, AHitFillsTheRangeFieldAndIsPaintedYellow) {
  Load("a;b;c;d\ne;f;g;ziel\n");
  Main<QRadioButton>("rbAb")->setChecked(true);
  Type(QStringLiteral("zie"));
  Enter();
  EXPECT_EQ(Current(), (Cell{4, 2}));
  EXPECT_EQ(Main<QLineEdit>("edAb")->text(), QStringLiteral("4"));  // the panel is hidden
  const QRect r = grid_->visualRect(grid_->model()->index(1, 3));
  const QImage image = grid_->viewport()->grab().toImage();
  EXPECT_EQ(image.pixel(r.right() - 3, r.bottom() - 3) | 0xFF000000, qRgb(254, 226, 13));
  const QRect other = grid_->visualRect(grid_->model()->index(1, 2));
  EXPECT_EQ(image.pixel(other.right() - 3, other.bottom() - 3) | 0xFF000000, qRgb(255, 255, 255));
}

TEST_F(SearchTest, MatchesAreByteForByteInTheFilesEncoding) {
  struct Case {
    const char* what;
    std::string file;
  };
  for (const Case& c : {Case{"UTF-8", "Meier;M\xC3\xBCller;Schulz\n"},
                        Case{"Windows-1252", "Meier;M\xFCller;Schulz\n"}}) {
    Load(c.file);
    field()->setText(QStringLiteral("Mü"));  // the cursor is at (1, 1) after the load
    Enter();
    EXPECT_EQ(Current(), (Cell{2, 1})) << c.what;
    field()->setText(QStringLiteral("mü"));  // case matters
    Enter();
    EXPECT_FALSE(Part<ui::Search>("Search").hit()) << c.what;
    field()->clear();
    Enter();  // the empty text matches nothing
    EXPECT_FALSE(Part<ui::Search>("Search").hit()) << c.what;
    field()->clear();
  }
}

TEST_F(SearchTest, TheTransposedViewIsSearchedWhenShown) {
  Load("a;b;c\nd;ziel;e\n");
  QTest::mouseClick(Main<QToolButton>("tbRow_Col"), Qt::LeftButton);
  ui::StringGrid* g2 = Grid2();
  ASSERT_TRUE(g2->isVisible());
  field()->setText(QStringLiteral("ziel"));
  Press(Qt::LeftButton);
  EXPECT_EQ(g2->Col(), 2);
  EXPECT_EQ(g2->Row(), 2);
  EXPECT_EQ(QApplication::focusWidget(), g2);
}

}  // namespace
