#include "safety/wall_journal.h"

#include "core/path_bytes.h"
#include "safety/durable_file.h"
#include "safety/serial_worker.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

namespace safety {

namespace {

// The first line names the format; the last line holds the SHA-1 of every byte before it, so a
// file cut short or damaged is recognised as unreadable instead of restoring half a wall.
const QByteArray kVersionLine = "Bandora journal 1\n";
const QByteArray kEndPrefix = "end ";
const QString kProfileKey = QStringLiteral("profile=");
const QString kChangedKey = QStringLiteral("changed=");
const QString kBlockKey = QStringLiteral("block=");

QByteArray checksum(QByteArrayView bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex();
}

// One line per entry: a line break inside a name would split it.
QString oneLine(QString text) {
    return text.replace(u'\r', u' ').replace(u'\n', u' ');
}

} // namespace

QByteArray journalText(const JournalState& state) {
    QStringList blockNumbers;
    for (const int cart : state.block) {
        blockNumbers.append(QString::number(cart));
    }
    QStringList lines{kProfileKey + oneLine(state.profile),
                      kChangedKey + (state.changed ? u'1' : u'0'),
                      kBlockKey + blockNumbers.join(u' ')};
    for (const QString& line : carts::profileLines(state.table)) {
        lines.append(oneLine(line));
    }
    // Paths keep the bytes of names that are not UTF-8 (see core/path_bytes.h).
    const QByteArray body = kVersionLine + core::encodePathBytes(lines.join(u'\n') + u'\n');
    return body + kEndPrefix + checksum(body) + '\n';
}

namespace {

std::optional<QString> valueOf(const QString& line, const QString& key) {
    if (!line.startsWith(key)) {
        return std::nullopt;
    }
    return line.mid(key.size());
}

std::optional<QList<int>> blockOf(const QString& text) {
    QList<int> block;
    for (const QString& number : text.split(u' ', Qt::SkipEmptyParts)) {
        bool ok = false;
        const int cart = number.toInt(&ok);
        if (!ok || !carts::isCartNumber(cart)) {
            return std::nullopt;
        }
        block.append(cart);
    }
    return block;
}

} // namespace

std::optional<JournalState> stateFromJournalText(const QByteArray& bytes,
                                                 const carts::FileCheck& fileExists) {
    if (bytes.size() <= kVersionLine.size()) {
        return std::nullopt;
    }
    const qsizetype endLine = bytes.lastIndexOf('\n', bytes.size() - 2) + 1;
    const QByteArrayView body = QByteArrayView(bytes).first(endLine);
    if (!bytes.endsWith('\n') || !body.startsWith(kVersionLine) ||
        bytes.mid(endLine).trimmed() != kEndPrefix + checksum(body)) {
        return std::nullopt;
    }
    QStringList lines = core::decodePathBytes(body.sliced(kVersionLine.size())).split(u'\n');
    lines.removeLast(); // after the last line break
    if (lines.size() != 3 + carts::kCartCount) {
        return std::nullopt;
    }
    const auto profile = valueOf(lines[0], kProfileKey);
    const auto changed = valueOf(lines[1], kChangedKey);
    const auto blockText = valueOf(lines[2], kBlockKey);
    const auto block = blockText ? blockOf(*blockText) : std::nullopt;
    if (!profile || !changed || !block) {
        return std::nullopt;
    }
    return JournalState{carts::readProfileLines(lines.mid(3), fileExists), *block, *profile,
                        *changed == u'1'};
}

QString WallJournal::unreadableMessage(const QString& setAsideName) {
    return QStringLiteral("Não foi possível ler o diário da parede. Ele foi guardado como %1.")
        .arg(setAsideName);
}

WallJournal::WallJournal(const QString& programDir, LocalClock clock)
    : folder_(programDir), clock_(std::move(clock)), worker_(std::make_unique<SerialWorker>()) {}

WallJournal::~WallJournal() = default;

QString WallJournal::path() const {
    return QDir(folder_).filePath(fileName());
}

WallJournal::ReadResult WallJournal::read(const carts::FileCheck& fileExists) {
    QFile file(path());
    if (!file.exists()) {
        return {};
    }
    if (file.open(QIODevice::ReadOnly)) {
        if (auto state = stateFromJournalText(file.readAll(), fileExists)) {
            return {Found::Readable, std::move(*state), {}};
        }
        file.close();
    }
    return {Found::Unreadable, {}, moveAside()};
}

void WallJournal::write(JournalState state) {
    std::lock_guard lock(mutex_);
    if (closed_) {
        return;
    }
    const bool writeQueued = pending_.has_value();
    pending_ = std::move(state);
    if (!writeQueued) {
        worker_->post([this] { writePending(); });
    }
}

// On the worker.
void WallJournal::writePending() {
    std::optional<JournalState> state;
    {
        std::lock_guard lock(mutex_);
        state.swap(pending_);
    }
    if (state) {
        // A failed write leaves the last good journal; the next change tries again.
        replaceFile(path(), journalText(*state));
    }
}

QString WallJournal::setAside() {
    flush();
    return moveAside();
}

QString WallJournal::moveAside() {
    const QString stamp = clock_().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString base = QStringLiteral("bandorajournal-") + stamp;
    QDir folder(folder_);
    QString name = base + QStringLiteral(".bak");
    for (int n = 2; folder.exists(name); ++n) {
        name = base + u'-' + QString::number(n) + QStringLiteral(".bak");
    }
    return folder.rename(fileName(), name) ? name : QString();
}

void WallJournal::removeOnCleanExit() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    flush();
    QFile::remove(path());
}

void WallJournal::flush() {
    worker_->waitIdle();
}

} // namespace safety
