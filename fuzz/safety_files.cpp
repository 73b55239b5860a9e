// libFuzzer target: the two files the program reads back after a crash. A wall journal read from
// arbitrary bytes either fails or, written again, reads back with the same block and flag; the
// CSV of open plays, written again row by row, reads back as the same rows.
#include "safety/csv.h"
#include "safety/wall_journal.h"

#include <cstdint>
#include <cstdlib>

namespace {

void journalRoundTrip(const QByteArray& bytes) {
    const auto noFiles = [](const QString&) { return false; };
    const std::optional<safety::JournalState> read = safety::stateFromJournalText(bytes, noFiles);
    if (!read) {
        return;
    }
    const auto again = safety::stateFromJournalText(safety::journalText(*read), noFiles);
    if (!again || again->block != read->block || again->changed != read->changed) {
        std::abort();
    }
}

void csvRoundTrip(const QByteArray& bytes) {
    const QList<QStringList> rows = safety::parseCsv(bytes);
    QByteArray written;
    for (const QStringList& row : rows) {
        written += safety::csvRow(row);
    }
    if (safety::parseCsv(written) != rows) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    journalRoundTrip(bytes);
    csvRoundTrip(bytes);
    return 0;
}
