// What a user of any desktop program expects: keys for the button bar, a
// title that names the file, a window that keeps its bar whole and fits the
// screen, a word when a search finds nothing, a proposed name to save under,
// and controls a screen reader can name.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>

#include "UiTestSupport.h"
#include "ui/ButtonBar.h"
#include "ui/ut_About.h"

namespace {

using ui::Prompter;
using uitest::WindowTest;

class DesktopHabitsTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start();
    main_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main_));
  }
  QString LoadTable() {
    const QString path = WriteFile(QStringLiteral("tabelle.csv"), "a;b;c\n1;2;3\n");
    LoadThroughButton(path);
    Grid1()->setFocus();
    return path;
  }
  void Press(QKeySequence keys) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : main_;
    QTest::keySequence(target, keys);
  }
};

// Each key does what its button does; with the button hidden (no table
// loaded) the key does nothing.
TEST_F(DesktopHabitsTest, KeysDoWhatTheirButtonsDo) {
  struct Case {
    const char* keys;
    bool needs_table;
    std::function<void()> expect_nothing;  // with no table; nullptr: acts in the start view
    std::function<void()> act_and_check;   // with a table loaded
  };
  const QString out = dir_.path() + QStringLiteral("/aus.txt");
  // Laden and Excel: the key brings the open dialog (answered with nothing).
  auto asks_for_a_file = [&](const char* key) {
    return [&, key] {
      prompter_.open_answers.push_back(std::nullopt);
      const size_t before = prompter_.open_requests.size();
      Press(QKeySequence(QString::fromLatin1(key)));
      EXPECT_EQ(prompter_.open_requests.size(), before + 1);
    };
  };
  const Case cases[] = {
      {"Ctrl+O", false, nullptr, asks_for_a_file("Ctrl+O")},
      {"Ctrl+S", true, nullptr,
       [&] {
         prompter_.save_answers.push_back(out);
         Press(QKeySequence(QStringLiteral("Ctrl+S")));
         EXPECT_EQ(ReadFile(out), "a\tb\tc\t\r\n1\t2\t3\t\r\n");
       }},
      {"Ctrl+Shift+S", true, nullptr,
       [&] {
         prompter_.save_answers.push_back(out);
         Press(QKeySequence(QStringLiteral("Ctrl+Shift+S")));
         EXPECT_EQ(ReadFile(out), "a;b;c;\r\n1;2;3;\r\n");  // the configured ';'
       }},
      {"Ctrl+T", true, nullptr,
       [&] {
         Press(QKeySequence(QStringLiteral("Ctrl+T")));
         EXPECT_TRUE(Grid2()->isVisible());
         EXPECT_TRUE(Main<QToolButton>("tbRow_Col")->isChecked());
       }},
      {"Ctrl+F", true, nullptr,
       [&] {
         Press(QKeySequence(QStringLiteral("Ctrl+F")));
         EXPECT_EQ(QApplication::focusWidget(), Main<QLineEdit>("edSuchen"));
       }},
      {"F3, Shift+F3", true, nullptr,
       [&] {
         Main<QLineEdit>("edSuchen")->setText(QStringLiteral("3"));
         Press(QKeySequence(Qt::Key_F3));
         EXPECT_EQ(Grid1()->Col(), 3);
         EXPECT_EQ(Grid1()->Row(), 2);
         Main<QLineEdit>("edSuchen")->setText(QStringLiteral("a"));
         Press(QKeySequence(QStringLiteral("Shift+F3")));
         EXPECT_EQ(Grid1()->Col(), 1);
         EXPECT_EQ(Grid1()->Row(), 1);
       }},
      {"Ctrl+L", true, nullptr,
       [&] {
         Press(QKeySequence(QStringLiteral("Ctrl+L")));
         EXPECT_TRUE(Main<QFrame>("plLoeschen")->isVisible());
       }},
      {"Ctrl+E", false, nullptr, asks_for_a_file("Ctrl+E")},
      {"F1", false, nullptr,
       [&] {
         bool shown = false;
         QTimer::singleShot(0, [&] {
           shown = about_->isVisible();
           about_->accept();
         });
         Press(QKeySequence(Qt::Key_F1));
         EXPECT_TRUE(shown);
       }},
      {"Ctrl+Q", false, nullptr,
       [&] {
         prompter_.answers.push_back(Prompter::kResultNo);
         Press(QKeySequence(QStringLiteral("Ctrl+Q")));
         ASSERT_EQ(prompter_.messages.size(), 1u);
         EXPECT_EQ(prompter_.messages[0].text, QStringLiteral("Programm beenden?"));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    SetUp();
    if (c.needs_table) {
      // The start view hides the button: the key does nothing.
      const size_t opened = prompter_.open_requests.size() + prompter_.save_requests.size();
      const QStringList parts = QString::fromLatin1(c.keys).split(QStringLiteral(", "));
      for (const QString& k : parts) Press(QKeySequence(k));
      EXPECT_EQ(prompter_.open_requests.size() + prompter_.save_requests.size(), opened);
      EXPECT_TRUE(prompter_.messages.empty());
      EXPECT_FALSE(Grid1()->isVisible() || Grid2()->isVisible());
      EXPECT_FALSE(Main<QFrame>("plLoeschen")->isVisible());
      LoadTable();
    }
    prompter_.messages.clear();
    c.act_and_check();
    TearDown();
  }
  SetUp();
}

// A key that saves takes the text of an open cell editor along.
TEST_F(DesktopHabitsTest, SaveKeyKeepsTheTextBeingTyped) {
  LoadTable();
  uitest::Select(Grid1(), 2, 1, 2, 1);
  Grid1()->ToggleEditor();
  auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  ASSERT_NE(editor, nullptr);
  editor->setText(QStringLiteral("neu"));
  const QString out = dir_.path() + QStringLiteral("/aus.txt");
  prompter_.save_answers.push_back(out);
  Press(QKeySequence(QStringLiteral("Ctrl+S")));
  EXPECT_EQ(ReadFile(out), "a\tneu\tc\t\r\n1\t2\t3\t\r\n");
  EXPECT_FALSE(Part<ui::BlockOps>("BlockOps").ctrl_down());
}

TEST_F(DesktopHabitsTest, TitleNamesTheFileAndUnsavedChanges) {
  EXPECT_EQ(main_->windowTitle(), QStringLiteral("Marvesk"));
  LoadTable();
  auto shown = [&] {
    // What the window system shows: the mark takes the place of "[*]".
    QString t = main_->windowTitle();
    return t.replace(QStringLiteral("[*]"), main_->isWindowModified() ? QStringLiteral("*") : "");
  };
  EXPECT_EQ(shown(), QStringLiteral("tabelle.csv – Marvesk"));
  Grid1()->model()->setData(Grid1()->model()->index(0, 0), QStringLiteral("x"), Qt::EditRole);
  EXPECT_EQ(shown(), QStringLiteral("tabelle.csv* – Marvesk"));
  prompter_.save_answers.push_back(dir_.path() + QStringLiteral("/neu.txt"));
  Press(QKeySequence(QStringLiteral("Ctrl+S")));
  EXPECT_EQ(shown(), QStringLiteral("neu.txt – Marvesk"));
  QTest::keyClick(Grid1(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(shown(), QStringLiteral("neu.txt* – Marvesk"));
  QTest::keyClick(Grid1(), Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(shown(), QStringLiteral("neu.txt – Marvesk"));
  // A file that cannot be read leaves no name.
  prompter_.answers.push_back(Prompter::kResultOk);
  LoadThroughButton(dir_.path() + QStringLiteral("/fehlt.csv"));
  EXPECT_EQ(main_->windowTitle(), QStringLiteral("Marvesk"));
}

// The save dialog starts with the name of the file the table came from.
TEST_F(DesktopHabitsTest, SaveDialogProposesTheFileName) {
  const QString path = LoadTable();
  prompter_.save_answers.push_back(std::nullopt);
  Press(QKeySequence(QStringLiteral("Ctrl+S")));
  ASSERT_FALSE(prompter_.save_requests.empty());
  EXPECT_EQ(prompter_.save_requests.back().file_name, path);
}

TEST_F(DesktopHabitsTest, SearchThatFindsNothingSaysSo) {
  LoadTable();
  auto* notice = Main<ui::StatusBar>("StatusBar1");
  Main<QLineEdit>("edSuchen")->setText(QStringLiteral("xyz"));
  Press(QKeySequence(Qt::Key_F3));
  EXPECT_EQ(notice->notice(), QStringLiteral("„xyz“ nicht gefunden"));
  Main<QLineEdit>("edSuchen")->setText(QStringLiteral("2"));
  Press(QKeySequence(Qt::Key_F3));
  EXPECT_EQ(notice->notice(), QString());
  EXPECT_EQ(Grid1()->Col(), 2);
}

// At the smallest size every control of the bar lies inside the window, and
// so it does at the full size, with captions.
TEST_F(DesktopHabitsTest, SmallestWindowKeepsTheBarWhole) {
  LoadTable();
  EXPECT_EQ(main_->minimumWidth(), ui::ButtonBar::MinimumWidth());
  for (int width : {main_->minimumWidth(), ui::ButtonBar::FullWidth() - 1,
                    ui::ButtonBar::FullWidth()}) {
    SCOPED_TRACE(width);
    main_->resize(width, main_->minimumHeight());
    QApplication::processEvents();
    const bool captions = width >= ui::ButtonBar::FullWidth();
    for (const char* name : {"sbSuchen", "sbLaden_TXT", "tbRow_Col", "sbLoeschen", "sbExcel",
                             "sbSpeichern", "sbAbout", "sbExit"}) {
      auto* b = Main<QToolButton>(name);
      const QRect r(b->mapTo(main_, QPoint(0, 0)), b->size());
      EXPECT_TRUE(main_->rect().contains(r)) << name;
      if (std::string(name) != "tbRow_Col") {
        EXPECT_EQ(b->toolButtonStyle() == Qt::ToolButtonTextBesideIcon, captions) << name;
      }
    }
    EXPECT_TRUE(Main<QFrame>("plMenu")->isVisible());
  }
}

TEST(FitToScreen, OpensCentredAndNeverOffTheScreen) {
  const QSize wanted(907, 550);
  const QSize minimum(ui::ButtonBar::MinimumWidth(), 200);
  const QSize frame(16, 40);
  struct Case {
    const char* name;
    QRect available;
    ui::StartPlace expected;
  };
  const Case cases[] = {
      {"full HD", {0, 0, 1920, 1050}, {{498, 230}, {907, 550}}},
      {"panel on top", {0, 32, 1366, 736}, {{221, 105}, {907, 550}}},
      {"small netbook", {0, 0, 1024, 576}, {{50, 0}, {907, 536}}},
      // 1600 x 1000 at scale 2, a 30 pixel panel: 800 x 485 logical.
      {"scaled", {0, 15, 800, 485}, {{0, 15}, {784, 445}}},
      {"smaller than the minimum", {100, 0, 400, 150}, {{100, 0}, minimum}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ui::StartPlace got = ui::FitToScreen(wanted, minimum, frame, c.available);
    EXPECT_EQ(got, c.expected) << got.frame_pos.x() << "," << got.frame_pos.y() << " "
                               << got.client.width() << "x" << got.client.height();
    EXPECT_GE(got.frame_pos.x(), c.available.x());
    EXPECT_GE(got.frame_pos.y(), c.available.y());
  }
}

// Controls without a visible caption have a name for screen readers, and the
// grid tells the current cell's place and text.
TEST_F(DesktopHabitsTest, ScreenReadersGetNamesAndTheCurrentCell) {
  LoadTable();
  QTest::mouseClick(Main<QToolButton>("sbLoeschen"), Qt::LeftButton);
  const struct {
    const char* control;
    const char* name;
  } named[] = {
      {"tbRow_Col", "Spalten und Zeilen vertauschen"},
      {"edBreite", "Spaltenbreite"},
      {"edSuchen", "Suchtext"},
      {"rbAb", "Klick setzt ab"},
      {"rbBis", "Klick setzt bis"},
      {"sbSpeichern", "Speichern"},
  };
  for (const auto& n : named) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(Main(n.control));
    ASSERT_NE(a, nullptr) << n.control;
    EXPECT_EQ(a->text(QAccessible::Name), QString::fromUtf8(n.name)) << n.control;
    if (std::string(n.control) != "sbSpeichern" && std::string(n.control) != "tbRow_Col") continue;
    EXPECT_FALSE(a->text(QAccessible::Description).isEmpty()) << n.control;
  }
  uitest::Select(Grid1(), 3, 2, 3, 2);
  QAccessibleInterface* grid = QAccessible::queryAccessibleInterface(Grid1());
  ASSERT_NE(grid, nullptr);
  QAccessibleTableInterface* table = grid->tableInterface();
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->rowCount(), 2);
  EXPECT_EQ(table->columnCount(), 3);
  const QList<QAccessibleInterface*> current = table->selectedCells();
  ASSERT_EQ(current.size(), 1);
  QAccessibleTableCellInterface* cell = current[0]->tableCellInterface();
  ASSERT_NE(cell, nullptr);
  EXPECT_EQ(cell->rowIndex(), 1);
  EXPECT_EQ(cell->columnIndex(), 2);
  EXPECT_EQ(current[0]->text(QAccessible::Name), QStringLiteral("3"));
  EXPECT_EQ(table->columnDescription(2), QStringLiteral("3"));
  EXPECT_EQ(table->rowDescription(1), QStringLiteral("2"));
}

}  // namespace
