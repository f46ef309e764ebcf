// Files with quoted fields through the window: the switch in the info
// window, the round trip of a spreadsheet's CSV, the hints in the status
// line, and the question before a save that would split cells.
#include <gtest/gtest.h>

#include <QTest>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "ui/ut_About.h"

namespace {

using ui::Prompter;
using uitest::WindowTest;

// As a spreadsheet program or Python's csv module writes it (quoting only
// where needed, CR LF): the separator, a line break and doubled quotes inside
// quoted fields. German spreadsheets write ';', the others ','.
const std::string kSemicolonCsv =
    "Name;Betrag;Notiz\r\n"
    "\"M\xc3\xbcller; Meier\";1.234,50;\"Zeile 1\r\nZeile 2\"\r\n"
    "\"Sag \"\"Hallo\"\"\";;x\r\n";
const std::string kCommaCsv =
    "Name,Betrag,Notiz\r\n"
    "\"M\xc3\xbcller, Meier\",\"1.234,50\",\"Zeile 1\r\nZeile 2\"\r\n"
    "\"Sag \"\"Hallo\"\"\",,x\r\n";

class QuotedFieldsTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start();
  }
  std::vector<QString> Row(int row) const {
    std::vector<QString> cells;
    for (int c = 1; c < Grid1()->ColCount(); ++c) cells.push_back(Grid1()->Cells(c, row));
    return cells;
  }
  QString Notice() const {
    return Main<ui::StatusBar>("StatusBar1")->isVisible() ? Main<QLabel>("Notice")->text()
                                                          : QString();
  }
};

TEST_F(QuotedFieldsTest, SpreadsheetCsvLoadsAsShownThereAndSavesBackByteForByte) {
  struct Case {
    const std::string& bytes;
    const char* choice;  // the separator Speichern writes with the right button
    const char* out;     // a .csv name always gets ';'
    QString name;
    QString amount;
  };
  const Case cases[] = {
      {kSemicolonCsv, "Semikolon", "/zurueck.csv", QStringLiteral("Müller; Meier"), "1.234,50"},
      {kCommaCsv, "Komma", "/zurueck.txt", QStringLiteral("Müller, Meier"), "1.234,50"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.choice);
    SetSeparator(QString::fromLatin1(c.choice), QStringLiteral(" "), true, /*quoted=*/true);
    LoadThroughButton(WriteFile(QStringLiteral("kalkulation.csv"), c.bytes));
    EXPECT_EQ(Grid1()->RowCount(), 4);
    EXPECT_EQ(Row(1), (std::vector<QString>{"Name", "Betrag", "Notiz"}));
    // The grid shows CR and LF as their control pictures.
    EXPECT_EQ(Row(2), (std::vector<QString>{c.name, c.amount,
                                            QStringLiteral("Zeile 1\u240D\u240AZeile 2")}));
    EXPECT_EQ(Row(3), (std::vector<QString>{"Sag \"Hallo\"", "", "x"}));
    EXPECT_EQ(Notice(), QString());
    const QString out = dir_.path() + QString::fromLatin1(c.out);
    SaveThroughButton(out, Qt::RightButton);
    EXPECT_TRUE(prompter_.messages.empty());
    EXPECT_EQ(ReadFile(out), c.bytes);
  }
}

// Off, the file reads as it always did, split inside the quotes, and the
// status line names the switch.
TEST_F(QuotedFieldsTest, OffSplitsAsBeforeAndHints) {
  LoadThroughButton(WriteFile(QStringLiteral("kalkulation.csv"), kSemicolonCsv));
  EXPECT_EQ(Row(2)[0], QStringLiteral("\"Müller"));
  EXPECT_EQ(Row(2)[1], QStringLiteral(" Meier\""));
  EXPECT_EQ(Notice(), QStringLiteral("Die Datei scheint Felder in Anführungszeichen zu verwenden: "
                                     "Info, \"Felder in Anführungszeichen\""));
  // The switch counts as a change of the separator: the reload question
  // comes, and Ja reads the file with quoted fields.
  prompter_.answers.push_back(Prompter::kResultYes);
  WithAbout([&] {
    About<QCheckBox>("cbAnfuehrung")->setChecked(true);
    QTest::mouseClick(About<QPushButton>("OKButton"), Qt::LeftButton);
  });
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].text,
            QStringLiteral("Datei öffnen mit Trennzeichen automatisch?"));
  EXPECT_TRUE(main_->settings().separator.quoted_fields);
  EXPECT_EQ(Row(2)[0], QStringLiteral("Müller; Meier"));
  EXPECT_EQ(Notice(), QString());
}

TEST_F(QuotedFieldsTest, UnclosedQuoteIsNamed) {
  SetSeparator(QStringLiteral("Semikolon"), QStringLiteral(" "), true, /*quoted=*/true);
  LoadThroughButton(WriteFile(QStringLiteral("kaputt.csv"), "a;b;c\n1;\"2;3\n4;5;6\n"));
  EXPECT_EQ(Grid1()->RowCount(), 3);
  EXPECT_EQ(Grid1()->Cells(2, 2), QStringLiteral("2;3\u240A4;5;6\u240A"));
  EXPECT_EQ(Notice(), QStringLiteral("Anführungszeichen am Dateiende nicht geschlossen: der Rest "
                                     "der Datei steht in einem Feld"));
}

// Without quoted fields a save that would split cells asks first; No
// writes nothing. With them nothing is asked, and the file reads back.
TEST_F(QuotedFieldsTest, SaveAsksBeforeCellsWouldSplit) {
  struct Case {
    bool quoted;
    int answer;  // 0: no question
    const char* written;  // nullptr: no file
  };
  const Case cases[] = {
      {false, Prompter::kResultNo, nullptr},
      {false, Prompter::kResultYes, "a;x;y;c;\r\n1\r\n2;2;3;\r\n"},
      {true, 0, "a;\"x;y\";c\r\n\"1\r\n2\";2;3\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.quoted);
    SetSeparator(QStringLiteral("Semikolon"), QStringLiteral(" "), true, c.quoted);
    LoadThroughButton(WriteFile(QStringLiteral("in.txt"), "a;b;c\n1;2;3\n"));
    Grid1()->model()->setData(Grid1()->model()->index(0, 1), QStringLiteral("x;y"), Qt::EditRole);
    Grid1()->model()->setData(Grid1()->model()->index(1, 0), QStringLiteral("1\u240D\u240A2"),
                              Qt::EditRole);
    prompter_.messages.clear();
    if (c.answer) prompter_.answers.push_back(c.answer);
    const QString out = dir_.path() + QStringLiteral("/aus%1.csv").arg(c.answer);
    SaveThroughButton(out);
    ASSERT_EQ(prompter_.messages.size(), c.answer ? 1u : 0u);
    if (c.answer) {
      EXPECT_EQ(prompter_.messages[0].text,
                QStringLiteral("2 Zellen enthalten das Trennzeichen \";\" oder einen "
                               "Zeilenumbruch und werden beim erneuten Laden anders aufgeteilt."
                               "\rMit \"Felder in Anführungszeichen\" (Info) bleiben sie erhalten."
                               "\rTrotzdem speichern?"));
    }
    EXPECT_EQ(QFile::exists(out), c.written != nullptr);
    if (c.written) {
      EXPECT_EQ(ReadFile(out), c.written);
    }
  }
}

}  // namespace
