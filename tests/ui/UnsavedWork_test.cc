// What keeps the user's work: the question before unsaved changes are
// thrown away, before a file another program changed is overwritten or read
// again, and the status line where something went in other than asked.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QTest>
#include <functional>
#include <string>

#include "UiTestSupport.h"
#include "ui/ut_About.h"

namespace {

using ui::Prompter;
using uitest::WindowTest;

const QString kEndQuestion = QStringLiteral("Programm beenden?");
const QString kUnsavedEndQuestion =
    QStringLiteral("Die Änderungen an der Tabelle sind nicht gespeichert.\rProgramm beenden?");

class UnsavedWorkTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start();
    path_ = WriteFile(QStringLiteral("t.csv"), "a;b;c\n1;2;3\n");
    LoadThroughButton(path_);
  }
  // A cell typed as the user does: through the grid's model.
  void Type(int col, int row, const QString& text) {
    ui::StringGrid* g = Grid1()->isHidden() ? Grid2() : Grid1();
    g->model()->setData(g->model()->index(row - 1, col - 1), text, Qt::EditRole);
  }
  // The title bar's close box.
  void CloseBox() { main_->close(); }
  // Another program writes the file: other bytes, another time.
  void ChangeBehindTheBack(const QString& path, const std::string& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
    f.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime);
  }
  QString path_;
};

// The close box and Exit after each way the table can come to differ, or
// not, from the file; each question answered No keeps the window, Yes ends.
TEST_F(UnsavedWorkTest, CloseBoxAndExitAskWhenChangesWouldBeLost) {
  struct Case {
    const char* name;
    std::function<void()> act;
    bool modified;
  };
  const Case cases[] = {
      {"loaded", [] {}, false},
      {"typed", [this] { Type(1, 1, QStringLiteral("neu")); }, true},
      {"typed and taken back",
       [this] {
         Type(1, 1, QStringLiteral("neu"));
         Type(2, 1, QStringLiteral("auch"));
         QTest::keyClick(Grid1(), Qt::Key_Z, Qt::ControlModifier);
         QTest::keyClick(Grid1(), Qt::Key_Z, Qt::ControlModifier);
       },
       false},
      {"taken back and made again",
       [this] {
         Type(1, 1, QStringLiteral("neu"));
         QTest::keyClick(Grid1(), Qt::Key_Z, Qt::ControlModifier);
         QTest::keyClick(Grid1(), Qt::Key_Y, Qt::ControlModifier);
       },
       true},
      {"saved after the change",
       [this] {
         Type(1, 1, QStringLiteral("neu"));
         SaveThroughButton(dir_.path() + QStringLiteral("/neu.txt"));
       },
       false},
      {"taken back after the save",
       [this] {
         Type(1, 1, QStringLiteral("neu"));
         SaveThroughButton(dir_.path() + QStringLiteral("/neu.txt"));
         QTest::keyClick(Grid1(), Qt::Key_Z, Qt::ControlModifier);
       },
       true},
      {"a column removed in the transposed view",
       [this] {
         QTest::mouseClick(Main<QToolButton>("tbRow_Col"), Qt::LeftButton);
         Grid2()->setFocus();
         uitest::Select(Grid2(), 1, 1, 1, 1);
         QTest::keyClick(Grid2(), Qt::Key_Delete);
       },
       true},
      {"transposed only",
       [this] {
         QTest::mouseClick(Main<QToolButton>("tbRow_Col"), Qt::LeftButton);
       },
       false},
      {"reloaded after a change",
       [this] {
         Type(1, 1, QStringLiteral("neu"));
         main_->OpenGivenFile(path_);
       },
       false},
  };
  for (const Case& c : cases) {
    for (bool exit_button : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (exit_button ? ", Exit" : ", close box"));
      SetUp();
      c.act();
      prompter_.messages.clear();
      const bool asks = exit_button || c.modified;
      const QString question = c.modified ? kUnsavedEndQuestion : kEndQuestion;
      for (int answer : {Prompter::kResultNo, Prompter::kResultYes}) {
        if (asks) prompter_.answers.push_back(answer);
        if (exit_button) {
          QTest::mouseClick(Main<QToolButton>("sbExit"), Qt::LeftButton);
        } else {
          CloseBox();
        }
        ASSERT_EQ(prompter_.messages.size(), asks ? 1u : 0u);
        if (asks) {
          EXPECT_EQ(prompter_.messages[0].text, question);
          EXPECT_EQ(prompter_.messages[0].title, QStringLiteral("Informationen"));
          EXPECT_EQ(prompter_.messages[0].buttons, Prompter::Buttons::kYesNo);
        }
        prompter_.messages.clear();
        const bool ends = !asks || answer == Prompter::kResultYes;
        EXPECT_EQ(main_->isVisible(), !ends);
        if (ends) break;
      }
      TearDown();
    }
  }
  SetUp();  // for the fixture's own TearDown
}

// An end asked for from outside (the session ends) asks nothing and keeps
// the settings, changes or not.
TEST_F(UnsavedWorkTest, EndFromOutsideDoesNotWaitForAnAnswer) {
  Type(1, 1, QStringLiteral("neu"));
  EXPECT_TRUE(main_->EndNow());
  EXPECT_FALSE(main_->isVisible());
  EXPECT_TRUE(prompter_.messages.empty());
  EXPECT_FALSE(ReadFile(main_->ProgramDir() + QStringLiteral("Einstel_QZR.FRB")).empty());
}

