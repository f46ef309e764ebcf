#include "ui/BlockOps.h"

#include <QLineEdit>

#include "ui/StringGrid.h"

namespace ui {

BlockOps::BlockOps(QWidget* window, QLineEdit* edBreite) : edBreite(edBreite) {
  sgh = new StringGrid(window, /*fixed=*/false);
  sgh->setObjectName(QStringLiteral("sgh"));
  sgh->setGeometry(376, 288, 185, 105);
  sgh->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  sgh->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  sgh->hide();
}

void BlockOps::ShowWidthOf(const StringGrid& grid) {
  edBreite->setText(QString::number(grid.ColWidth(1)));
}

}  // namespace ui
