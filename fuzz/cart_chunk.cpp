// libFuzzer target: the cart chunk read from arbitrary bytes, and markers written into them
// as a file: a write either succeeds and reads back what was written, or leaves the file as
// it was.
#include "carts/cart_chunk.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir dir;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<carts::CartChunk> parsed = carts::parseCartChunk(bytes);

    const QString path = QDir(dir.path()).filePath(QStringLiteral("fuzz.wav"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size()) {
        std::abort();
    }
    file.close();
    const carts::Markers markers{12, 3400, std::nullopt, 56};
    if (carts::writeCartMarkers(path, markers)) {
        if (readAll(path) != bytes) {
            std::abort(); // a failed write must leave the file alone
        }
        return 0;
    }
    const std::optional<carts::CartChunk> written = carts::readCartChunk(path);
    if (!written || written->markers != markers) {
        std::abort();
    }
    if (parsed && (written->title != parsed->title || written->artist != parsed->artist)) {
        std::abort(); // the chunk's texts survive a write
    }
    return 0;
}
