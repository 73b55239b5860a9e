// The wrapping grid: text placement and wrapping checked on grabbed pixels (the ink of a full
// block character, so font differences do not matter), the cell hooks, the row operations, the
// choosing and range selection of cells, and rows and columns resized by dragging their lines.
#include "widgets/wrapping_grid.h"
#include "widgets_test_support.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

using widgets::WrappingGrid;
using H = WrappingGrid::HorizontalAlignment;
using V = WrappingGrid::VerticalAlignment;

namespace {

const QColor kBackground(0, 0, 0);
const QColor kFixed(40, 40, 120);
const QColor kText(255, 255, 255);
const QColor kLines(0, 160, 0);
const QString kBlock = QString(QChar(0x2588)); // full block: ink fills its whole advance

// The pointer moving over a widget with no button held, delivered at once (QTest moves the
// real cursor then, and the event arrives whenever the X server reports it).
void hover(QWidget* widget, QPoint point) {
    QMouseEvent move(QEvent::MouseMove, point, widget->mapToGlobal(point), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

class Grid : public ::testing::Test {
protected:
    Grid() {
        grid.setFrameShape(QFrame::NoFrame);
        grid.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        grid.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        QFont font("DejaVu Sans");
        font.setPixelSize(14);
        grid.setFont(font);
        grid.setColor(kBackground);
        grid.setFixedColor(kFixed);
        grid.setTextColor(kText);
        grid.setGridLineColor(kLines);
        grid.setColumnCount(2);
        grid.setRowCount(4);
        grid.setFixedRowCount(1);
        grid.setDefaultRowHeight(40);
        grid.setColumnWidth(0, 120);
        grid.setColumnWidth(1, 100);
        grid.resize(300, 200);
    }

    QImage shot() {
        grid.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&grid));
        return grid.viewport()->grab().toImage();
    }

    // Bounding box of the text-coloured pixels inside a cell.
    QRect ink(int row, int column) {
        const QImage image = shot();
        const QRect cell = grid.cellRect(row, column);
        QRect box;
        for (int y = cell.top(); y <= cell.bottom(); ++y) {
            for (int x = cell.left(); x <= cell.right(); ++x) {
                if (qGray(image.pixel(x, y)) > 128)
                    box |= QRect(x, y, 1, 1);
            }
        }
        return box;
    }

    int lineHeight() const { return QFontMetrics(grid.font()).height(); }

    WrappingGrid grid;
};

// The text rectangle is the cell less 2 pixels on the left and the right: a cell painter is
// handed it, and the grid's own text lands where text drawn into it by hand does.
TEST_F(Grid, TextKeepsTwoPixelsFromTheBorderOfItsAlignment) {
    grid.setCell(1, 0, kBlock);
    const QRect cell = grid.cellRect(1, 0);
    for (const auto& [alignment, flag] :
         {std::pair{H::Left, Qt::AlignLeft}, std::pair{H::Right, Qt::AlignRight}}) {
        grid.setAlignment(alignment);
        QRect handed;
        grid.setDefaultDrawing(false);
        grid.setCellPainter([&](QPainter& painter, int row, int column, const QRect& textRect,
                                WrappingGrid::CellState) {
            if (row != 1 || column != 0)
                return;
            handed = textRect;
            painter.setPen(kText);
            painter.drawText(textRect, int(flag), kBlock);
        });
        const QRect byHand = ink(1, 0);
        EXPECT_EQ(handed, cell.adjusted(2, 0, -2, 0));
        grid.setDefaultDrawing(true);
        const QRect own = ink(1, 0);
        EXPECT_EQ(own.left(), byHand.left());
        EXPECT_EQ(own.right(), byHand.right());
    }
    grid.setAlignment(H::Center);
    EXPECT_NEAR(ink(1, 0).center().x(), cell.center().x(), 1);
}

TEST_F(Grid, VerticalPlacementInATallCell) {
    grid.setCell(1, 0, kBlock);
    const QRect cell = grid.cellRect(1, 0);
    grid.setVerticalAlignment(V::Top);
    EXPECT_NEAR(ink(1, 0).top(), cell.top(), 2);
    grid.setVerticalAlignment(V::Bottom);
    EXPECT_NEAR(ink(1, 0).bottom(), cell.bottom(), 2);
    grid.setVerticalAlignment(V::Center);
    EXPECT_NEAR(ink(1, 0).center().y(), cell.center().y(), 1);
}

// A text as tall as the cell is centred with offset 0; one pixel taller, it starts at the top
// (and is cut at the bottom) instead of being pushed up out of the cell.
TEST_F(Grid, TextThatDoesNotFitStartsAtTheTop) {
    grid.setCell(1, 0, kBlock);
    for (const int height : {lineHeight(), lineHeight() - 1}) {
        grid.setRowHeight(1, height);
        grid.setVerticalAlignment(V::Top);
        const QRect top = ink(1, 0);
        grid.setVerticalAlignment(V::Center);
        EXPECT_EQ(ink(1, 0), top) << "row height " << height;
        grid.setVerticalAlignment(V::Bottom);
        EXPECT_EQ(ink(1, 0), top) << "row height " << height;
    }
}

TEST_F(Grid, LineBreakStartsALineEvenWithoutWrapping) {
    grid.setRowHeight(1, 60);
    grid.setCell(1, 0, kBlock + "\n" + kBlock);
    const QRect cell = grid.cellRect(1, 0);
    const QRect twoLines = ink(1, 0);
    EXPECT_GE(twoLines.height(), 2 * lineHeight() - 2);
    EXPECT_NEAR(twoLines.center().y(), cell.center().y(), 1); // centred on both lines
}

TEST_F(Grid, WordWrapBreaksBetweenWords) {
    grid.setRowHeight(1, 80);
    grid.setColumnWidth(0, 40);
    grid.setVerticalAlignment(V::Top);
    grid.setCell(1, 0, QStringList(6, kBlock).join(' '));
    const QRect single = ink(1, 0);
    EXPECT_LE(single.height(), lineHeight() + 1);
    EXPECT_EQ(single.right(), grid.cellRect(1, 0).right() - 2); // cut at the text rectangle
    grid.setWordWrap(true);
    EXPECT_GT(ink(1, 0).height(), 2 * lineHeight());
}

TEST_F(Grid, HooksChooseAlignmentAndColoursPerCell) {
    grid.setCell(1, 0, kBlock);
    grid.setCell(2, 0, kBlock);
    grid.setAlignmentHook([](int row, int column, H&, V& vertical) {
        if (row == 1 && column == 0)
            vertical = V::Bottom;
    });
    grid.setColorHook([](int row, int column, WrappingGrid::CellState, auto& style) {
        if (row == 2 && column == 1)
            style.background = Qt::red;
    });
    EXPECT_NEAR(ink(1, 0).bottom(), grid.cellRect(1, 0).bottom(), 2);
    EXPECT_NEAR(ink(2, 0).center().y(), grid.cellRect(2, 0).center().y(), 1);
    const QImage image = shot();
    const QPoint inside = grid.cellRect(2, 1).center();
    EXPECT_EQ(widgets::test::pixel(image, inside.x(), inside.y()), "#ff0000");
    const QPoint other = grid.cellRect(3, 1).center();
    EXPECT_EQ(widgets::test::pixel(image, other.x(), other.y()), widgets::test::hex(kBackground));
}

TEST_F(Grid, HeaderRowAndLinesAndSelectedRowHaveTheirColours) {
    grid.setOptions(WrappingGrid::FixedLines | WrappingGrid::CellLines | WrappingGrid::RowSelect);
    grid.setCurrentCell(2, 0);
    const QImage image = shot();
    const QRect header = grid.cellRect(0, 1);
    const QRect selected = grid.cellRect(2, 1);
    EXPECT_EQ(widgets::test::pixel(image, header.left() + 1, header.top() + 1),
              widgets::test::hex(kFixed));
    EXPECT_EQ(widgets::test::pixel(image, selected.left() + 1, selected.top() + 1),
              widgets::test::hex(grid.palette().color(QPalette::Highlight)));
    EXPECT_EQ(widgets::test::pixel(image, header.left(), header.bottom() + 1),
              widgets::test::hex(kLines));
}

// ---- row operations

class GridRows : public ::testing::Test {
protected:
    GridRows() {
        grid.setColumnCount(2);
        grid.setRowCount(3);
    }
    QStringList column0() const {
        QStringList texts;
        for (int row = 0; row < grid.rowCount(); ++row)
            texts << grid.cell(row, 0);
        return texts;
    }
    WrappingGrid grid;
};

TEST_F(GridRows, FilledRowCountCountsRowsWithVisibleText) {
    EXPECT_EQ(grid.filledRowCount(), 0);
    grid.setCell(1, 1, " \t\n");
    EXPECT_EQ(grid.filledRowCount(), 0);
    grid.setCell(0, 0, "header");
    grid.setCell(2, 1, " x");
    EXPECT_EQ(grid.filledRowCount(), 2);
}

TEST_F(GridRows, WithoutVisibleTextRowOperationsDoNothing) {
    grid.setCell(1, 0, "  ");
    grid.insertRow(1);
    grid.deleteRow(1);
    grid.clearAll();
    EXPECT_EQ(grid.rowCount(), 3);
    EXPECT_EQ(grid.cell(1, 0), "  ");
    EXPECT_EQ(grid.appendRow(), 4); // adding a row has no such condition
}

TEST_F(GridRows, InsertMovesRowsDownIncludingTheHeader) {
    grid.setCell(0, 0, "header");
    grid.setCell(1, 0, "one");
    grid.setCell(1, 1, "/one.mp3");
    grid.insertRow(1);
    EXPECT_EQ(column0(), QStringList({"header", "", "one", ""}));
    EXPECT_EQ(grid.cell(2, 1), "/one.mp3");
    grid.insertRow(0);
    EXPECT_EQ(column0(), QStringList({"", "header", "", "one", ""}));
    grid.insertRow(grid.rowCount()); // appends
    EXPECT_EQ(grid.rowCount(), 6);
    grid.insertRow(grid.rowCount() + 1);
    grid.insertRow(-1);
    EXPECT_EQ(grid.rowCount(), 6);
}

TEST_F(GridRows, DeleteMovesRowsUpAndRefusesRowsThatDoNotExist) {
    grid.setCell(0, 0, "header");
    grid.setCell(1, 0, "one");
    grid.setCell(2, 0, "two");
    grid.deleteRow(grid.rowCount()); // one past the last row: no row to remove
    EXPECT_EQ(grid.rowCount(), 3);
    grid.deleteRow(1);
    EXPECT_EQ(column0(), QStringList({"header", "two"}));
}

TEST_F(GridRows, ClearAllEmptiesTheHeaderTooAndKeepsTheRows) {
    grid.setCell(0, 0, "header");
    grid.setCell(2, 1, "path");
    grid.clearAll();
    EXPECT_EQ(grid.rowCount(), 3);
    EXPECT_EQ(grid.filledRowCount(), 0);
    EXPECT_EQ(grid.cell(0, 0), "");
}

// ---- choosing cells

TEST_F(Grid, MousePressChoosesTheRowAndTellsAfterwards) {
    grid.setOptions(grid.options() | WrappingGrid::RowSelect);
    shot();
    QSignalSpy clicked(&grid, &WrappingGrid::clicked);
    int currentAtPress = -1;
    QObject::connect(&grid, &WrappingGrid::cellPressed,
                     [&](int, int, Qt::MouseButton) { currentAtPress = grid.currentRow(); });
    QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, grid.cellRect(3, 0).center());
    EXPECT_EQ(grid.currentRow(), 3);
    EXPECT_EQ(currentAtPress, 3);
    QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, grid.cellRect(3, 1).center());
    EXPECT_EQ(clicked.count(), 2); // the current row again is still a click
    QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, grid.cellRect(0, 0).center());
    EXPECT_EQ(grid.currentRow(), 3); // the header row is never chosen
    EXPECT_EQ(clicked.count(), 2);
    QTest::keyClick(&grid, Qt::Key_Up);
    EXPECT_EQ(grid.currentRow(), 2);
    EXPECT_EQ(clicked.count(), 3);
}

