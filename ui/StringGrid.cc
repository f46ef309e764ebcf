#include "ui/StringGrid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

#include "ui/Codec.h"

namespace ui {

GridModel::GridModel(core::Table* table, int fixed, QObject* parent)
    : QAbstractTableModel(parent), table_(table), fixed_(fixed) {}

int GridModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return std::max(table_->RowCount() - fixed_, 0);
}

int GridModel::columnCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return std::max(table_->ColCount() - fixed_, 0);
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  const std::string_view bytes = table_->Get(index.column() + fixed_, index.row() + fixed_);
  if (role == Qt::DisplayRole) return DisplayCell(bytes, table_->utf8());
  return DecodeCell(bytes, table_->utf8());
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole) return false;
  const int col = index.column() + fixed_;
  const int row = index.row() + fixed_;
  int lost = 0;
  const std::string bytes = EncodeCell(value.toString(), table_->utf8(), &lost);
  if (bytes == table_->Get(col, row)) return true;  // an editor closed without a change
  if (lost_characters) lost_characters(lost);
  if (write_cell) {
    write_cell(col, row, bytes);
    return true;
  }
  table_->Set(col, row, bytes);
  emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
  return true;
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || !fixed_) return {};
  const std::string_view bytes =
      orientation == Qt::Horizontal ? table_->Get(section + 1, 0) : table_->Get(0, section + 1);
  return DisplayCell(bytes, table_->utf8(), 100);
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

void GridModel::CellsChanged(int left, int top, int right, int bottom) {
  const int l = std::max(left - fixed_, 0);
  const int t = std::max(top - fixed_, 0);
  const int r = std::min(right - fixed_, columnCount() - 1);
  const int b = std::min(bottom - fixed_, rowCount() - 1);
  if (l > r || t > b) return;
  emit dataChanged(index(t, l), index(b, r), {Qt::DisplayRole, Qt::EditRole});
}

namespace {

// Paints a data cell as a string grid does: the text from the left edge,
// one line, cut at the cell's border, in black on the colour the grid's
// painting rule gives (the window colour without one). The selection colour
// never reaches a cell; the current cell keeps its focus rectangle. Much
// cheaper than the style's full item rendering, which lays text out for
// eliding, icons and check boxes.
class CellDelegate final : public QStyledItemDelegate {
 public:
  explicit CellDelegate(StringGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const int off = grid_->Fixed() ? 1 : 0;
    const QRgb colour = grid_->CellColour(index.column() + off, index.row() + off);
    if (colour != 0) {
      painter->fillRect(option.rect, QColor::fromRgb(colour));
    } else if (option.state & QStyle::State_Selected) {
      // The style has put the selection colour down already: cover it.
      painter->fillRect(option.rect, option.palette.base());
    }
    painter->setPen(Qt::black);
    painter->setFont(option.font);
    const QString text = index.data(Qt::DisplayRole).toString();
    if (!text.isEmpty()) {
      // Drawn at a point, cut by a clip: much cheaper than laying the text
      // out in a rectangle.
      const QRect text_rect = option.rect.adjusted(2, 0, -2, 0);
      const QFontMetrics& fm = option.fontMetrics;
      const int baseline = text_rect.top() + (text_rect.height() + fm.ascent() - fm.descent()) / 2;
      painter->save();
      painter->setClipRect(text_rect, Qt::IntersectClip);
      painter->drawText(QPoint(text_rect.left(), baseline), text);
      painter->restore();
    }
    if (option.state & QStyle::State_HasFocus) {
      QPen pen(Qt::black);
      pen.setStyle(Qt::DotLine);
      painter->setPen(pen);
      painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
    }
  }

 protected:
  // The editor hands its keys to the grid's handlers first.
  bool eventFilter(QObject* editor, QEvent* event) override {
    if (event->type() == QEvent::KeyPress &&
        grid_->HandleKeyDown(static_cast<QKeyEvent*>(event), true)) {
      return true;
    }
    if (event->type() == QEvent::KeyRelease) grid_->HandleKeyUp(static_cast<QKeyEvent*>(event));
    return QStyledItemDelegate::eventFilter(editor, event);
  }

