// The main window driven through its real controls on the offscreen platform.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QTest>

#include "UiTestSupport.h"
#include "core/Memory.h"
#include "ui/ut_About.h"
#include "ui/ut_EX.h"

namespace {

using ui::Prompter;
using uitest::WindowTest;

class MainWindowTest : public WindowTest {};

TEST_F(MainWindowTest, StartViewShowsOnlyLoadExcelInfoExit) {
  Start();
  for (QWidget* w : std::initializer_list<QWidget*>{
           Main<QToolButton>("sbLaden_TXT"), Main<QToolButton>("sbExcel"),
           Main<QToolButton>("sbAbout"), Main<QToolButton>("sbExit"), Main<QFrame>("plMenu")}) {
    EXPECT_TRUE(w->isVisible()) << w->objectName().toStdString();
  }
  for (QWidget* w : std::initializer_list<QWidget*>{
           Grid1(), Grid2(), Main<QToolButton>("tbRow_Col"), Main<QToolButton>("sbSpeichern"),
           Main<QLineEdit>("edBreite"), Main<QLineEdit>("edSuchen"), Main<QToolButton>("sbSuchen"),
           Main<QToolButton>("sbLoeschen"), Main<QFrame>("plLoeschen"),
           Main<ui::StatusBar>("StatusBar1"), Main<QProgressBar>("ProgressBar1")}) {
    EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
  }
  EXPECT_TRUE(Main<QFrame>("plWerbung")->isVisible());  // banner on by default
  EXPECT_EQ(main_->windowTitle(), QStringLiteral("Marvesk"));
  EXPECT_EQ(Main<QLineEdit>("edBreite")->text(), QStringLiteral("80"));
  EXPECT_EQ(Grid1()->ColWidth(0), 50);
  EXPECT_EQ(Grid2()->ColWidth(0), 30);
  EXPECT_TRUE(Main<QLabel>("lbX")->text().isEmpty());
  EXPECT_TRUE(Main<QLabel>("lbY")->text().isEmpty());
  // No settings file: both dialogs on their second filter.
  EXPECT_EQ(main_->settings().open_filter_index, 2);
  EXPECT_EQ(main_->settings().save_filter_index, 2);
  EXPECT_TRUE(main_->ProgramDir().endsWith(QLatin1Char('/')));
  // From the bottom up: the banner strip, then the button bar.
  QApplication::processEvents();
  EXPECT_EQ(Main<QFrame>("plWerbung")->geometry().bottom(), main_->height() - 1);
  EXPECT_EQ(Main<QFrame>("plWerbung")->height(), 34);
  EXPECT_EQ(Main<QFrame>("plMenu")->geometry().bottom() + 1,
            Main<QFrame>("plWerbung")->geometry().top());
  EXPECT_EQ(Main<QFrame>("plMenu")->height(), 32);
}

TEST_F(MainWindowTest, LoadShowsGridNumbersAndCounters) {
  Start();
  const QString path = WriteFile(QStringLiteral("daten.csv"), "a;b;c\r\n1;2;3;4\n\nx\n");
  LoadThroughButton(path);

  ASSERT_EQ(prompter_.open_requests.size(), 1u);
  EXPECT_EQ(
      prompter_.open_requests[0].filter,
      QStringLiteral("Text-Datei (*.TXT)|*.txt|CSV-Dateien (*.CSV)|*.csv|Alle-Dateien (*.*)|*.*"));
  ui::StringGrid* g = Grid1();
  EXPECT_TRUE(g->isVisible());
  EXPECT_FALSE(Grid2()->isVisible());
  EXPECT_TRUE(g->hasFocus());
  EXPECT_FALSE(Main<QFrame>("plWerbung")->isVisible());
  EXPECT_FALSE(Main<ui::StatusBar>("StatusBar1")->isVisible());
  EXPECT_FALSE(Main<QProgressBar>("ProgressBar1")->isVisible());
  for (QWidget* w : std::initializer_list<QWidget*>{
           Main<QToolButton>("tbRow_Col"), Main<QToolButton>("sbSpeichern"),
           Main<QLineEdit>("edBreite"), Main<QLineEdit>("edSuchen"), Main<QToolButton>("sbSuchen"),
           Main<QToolButton>("sbLoeschen")}) {
    EXPECT_TRUE(w->isVisible()) << w->objectName().toStdString();
  }
  EXPECT_FALSE(Main<QToolButton>("tbRow_Col")->isChecked());
  EXPECT_EQ(Main<QLabel>("lbX")->text(), QStringLiteral("Anzahl Spalten:4"));
  EXPECT_EQ(Main<QLabel>("lbY")->text(), QStringLiteral("Anzahl Zeilen: 3"));
  EXPECT_EQ(g->ColCount(), 5);
  EXPECT_EQ(g->RowCount(), 4);
  // Detected: column numbers in row 0 up to the deciding line's fields.
  EXPECT_EQ(g->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("1"));
  EXPECT_EQ(g->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("3"));
  EXPECT_EQ(g->model()->headerData(3, Qt::Horizontal).toString(), QString());
  EXPECT_EQ(g->model()->headerData(2, Qt::Vertical).toString(), QStringLiteral("3"));
  EXPECT_EQ(g->Cells(4, 2), QStringLiteral("4"));
  EXPECT_EQ(g->Cells(1, 3), QStringLiteral("x"));
  EXPECT_EQ(LastDir(), dir_.path());
  EXPECT_EQ(Part<ui::FileOperations>("FileOperations").file_name(), path);
  EXPECT_EQ(Part<ui::Search>("Search").cursor_col(), 1);
  EXPECT_EQ(Part<ui::Search>("Search").cursor_row(), 1);
  EXPECT_TRUE(prompter_.messages.empty());
}

TEST_F(MainWindowTest, OpenDialogStartsInLastDirAndCancelKeepsView) {
  WriteFile(QStringLiteral("Einstel_QZR.FRB"), dir_.path().toStdString() + "\r\n");
  Start();
  prompter_.open_answers.push_back(std::nullopt);
  QTest::mouseClick(Main<QToolButton>("sbLaden_TXT"), Qt::LeftButton);
  ASSERT_EQ(prompter_.open_requests.size(), 1u);
  EXPECT_EQ(prompter_.open_requests[0].initial_dir, dir_.path());
  EXPECT_TRUE(Main<QFrame>("plMenu")->isVisible());
  EXPECT_FALSE(Grid1()->isVisible());
  EXPECT_FALSE(Main<QToolButton>("sbSpeichern")->isVisible());

  LoadThroughButton(WriteFile(QStringLiteral("t.txt"), "1;2;3\n4;5;6\n"));
  Grid1()->SetCells(2, 1, QStringLiteral("geändert"));
  Grid1()->SetCol(3);
  ASSERT_EQ(Part<ui::Search>("Search").cursor_col(), 3);
  prompter_.open_answers.push_back(std::nullopt);
  QTest::mouseClick(Main<QToolButton>("sbLaden_TXT"), Qt::LeftButton);
  EXPECT_TRUE(Grid1()->isVisible());
  EXPECT_EQ(Grid1()->Cells(2, 1), QStringLiteral("geändert"));
  EXPECT_EQ(Main<QLabel>("lbY")->text(), QStringLiteral("Anzahl Zeilen: 2"));
  EXPECT_EQ(Part<ui::Search>("Search").cursor_col(), 1);  // reset even by a cancelled load
}

TEST_F(MainWindowTest, FileThatCannotBeOpenedWarnsAndShowsStartView) {
  Start();
  LoadThroughButton(WriteFile(QStringLiteral("ok.txt"), "1;2;3\n"));
  const QString missing = dir_.path() + QStringLiteral("/fehlt.txt");
  LoadThroughButton(missing);
  ASSERT_EQ(prompter_.messages.size(), 1u);
  const auto& m = prompter_.messages[0];
  EXPECT_EQ(m.kind, Prompter::Kind::kWarning);
  EXPECT_EQ(m.title, QStringLiteral("Warnung"));
  EXPECT_EQ(m.buttons, Prompter::Buttons::kOk);
  EXPECT_EQ(m.text.toUtf8().toStdString(), "Datei " + missing.toStdString() +
                                               " ist schon von anderem Programm ge\xC3\xB6"
                                               "ffnet");
  EXPECT_FALSE(Grid1()->isVisible());
  EXPECT_FALSE(Main<QToolButton>("sbSpeichern")->isVisible());
  EXPECT_FALSE(Main<QProgressBar>("ProgressBar1")->isVisible());
  EXPECT_TRUE(Main<QFrame>("plMenu")->isVisible());
  EXPECT_EQ(Grid1()->RowCount(), 2);  // the earlier table is gone
  EXPECT_EQ(LastDir(), dir_.path());
  EXPECT_EQ(Main<QLineEdit>("edBreite")->text(), QStringLiteral("80"));
}

TEST_F(MainWindowTest, ExitAskedNoKeepsEverythingYesClosesAndWritesSettings) {
  Start();
  LoadThroughButton(WriteFile(QStringLiteral("t.txt"), "1;2;3\n"));
  prompter_.answers = {Prompter::kResultNo};
  QTest::mouseClick(Main<QToolButton>("sbExit"), Qt::LeftButton);
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].text, QStringLiteral("Programm beenden?"));
  EXPECT_EQ(prompter_.messages[0].title, QStringLiteral("Informationen"));
  EXPECT_EQ(prompter_.messages[0].kind, Prompter::Kind::kInformation);
  EXPECT_EQ(prompter_.messages[0].buttons, Prompter::Buttons::kYesNo);
  EXPECT_TRUE(main_->isVisible());
  EXPECT_TRUE(Grid1()->isVisible());
  EXPECT_FALSE(QFile::exists(main_->ProgramDir() + QStringLiteral("Einstel_QZR.FRB")));

  prompter_.answers = {Prompter::kResultYes};
  QTest::mouseClick(Main<QToolButton>("sbExit"), Qt::LeftButton);
  EXPECT_FALSE(main_->isVisible());
  EXPECT_TRUE(QFile::exists(main_->ProgramDir() + QStringLiteral("Einstel_QZR.FRB")));
}