TEST_F(Grid, KeyboardScrollsTheCurrentRowIntoView) {
    grid.setRowCount(50);
    shot();
    grid.setCurrentCell(1, 0);
    QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(grid.currentRow(), 49);
    EXPECT_FALSE(grid.cellRect(49, 0).isEmpty());
    EXPECT_TRUE(grid.cellRect(1, 0).isEmpty());
    EXPECT_FALSE(grid.cellRect(0, 0).isEmpty()); // the header row stays
}

// ---- range selection

class GridRange : public Grid {
protected:
    GridRange() {
        grid.setColumnCount(3);
        grid.setColumnWidth(0, 80);
        grid.setColumnWidth(1, 80);
        grid.setColumnWidth(2, 80);
        shot();
    }

    QPoint at(int row, int column) const { return grid.cellRect(row, column).center(); }

    void press(int row, int column, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mousePress(grid.viewport(), Qt::LeftButton, modifiers, at(row, column));
        QTest::mouseRelease(grid.viewport(), Qt::LeftButton, modifiers, at(row, column));
    }

    // Cells (row, column) that are painted in the selection colour, the current one excepted
    // (it looks different with focus).
    std::vector<std::pair<int, int>> highlighted() {
        const QImage image = shot();
        const std::string highlight = widgets::test::hex(grid.palette().color(QPalette::Highlight));
        std::vector<std::pair<int, int>> cells;
        for (int row = 1; row < grid.rowCount(); ++row) {
            for (int column = 0; column < grid.columnCount(); ++column) {
                const QRect cell = grid.cellRect(row, column);
                const bool current = row == grid.currentRow() && column == grid.currentColumn();
                if (!current &&
                    widgets::test::pixel(image, cell.left() + 1, cell.top() + 1) == highlight)
                    cells.emplace_back(row, column);
            }
        }
        return cells;
    }
};

