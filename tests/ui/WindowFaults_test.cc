// Faults found in the window once, each driven as a user meets it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QItemSelection>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>

#include "UiTestSupport.h"
#include "core/FileIo.h"
#include "core/Memory.h"
#include "ui/ut_About.h"

namespace {

using ui::Prompter;
using uitest::WindowTest;

class WindowFaultTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start();
  }
  void Switch() { QTest::mouseClick(Main<QToolButton>("tbRow_Col"), Qt::LeftButton); }
  void SaveWithRightButton(const QString& path) {
    prompter_.save_answers.push_back(path);
    QTest::mousePress(Main<QToolButton>("sbSpeichern"), Qt::RightButton);
    QTest::mouseRelease(Main<QToolButton>("sbSpeichern"), Qt::RightButton);
  }
  // Opens the cell editor of the current cell with F2 and closes it with
  // Enter, typing nothing.
  void EditWithoutTyping(ui::StringGrid* grid) {
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_F2);
    QWidget* editor = QApplication::focusWidget();
    ASSERT_NE(editor, grid) << "F2 opened no editor";
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
  }
};

// A Windows-1252 file keeps its bytes through the transposed view: shown
// with its umlauts, edited there without typing, switched back and saved.
TEST_F(WindowFaultTest, TransposedViewKeepsWindows1252Bytes) {
  const std::string ansi =
      "M\xFCller;Stra\xDF"
      "e;K\xF6ln\n";
  LoadThroughButton(WriteFile(QStringLiteral("ansi.txt"), ansi));
  Switch();
  ui::StringGrid* g2 = Grid2();
  ASSERT_TRUE(g2->isVisible());
  EXPECT_EQ(g2->Cells(1, 1), QStringLiteral("Müller"));
  EXPECT_EQ(g2->Cells(1, 2), QStringLiteral("Straße"));
  for (int row = 1; row <= 3; ++row) {
    g2->SetRow(row);
    EditWithoutTyping(g2);
  }
  Switch();
  const QString out = dir_.path() + QStringLiteral("/zurueck.txt");
  SaveWithRightButton(out);
  EXPECT_EQ(ReadFile(out),
            "M\xFCller;Stra\xDF"
            "e;K\xF6ln;\r\n");
}

// A new table starts at its first data cell, without running the click
// handling for the old position.
TEST_F(WindowFaultTest, FreshLoadStartsAtTheFirstCell) {
  std::string many;
  for (int i = 1; i <= 60; ++i) many += std::to_string(i) + ";b;c;d\n";
  LoadThroughButton(WriteFile(QStringLiteral("viele.txt"), many));
  ui::StringGrid* g = Grid1();
  g->SetRow(40);
  g->SetCol(3);
  ASSERT_EQ(Main<QLineEdit>("edAb")->text(), QStringLiteral("3"));
  Main<QLineEdit>("edAb")->setText(QStringLiteral("unberührt"));

  LoadThroughButton(WriteFile(QStringLiteral("drei.txt"), "a;b;c\nd;e;f\ng;h;i\n"));
  EXPECT_EQ(g->Row(), 1);
  EXPECT_EQ(g->Col(), 1);
  EXPECT_EQ(g->currentIndex(), g->model()->index(0, 0));
  EXPECT_EQ(Part<ui::Search>("Search").cursor_row(), 1);
  EXPECT_EQ(Part<ui::Search>("Search").cursor_col(), 1);
  EXPECT_EQ(Main<QLineEdit>("edAb")->text(), QStringLiteral("unberührt"));
}

