#include "widgets/wrapping_grid.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cstdlib>

namespace widgets {

namespace {

constexpr int kLineWidth = 1;          // after every cell, on its right and at its bottom
constexpr int kTextInset = 2;          // text keeps this far from the left and right cell borders
constexpr int kLineGrip = 2;           // a grid line can be dragged from this far on either side
constexpr int kMinimumDraggedSize = 4; // a dragged line stops short of hiding its row or column

bool hasVisibleText(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return !c.isSpace() && c.category() != QChar::Other_Control;
    });
}

int textFlags(WrappingGrid::HorizontalAlignment alignment, bool wrap) {
    int flags = Qt::AlignTop;
    switch (alignment) {
    case WrappingGrid::HorizontalAlignment::Left:
        flags |= Qt::AlignLeft;
        break;
    case WrappingGrid::HorizontalAlignment::Right:
        flags |= Qt::AlignRight;
        break;
    case WrappingGrid::HorizontalAlignment::Center:
        flags |= Qt::AlignHCenter;
        break;
    }
    return wrap ? flags | Qt::TextWordWrap : flags;
}

// Text of height h placed in r: centred or at the bottom when it fits, else from the top (and
// cut off at the bottom of r).
QRect placeVertically(QRect r, int h, WrappingGrid::VerticalAlignment alignment) {
    const int top = r.top();
    const int bottom = r.top() + r.height(); // one past the last row of pixels
    if (h > r.height())
        return r;
    switch (alignment) {
    case WrappingGrid::VerticalAlignment::Top:
        return r;
    case WrappingGrid::VerticalAlignment::Center: {
        const int newTop = (top + bottom - h) / 2;
        return QRect(r.left(), newTop, r.width(), h);
    }
    case WrappingGrid::VerticalAlignment::Bottom:
        return QRect(r.left(), bottom - h, r.width(), h);
    }
    return r;
}

} // namespace

WrappingGrid::WrappingGrid(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true); // the sizing cursor shows without a button held
    color_ = palette().color(QPalette::Base);
    fixedColor_ = palette().color(QPalette::Button);
    textColor_ = palette().color(QPalette::Text);
    columns_ = 5;
    columnWidths_.assign(size_t(columns_), defaultColumnWidth_);
    setRowCount(5);
}

// ---- cells and their layout

void WrappingGrid::setRowCount(int rows) {
    rows = std::max(1, rows);
    cells_.resize(size_t(rows), QStringList(columns_, QString()));
    rowHeights_.resize(size_t(rows), defaultRowHeight_);
    fixedRows_ = std::min(fixedRows_, rows - 1);
    moveCurrent(currentRow_, currentColumn_);
    changed();
}

void WrappingGrid::setColumnCount(int columns) {
    columns_ = std::max(1, columns);
    for (QStringList& row : cells_)
        row.resize(columns_);
    columnWidths_.resize(size_t(columns_), defaultColumnWidth_);
    fixedColumns_ = std::min(fixedColumns_, columns_ - 1);
    moveCurrent(currentRow_, currentColumn_);
    changed();
}

void WrappingGrid::setFixedRowCount(int rows) {
    fixedRows_ = std::clamp(rows, 0, rowCount() - 1);
    moveCurrent(currentRow_, currentColumn_);
    changed();
}

void WrappingGrid::setFixedColumnCount(int columns) {
    fixedColumns_ = std::clamp(columns, 0, columnCount() - 1);
    moveCurrent(currentRow_, currentColumn_);
    changed();
}

QString WrappingGrid::cell(int row, int column) const {
    return isCellInGrid(row, column) ? cells_[size_t(row)][column] : QString();
}

void WrappingGrid::setCell(int row, int column, const QString& text) {
    if (!isCellInGrid(row, column) || cells_[size_t(row)][column] == text)
        return;
    cells_[size_t(row)][column] = text;
    viewport()->update();
}

int WrappingGrid::columnWidth(int column) const {
    return column >= 0 && column < columns_ ? columnWidths_[size_t(column)] : 0;
}

