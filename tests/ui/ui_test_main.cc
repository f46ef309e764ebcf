// Runs the UI tests inside one QApplication on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>

namespace {
QtMessageHandler g_default_handler = nullptr;

// The offscreen platform warns about window hints and mouse grabs it cannot
// pass on; that says nothing about the program.
void FilterMessages(QtMsgType type, const QMessageLogContext& context, const QString& msg) {
  if (msg.contains(QLatin1String("does not support propagateSizeHints"))) return;
  if (msg.contains(QLatin1String("does not support grabbing the mouse"))) return;
  if (g_default_handler) g_default_handler(type, context, msg);
}
}  // namespace

int main(int argc, char** argv) {
  g_default_handler = qInstallMessageHandler(FilterMessages);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The banner strip asks a port where nothing listens unless a test serves
  // pages itself: a test run never reaches out to the maker's server.
  if (qEnvironmentVariableIsEmpty("MARVESK_BANNER_HOST")) {
    qputenv("MARVESK_BANNER_HOST", "127.0.0.1:1");
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Marvesk"));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
