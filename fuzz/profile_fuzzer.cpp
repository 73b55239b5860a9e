// libFuzzer target: reading a profile from arbitrary bytes, and writing back what was read.
// Built by fuzz/run-text.sh with clang (-fsanitize=fuzzer,address,undefined).
#include "carts/profile_format.h"
#include "config/text_file.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList lines = config::splitLines(config::decodeText(bytes));
    // Every other byte of the input decides whether a path "exists", so the disk check runs.
    const auto exists = [size](const QString& path) { return (path.size() + size) % 2 == 0; };
    const carts::CartTable table = carts::readProfileLines(lines, exists);

    // What was read, written and read again, is the same wall.
    const QStringList written = carts::profileLines(table);
    if (written.size() != carts::kCartCount) {
        std::abort();
    }
    const carts::CartTable again = carts::readProfileLines(written, exists);
    for (int n = 1; n <= carts::kCartCount; ++n) {
        const carts::Cart& a = table[n];
        const carts::Cart& b = again[n];
        // "|" in both the name and the path can read back split elsewhere; the five fields
        // after the path never move.
        if (a.colourText != b.colourText || a.durationText != b.durationText ||
            a.stopModeText != b.stopModeText || a.loopText != b.loopText ||
            a.captionColourText != b.captionColourText ||
            a.name + u'|' + a.path != b.name + u'|' + b.path) {
            std::abort();
        }
    }
    return 0;
}