 private:
  StringGrid* grid_;
};

// The header sections have a fixed height (column headers) or width (row
// headers). QHeaderView would still measure the texts of up to 200 sections
// for its size hint after every reset, which costs more than painting them.
class FixedHeader final : public QHeaderView {
 public:
  using QHeaderView::QHeaderView;

  QSize sizeHint() const override {
    if (orientation() == Qt::Horizontal && minimumHeight() == maximumHeight()) {
      return QSize(width(), minimumHeight());
    }
    if (orientation() == Qt::Vertical && minimumWidth() == maximumWidth()) {
      return QSize(minimumWidth(), height());
    }
    return QHeaderView::sizeHint();
  }

 protected:
  // A fixed cell of a string grid: flat fill, grid lines, the number from the
  // left edge. The style's gradient sections cost more than the data cells.
  void paintSection(QPainter* painter, const QRect& rect, int logical) const override {
    if (!rect.isValid()) return;
    const QPalette& pal = palette();
    painter->fillRect(rect, pal.button());
    painter->setPen(pal.mid().color());
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    const QString text = model()->headerData(logical, orientation(), Qt::DisplayRole).toString();
    if (text.isEmpty()) return;
    painter->setPen(pal.buttonText().color());
    painter->setFont(font());
    const QFontMetrics fm(font());
    const QRect text_rect = rect.adjusted(2, 0, -2, 0);
    const int baseline = text_rect.top() + (text_rect.height() + fm.ascent() - fm.descent()) / 2;
    painter->save();
    painter->setClipRect(text_rect, Qt::IntersectClip);
    painter->drawText(QPoint(text_rect.left(), baseline), text);
    painter->restore();
  }
};

}  // namespace

StringGrid::StringGrid(QWidget* parent, bool fixed)
    : QTableView(parent), table_(std::make_unique<core::Table>()), fixed_(fixed) {
  model_ = new GridModel(table_.get(), fixed ? 1 : 0, this);
  setModel(model_);
  setItemDelegate(new CellDelegate(this));
  setHorizontalHeader(new FixedHeader(Qt::Horizontal, this));
  setVerticalHeader(new FixedHeader(Qt::Vertical, this));
  QHeaderView* h = horizontalHeader();
  QHeaderView* v = verticalHeader();
  h->setDefaultSectionSize(default_col_width_);
  h->setMinimumSectionSize(0);
  h->setSectionResizeMode(QHeaderView::Interactive);
  h->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  h->setHighlightSections(false);
  h->setFixedHeight(20);
  v->setDefaultSectionSize(20);
  v->setMinimumSectionSize(0);
  v->setSectionResizeMode(QHeaderView::Fixed);
  v->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  v->setHighlightSections(false);
  v->setFixedWidth(50);
  setWordWrap(false);
  setTextElideMode(Qt::ElideNone);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                  QAbstractItemView::AnyKeyPressed);
  setTabKeyNavigation(true);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerItem);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  if (!fixed) {
    h->hide();
    v->hide();
  }
  // The fixed cells in the pale blue of inactive captions. Through the
  // palette, not a style sheet: style sheets slow down every repaint.
  for (QHeaderView* header : {h, v}) {
    QPalette pal = header->palette();
    pal.setColor(QPalette::Button, QColor(0xd7, 0xe4, 0xf2));
    pal.setColor(QPalette::Window, Qt::white);  // beyond the last section, as the grid
    pal.setColor(QPalette::ButtonText, Qt::black);
    pal.setColor(QPalette::Mid, QColor(0xa0, 0xa0, 0xa0));
    header->setPalette(pal);
  }
  // The cells are black on white whatever the desktop's theme: the painting
  // rule's colours are light, and a dark theme's ground would swallow the
  // black text. The cell editor takes the same two colours.
  QPalette cells = palette();
  cells.setColor(QPalette::Base, Qt::white);
  cells.setColor(QPalette::Text, Qt::black);
  setPalette(cells);
  setCornerButtonEnabled(false);
  if (fixed) {
    // Every change of the rows may change the widest row number.
    connect(model_, &QAbstractItemModel::modelReset, this, &StringGrid::FitHeaderColumn);
    connect(model_, &QAbstractItemModel::layoutChanged, this, &StringGrid::FitHeaderColumn);
    connect(model_, &QAbstractItemModel::rowsInserted, this, &StringGrid::FitHeaderColumn);
    connect(model_, &QAbstractItemModel::rowsRemoved, this, &StringGrid::FitHeaderColumn);
  }
  connect(h, &QHeaderView::sectionMoved, this,
          [this](int l, int o, int n) { OnSectionMoved(Qt::Horizontal, l, o, n); });
  connect(v, &QHeaderView::sectionMoved, this,
          [this](int l, int o, int n) { OnSectionMoved(Qt::Vertical, l, o, n); });
  connect(h, &QHeaderView::sectionResized, this, &StringGrid::OnSectionResized);
  viewport()->setMouseTracking(true);  // moves without a button pressed are reported too
  SetCurrent(1, 1, false);
}

