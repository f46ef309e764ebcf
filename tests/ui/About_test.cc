// The info and settings window on the real windows: its closing rules, the
// reload question, the switches, the shortcut, the links and the place of
// the settings file.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <functional>

#include "UiTestSupport.h"
#include "core/ProductInfo.h"
#include "ui/ut_About.h"

namespace uitest {
namespace {

using ui::Prompter;

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const QByteArray& value)
      : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
    qputenv(name, value);
  }
  ~ScopedEnv() {
    if (had_) {
      qputenv(name_, old_);
    } else {
      qunsetenv(name_);
    }
  }

 private:
  const char* name_;
  bool had_;
  QByteArray old_;
};

class AboutTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start();
  }

  // Picks an entry of the choice box the way a user does, with the arrows.
  void Pick(const QString& entry) {
    QComboBox* cb = About<QComboBox>("cbTrennzeichen");
    const int target = cb->findText(entry);
    ASSERT_GE(target, 0);
    for (int i = 0; i < 10 && cb->currentIndex() != target; ++i) {
      QTest::keyClick(cb, cb->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
    }
    ASSERT_EQ(cb->currentText(), entry);
  }

  void LoadTwoFieldFile() {
    LoadThroughButton(WriteFile(QStringLiteral("zwei.csv"), "a;b\tc;d\ne;f\tg;h\n"));
    ASSERT_TRUE(Grid1()->isVisible());
    prompter_.messages.clear();
  }

  std::vector<QString> Questions() const {
    std::vector<QString> q;
    for (const auto& m : prompter_.messages) q.push_back(m.text);
    return q;
  }
};

TEST_F(AboutTest, ClosingWithoutChangesGivesTagZeroAndNoQuestion) {
  LoadTwoFieldFile();
  const std::function<void()> closings[] = {
      [&] { QTest::mouseClick(About<QPushButton>("OKButton"), Qt::LeftButton); },
      [&] { QTest::keyClick(About<QPushButton>("OKButton"), Qt::Key_Return); },
      [&] {
        QTest::keyClick(About<QCheckBox>("cbKeineWerb"), Qt::Key_Return);
      },                         // the default button
      [&] { about_->close(); },  // the close box
  };
  for (const auto& close : closings) {
    WithAbout(close);
    EXPECT_FALSE(about_->SeparatorChanged());
  }
  EXPECT_TRUE(prompter_.messages.empty());
}

TEST_F(AboutTest, TheReloadQuestionNamesTheNewSeparator) {
  struct Case {
    bool automatic;
    const char* entry;
    char other;  // typed into the "Anderes" field, 0 for none
    const char* question;
  } const cases[] = {
      {false, "Komma", 0, "Datei öffnen mit Trennzeichen \",\" ?"},
      {false, "Tab", 0, "Datei öffnen mit Trennzeichen Tab ?"},
      {true, "Komma", 0, "Datei öffnen mit Trennzeichen automatisch?"},
      {true, "Anderes", '|', "Datei öffnen mit Trennzeichen \"|\" ?"},
  };
  LoadTwoFieldFile();
  for (const Case& c : cases) {
    SetSeparator(QStringLiteral("Semikolon"), QStringLiteral(" "), c.automatic);
    prompter_.messages.clear();
    prompter_.answers = {Prompter::kResultNo};
    WithAbout([&] {
      Pick(QString::fromLatin1(c.entry));
      EXPECT_EQ(About<QCheckBox>("cbTrZAutom")->isHidden(),
                QString::fromLatin1(c.entry) == "Anderes");
      EXPECT_EQ(About<QLineEdit>("edTrennzeichen")->isHidden(),
                !About<QCheckBox>("cbTrZAutom")->isHidden());
      if (c.other) QTest::keyClick(About<QLineEdit>("edTrennzeichen"), c.other);
      QTest::mouseClick(About<QPushButton>("OKButton"), Qt::LeftButton);
    });
    EXPECT_TRUE(about_->SeparatorChanged());
    ASSERT_EQ(prompter_.messages.size(), 1u) << c.entry;
    EXPECT_EQ(prompter_.messages[0].text, QString::fromUtf8(c.question));
    EXPECT_EQ(prompter_.messages[0].title, QStringLiteral("Informationen"));
    EXPECT_EQ(prompter_.messages[0].buttons, Prompter::Buttons::kYesNo);
  }
}