// Closing the continue question without a button is no answer: it comes
// again, and the reading goes on after a Yes.
TEST_F(WindowFaultTest, ClosedContinueQuestionIsAskedAgain) {
  std::string text;
  for (int i = 1; i <= 300; ++i) text += std::to_string(i) + ";b;c\n";
  const QString path = WriteFile(QStringLiteral("lang.txt"), text);
  QApplication::postEvent(main_, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
  QApplication::postEvent(main_, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier));
  prompter_.answers = {Prompter::kResultClosed, Prompter::kResultYes};
  LoadThroughButton(path);
  ASSERT_EQ(prompter_.messages.size(), 2u);
  EXPECT_EQ(prompter_.messages[1].text,
            QStringLiteral("Laden lang.txt ist noch nicht beendet\rFortsetzen?"));
  EXPECT_EQ(Grid1()->RowCount() - 1, 300);
}

// A save that fails part way, by a full disk, a failing disk or a folder
// that is gone, warns and leaves the file on disk and the table as they were.
TEST_F(WindowFaultTest, FailedSaveKeepsTheOldFileAndTheTable) {
  std::string text;
  for (int i = 1; i <= 2000; ++i) text += "zeile " + std::to_string(i) + ";b;c\n";
  LoadThroughButton(WriteFile(QStringLiteral("quelle.txt"), text));
  const std::string old_bytes = "alter Inhalt\r\n";
  struct Case {
    const char* what;
    int error;         // the write fails with this after some bytes went out
    bool folder_gone;  // the target folder is removed before the save
  };
  for (const Case& c : {Case{"disk full", ENOSPC, false}, Case{"I/O error", EIO, false},
                        Case{"folder gone", 0, true}}) {
    SCOPED_TRACE(c.what);
    prompter_.messages.clear();
    const QString folder = dir_.path() + "/" + QString::fromLatin1(c.what).replace(' ', '_');
    std::filesystem::create_directories(folder.toStdString());
    const QString target = folder + QStringLiteral("/ziel.txt");
    WriteFile(QDir(dir_.path()).relativeFilePath(target), old_bytes);
    if (c.folder_gone) std::filesystem::remove_all(folder.toStdString());
    size_t written = 0;
    // The first 4096 bytes go out, then the disk fails.
    core::ScopedFileIo io({}, [&](int fd, const void* buf, size_t n) -> ssize_t {
      if (c.error && written >= 4096) {
        errno = c.error;
        return -1;
      }
      const size_t take = c.error ? std::min(n, 4096 - written) : n;
      const ssize_t r = ::write(fd, buf, take);
      if (r > 0) written += static_cast<size_t>(r);
      return r;
    });
    SaveWithRightButton(target);
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_EQ(prompter_.messages[0].kind, Prompter::Kind::kWarning);
    EXPECT_EQ(prompter_.messages[0].text,
              "Datei " + target +
                  " konnte nicht gespeichert werden. Eine vorhandene Datei dieses Namens bleibt "
                  "unverändert");
    if (c.folder_gone) {
      EXPECT_FALSE(std::filesystem::exists(folder.toStdString()));
    } else {
      EXPECT_EQ(ReadFile(target), old_bytes);
      EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 1)
          << "a temporary file was left behind";
    }
    EXPECT_EQ(Grid1()->RowCount() - 1, 2000);
    EXPECT_EQ(Grid1()->Cells(1, 2000), QStringLiteral("zeile 2000"));
    EXPECT_TRUE(Main<QFrame>("plMenu")->isVisible());
  }
}

// A transposition that does not fit warns and leaves the shown table as it
// was, in the same view.
TEST_F(WindowFaultTest, TranspositionOutOfMemoryKeepsTheView) {
  std::string text;
  for (int i = 1; i <= 300; ++i) text += std::to_string(i) + ";b;c;d\n";
  LoadThroughButton(WriteFile(QStringLiteral("t.txt"), text));
  ui::StringGrid* g1 = Grid1();
  g1->SetRow(7);
  g1->SetCol(2);
  {
    const core::ScopedMemoryProbe none([](uint64_t) { return false; });
    Switch();
  }
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].text, QStringLiteral("Speicherplatz zu klein"));
  EXPECT_TRUE(g1->isVisible());
  EXPECT_FALSE(Grid2()->isVisible());
  EXPECT_FALSE(Main<QToolButton>("tbRow_Col")->isChecked());
  EXPECT_EQ(g1->RowCount() - 1, 300);
  EXPECT_EQ(g1->Cells(1, 300), QStringLiteral("300"));
  EXPECT_EQ(Main<QLabel>("lbY")->text(), QStringLiteral("Anzahl Zeilen: 300"));
  // With room again, the same button transposes.
  prompter_.messages.clear();
  Switch();
  EXPECT_TRUE(prompter_.messages.empty());
  ASSERT_TRUE(Grid2()->isVisible());
  EXPECT_EQ(Grid2()->Cells(300, 1), QStringLiteral("300"));
}