TEST_F(MainWindowTest, CloseBoxWritesSettingsWithoutAsking) {
  Start();
  prompter_.open_filter_answers = {3};
  LoadThroughButton(WriteFile(QStringLiteral("t.txt"), "1;2;3\n"));
  SetSeparator(QStringLiteral("Semikolon"), QStringLiteral(" "), /*automatic=*/false);
  prompter_.messages.clear();
  main_->close();
  EXPECT_TRUE(prompter_.messages.empty());
  EXPECT_EQ(ReadFile(main_->ProgramDir() + QStringLiteral("Einstel_QZR.FRB")),
            dir_.path().toStdString() + "\r\n0\r\n1\r\nSemikolon\r\n \r\n3\r\n2\r\n\r\n\r\n");
  EXPECT_EQ(main_->findChild<ui::BannerView*>(QStringLiteral("WebBrowser1")), nullptr);
}

TEST_F(MainWindowTest, SettingsFileIsReadOnceAtActivation) {
  WriteFile(QStringLiteral("Einstel_QZR.FRB"),
            "/daten\r\n1\r\n0\r\nAnderes\r\n|x\r\n3\r\n1\r\n\r\n");
  Start();
  EXPECT_EQ(LastDir(), QStringLiteral("/daten"));
  EXPECT_TRUE(main_->settings().hide_banner);
  EXPECT_FALSE(main_->settings().allow_row_col_move);
  EXPECT_FALSE(Main<QFrame>("plWerbung")->isVisible());
  EXPECT_FALSE(Grid1()->RowColMoving());
  EXPECT_EQ(main_->settings().separator, (core::SeparatorSetting{"Anderes", "|", false}));
  WithAbout([&] {
    EXPECT_EQ(About<QComboBox>("cbTrennzeichen")->currentText(), QStringLiteral("Anderes"));
    EXPECT_EQ(About<QLineEdit>("edTrennzeichen")->text(), QStringLiteral("|"));
    EXPECT_FALSE(About<QLineEdit>("edTrennzeichen")->isHidden());
    EXPECT_TRUE(About<QCheckBox>("cbTrZAutom")->isHidden());
    EXPECT_FALSE(About<QCheckBox>("cbTrZAutom")->isChecked());
    QTest::mouseClick(About<QPushButton>("OKButton"), Qt::LeftButton);
  });
  EXPECT_EQ(main_->settings().open_filter_index, 3);
  EXPECT_EQ(main_->settings().save_filter_index, 1);

  // "Anderes" means no detection: split by '|', row 0 stays empty.
  LoadThroughButton(WriteFile(QStringLiteral("p.txt"), "a|b|c;d\n"));
  EXPECT_EQ(Grid1()->ColCount(), 4);
  EXPECT_EQ(Grid1()->Cells(3, 1), QStringLiteral("c;d"));
  EXPECT_EQ(Grid1()->Cells(1, 0), QString());
  // Coming back to the window does not read the settings again.
  ASSERT_EQ(LastDir(), dir_.path());
  WriteFile(QStringLiteral("Einstel_QZR.FRB"), "/anders\r\n");
  QApplication::setActiveWindow(nullptr);
  main_->activateWindow();
  QApplication::processEvents();
  EXPECT_EQ(LastDir(), dir_.path());
}

