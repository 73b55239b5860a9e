#pragma once
// A grid of text cells that draws its cells itself: horizontal and vertical alignment of the
// text, optional word wrapping, per-cell hooks for alignment and colours, fixed header rows and
// columns, grid lines, a current cell or row, a selected range of cells, columns and rows resized
// by dragging their lines in the fixed cells, scrolling by whole rows and columns, and a few
// row-editing operations. The fixed rows are ordinary rows of the cell table (row 0 is the
// header row when there is one), so the row operations act on them too.
#include <QAbstractScrollArea>
#include <QColor>
#include <QCursor>
#include <QFont>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace widgets {

class WrappingGrid : public QAbstractScrollArea {
    Q_OBJECT

public:
    enum class HorizontalAlignment { Left, Right, Center };
    enum class VerticalAlignment { Top, Center, Bottom };

    enum Option {
        FixedLines = 0x1,        // lines between fixed cells
        CellLines = 0x2,         // lines between the other cells
        RowSelect = 0x4,         // the whole current row is selected
        DrawFocusSelected = 0x8, // the focused cell is drawn in the selection colours too
        RangeSelect = 0x10,      // a rectangle of cells is selected by dragging or with Shift
        RowSizing = 0x20,        // row heights follow drags of their lines in the fixed columns
        ColSizing = 0x40,        // column widths follow drags of their lines in the fixed rows
    };
    Q_DECLARE_FLAGS(Options, Option)

    enum CellStateFlag { Selected = 0x1, Focused = 0x2, Fixed = 0x4 };
    Q_DECLARE_FLAGS(CellState, CellStateFlag)

    // What a cell is drawn with; the colour hook may change any of it.
    struct CellStyle {
        QColor background;
        QColor text;
        QFont font;
    };

    using AlignmentHook = std::function<void(int row, int column, HorizontalAlignment& horizontal,
                                             VerticalAlignment& vertical)>;
    using ColorHook = std::function<void(int row, int column, CellState state, CellStyle& style)>;
    // With default drawing off: draws the cell's content into the text rectangle (the cell less
    // 2 pixels on the left and right), after the cell has been filled with its background.
    using CellPainter = std::function<void(QPainter& painter, int row, int column,
                                           const QRect& textRect, CellState state)>;

    explicit WrappingGrid(QWidget* parent = nullptr);

    // ---- cells and their layout
    int rowCount() const { return int(cells_.size()); }
    void setRowCount(int rows); // at least 1; fixed rows shrink to leave one scrolling row
    int columnCount() const { return columns_; }
    void setColumnCount(int columns); // at least 1
    int fixedRowCount() const { return fixedRows_; }
    void setFixedRowCount(int rows);
    int fixedColumnCount() const { return fixedColumns_; }
    void setFixedColumnCount(int columns);

    QString cell(int row, int column) const;
    void setCell(int row, int column, const QString& text); // outside the grid: ignored

    int columnWidth(int column) const;
    void setColumnWidth(int column, int pixels);
    int defaultColumnWidth() const { return defaultColumnWidth_; }
    void setDefaultColumnWidth(int pixels); // every column
    int rowHeight(int row) const;
    void setRowHeight(int row, int pixels);
    int defaultRowHeight() const { return defaultRowHeight_; }
    void setDefaultRowHeight(int pixels); // every row, and rows added later

    // Number of rows, fixed rows included, with at least one cell holding visible text (a
    // character that is neither white space nor a control character).
    int filledRowCount() const;

    // ---- the look
    HorizontalAlignment alignment() const { return alignment_; }
    void setAlignment(HorizontalAlignment alignment);
    VerticalAlignment verticalAlignment() const { return verticalAlignment_; }
    void setVerticalAlignment(VerticalAlignment alignment);
    // Wrap cell texts at word boundaries; line breaks in a text start new lines either way.
    bool wordWrap() const { return wordWrap_; }
    void setWordWrap(bool wrap);
    Options options() const { return options_; }
    void setOptions(Options options);
    bool defaultDrawing() const { return defaultDrawing_; }
    void setDefaultDrawing(bool on);

    QColor color() const { return color_; }
    void setColor(const QColor& color); // background of the non-fixed cells
    QColor fixedColor() const { return fixedColor_; }
    void setFixedColor(const QColor& color);
    QColor textColor() const { return textColor_; }
    void setTextColor(const QColor& color);
    QColor gridLineColor() const { return gridLineColor_; }
    void setGridLineColor(const QColor& color);

    void setAlignmentHook(AlignmentHook hook) { alignmentHook_ = std::move(hook); }
    void setColorHook(ColorHook hook) { colorHook_ = std::move(hook); }
    void setCellPainter(CellPainter painter) { cellPainter_ = std::move(painter); }