StringGrid::~StringGrid() = default;

void StringGrid::BeginUpdate() {
  if (update_depth_++ == 0) {
    saved_col_ = Col();
    saved_row_ = Row();
    model_->BeginReset();
  }
}

void StringGrid::StartAtFirstCell() {
  const int first = fixed_ ? 1 : 0;
  if (update_depth_) {
    saved_col_ = first;
    saved_row_ = first;
  } else {
    SetCurrent(first, first, false);
    scrollToTop();
  }
}

void StringGrid::EndUpdate() {
  if (update_depth_ == 0 || --update_depth_ > 0) return;
  model_->EndReset();
  ApplyWidths();
  SetCurrent(saved_col_, saved_row_, false);
}

void StringGrid::SetColCount(int n) {
  BeginUpdate();
  table_->SetColCount(n);
  EndUpdate();
}

void StringGrid::SetRowCount(int n) {
  BeginUpdate();
  table_->SetRowCount(n);
  EndUpdate();
}

QString StringGrid::Cells(int col, int row) const {
  return DecodeCell(table_->Get(col, row), table_->utf8());
}

void StringGrid::SetCells(int col, int row, const QString& text) {
  table_->Set(col, row, EncodeCell(text, table_->utf8()));
  if (update_depth_ == 0) model_->CellsChanged(col, row, col, row);
}

int StringGrid::Col() const {
  const QModelIndex i = currentIndex();
  const int off = fixed_ ? 1 : 0;
  return i.isValid() ? i.column() + off : (update_depth_ ? saved_col_ : off);
}

int StringGrid::Row() const {
  const QModelIndex i = currentIndex();
  const int off = fixed_ ? 1 : 0;
  return i.isValid() ? i.row() + off : (update_depth_ ? saved_row_ : off);
}

void StringGrid::SetCurrent(int col, int row, bool notify) {
  const int off = fixed_ ? 1 : 0;
  const int cols = model_->columnCount();
  const int rows = model_->rowCount();
  if (cols == 0 || rows == 0) return;
  const int c = std::clamp(col - off, 0, cols - 1);
  const int r = std::clamp(row - off, 0, rows - 1);
  const QModelIndex target = model_->index(r, c);
  if (target == currentIndex()) return;
  quiet_ = !notify;
  selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
  quiet_ = false;
  if (notify) scrollTo(target);
}

void StringGrid::SetCol(int col) {
  if (col == Col()) return;
  SetCurrent(col, Row(), true);
}

void StringGrid::SetRow(int row) {
  if (row == Row()) return;
  SetCurrent(Col(), row, true);
}

void StringGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTableView::currentChanged(current, previous);
  if (quiet_ || update_depth_ || !current.isValid()) return;
  if (mouse_pressing_) {
    clicked_by_press_ = true;  // reported on release, like a click
    return;
  }
  emit cellClicked();
}

void StringGrid::setVisible(bool visible) {
  hiding_ = !visible;
  QTableView::setVisible(visible);
  hiding_ = false;
}