// The darkest and lightest grey in `area` of `image`, as 0..255 luminance.
std::pair<int, int> LuminanceRange(const QImage& image, QRect area) {
  int low = 255;
  int high = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      const int l = qGray(image.pixel(x, y));
      low = std::min(low, l);
      high = std::max(high, l);
    }
  }
  return {low, high};
}

// Under a dark desktop palette every cell of the grid stays readable: its
// text and its ground come from one palette, in every state a cell is painted.
TEST_F(WindowFaultTest, GridStaysReadableUnderADarkPalette) {
  const QPalette before = QApplication::palette();
  QPalette dark(QColor(0x35, 0x35, 0x35), QColor(0x2a, 0x2a, 0x2a));
  dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
  dark.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
  dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
  dark.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
  dark.setColor(QPalette::Highlight, QColor(0x30, 0x50, 0x80));
  QApplication::setPalette(dark);
  LoadThroughButton(WriteFile(QStringLiteral("t.txt"), uitest::GridText(4, 4)));
  ui::StringGrid* g = Grid1();
  g->setFocus();
  g->SetCol(2);
  g->SetRow(2);
  // Cells 3..4 of row 3 selected, cell (2, 2) current.
  g->selectionModel()->select(QItemSelection(g->model()->index(2, 2), g->model()->index(2, 3)),
                              QItemSelectionModel::Select);
  QApplication::processEvents();
  const QImage cells = g->viewport()->grab().toImage();
  auto cell = [&](int col, int row) {
    return g->visualRect(g->model()->index(row - 1, col - 1)).adjusted(1, 1, -1, -1);
  };
  const QImage column_header = g->horizontalHeader()->grab().toImage();
  const QImage row_header = g->verticalHeader()->grab().toImage();
  const QRect col1 = cell(1, 1);
  const QRect row1(0, col1.top(), g->verticalHeader()->width() - 1, col1.height());
  const struct {
    const char* what;
    const QImage& image;
    QRect area;
  } cases[] = {
      {"plain", cells, cell(1, 1)},
      {"current", cells, cell(2, 2)},
      {"selected", cells, cell(4, 3)},
      {"column header", column_header, QRect(col1.left(), 1, col1.width(), 17)},
      {"row header", row_header, row1},
  };
  for (const auto& c : cases) {
    const auto [low, high] = LuminanceRange(c.image, c.area);
    EXPECT_GT(high - low, 120) << c.what << ": text " << low << " on " << high;
  }
  // The editor opened on a cell too.
  QTest::keyClick(g, Qt::Key_F2);
  QWidget* editor = QApplication::focusWidget();
  ASSERT_NE(editor, g);
  const QImage edited = editor->grab().toImage();
  const auto [low, high] = LuminanceRange(edited, edited.rect().adjusted(2, 2, -2, -2));
  EXPECT_GT(high - low, 120) << "editor: text " << low << " on " << high;
  QTest::keyClick(editor, Qt::Key_Escape);
  QApplication::setPalette(before);
}

