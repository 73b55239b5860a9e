#pragma once
// The text of a profile: one line per cart, 96 lines in cart order.
//
// Saved walls use "|NNN|name|path|colour|stop|loop|caption colour|duration|" (NNN the cart
// number with three digits, every field written as the slot holds it). A new, empty profile
// uses "NNN#$$%%%". Reading is lenient: a line goes to the cart its number names, a line of
// neither form or with a number outside 1..96 is skipped, and the carts no line fills stay
// empty; the reader never fails on what a file holds.
#include "carts/cart_table.h"

#include <QStringList>

#include <functional>

namespace carts {

QStringList profileLines(const CartTable& table);
QStringList blankProfileLines();

// Whether a path names a file on disk: it settles the split of "name|path" when a name or a
// path holds "|" and the text alone leaves more than one reading.
using FileCheck = std::function<bool(const QString& path)>;

CartTable readProfileLines(const QStringList& lines, const FileCheck& fileExists);

} // namespace carts