bool StringGrid::focusNextPrevChild(bool next) {
  // Hiding a focused widget passes the focus on through here; a table view
  // would take that for a Tab key and move its current cell.
  if (hiding_) return QWidget::focusNextPrevChild(next);
  return QTableView::focusNextPrevChild(next);
}

void StringGrid::changeEvent(QEvent* event) {
  QTableView::changeEvent(event);
  // The fixed cells use the grid's font, as the data cells do.
  if (event->type() == QEvent::FontChange) {
    horizontalHeader()->setFont(font());
    verticalHeader()->setFont(font());
    if (fixed_) FitHeaderColumn();
  }
}

void StringGrid::FitHeaderColumn() {
  // The numbers count up with the positions, so the last row's is the
  // longest; each of its characters is given the widest digit's room.
  const QString last =
      model_->headerData(model_->rowCount() - 1, Qt::Vertical, Qt::DisplayRole).toString();
  const QFontMetrics fm(verticalHeader()->font());
  int digit = 0;
  for (char c = '0'; c <= '9'; ++c) digit = std::max(digit, fm.horizontalAdvance(QChar(c)));
  // Two pixels of margin on each side and the grid line.
  const int needed =
      std::max(static_cast<int>(last.size()) * digit, fm.horizontalAdvance(last)) + 5;
  verticalHeader()->setFixedWidth(std::max(header_width_, needed));
}

void StringGrid::keyPressEvent(QKeyEvent* event) {
  if (HandleKeyDown(event, false)) return;
  QTableView::keyPressEvent(event);
}

void StringGrid::keyReleaseEvent(QKeyEvent* event) {
  HandleKeyUp(event);
  QTableView::keyReleaseEvent(event);
}

QRect StringGrid::SelectedBlock() const {
  const int off = fixed_ ? 1 : 0;
  QRect block;
  for (const QItemSelectionRange& r : selectionModel()->selection()) {
    block |= QRect(QPoint(r.left(), r.top()), QPoint(r.right(), r.bottom()));
  }
  if (block.isEmpty()) {
    const QModelIndex c = currentIndex();
    block = QRect(c.column(), c.row(), 1, 1);
  }
  return block.translated(off, off);
}

int StringGrid::SelLeft() const { return SelectedBlock().left(); }
int StringGrid::SelTop() const { return SelectedBlock().top(); }
int StringGrid::SelRight() const { return SelectedBlock().right(); }
int StringGrid::SelBottom() const { return SelectedBlock().bottom(); }