TEST_F(MainWindowTest, SeparatorHintsFollowTheSetting) {
  Start();
  // The hint is built at every mouse move over the button.
  auto move_over = [](QWidget* button) {
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), QPointF(5, 5), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(button, &move);
  };
  move_over(Main<QToolButton>("sbLaden_TXT"));
  EXPECT_EQ(Main<QToolButton>("sbLaden_TXT")->property("hint").toString(),
            QStringLiteral("Öffnen TXT-Datei\rTrennzeichen: \";\""));
  SetSeparator(QStringLiteral("Tab"));
  move_over(Main<QToolButton>("sbSpeichern"));
  EXPECT_EQ(Main<QToolButton>("sbSpeichern")->property("hint").toString(),
            QStringLiteral("Speichern in TXT-Excel Datei\rLinke-Maus  Trennzeichen: "
                           "Tab\rRechte-Maus Trennzeichen: Tab"));
  EXPECT_EQ(Main<QToolButton>("sbSpeichern")->toolTip(),
            QStringLiteral("Speichern in TXT-Excel Datei\nLinke-Maus  Trennzeichen: "
                           "Tab\nRechte-Maus Trennzeichen: Tab"));
  SetSeparator(QStringLiteral("Komma"));
  move_over(Main<QToolButton>("sbLaden_TXT"));
  EXPECT_EQ(Main<QToolButton>("sbLaden_TXT")->property("hint").toString(),
            QStringLiteral("Öffnen TXT-Datei\rTrennzeichen: \",\""));
}