using Cells = std::vector<std::pair<int, int>>;

TEST_F(GridRange, TheDefaultOptionsSelectRangesAndSizeLinesButNotRows) {
    const WrappingGrid fresh;
    EXPECT_EQ(fresh.options(), WrappingGrid::FixedLines | WrappingGrid::CellLines |
                                   WrappingGrid::RangeSelect | WrappingGrid::RowSizing |
                                   WrappingGrid::ColSizing);
}

TEST_F(GridRange, DraggingSelectsTheRectangleBetweenTheCells) {
    QSignalSpy clicked(&grid, &WrappingGrid::clicked);
    QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, at(1, 2));
    QTest::mouseMove(grid.viewport(), at(2, 1));
    QTest::mouseMove(grid.viewport(), at(3, 0));
    QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, at(3, 0));
    EXPECT_EQ(grid.selection(), QRect(0, 1, 3, 3));
    EXPECT_EQ(grid.currentRow(), 3);
    EXPECT_EQ(grid.currentColumn(), 0);
    EXPECT_EQ(clicked.count(), 1); // the press chose a cell; the drag only extends
    EXPECT_EQ(highlighted(),
              Cells({{1, 0}, {1, 1}, {1, 2}, {2, 0}, {2, 1}, {2, 2}, {3, 1}, {3, 2}}));

    // Moving the pointer afterwards without the button changes nothing.
    hover(grid.viewport(), at(1, 1));
    EXPECT_EQ(grid.selection(), QRect(0, 1, 3, 3));
}