void WrappingGrid::setColumnWidth(int column, int pixels) {
    if (column < 0 || column >= columns_)
        return;
    columnWidths_[size_t(column)] = std::max(0, pixels);
    changed();
}

void WrappingGrid::setDefaultColumnWidth(int pixels) {
    defaultColumnWidth_ = std::max(0, pixels);
    std::fill(columnWidths_.begin(), columnWidths_.end(), defaultColumnWidth_);
    changed();
}

int WrappingGrid::rowHeight(int row) const {
    return row >= 0 && row < rowCount() ? rowHeights_[size_t(row)] : 0;
}

void WrappingGrid::setRowHeight(int row, int pixels) {
    if (row < 0 || row >= rowCount())
        return;
    rowHeights_[size_t(row)] = std::max(0, pixels);
    changed();
}

void WrappingGrid::setDefaultRowHeight(int pixels) {
    defaultRowHeight_ = std::max(0, pixels);
    std::fill(rowHeights_.begin(), rowHeights_.end(), defaultRowHeight_);
    changed();
}

int WrappingGrid::filledRowCount() const {
    return int(std::count_if(cells_.begin(), cells_.end(), [](const QStringList& row) {
        return std::any_of(row.begin(), row.end(), hasVisibleText);
    }));
}

bool WrappingGrid::isCellInGrid(int row, int column) const {
    return row >= 0 && row < rowCount() && column >= 0 && column < columns_;
}

// ---- the look

void WrappingGrid::setAlignment(HorizontalAlignment alignment) {
    if (alignment_ == alignment)
        return;
    alignment_ = alignment;
    viewport()->update();
}

void WrappingGrid::setVerticalAlignment(VerticalAlignment alignment) {
    if (verticalAlignment_ == alignment)
        return;
    verticalAlignment_ = alignment;
    viewport()->update();
}

void WrappingGrid::setWordWrap(bool wrap) {
    if (wordWrap_ == wrap)
        return;
    wordWrap_ = wrap;
    viewport()->update();
}

void WrappingGrid::setOptions(Options options) {
    options_ = options;
    if (!options_.testFlag(RangeSelect)) {
        anchorRow_ = currentRow_;
        anchorColumn_ = currentColumn_;
    }
    viewport()->update();
}

void WrappingGrid::setDefaultDrawing(bool on) {
    defaultDrawing_ = on;
    viewport()->update();
}

void WrappingGrid::setColor(const QColor& color) {
    color_ = color;
    viewport()->update();
}

void WrappingGrid::setFixedColor(const QColor& color) {
    fixedColor_ = color;
    viewport()->update();
}

void WrappingGrid::setTextColor(const QColor& color) {
    textColor_ = color;
    viewport()->update();
}

void WrappingGrid::setGridLineColor(const QColor& color) {
    gridLineColor_ = color;
    viewport()->update();
}

// ---- row operations

void WrappingGrid::insertRow(int row) {
    if (filledRowCount() == 0 || row < 0 || row > rowCount())
        return;
    cells_.insert(cells_.begin() + row, QStringList(columns_, QString()));
    rowHeights_.insert(rowHeights_.begin() + row, defaultRowHeight_);
    changed();
}

int WrappingGrid::appendRow() {
    cells_.emplace_back(columns_, QString());
    rowHeights_.push_back(defaultRowHeight_);
    changed();
    return rowCount();
}

void WrappingGrid::deleteRow(int row) {
    if (filledRowCount() == 0 || row < 0 || row >= rowCount() || rowCount() == 1)
        return;
    cells_.erase(cells_.begin() + row);
    rowHeights_.erase(rowHeights_.begin() + row);
    fixedRows_ = std::min(fixedRows_, rowCount() - 1);
    moveCurrent(currentRow_, currentColumn_);
    changed();
}

void WrappingGrid::clearAll() {
    if (filledRowCount() == 0)
        return;
    for (QStringList& row : cells_)
        std::fill(row.begin(), row.end(), QString());
    viewport()->update();
}

// ---- drawing