TEST_F(MainWindowTest, StatusPanelIsHalfTheWindowWidth) {
  Start();
  main_->resize(1000, 550);
  QApplication::processEvents();
  EXPECT_EQ(Main<ui::StatusBar>("StatusBar1")->PanelWidth(0), main_->frameGeometry().width() / 2);
}

// Escape during a load: the question comes back while Escape is held, and the
// answer decides whether the reading goes on.
class EscapeTest : public WindowTest, public ::testing::WithParamInterface<bool> {};

TEST_P(EscapeTest, ContinueQuestion) {
  const bool go_on = GetParam();
  Start();
  std::string text;
  for (int i = 1; i <= 500; ++i) text += std::to_string(i) + ";b;c\n";
  const QString path = WriteFile(QStringLiteral("lang.txt"), text);
  // Escape goes down before the reading starts; the first repaint sees it.
  QApplication::postEvent(main_, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
  int asked = 0;
  prompter_.answers = {Prompter::kResultYes, go_on ? Prompter::kResultYes : Prompter::kResultNo};
  prompter_.on_message = [&](const uitest::ScriptedPrompter::Asked&) {
    // Still held at the first question; let go before the second.
    if (++asked == 2) QTest::keyRelease(main_, Qt::Key_Escape);
  };
  LoadThroughButton(path);
  ASSERT_EQ(prompter_.messages.size(), 2u);
  for (const auto& m : prompter_.messages) {
    EXPECT_EQ(m.text, QStringLiteral("Laden lang.txt ist noch nicht beendet\rFortsetzen?"));
    EXPECT_EQ(m.kind, Prompter::Kind::kWarning);
    EXPECT_EQ(m.buttons, Prompter::Buttons::kYesNo);
  }
  EXPECT_EQ(Grid1()->RowCount() - 1, go_on ? 500 : 1);
  EXPECT_EQ(Main<QLabel>("lbY")->text(), QStringLiteral("Anzahl Zeilen: ") + (go_on ? "500" : "1"));
  EXPECT_TRUE(Grid1()->isVisible());
  // A table cut short says so; a whole one leaves the status line hidden.
  EXPECT_EQ(Main<ui::StatusBar>("StatusBar1")->isVisible(), !go_on);
  if (!go_on) {
    EXPECT_EQ(Main<QLabel>("Notice")->text(),
              QStringLiteral("Tabelle unvollständig: Laden abgebrochen, 1 Zeile gelesen"));
  }
}

INSTANTIATE_TEST_SUITE_P(YesAndNo, EscapeTest, ::testing::Bool());

TEST_F(MainWindowTest, OutOfMemoryKeepsTheRowsStoredBefore) {
  Start();
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "eins;zwei;drei\n";
  const QString path = WriteFile(QStringLiteral("gross.txt"), text);
  {
    const core::ScopedMemoryProbe budget(core::BudgetProbe(300000));
    LoadThroughButton(path);
  }
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].text, QStringLiteral("Speicherplatz zu klein"));
  const int rows = Grid1()->RowCount() - 1;
  EXPECT_GT(rows, 0);
  EXPECT_LT(rows, 20000);
  EXPECT_EQ(Grid1()->Cells(3, rows), QStringLiteral("drei"));
  EXPECT_EQ(Main<QLabel>("lbY")->text(), QStringLiteral("Anzahl Zeilen: ") + QString::number(rows));
  EXPECT_TRUE(Grid1()->isVisible());
  EXPECT_TRUE(Main<QFrame>("plMenu")->isVisible());
}