TEST_F(AboutTest, TheOtherCharacterCountsOnlyWhenTheChoiceIsAnderes) {
  LoadTwoFieldFile();
  struct Case {
    char typed;
    bool changed;
  } const cases[] = {{'|', false}, {'#', true}};
  for (const Case& c : cases) {
    SetSeparator(QStringLiteral("Anderes"), QStringLiteral("|"));
    prompter_.answers = {Prompter::kResultNo};
    WithAbout([&] {
      QTest::keyClicks(About<QLineEdit>("edTrennzeichen"), QStringLiteral("xy"));
      EXPECT_EQ(About<QLineEdit>("edTrennzeichen")->text(), QStringLiteral("y"))
          << "the last key only";
      QTest::keyClick(About<QLineEdit>("edTrennzeichen"), Qt::Key_Backspace);
      EXPECT_EQ(About<QLineEdit>("edTrennzeichen")->text(), QString());
      QTest::keyClick(About<QLineEdit>("edTrennzeichen"), c.typed);
      QTest::keyClick(About<QLineEdit>("edTrennzeichen"), Qt::Key_Return);  // presses OK
    });
    EXPECT_EQ(about_->SeparatorChanged(), c.changed) << c.typed;
  }
  // Another choice: the hidden character is not compared.
  SetSeparator(QStringLiteral("Tab"));
  WithAbout([&] {
    About<QLineEdit>("edTrennzeichen")->setText(QStringLiteral("!"));
    QTest::mouseClick(About<QPushButton>("OKButton"), Qt::LeftButton);
  });
  EXPECT_FALSE(about_->SeparatorChanged());
}

TEST_F(AboutTest, TogglingOnlyAutomatischSetsTag) {
  WithAbout([&] {
    QTest::keyClick(About<QCheckBox>("cbTrZAutom"), Qt::Key_Space);
    QTest::mouseClick(About<QPushButton>("OKButton"), Qt::LeftButton);
  });
  EXPECT_TRUE(about_->SeparatorChanged());
  EXPECT_TRUE(prompter_.messages.empty()) << "no question without a table";
}

TEST_F(AboutTest, EscapeInEachPlaceAndF1RevertTheChoiceAndClose) {
  LoadTwoFieldFile();
  struct Case {
    const char* place;
    Qt::Key key;
    bool toggle_auto;
  } const cases[] = {
      {"OKButton", Qt::Key_Escape, false},       {"OKButton", Qt::Key_F1, false},
      {"cbTrennzeichen", Qt::Key_Escape, false}, {"edTrennzeichen", Qt::Key_Escape, false},
      {"OKButton", Qt::Key_Escape, true},
  };
  for (const Case& c : cases) {
    SetSeparator(QStringLiteral("Semikolon"), QStringLiteral(" "));
    prompter_.messages.clear();
    if (c.toggle_auto) prompter_.answers = {Prompter::kResultNo};
    WithAbout([&] {
      if (c.toggle_auto) QTest::keyClick(About<QCheckBox>("cbTrZAutom"), Qt::Key_Space);
      Pick(QStringLiteral("Anderes"));
      QTest::keyClick(About<QLineEdit>("edTrennzeichen"), 'x');
      // Escape on a check box closes nothing: the window has no cancel button.
      QTest::keyClick(About<QCheckBox>("cbKeineWerb"), Qt::Key_Escape);
      EXPECT_TRUE(about_->isVisible());
      QWidget* place = about_->findChild<QWidget*>(QString::fromLatin1(c.place));
      ASSERT_NE(place, nullptr);
      QTest::keyClick(place, c.key);
      EXPECT_FALSE(about_->isVisible()) << c.place;
    });
    EXPECT_EQ(main_->settings().separator.choice, "Semikolon") << c.place;
    EXPECT_EQ(main_->settings().separator.other, " ");
    EXPECT_EQ(about_->SeparatorChanged(), c.toggle_auto) << c.place;
    EXPECT_EQ(prompter_.messages.size(), c.toggle_auto ? 1u : 0u);
  }
}

TEST_F(AboutTest, NothingCanBeTypedIntoTheChoiceBox) {
  WithAbout([&] {
    QTest::keyClicks(About<QComboBox>("cbTrennzeichen"), QStringLiteral("Komma"));
    QTest::keyClick(About<QComboBox>("cbTrennzeichen"), Qt::Key_Delete);
    EXPECT_EQ(About<QComboBox>("cbTrennzeichen")->currentText(), QStringLiteral("Semikolon"));
    QTest::mouseClick(About<QPushButton>("OKButton"), Qt::LeftButton);
  });
  EXPECT_FALSE(about_->SeparatorChanged());
}