// Speichern onto the file another program changed since it was read or
// written here asks; No writes nothing. Another name, or a file that is gone,
// asks nothing.
TEST_F(UnsavedWorkTest, SaveAsksBeforeOverwritingAChangedFile) {
  const std::string theirs = "von anderem Programm\n";
  struct Case {
    const char* name;
    bool change;  // another program writes the loaded file
    bool remove;  // ... or removes it
    bool other_name;
    int answer;  // 0: no question
    std::string expected;
  };
  const std::string ours = "a;b;c;\r\n1;2;3;\r\n";
  const Case cases[] = {
      {"unchanged", false, false, false, 0, ours},
      {"changed, No", true, false, false, Prompter::kResultNo, theirs},
      {"changed, Yes", true, false, false, Prompter::kResultYes, ours},
      {"removed", false, true, false, 0, ours},
      {"changed, saved elsewhere", true, false, true, 0, ours},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    if (c.change) ChangeBehindTheBack(path_, theirs);
    if (c.remove) QFile::remove(path_);
    if (c.answer) prompter_.answers.push_back(c.answer);
    prompter_.messages.clear();
    const QString target = c.other_name ? dir_.path() + QStringLiteral("/anders.csv") : path_;
    SaveThroughButton(target);
    ASSERT_EQ(prompter_.messages.size(), c.answer ? 1u : 0u);
    if (c.answer) {
      EXPECT_EQ(prompter_.messages[0].text,
                QStringLiteral("Die Datei ") + path_ +
                    QStringLiteral(" wurde seit dem Laden oder Speichern von einem anderen "
                                   "Programm geändert.\rTrotzdem überschreiben?"));
    }
    EXPECT_EQ(ReadFile(target), c.expected);
    // What was written here is the file's state from now on; a file not
    // written is still the other program's.
    prompter_.messages.clear();
    if (c.answer == Prompter::kResultNo) prompter_.answers.push_back(Prompter::kResultNo);
    SaveThroughButton(target);
    EXPECT_EQ(prompter_.messages.size(), c.answer == Prompter::kResultNo ? 1u : 0u);
    TearDown();
  }
  SetUp();
}

TEST_F(UnsavedWorkTest, ReloadAsksWhenTheFileChanged) {
  for (int answer : {Prompter::kResultNo, Prompter::kResultYes}) {
    SetUp();
    ChangeBehindTheBack(path_, "x;y;z;w\n");
    // The reload question first, then the one about the changed file.
    prompter_.answers = {Prompter::kResultYes, answer};
    WithAbout([&] {
      About<QCheckBox>("cbTrZAutom")->setChecked(false);
      QTest::mouseClick(About<QPushButton>("OKButton"), Qt::LeftButton);
    });
    ASSERT_EQ(prompter_.messages.size(), 2u);
    EXPECT_TRUE(prompter_.messages[1].text.endsWith(QStringLiteral("\rTrotzdem neu laden?")));
    EXPECT_EQ(Grid1()->Cells(1, 1),
              answer == Prompter::kResultYes ? QStringLiteral("x") : QStringLiteral("a"));
    TearDown();
  }
  SetUp();
}

// Characters the table's code page lacks go in as '?', and the status line
// counts them; a UTF-8 table takes them as they are.
TEST_F(UnsavedWorkTest, LostCharactersAreCounted) {
  const QString latin = WriteFile(QStringLiteral("w.csv"), "M\xfcller;b;c\n");
  struct Case {
    bool utf8_table;
    bool paste;
    QString text;
    QString cell;
    QString notice;  // empty: the status line stays hidden
  };
  const Case cases[] = {
      {false, false, QStringLiteral("5 €"), QStringLiteral("5 €"), {}},
      {false, false, QStringLiteral("✓ ok"), QStringLiteral("? ok"),
       QStringLiteral("1 Zeichen gibt es in Windows-1252 nicht: es wurde als ? übernommen")},
      {false, true, QStringLiteral("→ 😀"), QStringLiteral("? ?"),
       QStringLiteral("2 Zeichen gibt es in Windows-1252 nicht: sie wurden als ? übernommen")},
      {true, true, QStringLiteral("→ 😀"), QStringLiteral("→ 😀"), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.toStdString());
    SetUp();
    if (!c.utf8_table) LoadThroughButton(latin);
    Grid1()->setFocus();
    uitest::Select(Grid1(), 2, 1, 2, 1);
    if (c.paste) {
      QApplication::clipboard()->setText(c.text);
      QTest::keyClick(Grid1(), Qt::Key_V, Qt::ControlModifier);
    } else {
      Type(2, 1, c.text);
    }
    EXPECT_EQ(Grid1()->Cells(2, 1), c.cell);
    EXPECT_EQ(Main<ui::StatusBar>("StatusBar1")->isVisible(), !c.notice.isEmpty());
    if (!c.notice.isEmpty()) {
      EXPECT_EQ(Main<QLabel>("Notice")->text(), c.notice);
    }
    TearDown();
  }
  SetUp();
}

}  // namespace