// The row numbers are never cut: the header column is as wide as the widest
// number it holds, in both views, after loads, removals and switches.
TEST_F(WindowFaultTest, RowNumbersAreNeverCut) {
  auto fits = [](ui::StringGrid* g) {
    QHeaderView* v = g->verticalHeader();
    const QString last = g->model()->headerData(g->RowCount() - 2, Qt::Vertical).toString();
    return QFontMetrics(v->font()).horizontalAdvance(last) + 4 <= v->width();
  };
  struct Case {
    int cols;
    int rows;
  };
  for (const Case c : {Case{2, 20000}, Case{1, 1234567}, Case{20000, 2}, Case{3, 5}}) {
    SCOPED_TRACE(std::to_string(c.cols) + " x " + std::to_string(c.rows));
    std::string text;
    std::string line;
    for (int i = 0; i < c.cols; ++i) line += i ? ";x" : "x";
    for (int r = 0; r < c.rows; ++r) text += line + "\n";
    LoadThroughButton(WriteFile(QStringLiteral("t.txt"), text));
    ui::StringGrid* g1 = Grid1();
    ASSERT_EQ(g1->RowCount() - 1, c.rows);
    EXPECT_TRUE(fits(g1));
    EXPECT_GE(g1->ColWidth(0), 50);
    Switch();
    ASSERT_TRUE(Grid2()->isVisible());
    EXPECT_TRUE(fits(Grid2()));
    EXPECT_GE(Grid2()->ColWidth(0), 30);
    Switch();
  }
  // Removing rows narrows the column again, down to its usual width.
  std::string text;
  for (int r = 0; r < 1200000; ++r) text += "x\n";
  LoadThroughButton(WriteFile(QStringLiteral("t.txt"), text));
  ASSERT_GT(Grid1()->ColWidth(0), 50);
  Main<QRadioButton>("rbZeile")->setChecked(true);
  QTest::mouseClick(Main<QToolButton>("sbLoeschen"), Qt::LeftButton);
  Main<QLineEdit>("edAb")->setText(QStringLiteral("100"));
  Main<QLineEdit>("edBis")->setText(QStringLiteral("1200000"));
  prompter_.answers = {Prompter::kResultYes};
  QTest::mouseClick(Main<QToolButton>("sbOK"), Qt::LeftButton);
  EXPECT_EQ(Grid1()->RowCount() - 1, 99);
  EXPECT_EQ(Grid1()->ColWidth(0), 50);
}

// The real message box tells a button from its close box and Escape.
TEST(QtPrompterTest, ClosingTheBoxIsNoAnswer) {
  const std::unique_ptr<Prompter> prompter = ui::MakeQtPrompter();
  const struct {
    const char* what;
    std::function<void(QMessageBox*)> act;
    int expected;
  } cases[] = {
      {"close box", [](QMessageBox* box) { box->close(); }, Prompter::kResultClosed},
      {"escape", [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); },
       Prompter::kResultClosed},
      {"Ja",
       [](QMessageBox* box) {
         for (QAbstractButton* b : box->buttons()) {
           if (b->text() == QStringLiteral("&Ja")) b->click();
         }
       },
       Prompter::kResultYes},
      {"Nein",
       [](QMessageBox* box) {
         for (QAbstractButton* b : box->buttons()) {
           if (b->text() == QStringLiteral("&Nein")) b->click();
         }
       },
       Prompter::kResultNo},
  };
  for (const auto& c : cases) {
    bool acted = false;
    // Polls until the modal box is up, then acts on it.
    std::function<void()> poll;
    poll = [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) {
        QTimer::singleShot(10, poll);
        return;
      }
      acted = true;
      c.act(box);
    };
    QTimer::singleShot(0, poll);
    const int answer =
        prompter->Message(nullptr, Prompter::Kind::kWarning, QStringLiteral("Warnung"),
                          QStringLiteral("Fortsetzen?"), Prompter::Buttons::kYesNo);
    EXPECT_TRUE(acted) << c.what;
    EXPECT_EQ(answer, c.expected) << c.what;
  }
}

}  // namespace
