#pragma once
// What a row dragged out of the search window carries to a cart button: the row's name and
// path, and the face colour chosen beforehand in the window (when "Pré-Definir Cor do
// Cartucho" is ticked). The drop happens after the drag has ended, so the drop side gets
// everything it needs from the drag's data and never asks the window.
#include <QString>

#include <optional>

class QMimeData;

namespace search {

struct DraggedRow {
    QString name;                    // the grid's name column: the file name in upper case
    QString path;                    // the whole path, as the scanner found it
    std::optional<int> presetColour; // 00BBGGRR; none: ask with the colour dialog
    bool operator==(const DraggedRow&) const = default;
};

// The drag's data for a row; the caller owns it (QDrag takes it over).
QMimeData* makeDragData(const DraggedRow& row);

// The row a drag carries; nullopt for any other drag (files from the file manager, text).
std::optional<DraggedRow> draggedRowFrom(const QMimeData* data);
bool carriesDraggedRow(const QMimeData* data);

} // namespace search