TEST_F(AboutTest, YesReloadsTheFileWithTheNewSeparator) {
  SetSeparator(QStringLiteral("Semikolon"), QStringLiteral(" "), /*automatic=*/false);
  LoadTwoFieldFile();
  ui::StringGrid* g = Grid1();
  // The grid shows a TAB inside a cell as its control picture.
  auto shown = [](const char* s) { return QString::fromLatin1(s).replace('\t', QChar(0x2409)); };
  EXPECT_EQ(g->Cells(2, 1), shown("b\tc"));
  struct Case {
    const char* entry;
    const char* cells[3];  // columns 1 to 3 of the first data row
  } const cases[] = {{"Tab", {"a;b", "c;d", ""}}, {"Komma", {"a;b\tc;d", "", ""}}};
  for (const Case& c : cases) {
    prompter_.answers = {Prompter::kResultYes};
    WithAbout([&] {
      Pick(QString::fromLatin1(c.entry));
      QTest::mouseClick(About<QPushButton>("OKButton"), Qt::LeftButton);
    });
    for (int col = 1; col <= 3; ++col) {
      EXPECT_EQ(g->Cells(col, 1), shown(c.cells[col - 1])) << c.entry << col;
    }
  }
}

TEST_F(AboutTest, TheSwitchesTakeEffectAtOnce) {
  QFrame* strip = Main<QFrame>("plWerbung");
  LoadTwoFieldFile();
  EXPECT_TRUE(strip->isHidden()) << "hidden after Laden";
  WithAbout([&] {
    EXPECT_FALSE(About<QCheckBox>("cbKeineWerb")->isChecked());
    EXPECT_TRUE(About<QCheckBox>("cbRC_Verschieben")->isChecked());
    QTest::mouseClick(About<QPushButton>("OKButton"), Qt::LeftButton);
  });
  EXPECT_FALSE(strip->isHidden()) << "shown again, also with a table";
  WithAbout([&] {
    About<QCheckBox>("cbKeineWerb")->setChecked(true);
    About<QCheckBox>("cbRC_Verschieben")->setChecked(false);
    QTest::mouseClick(About<QPushButton>("OKButton"), Qt::LeftButton);
  });
  EXPECT_TRUE(strip->isHidden());
  EXPECT_TRUE(main_->settings().hide_banner);
  for (ui::StringGrid* g : {Grid1(), Grid2()}) {
    EXPECT_FALSE(g->horizontalHeader()->sectionsMovable());
    EXPECT_FALSE(g->verticalHeader()->sectionsMovable());
  }
  WithAbout([&] {
    EXPECT_TRUE(About<QCheckBox>("cbKeineWerb")->isChecked()) << "mirrored from the setting";
    About<QCheckBox>("cbRC_Verschieben")->setChecked(true);
    QTest::mouseClick(About<QPushButton>("OKButton"), Qt::LeftButton);
  });
  for (ui::StringGrid* g : {Grid1(), Grid2()}) {
    EXPECT_TRUE(g->horizontalHeader()->sectionsMovable());
  }
}

TEST_F(AboutTest, WindowShowsTheProductAndItsLinks) {
  WithAbout([&] {
    EXPECT_EQ(about_->windowTitle(), QStringLiteral(" About"));
    EXPECT_EQ(About<QLabel>("lbVersion")->text(), QStringLiteral("Version 1.5"));
    EXPECT_EQ(About<QLabel>("lbLizenz")->text(), QStringLiteral("Freeware"));
    EXPECT_EQ(About<QLabel>("Label3")->text(), QString::fromLatin1(core::kMakerWebHost));
    EXPECT_EQ(About<QLabel>("lbMail2")->text(), QString::fromLatin1(core::kAuthorMail));
    EXPECT_EQ(about_->focusWidget(), About<QPushButton>("OKButton"));
    EXPECT_EQ(About<QLabel>("ProgramIcon")->geometry(), QRect(15, 15, 150, 110));
    EXPECT_FALSE(About<QLabel>("ProgramIcon")->pixmap().isNull());
    EXPECT_TRUE(About<QPushButton>("OKButton")->isDefault());
    EXPECT_FALSE(About<QPushButton>("OKButton")->icon().isNull());
    // The tab order inside the panel, then OK.
    QWidget* w = About<QCheckBox>("cbKeineWerb");
    for (QWidget* next : std::initializer_list<QWidget*>{
             About<QCheckBox>("cbRC_Verschieben"), About<QComboBox>("cbTrennzeichen"),
             About<QLineEdit>("edTrennzeichen"), About<QCheckBox>("cbTrZAutom"),
             About<QCheckBox>("cbAnfuehrung"), About<QPushButton>("OKButton")}) {
      w = w->nextInFocusChain();
      while (w->focusPolicy() == Qt::NoFocus ||
             w->parentWidget() == About<QComboBox>("cbTrennzeichen")) {
        w = w->nextInFocusChain();
      }
      EXPECT_EQ(w, next) << w->objectName().toStdString();
    }
    QTest::mouseClick(About<QPushButton>("OKButton"), Qt::LeftButton);
  });
}