void StringGrid::ToggleEditor() {
  if (Editing()) {
    // Closing through the delegate keeps the typed text, as Enter does.
    QWidget* editor = focusWidget();  // the open editor has the focus
    if (editor && editor != this && editor != viewport()) {
      commitData(editor);
      closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
    return;
  }
  edit(currentIndex());
}

void StringGrid::mouseMoveEvent(QMouseEvent* event) {
  QTableView::mouseMoveEvent(event);
  emit mouseMoved();
}

void StringGrid::mousePressEvent(QMouseEvent* event) {
  mouse_pressing_ = true;
  clicked_by_press_ = false;
  QTableView::mousePressEvent(event);
  mouse_pressing_ = false;
}

void StringGrid::mouseReleaseEvent(QMouseEvent* event) {
  QTableView::mouseReleaseEvent(event);
  const bool on_cell = indexAt(event->position().toPoint()).isValid();
  if (event->button() == Qt::LeftButton && (on_cell || clicked_by_press_)) emit cellClicked();
  clicked_by_press_ = false;
}

int StringGrid::ColWidth(int i) const {
  if (fixed_ && i == 0) return verticalHeader()->width();
  auto it = widths_.find(i);
  if (it != widths_.end()) return it->second;
  return i <= even_upto_ ? even_width_ : default_col_width_;
}

void StringGrid::SetColWidth(int i, int width) {
  width = std::max(width, 0);
  if (fixed_ && i == 0) {
    header_width_ = width;
    FitHeaderColumn();
    return;
  }
  const int usual = i <= even_upto_ ? even_width_ : default_col_width_;
  if (width == usual) {
    widths_.erase(i);
  } else {
    widths_[i] = width;
  }
  const int section = i - (fixed_ ? 1 : 0);
  if (section >= 0 && section < model_->columnCount()) {
    horizontalHeader()->resizeSection(section, width);
  }
}

void StringGrid::SetRowHeight0(int height) { horizontalHeader()->setFixedHeight(height); }

void StringGrid::SetDataColWidths(int width) {
  width = std::max(width, 0);
  const int off = fixed_ ? 1 : 0;
  widths_.erase(widths_.lower_bound(off), widths_.end());
  even_width_ = width;
  even_upto_ = ColCount() - 1;
  QHeaderView* h = horizontalHeader();
  const bool blocked = h->blockSignals(true);
  // Resizes every section in one pass; sections a reset creates start at it
  // too, which ApplyWidths corrects for the columns beyond even_upto_.
  h->setDefaultSectionSize(width);
  h->blockSignals(blocked);
}

void StringGrid::ApplyWidths() {
  // A reset gives every section the default size again.
  const int off = fixed_ ? 1 : 0;
  const int cols = model_->columnCount();
  QHeaderView* h = horizontalHeader();
  const bool blocked = h->blockSignals(true);
  if (even_width_ != default_col_width_) {
    for (int col = std::max(even_upto_ + 1, off); col - off < cols; ++col) {
      h->resizeSection(col - off, default_col_width_);
    }
  }
  for (const auto& [col, width] : widths_) {
    if (col - off >= cols) break;
    if (col - off >= 0) h->resizeSection(col - off, width);
  }
  h->blockSignals(blocked);
}

void StringGrid::OnSectionResized(int logical, int, int new_size) {
  const int col = logical + (fixed_ ? 1 : 0);
  if (new_size == (col <= even_upto_ ? even_width_ : default_col_width_)) {
    widths_.erase(col);
  } else {
    widths_[col] = new_size;
  }
}

void StringGrid::SetRowColMoving(bool on) {
  moving_ = on;
  horizontalHeader()->setSectionsMovable(on);
  verticalHeader()->setSectionsMovable(on);
}

void StringGrid::OnSectionMoved(Qt::Orientation o, int, int old_visual, int new_visual) {
  // Keep the view's order the identity and move the data instead, so what is
  // shown is what a later save writes; the header numbers stay in place.
  QHeaderView* header = o == Qt::Horizontal ? horizontalHeader() : verticalHeader();
  const bool blocked = header->blockSignals(true);
  header->moveSection(new_visual, old_visual);
  header->blockSignals(blocked);
  const int off = fixed_ ? 1 : 0;
  const int from = old_visual + off;
  const int to = new_visual + off;
  if (move_requested) {
    move_requested(o, from, to);
  } else {
    MoveSection(o, from, to);
  }
}

void StringGrid::MoveSection(Qt::Orientation o, int from, int to) {
  const int count = o == Qt::Horizontal ? ColCount() : RowCount();
  if (from == to || from < 0 || to < 0 || from >= count || to >= count) return;
  if (o == Qt::Horizontal) {
    // The column's width travels with it.
    std::vector<int> widths;
    const int lo = std::min(from, to), hi = std::max(from, to);
    for (int c = lo; c <= hi; ++c) widths.push_back(ColWidth(c));
    table_->MoveCol(from, to);
    if (from < to) {
      std::rotate(widths.begin(), widths.begin() + 1, widths.end());
    } else {
      std::rotate(widths.begin(), widths.end() - 1, widths.end());
    }
    for (int c = lo; c <= hi; ++c) SetColWidth(c, widths[static_cast<size_t>(c - lo)]);
    model_->CellsChanged(lo, 0, hi, RowCount() - 1);
  } else {
    table_->MoveRow(from, to);
    model_->CellsChanged(0, std::min(from, to), ColCount() - 1, std::max(from, to));
  }
  if (o == Qt::Horizontal) {
    SetCurrent(to, Row(), false);
  } else {
    SetCurrent(Col(), to, false);
  }
}

}  // namespace ui