TEST_F(GridRange, ShiftExtendsFromTheAnchorAndAPlainClickCollapses) {
    press(1, 1);
    press(2, 2, Qt::ShiftModifier);
    EXPECT_EQ(grid.selection(), QRect(1, 1, 2, 2));
    EXPECT_EQ(highlighted(), Cells({{1, 1}, {1, 2}, {2, 1}}));
    press(3, 0, Qt::ShiftModifier); // still from the first cell
    EXPECT_EQ(grid.selection(), QRect(0, 1, 2, 3));
    EXPECT_EQ(highlighted(), Cells({{1, 0}, {1, 1}, {2, 0}, {2, 1}, {3, 1}}));

    press(2, 2);
    EXPECT_EQ(grid.selection(), QRect(2, 2, 1, 1));
    EXPECT_EQ(highlighted(), Cells());
    EXPECT_EQ(grid.currentRow(), 2);
}

TEST_F(GridRange, ShiftWithArrowKeysExtendsAndPlainKeysCollapse) {
    grid.setCurrentCell(1, 0);
    QTest::keyClick(&grid, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(&grid, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(grid.selection(), QRect(0, 1, 2, 2));
    EXPECT_EQ(highlighted(), Cells({{1, 0}, {1, 1}, {2, 0}}));
    QTest::keyClick(&grid, Qt::Key_Down);
    EXPECT_EQ(grid.selection(), QRect(1, 3, 1, 1));
    EXPECT_EQ(highlighted(), Cells());
}

TEST_F(GridRange, WithoutTheOptionTheSelectionIsTheCurrentCell) {
    grid.setOptions(WrappingGrid::FixedLines | WrappingGrid::CellLines);
    QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, at(1, 0));
    QTest::mouseMove(grid.viewport(), at(3, 2));
    QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, at(3, 2));
    EXPECT_EQ(grid.selection(), QRect(0, 1, 1, 1));
    press(2, 2, Qt::ShiftModifier);
    QTest::keyClick(&grid, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(grid.selection(), QRect(2, 3, 1, 1));
    EXPECT_EQ(highlighted(), Cells());
}

TEST_F(GridRange, RowSelectWidensTheRangeToWholeRows) {
    grid.setOptions(grid.options() | WrappingGrid::RowSelect);
    press(1, 1);
    press(2, 1, Qt::ShiftModifier);
    EXPECT_EQ(grid.selection(), QRect(0, 1, 3, 2));
}

// The current cell with focus keeps the cell colours and gets a frame instead, also inside a
// range, unless the option asks for the selection colours.
TEST_F(GridRange, TheFocusedCellIsNotDrawnSelectedUnlessAsked) {
    grid.activateWindow();
    grid.setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return grid.hasFocus(); }));
    press(1, 0);
    press(2, 1, Qt::ShiftModifier);
    const QPoint inside = grid.cellRect(2, 1).center();
    EXPECT_EQ(widgets::test::pixel(shot(), inside.x(), inside.y()),
              widgets::test::hex(kBackground));
    grid.setOptions(grid.options() | WrappingGrid::DrawFocusSelected);
    EXPECT_EQ(widgets::test::pixel(shot(), inside.x(), inside.y()),
              widgets::test::hex(grid.palette().color(QPalette::Highlight)));
}

