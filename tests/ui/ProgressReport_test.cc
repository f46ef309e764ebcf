// The progress bar of the long operations: it looks at the clock only now
// and then when rows come fast, and must still follow at once when they
// slow down.
#include "ui/ProgressReport.h"

#include <gtest/gtest.h>

#include <QProgressBar>
#include <QWidget>
#include <chrono>
#include <thread>

namespace {

TEST(ProgressReport, FollowsSlowRowsAfterAMillionFastOnes) {
  QWidget window;
  auto* bar = new QProgressBar(&window);
  window.show();
  ui::ProgressReport report(bar, &window);
  constexpr int kFast = 1000000;
  report.Started(kFast + 1000);
  for (int i = 1; i <= kFast; ++i) report.Progress(i);
  // A long row after the short ones: the bar shows it within a few calls,
  // whatever the pace of the calls before taught the report to skip.
  int calls = 0;
  while (bar->value() < kFast && calls < 100) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    report.Progress(kFast + ++calls);
  }
  EXPECT_GE(bar->value(), kFast);
  EXPECT_LE(calls, 70);
  report.Finished();
  EXPECT_FALSE(bar->isVisible());
}

}  // namespace
