// Faults found in the window once, each driven as a user meets it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "UiTestSupport.h"
#include "ui/ButtonBar.h"
#include "ui/RangePanel.h"
#include "ui/Search.h"
#include "ui/StringGrid.h"
#include "ui/ut_About.h"
#include "ui/ut_Marvesk.h"

namespace {

using ui::Prompter;
using uitest::WindowTest;

class WindowFaultTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start();
  }
  void Switch() { QTest::mouseClick(main_->bar().tbRow_Col, Qt::LeftButton); }
  void SaveWithRightButton(const QString& path) {
    prompter_.save_answers.push_back(path);
    QTest::mousePress(main_->bar().sbSpeichern, Qt::RightButton);
    QTest::mouseRelease(main_->bar().sbSpeichern, Qt::RightButton);
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
  ui::StringGrid* g2 = main_->StringGrid2;
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
  ui::StringGrid* g = main_->StringGrid1;
  g->SetRow(40);
  g->SetCol(3);
  ASSERT_EQ(main_->range().edAb->text(), QStringLiteral("3"));
  main_->range().edAb->setText(QStringLiteral("unberührt"));

  LoadThroughButton(WriteFile(QStringLiteral("drei.txt"), "a;b;c\nd;e;f\ng;h;i\n"));
  EXPECT_EQ(g->Row(), 1);
  EXPECT_EQ(g->Col(), 1);
  EXPECT_EQ(g->currentIndex(), g->model()->index(0, 0));
  EXPECT_EQ(main_->search().SearchRow, 1);
  EXPECT_EQ(main_->search().SearchCol, 1);
  EXPECT_EQ(main_->range().edAb->text(), QStringLiteral("unberührt"));
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
  EXPECT_EQ(main_->StringGrid1->RowCount() - 1, 300);
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
