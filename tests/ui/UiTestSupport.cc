#include "UiTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QItemSelection>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "ui/ButtonBar.h"
#include "ui/ut_About.h"
#include "ui/ut_EX.h"
#include "ui/ut_Marvesk.h"

namespace uitest {

void Select(ui::StringGrid* g, int l, int t, int r, int b) {
  g->SetCol(l);
  g->SetRow(t);
  g->selectionModel()->select(
      QItemSelection(g->model()->index(t - 1, l - 1), g->model()->index(b - 1, r - 1)),
      QItemSelectionModel::ClearAndSelect);
}

void Chord(QWidget* w, Qt::Key modifier, Qt::KeyboardModifier flag, Qt::Key key) {
  QTest::keyPress(w, modifier, flag);
  QTest::keyClick(w, key, flag);
  QTest::keyRelease(w, modifier);
}

std::string GridText(int cols, int rows) {
  std::string text;
  for (int r = 1; r <= rows; ++r) {
    for (int c = 1; c <= cols; ++c) {
      text += (c > 1 ? ";c" : "c") + std::to_string(c) + "r" + std::to_string(r);
    }
    text += "\n";
  }
  return text;
}

int ScriptedPrompter::Message(QWidget*, Kind kind, const QString& title, const QString& text,
                              Buttons buttons) {
  const Asked m{kind, title, text, buttons};
  messages.push_back(m);
  if (on_message) on_message(m);
  if (!answers.empty()) {
    const int a = answers.front();
    answers.pop_front();
    return a;
  }
  if (buttons == Buttons::kOk) return kResultOk;
  ADD_FAILURE() << "unexpected question: " << text.toStdString();
  return kResultNo;
}

bool ScriptedPrompter::OpenFile(QWidget*, ui::FileDialogState& state) {
  open_requests.push_back(state);
  if (open_answers.empty()) {
    ADD_FAILURE() << "unexpected open dialog";
    return false;
  }
  const std::optional<QString> answer = open_answers.front();
  open_answers.pop_front();
  if (!answer) return false;
  state.file_name = *answer;
  if (!open_filter_answers.empty()) {
    state.filter_index = open_filter_answers.front();
    open_filter_answers.pop_front();
  }
  return true;
}

bool ScriptedPrompter::SaveFile(QWidget*, ui::FileDialogState& state) {
  save_requests.push_back(state);
  if (save_answers.empty()) {
    ADD_FAILURE() << "unexpected save dialog";
    return false;
  }
  const std::optional<QString> answer = save_answers.front();
  save_answers.pop_front();
  if (!answer) return false;
  state.file_name = *answer;
  if (!save_filter_answers.empty()) {
    state.filter_index = save_filter_answers.front();
    save_filter_answers.pop_front();
  }
  return true;
}

void WindowTest::SetUp() {
  // Tests that run their cases in fresh windows call this again.
  prompter_.messages.clear();
  prompter_.answers.clear();
  ASSERT_TRUE(dir_.isValid());
  windows_ = std::make_unique<ui::Windows>(&prompter_, &shell_, dir_.path() + QLatin1Char('/'));
  main_ = windows_->main();
  about_ = windows_->about();
}

void WindowTest::TearDown() {
  main_ = nullptr;
  about_ = nullptr;
  windows_.reset();
}

void WindowTest::SaveThroughButton(const QString& path, Qt::MouseButton button) {
  prompter_.save_answers.push_back(path);
  QTest::mousePress(Main<QToolButton>("sbSpeichern"), button);
  QTest::mouseRelease(Main<QToolButton>("sbSpeichern"), button);
}

void WindowTest::Start() {
  main_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(main_));
  // QTRY_* failures never reach gtest: a late start-up would go unnoticed
  // and run in the middle of the test. Wait here and fail here.
  QDeadlineTimer deadline(10000);
  while (!main_->activated() && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  ASSERT_TRUE(main_->activated()) << "the main window's start-up did not run";
  // The platform's own activation comes now, not inside the test's first
  // load, where the load's event processing would deliver it.
  EXPECT_TRUE(QTest::qWaitForWindowActive(main_, 10000)) << "the main window never became active";
  QCoreApplication::processEvents();
}

QString WindowTest::WriteFile(const QString& name, const std::string& bytes) {
  const QString path = dir_.path() + QLatin1Char('/') + name;
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes.data(), static_cast<qint64>(bytes.size()));
  return path;
}

std::string WindowTest::ReadFile(const QString& path) const {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll().toStdString();
}

void WindowTest::LoadThroughButton(const QString& path) {
  prompter_.open_answers.push_back(path);
  QTest::mouseClick(Main<QToolButton>("sbLaden_TXT"), Qt::LeftButton);
}

void WindowTest::Reopen(const QString& program_dir) {
  windows_ = std::make_unique<ui::Windows>(&prompter_, &shell_, program_dir);
  main_ = windows_->main();
  about_ = windows_->about();
  Start();
}

void WindowTest::WithAbout(const std::function<void()>& inside) {
  bool ran = false;
  QTimer::singleShot(0, about_, [&] {
    ran = true;
    EXPECT_TRUE(about_->isVisible());
    EXPECT_TRUE(main_->isHidden()) << "the main window is hidden meanwhile";
    inside();
    if (about_->isVisible()) {
      ADD_FAILURE() << "the info window is still open";
      about_->reject();
    }
  });
  QTest::mouseClick(Main<QToolButton>("sbAbout"), Qt::LeftButton);
  EXPECT_TRUE(ran);
  EXPECT_TRUE(main_->isVisible());
}

void WindowTest::SetSeparator(const QString& choice, const QString& other, bool automatic,
                              bool quoted) {
  // With a table shown a changed separator brings the reload question: No.
  const size_t asked = prompter_.messages.size();
  const bool table = Grid1()->isVisible() || Grid2()->isVisible();
  if (table) prompter_.answers.push_front(ui::Prompter::kResultNo);
  WithAbout([&] {
    auto* box = About<QComboBox>("cbTrennzeichen");
    const int index = box->findText(choice);
    if (index >= 0) box->setCurrentIndex(index);
    box->setEditText(choice);
    About<QLineEdit>("edTrennzeichen")->setText(other);
    About<QCheckBox>("cbTrZAutom")->setChecked(automatic);
    About<QCheckBox>("cbAnfuehrung")->setChecked(quoted);
    QTest::mouseClick(About<QPushButton>("OKButton"), Qt::LeftButton);
  });
  if (table && prompter_.messages.size() == asked) prompter_.answers.pop_front();
  prompter_.messages.resize(asked);
}

ui::StringGrid* WindowTest::Grid1() const { return Main<ui::StringGrid>("StringGrid1"); }
ui::StringGrid* WindowTest::Grid2() const { return Main<ui::StringGrid>("StringGrid2"); }

QString WindowTest::LastDir() const {
  return QFile::decodeName(main_->settings().last_dir.c_str());
}

}  // namespace uitest
