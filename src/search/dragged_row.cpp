#include "search/dragged_row.h"

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>

namespace search {

namespace {

// Private to this program: no other application offers it or reads it.
const QString kMimeType = QStringLiteral("application/x-bandora-search-row");

} // namespace

// QDataStream keeps a QString's UTF-16 units as they are, so a path holding the escaped bytes
// of a name that is not UTF-8 arrives unchanged.
QMimeData* makeDragData(const DraggedRow& row) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << row.name << row.path << row.presetColour.has_value() << row.presetColour.value_or(0);
    auto* data = new QMimeData;
    data->setData(kMimeType, bytes);
    return data;
}

bool carriesDraggedRow(const QMimeData* data) {
    return data != nullptr && data->hasFormat(kMimeType);
}

std::optional<DraggedRow> draggedRowFrom(const QMimeData* data) {
    if (!carriesDraggedRow(data))
        return std::nullopt;
    QDataStream in(data->data(kMimeType));
    DraggedRow row;
    bool hasColour = false;
    int colour = 0;
    in >> row.name >> row.path >> hasColour >> colour;
    if (in.status() != QDataStream::Ok)
        return std::nullopt;
    if (hasColour)
        row.presetColour = colour;
    return row;
}

} // namespace search