TEST_F(MainWindowTest, CellsAreEditedInPlaceAndKeepTheirBytes) {
  Start();
  // Windows-1252 bytes (not UTF-8): shown as such, written back as such.
  LoadThroughButton(WriteFile(QStringLiteral("w.txt"), "gr\xFC\xDF;b;c\nd;e;f\n"));
  ui::StringGrid* g = Grid1();
  EXPECT_EQ(g->Cells(1, 1), QStringLiteral("grüß"));
  QAbstractItemModelTester tester(g->model(),
                                  QAbstractItemModelTester::FailureReportingMode::Warning);
  g->SetRow(2);
  g->SetCol(2);
  // Typing starts the editor; the following keys go to it.
  QTest::keyClicks(g, QStringLiteral("Ö"));
  QWidget* editor = QApplication::focusWidget();
  ASSERT_NE(editor, g);
  QTest::keyClicks(editor, QStringLiteral("l"));
  QTest::keyClick(editor, Qt::Key_Return);
  QApplication::processEvents();
  EXPECT_EQ(g->Cells(2, 2), QStringLiteral("Öl"));
  EXPECT_EQ(g->table().Get(2, 2), "\xD6l");
  EXPECT_EQ(g->table().Get(1, 1), "gr\xFC\xDF");
}

TEST_F(MainWindowTest, DraggingARowMovesTheDataNotTheNumbers) {
  Start();
  LoadThroughButton(WriteFile(QStringLiteral("m.txt"), "a;1;x\nb;2;y\nc;3;z\n"));
  ui::StringGrid* g = Grid1();
  ASSERT_TRUE(g->RowColMoving());
  g->verticalHeader()->moveSection(0, 2);  // what a drag of the first row header does
  EXPECT_EQ(g->Cells(1, 1), QStringLiteral("b"));
  EXPECT_EQ(g->Cells(1, 3), QStringLiteral("a"));
  EXPECT_EQ(g->Cells(0, 1), QStringLiteral("1"));
  EXPECT_EQ(g->Cells(0, 3), QStringLiteral("3"));
  EXPECT_EQ(g->verticalHeader()->visualIndex(0), 0);
  g->horizontalHeader()->moveSection(2, 0);
  EXPECT_EQ(g->Cells(1, 1), QStringLiteral("y"));
  EXPECT_EQ(g->Cells(2, 1), QStringLiteral("b"));
  EXPECT_EQ(g->Cells(1, 0), QStringLiteral("1"));
}