TEST_F(AboutTest, MailAndWebLinksHandOverExactlyWhatTheyShow) {
  struct Case {
    std::deque<bool> starts;
    size_t tries;
  } const cases[] = {{{true}, 1}, {{false, true}, 2}, {{false, false, false}, 3}};
  for (const Case& c : cases) {
    shell_.opened.clear();
    shell_.starts = c.starts;
    WithAbout([&] {
      QTest::mouseClick(About<QLabel>("Label3"), Qt::LeftButton);
      QTest::mouseClick(About<QPushButton>("OKButton"), Qt::LeftButton);
    });
    ASSERT_EQ(shell_.opened.size(), c.tries);
    const QString address = QStringLiteral("http://") + QString::fromLatin1(core::kMakerWebHost);
    const RecordingShell::Opened expected[] = {
        {QStringLiteral("open"), address, QString()},
        {QStringLiteral("open"), QStringLiteral("x-www-browser"), address},
        {QStringLiteral("open"), QStringLiteral("firefox"), address}};
    for (size_t i = 0; i < c.tries; ++i) {
      EXPECT_EQ(shell_.opened[i].file, expected[i].file);
      EXPECT_EQ(shell_.opened[i].parameters, expected[i].parameters);
      EXPECT_EQ(shell_.opened[i].verb, expected[i].verb);
    }
  }
  shell_.opened.clear();
  WithAbout([&] {
    QTest::mouseClick(About<QLabel>("lbMail2"), Qt::LeftButton);
    // An address too long for the shell's buffer is refused, never cut.
    About<QLabel>("lbMail2")->setText(QString(80, QLatin1Char('m')));
    QTest::mouseClick(About<QLabel>("lbMail2"), Qt::LeftButton);
    QTest::mouseClick(About<QPushButton>("OKButton"), Qt::LeftButton);
  });
  ASSERT_EQ(shell_.opened.size(), 1u);
  EXPECT_EQ(shell_.opened[0].file,
            QStringLiteral("MailTo:") + QString::fromLatin1(core::kAuthorMail));
  EXPECT_EQ(shell_.opened[0].parameters, QString());
  EXPECT_EQ(shell_.opened[0].verb, QString());
}

// The shortcut, written into a home folder of the test's own.
class ShortcutTest : public AboutTest {
 protected:
  void SetUp() override {
    AboutTest::SetUp();
    home_ = dir_.path() + QStringLiteral("/home");
    QDir().mkpath(home_);
    env_home_ = std::make_unique<ScopedEnv>("HOME", QFile::encodeName(home_));
    env_config_ = std::make_unique<ScopedEnv>("XDG_CONFIG_HOME", QByteArray());
    env_data_ = std::make_unique<ScopedEnv>("XDG_DATA_HOME", QByteArray());
  }
  void TearDown() override {
    env_data_.reset();
    env_config_.reset();
    env_home_.reset();
    AboutTest::TearDown();
  }
  void PressDesktop(int answer) {
    prompter_.answers = {answer};
    WithAbout([&] {
      QTest::mouseClick(About<QToolButton>("sbDesktop"), Qt::LeftButton);
      QTest::mouseClick(About<QPushButton>("OKButton"), Qt::LeftButton);
    });
  }
  QString Launcher() const { return home_ + QStringLiteral("/Desktop/Marvesk 1.5.desktop"); }

  QString home_;
  std::unique_ptr<ScopedEnv> env_home_, env_config_, env_data_;
};