WrappingGrid::CellState WrappingGrid::cellState(int row, int column) const {
    CellState state;
    if (row < fixedRows_ || column < fixedColumns_)
        return state | Fixed;
    if (row == currentRow_ && column == currentColumn_ && hasFocus())
        state |= Focused;
    if (selection().contains(column, row))
        state |= Selected;
    return state;
}

// The focused cell keeps the normal colours (it gets a focus frame instead) unless the whole
// row is selected or the option asks for it.
WrappingGrid::CellStyle WrappingGrid::defaultStyle(CellState state) const {
    CellStyle style{color_, textColor_, font()};
    if (state.testFlag(Fixed)) {
        style.background = fixedColor_;
    } else if (state.testFlag(Selected) &&
               (!state.testFlag(Focused) || (options_ & (DrawFocusSelected | RowSelect)))) {
        style.background = palette().color(QPalette::Highlight);
        style.text = palette().color(QPalette::HighlightedText);
    }
    return style;
}

void WrappingGrid::drawCell(QPainter& painter, int row, int column, const QRect& rect,
                            CellState state) {
    const QString& text = cells_[size_t(row)][column];
    HorizontalAlignment horizontal = alignment_;
    VerticalAlignment vertical = verticalAlignment_;
    if (alignmentHook_)
        alignmentHook_(row, column, horizontal, vertical);
    CellStyle style = defaultStyle(state);
    if (colorHook_)
        colorHook_(row, column, state, style);
    painter.fillRect(rect, style.background);

    QRect textRect = rect.adjusted(kTextInset, 0, -kTextInset, 0);
    const int flags = textFlags(horizontal, wordWrap_);
    if (!defaultDrawing_) {
        if (cellPainter_)
            cellPainter_(painter, row, column, textRect, state);
        return;
    }
    painter.setFont(style.font);
    const int height = painter.fontMetrics().boundingRect(textRect, flags, text).height();
    textRect = placeVertically(textRect, height, vertical);
    painter.setPen(style.text);
    painter.drawText(textRect, flags, text); // clipped to textRect
    if (state.testFlag(Focused) && !options_.testFlag(RowSelect)) {
        painter.setPen(QPen(style.text, 1, Qt::DotLine));
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
    }
}

void WrappingGrid::drawGridLines(QPainter& painter, int row, int column, const QRect& rect) {
    const bool fixed = row < fixedRows_ || column < fixedColumns_;
    if (!options_.testFlag(fixed ? FixedLines : CellLines))
        return;
    painter.fillRect(QRect(rect.right() + 1, rect.top(), kLineWidth, rect.height() + kLineWidth),
                     gridLineColor_);
    painter.fillRect(QRect(rect.left(), rect.bottom() + 1, rect.width(), kLineWidth),
                     gridLineColor_);
}

void WrappingGrid::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), color_);
    const std::vector<Span> columns = shownColumns();
    for (const Span& row : shownRows()) {
        for (const Span& column : columns) {
            const QRect rect(column.start, row.start, column.size, row.size);
            painter.save();
            painter.setClipRect(rect);
            drawCell(painter, row.index, column.index, rect, cellState(row.index, column.index));
            painter.restore();
            drawGridLines(painter, row.index, column.index, rect);
        }
    }
}

// ---- geometry

int WrappingGrid::fixedHeight() const {
    int height = 0;
    for (int row = 0; row < fixedRows_; ++row)
        height += rowHeights_[size_t(row)] + kLineWidth;
    return height;
}

int WrappingGrid::fixedWidth() const {
    int width = 0;
    for (int column = 0; column < fixedColumns_; ++column)
        width += columnWidths_[size_t(column)] + kLineWidth;
    return width;
}