TEST_F(MainWindowTest, GridClickMovesSearchCursorAndFillsRangeField) {
  Start();
  LoadThroughButton(WriteFile(QStringLiteral("k.txt"), "a;b;c\nd;e;f\ng;h;i\n"));
  ui::StringGrid* g = Grid1();
  QTest::keyClicks(Main<QLineEdit>("edSuchen"), QStringLiteral("e"));
  QTest::keyClick(Main<QLineEdit>("edSuchen"), Qt::Key_Return);
  ASSERT_TRUE(Part<ui::Search>("Search").hit());
  const QRect cell = g->visualRect(g->model()->index(2, 1));
  QTest::mouseClick(g->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
  EXPECT_EQ(Part<ui::Search>("Search").cursor_col(), 2);
  EXPECT_EQ(Part<ui::Search>("Search").cursor_row(), 3);
  EXPECT_FALSE(Part<ui::Search>("Search").hit());
  EXPECT_EQ(Main<QLineEdit>("edAb")->text(), QStringLiteral("2"));
  Main<QRadioButton>("rbZeile")->setChecked(true);
  QTest::keyClick(g, Qt::Key_Up);
  EXPECT_EQ(Part<ui::Search>("Search").cursor_row(), 2);
  EXPECT_EQ(Main<QLineEdit>("edAb")->text(), QStringLiteral("2"));
}

TEST_F(MainWindowTest, GeneralErrorDisplayAddsAFullStopWhenNeeded) {
  Start();
  const struct {
    const char* text;
    const char* shown;
  } cases[] = {{"Fehler", "Fehler."},
               {"Fehler.", "Fehler."},
               {"Fehler!", "Fehler!"},
               {"Wert 7", "Wert 7."},
               {"", ""}};
  for (const auto& c : cases) {
    prompter_.messages.clear();
    ui::ShowGeneralError(prompter_, main_, QString::fromUtf8(c.text));
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_EQ(prompter_.messages[0].text, QString::fromUtf8(c.shown));
    EXPECT_EQ(prompter_.messages[0].title, QStringLiteral("Marvesk"));
    EXPECT_EQ(prompter_.messages[0].kind, Prompter::Kind::kError);
    EXPECT_EQ(prompter_.messages[0].buttons, Prompter::Buttons::kOk);
  }
}

// Settings that cannot be written never keep the program from ending: the
// window closes at once, without a word, and the old file stays.
TEST_F(MainWindowTest, SettingsWriteFailureStillCloses) {
  Start();
  // The settings file points at a device that is always full.
  ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), main_->ProgramDir() + "Einstel_QZR.FRB"));
  main_->close();
  EXPECT_TRUE(prompter_.messages.empty());
  EXPECT_FALSE(main_->isVisible());
}

TEST_F(MainWindowTest, ControlBytesAndLongCellsAreShownNotLost) {
  Start();
  std::string text("a\0b;x\x01y;", 8);
  text += std::string(5000, 'L') + "\n";
  LoadThroughButton(WriteFile(QStringLiteral("bin.txt"), text));
  ui::StringGrid* g = Grid1();
  EXPECT_EQ(g->model()->data(g->model()->index(0, 0)).toString(), QStringLiteral("a\u2400b"));
  EXPECT_EQ(g->model()->data(g->model()->index(0, 1)).toString(), QStringLiteral("x\u2401y"));
  const QString shown = g->model()->data(g->model()->index(0, 2)).toString();
  EXPECT_LT(shown.size(), 5000);  // the grid shows a part of a huge cell
  EXPECT_EQ(g->model()->data(g->model()->index(0, 2), Qt::EditRole).toString().size(), 5000);
  EXPECT_EQ(g->table().Get(1, 1), std::string_view("a\0b", 3));
}

}  // namespace