// ---- lines dragged to resize columns and rows

class GridSizing : public Grid {
protected:
    GridSizing() {
        grid.setFixedColumnCount(1);
        shot();
    }

    void drag(QPoint from, QPoint to) {
        QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, from);
        QTest::mouseMove(grid.viewport(), (from + to) / 2);
        QTest::mouseMove(grid.viewport(), to);
        QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, to);
    }

    // The grid line right of a column, in the header row.
    QPoint columnLine(int column) const {
        const QRect header = grid.cellRect(0, column);
        return {header.right() + 1, header.center().y()};
    }
    // The grid line below a row, in the fixed column.
    QPoint rowLine(int row) const {
        const QRect fixed = grid.cellRect(row, 0);
        return {fixed.center().x(), fixed.bottom() + 1};
    }

    Qt::CursorShape cursorAt(QPoint point) {
        hover(grid.viewport(), point);
        return grid.viewport()->cursor().shape();
    }
};

TEST_F(GridSizing, DraggingAHeaderLineResizesItsColumn) {
    const QPoint line = columnLine(1);
    drag(line + QPoint(-2, 0), line + QPoint(28, 0));
    EXPECT_EQ(grid.columnWidth(1), 130);
    EXPECT_EQ(grid.columnWidth(0), 120);
    EXPECT_EQ(grid.cellRect(2, 1).width(), 130);
    const QImage image = shot(); // the line is drawn at its new place
    EXPECT_EQ(widgets::test::pixel(image, grid.cellRect(2, 1).right() + 1,
                                   grid.cellRect(2, 1).center().y()),
              widgets::test::hex(kLines));

    drag(columnLine(1), columnLine(1) - QPoint(150, 0));
    EXPECT_EQ(grid.columnWidth(1), 4); // never dragged out of sight
}

