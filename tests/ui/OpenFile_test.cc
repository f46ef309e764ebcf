// A file given from outside: on the command line or dropped onto the window.
// It loads as "Laden" with that file chosen in the dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <functional>

#include "UiTestSupport.h"

namespace {

using ui::Prompter;
using uitest::WindowTest;

// What a load leaves behind, to hold the ways of loading against each other.
struct Outcome {
  bool grid_shown = false;
  int cols = 0;
  int rows = 0;
  QString cell;
  QString lbX;
  QString lbY;
  QString last_dir;
  QString dialog_file;
  bool banner_hidden = false;
  bool panel_hidden = false;
  std::vector<QString> messages;
  bool operator==(const Outcome&) const = default;
};

class OpenFileTest : public WindowTest {
 protected:
  Outcome Take() const {
    ui::StringGrid* g = Grid1();
    Outcome o{!g->isHidden(),
              g->ColCount(),
              g->RowCount(),
              g->Cells(2, 2),
              Main<QLabel>("lbX")->text(),
              Main<QLabel>("lbY")->text(),
              LastDir(),
              Part<ui::FileOperations>("FileOperations").file_name(),
              Main<QFrame>("plWerbung")->isHidden(),
              Main<QFrame>("plLoeschen")->isHidden(),
              {}};
    for (const auto& m : prompter_.messages) o.messages.push_back(m.title + "|" + m.text);
    return o;
  }

  // Drops `urls` onto the window as a file manager does.
  void Drop(const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    const QPoint at = main_->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(main_, &enter);
    if (!enter.isAccepted()) return;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(main_, &drop);
    QApplication::processEvents();
  }

  // The same file loaded once through the dialog, in fresh windows, for
  // comparison.
  Outcome ThroughDialog(const QString& path) {
    Restart();
    Start();
    QTest::mouseClick(Main<QToolButton>("sbLoeschen"), Qt::LeftButton);
    LoadThroughButton(path);
    return Take();
  }

  void Restart() {
    TearDown();
    prompter_.messages.clear();
    prompter_.open_requests.clear();
    SetUp();
  }
};

TEST_F(OpenFileTest, ACommandLineFileLoadsLikeTheDialogAfterTheStartUp) {
  const QString path = WriteFile(QStringLiteral("start.csv"), "a;b;c\nd;e;f\ng;h;i\n");
  const QString missing = dir_.path() + QStringLiteral("/fehlt.csv");
  for (const QString& file : {path, missing}) {
    SCOPED_TRACE(file.toStdString());
    const Outcome dialog = ThroughDialog(file);
    Restart();
    main_->SetStartFile(file);
    Start();
    QTest::qWait(50);
    EXPECT_TRUE(prompter_.open_requests.empty()) << "no dialog";
    EXPECT_EQ(Take(), dialog);
  }
  EXPECT_EQ(Take().messages.size(), 1u) << "the missing file's warning";
}

TEST_F(OpenFileTest, ADroppedFileLoadsLikeTheDialogTheFirstOfSeveral) {
  const QString first = WriteFile(QStringLiteral("eins.txt"), "1;2;3\n4;5;6\n");
  const QString second = WriteFile(QStringLiteral("zwei.txt"), "x;y\n");
  const Outcome dialog = ThroughDialog(first);
  Restart();
  Start();
  QTest::mouseClick(Main<QToolButton>("sbLoeschen"), Qt::LeftButton);
  Drop({QUrl(QStringLiteral("https://example.org/fern.csv")), QUrl::fromLocalFile(first),
        QUrl::fromLocalFile(second)});
  EXPECT_TRUE(prompter_.open_requests.empty());
  EXPECT_EQ(Take(), dialog);

  // Nothing local in the drag: refused, nothing happens.
  const Outcome before = Take();
  Drop({QUrl(QStringLiteral("https://example.org/fern.csv"))});
  EXPECT_EQ(Take(), before);

  // A dropped file that is gone warns as the dialog does.
  const QString gone = dir_.path() + QStringLiteral("/weg.txt");
  const Outcome missing = ThroughDialog(gone);
  Restart();
  Start();
  QTest::mouseClick(Main<QToolButton>("sbLoeschen"), Qt::LeftButton);
  Drop({QUrl::fromLocalFile(gone)});
  EXPECT_EQ(Take(), missing);
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].kind, Prompter::Kind::kWarning);
}

}  // namespace