TEST_F(ShortcutTest, NoWritesNothing) {
  PressDesktop(Prompter::kResultNo);
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].text,
            QStringLiteral("Verknüpfung mit dem Programm Marvesk auf dem Desktop erstellen?"));
  EXPECT_EQ(prompter_.messages[0].title, QStringLiteral("Informationen"));
  EXPECT_FALSE(QFileInfo::exists(home_ + QStringLiteral("/Desktop")));
}

TEST_F(ShortcutTest, YesWritesALauncherThatReplacesItsOwnAndLeavesOtherVersions) {
  const QString program_dir = dir_.path() + QStringLiteral("/Meine Programme (neu)/");
  QDir().mkpath(program_dir);
  Reopen(program_dir);
  QDir().mkpath(home_ + QStringLiteral("/Desktop"));
  WriteFile(QStringLiteral("home/Desktop/Marvesk 1.5.desktop"), "alt");
  WriteFile(QStringLiteral("home/Desktop/Marvesk 1.4.desktop"), "andere Version");
  PressDesktop(Prompter::kResultYes);
  const QString text = QString::fromStdString(ReadFile(Launcher()));
  const QString expected_icon = home_ + QStringLiteral("/.local/share/Marvesk/marvesk.svg");
  EXPECT_EQ(text, QStringLiteral("[Desktop Entry]\nType=Application\nName=Marvesk 1.5\n"
                                 "Exec=\"%1Marvesk\"\nPath=%1\nIcon=%2\nTerminal=false\n")
                      .arg(program_dir, expected_icon));
  EXPECT_TRUE(QFileInfo(expected_icon).size() > 100);
  EXPECT_TRUE(QFileInfo(Launcher()).isExecutable());
  EXPECT_EQ(ReadFile(home_ + QStringLiteral("/Desktop/Marvesk 1.4.desktop")), "andere Version");
  QProcess validate;
  validate.start(QStringLiteral("desktop-file-validate"), {Launcher()});
  ASSERT_TRUE(validate.waitForFinished(20000));
  EXPECT_EQ(validate.exitCode(), 0) << validate.readAll().toStdString();
}

TEST_F(ShortcutTest, TheUserDirsFileNamesTheDesktopAndTheQuestionKeepsTheWindowsState) {
  QDir().mkpath(home_ + QStringLiteral("/.config"));
  WriteFile(QStringLiteral("home/.config/user-dirs.dirs"),
            "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
  LoadTwoFieldFile();
  prompter_.answers = {Prompter::kResultYes, Prompter::kResultNo};
  WithAbout([&] {
    Pick(QStringLiteral("Komma"));
    QTest::mouseClick(About<QToolButton>("sbDesktop"), Qt::LeftButton);
    EXPECT_TRUE(about_->isVisible());
    EXPECT_EQ(About<QComboBox>("cbTrennzeichen")->currentText(), QStringLiteral("Komma"));
    QTest::mouseClick(About<QPushButton>("OKButton"), Qt::LeftButton);
  });
  EXPECT_TRUE(QFileInfo::exists(home_ + QStringLiteral("/Schreibtisch/Marvesk 1.5.desktop")));
  ASSERT_EQ(prompter_.messages.size(), 2u);
  // The question after the shortcut's did not open the window anew: the
  // change from Semikolon still counts.
  EXPECT_EQ(prompter_.messages[1].text,
            QStringLiteral("Datei öffnen mit Trennzeichen automatisch?"));
}

TEST_F(AboutTest, ProgramFolderThatCannotBeWrittenKeepsTheSettingsPerUser) {
  const QString config = dir_.path() + QStringLiteral("/conf");
  ScopedEnv env("XDG_CONFIG_HOME", QFile::encodeName(config));
  const QString settings = config + QStringLiteral("/Marvesk/Einstel_QZR.FRB");
  for (int run = 0; run < 2; ++run) {
    // A folder nobody may write, like /usr/bin: here one that is not there.
    Reopen(dir_.path() + QStringLiteral("/installiert/"));
    WithAbout([&] {
      EXPECT_EQ(About<QCheckBox>("cbKeineWerb")->isChecked(), run == 1)
          << "read back after the restart";
      About<QCheckBox>("cbKeineWerb")->setChecked(true);
      QTest::mouseClick(About<QPushButton>("OKButton"), Qt::LeftButton);
    });
    main_->close();
    EXPECT_EQ(ReadFile(settings).substr(0, 5), "\r\n1\r\n") << run;
  }
}

}  // namespace
}  // namespace uitest