    // ---- current cell and scrolling
    int currentRow() const { return currentRow_; }
    int currentColumn() const { return currentColumn_; }
    // Moves the current cell (clamped to the non-fixed cells), collapses the selection to it and
    // scrolls it into view; emits clicked when it moved.
    void setCurrentCell(int row, int column);
    // Selected cells as columns (x) by rows (y): from the anchor of a range selection to the
    // current cell, whole rows with RowSelect, else just the current cell.
    QRect selection() const;
    int topRow() const { return topRow_; }         // first scrolling row shown
    int leftColumn() const { return leftColumn_; } // first scrolling column shown

    // Cell rectangle in viewport coordinates, without its grid lines; empty when not shown.
    QRect cellRect(int row, int column) const;
    // Row and column of the cell under a viewport point; false outside every cell.
    bool cellAt(const QPoint& point, int& row, int& column) const;

    // ---- row operations; each reads and writes the cells of every column
    // Inserts an empty row at row (rows from there move down; row == rowCount() appends).
    // Nothing happens when no row holds visible text or row is outside 0..rowCount().
    void insertRow(int row);
    // Adds an empty row at the end and returns the new row count.
    int appendRow();
    // Removes the row (rows below move up). Nothing happens when no row holds visible text, the
    // row does not exist, or it is the only row.
    void deleteRow(int row);
    // Empties every cell, the fixed rows included; the row count stays. Nothing happens when
    // no row holds visible text.
    void clearAll();

signals:
    // A cell was chosen: a mouse press on a non-fixed cell (also the current one), a keyboard
    // move, or setCurrentCell moving the current cell. Dragging a range selection over further
    // cells does not count.
    void clicked();
    // After a mouse press has made the cell under the pointer current (row and column are -1
    // outside the cells).
    void cellPressed(int row, int column, Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool isCellInGrid(int row, int column) const;
    CellState cellState(int row, int column) const;
    CellStyle defaultStyle(CellState state) const;
    void drawCell(QPainter& painter, int row, int column, const QRect& rect, CellState state);
    void drawGridLines(QPainter& painter, int row, int column, const QRect& rect);

    struct Span {
        int index; // row or column
        int start; // pixel where it starts in the viewport
        int size;  // without the grid line after it
    };
    static std::vector<Span> shownSpans(const std::vector<int>& sizes, int fixed, int first,
                                        int limit);
    // Index of the span whose closing grid line is nearest to at, within grip distance.
    static std::optional<int> lineNear(const std::vector<Span>& spans, int at);
    std::vector<Span> shownRows() const;
    std::vector<Span> shownColumns() const;
    int fixedHeight() const;
    int fixedWidth() const;
    int lastFullyShownRow(int top) const;
    int lastFullyShownColumn(int left) const;
    bool moveCurrent(int row, int column, bool extend = false);
    void chooseCell(int row, int column, bool extend);
    void extendSelectionTo(const QPoint& point);
    void scrollIntoView(int row, int column);
    void updateScrollBars();
    void changed();

    // A grid line being dragged: the column (Horizontal) or row (Vertical) it closes.
    struct Sizing {
        Qt::Orientation orientation;
        int index;
        int pressedAt; // pointer coordinate along the orientation when the drag started
        int startSize;
    };
    std::optional<Sizing> sizingAt(const QPoint& point) const;
    void dragLine(const QPoint& point);
    void updateCursor(const QPoint& point);
    void restoreCursor();

    std::vector<QStringList> cells_; // rows of columns_ texts
    std::vector<int> rowHeights_;
    std::vector<int> columnWidths_;
    int columns_ = 0;
    int fixedRows_ = 1;
    int fixedColumns_ = 0;
    int defaultRowHeight_ = 24;
    int defaultColumnWidth_ = 64;
    int currentRow_ = 1;
    int currentColumn_ = 0;
    int anchorRow_ = 1; // where a range selection started
    int anchorColumn_ = 0;
    bool selecting_ = false; // the left button went down on a cell and is still held
    std::optional<Sizing> sizing_;
    bool sizingCursorShown_ = false;
    std::optional<QCursor> cursorBeforeSizing_; // none: the viewport had no cursor of its own
    int topRow_ = 1;
    int leftColumn_ = 0;

    HorizontalAlignment alignment_ = HorizontalAlignment::Left;
    VerticalAlignment verticalAlignment_ = VerticalAlignment::Center;
    bool wordWrap_ = false;
    Options options_ = Options(FixedLines | CellLines | RangeSelect | RowSizing | ColSizing);
    bool defaultDrawing_ = true;
    QColor color_;
    QColor fixedColor_;
    QColor textColor_;
    QColor gridLineColor_{192, 192, 192};

    AlignmentHook alignmentHook_;
    ColorHook colorHook_;
    CellPainter cellPainter_;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(WrappingGrid::Options)
Q_DECLARE_OPERATORS_FOR_FLAGS(WrappingGrid::CellState)

} // namespace widgets