TEST_F(GridSizing, ColumnLinesStayWithoutColumnSizingOrOutsideTheHeader) {
    grid.setOptions(grid.options() & ~WrappingGrid::ColSizing);
    drag(columnLine(1), columnLine(1) + QPoint(30, 0));
    EXPECT_EQ(grid.columnWidth(1), 100);
    EXPECT_NE(cursorAt(columnLine(1)), Qt::SplitHCursor);

    grid.setOptions(grid.options() | WrappingGrid::ColSizing);
    const QRect body = grid.cellRect(2, 1);
    drag(QPoint(body.right() + 1, body.center().y()), QPoint(body.right() + 31, body.center().y()));
    EXPECT_EQ(grid.columnWidth(1), 100);
}

TEST_F(GridSizing, DraggingAFixedColumnLineResizesItsRow) {
    drag(rowLine(1) + QPoint(0, 1), rowLine(1) + QPoint(0, 21));
    EXPECT_EQ(grid.rowHeight(1), 60);
    EXPECT_EQ(grid.rowHeight(2), 40);
    EXPECT_EQ(grid.cellRect(1, 1).height(), 60);

    grid.setOptions(grid.options() & ~WrappingGrid::RowSizing);
    drag(rowLine(1), rowLine(1) + QPoint(0, 20));
    EXPECT_EQ(grid.rowHeight(1), 60);
    EXPECT_NE(cursorAt(rowLine(1)), Qt::SplitVCursor);
}

TEST_F(GridSizing, AGrabbedLineNeitherChoosesNorSelects) {
    grid.setCurrentCell(2, 1);
    QSignalSpy clicked(&grid, &WrappingGrid::clicked);
    // Each drag ends with the pointer over another scrolling cell, where a selection drag
    // would extend: the pointer stays 2 pixels left of the column line it widens...
    const QPoint grabbed = columnLine(1) - QPoint(2, 0);
    drag(grabbed, QPoint(grabbed.x() + 10, grid.cellRect(3, 1).center().y()));
    EXPECT_EQ(grid.columnWidth(1), 110);
    EXPECT_EQ(grid.selection(), QRect(1, 2, 1, 1));
    // ... and 1 pixel below the row line it lowers, in the row after it.
    const QPoint below = rowLine(2) + QPoint(0, 1);
    drag(below, QPoint(grid.cellRect(3, 1).center().x(), below.y() + 10));
    EXPECT_EQ(grid.rowHeight(2), 50);
    EXPECT_EQ(grid.selection(), QRect(1, 2, 1, 1));
    EXPECT_EQ(clicked.count(), 0);
}

// The split cursor shows over a line that can be dragged and gives the viewport its own cursor
// back elsewhere.
TEST_F(GridSizing, TheCursorShowsWhereALineCanBeDragged) {
    grid.viewport()->setCursor(Qt::PointingHandCursor);
    EXPECT_EQ(cursorAt(columnLine(1) + QPoint(2, 0)), Qt::SplitHCursor);
    EXPECT_EQ(cursorAt(columnLine(1) + QPoint(5, 0)), Qt::PointingHandCursor);
    EXPECT_EQ(cursorAt(rowLine(2) - QPoint(0, 2)), Qt::SplitVCursor);
    EXPECT_EQ(cursorAt(grid.cellRect(2, 1).center()), Qt::PointingHandCursor);

    grid.viewport()->unsetCursor();
    EXPECT_EQ(cursorAt(columnLine(0)), Qt::SplitHCursor);
    cursorAt(grid.cellRect(2, 1).center());
    EXPECT_FALSE(grid.viewport()->testAttribute(Qt::WA_SetCursor));
}

} // namespace