// Fixed rows first, then the scrolling rows from the top row on, as far as the viewport goes.
std::vector<WrappingGrid::Span> WrappingGrid::shownSpans(const std::vector<int>& sizes, int fixed,
                                                         int first, int limit) {
    std::vector<Span> spans;
    int start = 0;
    const auto add = [&](int index) {
        spans.push_back({index, start, sizes[size_t(index)]});
        start += sizes[size_t(index)] + kLineWidth;
    };
    for (int index = 0; index < fixed && start < limit; ++index)
        add(index);
    for (int index = first; index < int(sizes.size()) && start < limit; ++index)
        add(index);
    return spans;
}

std::vector<WrappingGrid::Span> WrappingGrid::shownRows() const {
    return shownSpans(rowHeights_, fixedRows_, topRow_, viewport()->height());
}

std::vector<WrappingGrid::Span> WrappingGrid::shownColumns() const {
    return shownSpans(columnWidths_, fixedColumns_, leftColumn_, viewport()->width());
}

QRect WrappingGrid::cellRect(int row, int column) const {
    const auto find = [](const std::vector<Span>& spans, int index) {
        return std::find_if(spans.begin(), spans.end(),
                            [index](const Span& span) { return span.index == index; });
    };
    const std::vector<Span> rows = shownRows();
    const std::vector<Span> columns = shownColumns();
    const auto r = find(rows, row);
    const auto c = find(columns, column);
    if (r == rows.end() || c == columns.end())
        return {};
    return QRect(c->start, r->start, c->size, r->size);
}

bool WrappingGrid::cellAt(const QPoint& point, int& row, int& column) const {
    const auto find = [](const std::vector<Span>& spans, int at) {
        return std::find_if(spans.begin(), spans.end(), [at](const Span& span) {
            return at >= span.start && at < span.start + span.size;
        });
    };
    const std::vector<Span> rows = shownRows();
    const std::vector<Span> columns = shownColumns();
    const auto r = find(rows, point.y());
    const auto c = find(columns, point.x());
    const bool found = r != rows.end() && c != columns.end();
    row = found ? r->index : -1;
    column = found ? c->index : -1;
    return found;
}

// The last scrolling row that is shown whole when the rows from top on are shown.
int WrappingGrid::lastFullyShownRow(int top) const {
    int space = viewport()->height() - fixedHeight();
    int row = top;
    while (row < rowCount() && space >= rowHeights_[size_t(row)]) {
        space -= rowHeights_[size_t(row)] + kLineWidth;
        ++row;
    }
    return std::max(top, row - 1);
}

int WrappingGrid::lastFullyShownColumn(int left) const {
    int space = viewport()->width() - fixedWidth();
    int column = left;
    while (column < columns_ && space >= columnWidths_[size_t(column)]) {
        space -= columnWidths_[size_t(column)] + kLineWidth;
        ++column;
    }
    return std::max(left, column - 1);
}

// Scroll bars count whole rows and columns: the first scrolling row or column shown.
void WrappingGrid::updateScrollBars() {
    int maxTop = rowCount() - 1;
    while (maxTop > fixedRows_ && lastFullyShownRow(maxTop - 1) == rowCount() - 1)
        --maxTop;
    maxTop = std::max(maxTop, fixedRows_);
    int maxLeft = columns_ - 1;
    while (maxLeft > fixedColumns_ && lastFullyShownColumn(maxLeft - 1) == columns_ - 1)
        --maxLeft;
    maxLeft = std::max(maxLeft, fixedColumns_);
    verticalScrollBar()->setRange(0, maxTop - fixedRows_);
    verticalScrollBar()->setPageStep(std::max(1, lastFullyShownRow(topRow_) - topRow_ + 1));
    horizontalScrollBar()->setRange(0, maxLeft - fixedColumns_);
    horizontalScrollBar()->setPageStep(
        std::max(1, lastFullyShownColumn(leftColumn_) - leftColumn_ + 1));
    topRow_ = fixedRows_ + verticalScrollBar()->value();
    leftColumn_ = fixedColumns_ + horizontalScrollBar()->value();
}

void WrappingGrid::scrollContentsBy(int, int) {
    topRow_ = fixedRows_ + verticalScrollBar()->value();
    leftColumn_ = fixedColumns_ + horizontalScrollBar()->value();
    viewport()->update();
}

