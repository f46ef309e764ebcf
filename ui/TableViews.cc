#include "ui/TableViews.h"

#include <QToolButton>
#include <QWidget>

#include "ui/Builders.h"
#include "ui/StringGrid.h"

namespace ui {

TableViews::TableViews(QWidget* window) : QObject(window) {
  setObjectName(QStringLiteral("TableViews"));
  grid1_ = new StringGrid(window);
  grid1_->setObjectName(QStringLiteral("StringGrid1"));
  grid2_ = new StringGrid(window);
  grid2_->setObjectName(QStringLiteral("StringGrid2"));
  grid2_->hide();
  for (StringGrid* g : {grid1_, grid2_}) {
    g->setFont(BoldArial9());
    connect(g, &StringGrid::cellClicked, this, [this, g] { emit cellChosen(g); });
    connect(g, &StringGrid::mouseMoved, this, [this, g] { emit mouseMoved(g); });
  }
}

StringGrid& TableViews::Shown() const { return grid1_->isHidden() ? *grid2_ : *grid1_; }

StringGrid& TableViews::Saving() const { return transposed_ ? *grid2_ : *grid1_; }

bool TableViews::TableShown() const { return !grid1_->isHidden() || !grid2_->isHidden(); }

void TableViews::SetTransposed(bool transposed) {
  transposed_ = transposed;
  if (mark_) mark_->setChecked(transposed);
}

void TableViews::ShowOnly(StringGrid& grid) {
  StringGrid& other = &grid == grid1_ ? *grid2_ : *grid1_;
  other.hide();
  grid.show();
}

void TableViews::HideBoth() {
  grid1_->hide();
  grid2_->hide();
}

}  // namespace ui
