// The wrapping grid: text placement and wrapping checked on grabbed pixels (the ink of a full
// block character, so font differences do not matter), the cell hooks, the row operations and
// the choosing of cells.
#include "widgets/wrapping_grid.h"
#include "widgets_test_support.h"

#include <QPainter>
#include <QSignalSpy>

#include <utility>

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

} // namespace