void WrappingGrid::changed() {
    updateScrollBars();
    viewport()->update();
}

void WrappingGrid::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

// ---- current cell and selection

QRect WrappingGrid::selection() const {
    const bool range = options_.testFlag(RangeSelect);
    const int top = range ? std::min(anchorRow_, currentRow_) : currentRow_;
    const int bottom = range ? std::max(anchorRow_, currentRow_) : currentRow_;
    int left = range ? std::min(anchorColumn_, currentColumn_) : currentColumn_;
    int right = range ? std::max(anchorColumn_, currentColumn_) : currentColumn_;
    if (options_.testFlag(RowSelect)) {
        left = std::min(fixedColumns_, columns_ - 1);
        right = columns_ - 1;
    }
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

// Clamped to the scrolling cells (or to the last fixed ones when there are none). Extending
// keeps the anchor of a range selection; otherwise the selection collapses to the new cell.
bool WrappingGrid::moveCurrent(int row, int column, bool extend) {
    const QRect before = selection();
    const int newRow = std::clamp(row, std::min(fixedRows_, rowCount() - 1), rowCount() - 1);
    const int newColumn = std::clamp(column, std::min(fixedColumns_, columns_ - 1), columns_ - 1);
    const bool moved = newRow != currentRow_ || newColumn != currentColumn_;
    currentRow_ = newRow;
    currentColumn_ = newColumn;
    if (!extend || !options_.testFlag(RangeSelect)) {
        anchorRow_ = currentRow_;
        anchorColumn_ = currentColumn_;
    }
    if (moved || selection() != before)
        viewport()->update();
    return moved;
}

void WrappingGrid::chooseCell(int row, int column, bool extend) {
    const bool moved = moveCurrent(row, column, extend);
    scrollIntoView(currentRow_, currentColumn_);
    if (moved)
        emit clicked();
}

void WrappingGrid::setCurrentCell(int row, int column) {
    chooseCell(row, column, false);
}

void WrappingGrid::scrollIntoView(int row, int column) {
    if (row >= fixedRows_) {
        int top = topRow_;
        if (row < top)
            top = row;
        while (row > lastFullyShownRow(top) && top < row)
            ++top;
        verticalScrollBar()->setValue(top - fixedRows_);
    }
    if (column >= fixedColumns_) {
        int left = leftColumn_;
        if (column < left)
            left = column;
        while (column > lastFullyShownColumn(left) && left < column)
            ++left;
        horizontalScrollBar()->setValue(left - fixedColumns_);
    }
}

// ---- mouse

// A press on a line that can be dragged grabs it; otherwise a left press on a scrolling cell
// chooses it, Shift extending a range selection from its anchor.
void WrappingGrid::mousePressEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    const bool left = event->button() == Qt::LeftButton;
    int row = -1;
    int column = -1;
    const bool onCell = cellAt(point, row, column);
    if (left)
        sizing_ = sizingAt(point);
    const bool scrollingCell = onCell && row >= fixedRows_ && column >= fixedColumns_;
    if (scrollingCell && left && !sizing_) {
        moveCurrent(row, column, event->modifiers().testFlag(Qt::ShiftModifier));
        scrollIntoView(row, column);
        selecting_ = options_.testFlag(RangeSelect);
        emit clicked(); // also on the current cell
    }
    emit cellPressed(row, column, event->button());
}

void WrappingGrid::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (sizing_)
        dragLine(point);
    else if (selecting_ && event->buttons().testFlag(Qt::LeftButton))
        extendSelectionTo(point);
    updateCursor(point);
}

void WrappingGrid::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    sizing_.reset();
    selecting_ = false;
    updateCursor(event->position().toPoint());
}

bool WrappingGrid::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Leave && !sizing_)
        restoreCursor();
    return QAbstractScrollArea::viewportEvent(event);
}

void WrappingGrid::extendSelectionTo(const QPoint& point) {
    int row = -1;
    int column = -1;
    if (!cellAt(point, row, column) || row < fixedRows_ || column < fixedColumns_)
        return;
    if (moveCurrent(row, column, true))
        scrollIntoView(row, column);
}

