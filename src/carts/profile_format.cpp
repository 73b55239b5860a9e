#include "carts/profile_format.h"

#include "carts/cart_editing.h"
#include "core/text_helpers.h"

#include <array>
#include <optional>

namespace carts {

namespace {

constexpr QChar kBar = u'|';
constexpr int kFieldsAfterPath = 5; // colour, stop mode, loop, caption colour, duration

QString lineNumber(int n) {
    return core::zeroPad(QString::number(n), 3);
}

bool looksAbsolute(const QString& path) {
    if (path.startsWith(u'/') || path.startsWith(u'\\')) {
        return true;
    }
    return path.size() >= 3 && path.at(0).isLetter() && path.at(1) == u':' &&
           (path.at(2) == u'\\' || path.at(2) == u'/');
}

// The pieces between the cart number and the five fields, split back into name and path: the
// first piece that starts the path. Only a name or path holding "|" gives more than one choice.
qsizetype pathStart(const QStringList& pieces, const FileCheck& fileExists) {
    const qsizetype count = pieces.size();
    if (count == 2) {
        return 1;
    }
    const auto nameOf = [&](qsizetype k) { return pieces.mid(0, k).join(kBar); };
    const auto pathOf = [&](qsizetype k) { return pieces.mid(k).join(kBar); };
    // A name given by its file, as every insert, drop and search drag gives it.
    for (qsizetype k = 1; k < count; ++k) {
        const QString path = pathOf(k);
        if (!path.isEmpty() && cartNameFromPath(path) == nameOf(k)) {
            return k;
        }
    }
    for (qsizetype k = 1; k < count; ++k) {
        const QString path = pathOf(k);
        if (!path.isEmpty() && fileExists(path)) {
            return k;
        }
    }
    // Renamed carts hold "|" more often than paths do: the last reading that still gives a
    // whole path (or none) wins.
    for (qsizetype k = count - 1; k >= 1; --k) {
        const QString path = pathOf(k);
        if (path.isEmpty() || looksAbsolute(path)) {
            return k;
        }
    }
    return 1;
}

struct NumberedCart {
    int number = 0;
    Cart cart;
};

// "|NNN|name|path|f1|f2|f3|f4|f5|": the five fields are read from the right end, so "|" in the
// name or path does not shift them.
std::optional<NumberedCart> readSavedLine(const QString& line, const FileCheck& fileExists) {
    if (!line.startsWith(kBar) || !line.endsWith(kBar)) {
        return std::nullopt;
    }
    const QStringList parts = line.split(kBar); // empty first and last parts around the bars
    const qsizetype minimum = 2 + 2 + kFieldsAfterPath + 1; // "", number, name, path, 5, ""
    if (parts.size() < minimum) {
        return std::nullopt;
    }
    const std::optional<qint32> number = core::toWholeNumber(parts.at(1));
    if (!number || !isCartNumber(*number)) {
        return std::nullopt;
    }
    const qsizetype fieldsAt = parts.size() - 1 - kFieldsAfterPath;
    const QStringList pieces = parts.mid(2, fieldsAt - 2);
    const qsizetype split = pathStart(pieces, fileExists);

    QStringList fields{pieces.mid(0, split).join(kBar), pieces.mid(split).join(kBar)};
    fields.append(parts.mid(fieldsAt, kFieldsAfterPath));
    return NumberedCart{*number, Cart::fromFields(fields)};
}

} // namespace

QStringList profileLines(const CartTable& table) {
    QStringList lines;
    lines.reserve(kCartCount);
    for (int n = 1; n <= kCartCount; ++n) {
        QStringList fields = table[n].toFields();
        fields.prepend(lineNumber(n));
        lines.append(kBar + fields.join(kBar) + kBar);
    }
    return lines;
}

QStringList blankProfileLines() {
    QStringList lines;
    lines.reserve(kCartCount);
    for (int n = 1; n <= kCartCount; ++n) {
        lines.append(lineNumber(n) + QStringLiteral("#$$%%%"));
    }
    return lines;
}

// Blank-form lines and lines of no known form leave their carts empty, which is what a blank
// line stands for; the first line that names a cart fills it.
CartTable readProfileLines(const QStringList& lines, const FileCheck& fileExists) {
    CartTable table;
    std::array<bool, kCartCount + 1> filled{};
    for (const QString& line : lines) {
        const std::optional<NumberedCart> read = readSavedLine(line, fileExists);
        if (read && !filled[read->number]) {
            filled[read->number] = true;
            table[read->number] = read->cart;
        }
    }
    return table;
}

} // namespace carts
