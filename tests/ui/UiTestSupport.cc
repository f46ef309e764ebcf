#include "UiTestSupport.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTest>
#include <QToolButton>

#include "ui/ButtonBar.h"
#include "ui/ut_About.h"
#include "ui/ut_EX.h"
#include "ui/ut_Marvesk.h"

namespace uitest {

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
  ASSERT_TRUE(dir_.isValid());
  windows_ = std::make_unique<ui::Windows>(&prompter_, &shell_);
  main_ = windows_->main();
  about_ = windows_->about();
  main_->settings.ProgramDir = dir_.path() + QLatin1Char('/');
}

void WindowTest::TearDown() {
  main_ = nullptr;
  about_ = nullptr;
  windows_.reset();
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
  QTest::mouseClick(main_->bar().sbLaden_TXT, Qt::LeftButton);
}

}  // namespace uitest