// ---- dragged grid lines

std::optional<int> WrappingGrid::lineNear(const std::vector<Span>& spans, int at) {
    std::optional<int> found;
    int nearest = kLineGrip;
    for (const Span& span : spans) {
        const int distance = std::abs(at - (span.start + span.size));
        if (distance <= nearest) { // a later line wins a tie: an empty column can be reopened
            nearest = distance;
            found = span.index;
        }
    }
    return found;
}

// Column lines are grabbed in the fixed rows, row lines in the fixed columns.
std::optional<WrappingGrid::Sizing> WrappingGrid::sizingAt(const QPoint& point) const {
    if (options_.testFlag(ColSizing) && point.y() >= 0 && point.y() < fixedHeight()) {
        if (const std::optional<int> column = lineNear(shownColumns(), point.x()))
            return Sizing{Qt::Horizontal, *column, point.x(), columnWidth(*column)};
    }
    if (options_.testFlag(RowSizing) && point.x() >= 0 && point.x() < fixedWidth()) {
        if (const std::optional<int> row = lineNear(shownRows(), point.y()))
            return Sizing{Qt::Vertical, *row, point.y(), rowHeight(*row)};
    }
    return std::nullopt;
}

void WrappingGrid::dragLine(const QPoint& point) {
    const bool column = sizing_->orientation == Qt::Horizontal;
    const int moved = (column ? point.x() : point.y()) - sizing_->pressedAt;
    const int floor = std::min(sizing_->startSize, kMinimumDraggedSize);
    const int size = std::max(sizing_->startSize + moved, floor);
    if (column && size != columnWidth(sizing_->index))
        setColumnWidth(sizing_->index, size);
    else if (!column && size != rowHeight(sizing_->index))
        setRowHeight(sizing_->index, size);
}

// The split cursor replaces the viewport's own cursor only while a line can be grabbed or is
// being dragged.
void WrappingGrid::updateCursor(const QPoint& point) {
    const std::optional<Sizing> sizing = sizing_ ? sizing_ : sizingAt(point);
    if (!sizing) {
        restoreCursor();
        return;
    }
    if (!sizingCursorShown_) {
        cursorBeforeSizing_.reset();
        if (viewport()->testAttribute(Qt::WA_SetCursor))
            cursorBeforeSizing_ = viewport()->cursor();
        sizingCursorShown_ = true;
    }
    viewport()->setCursor(sizing->orientation == Qt::Horizontal ? Qt::SplitHCursor
                                                                : Qt::SplitVCursor);
}

void WrappingGrid::restoreCursor() {
    if (!sizingCursorShown_)
        return;
    sizingCursorShown_ = false;
    if (cursorBeforeSizing_)
        viewport()->setCursor(*cursorBeforeSizing_);
    else
        viewport()->unsetCursor();
}

// ---- keys

void WrappingGrid::keyPressEvent(QKeyEvent* event) {
    const int page = std::max(1, lastFullyShownRow(topRow_) - topRow_);
    const bool rowSelect = options_.testFlag(RowSelect);
    int row = currentRow_;
    int column = currentColumn_;
    switch (event->key()) {
    case Qt::Key_Up:
        --row;
        break;
    case Qt::Key_Down:
        ++row;
        break;
    case Qt::Key_PageUp:
        row -= page;
        break;
    case Qt::Key_PageDown:
        row += page;
        break;
    case Qt::Key_Left:
        --column;
        break;
    case Qt::Key_Right:
        ++column;
        break;
    case Qt::Key_Home:
        (rowSelect || event->modifiers() & Qt::ControlModifier ? row : column) = 0;
        break;
    case Qt::Key_End:
        (rowSelect || event->modifiers() & Qt::ControlModifier ? row : column) = INT_MAX;
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    chooseCell(row, column, event->modifiers().testFlag(Qt::ShiftModifier));
}

void WrappingGrid::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void WrappingGrid::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

} // namespace widgets
