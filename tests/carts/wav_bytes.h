#pragma once
// RIFF WAVE files put together byte by byte, so tests know where every chunk lies.
#include <QByteArray>
#include <QFile>
#include <QtEndian>

#include <cmath>
#include <initializer_list>

namespace wavbytes {

inline QByteArray u32(quint32 v) {
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

inline QByteArray u16(quint16 v) {
    QByteArray b(2, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

// A chunk with its header and, after an odd body, its pad byte.
inline QByteArray chunk(const char* id, const QByteArray& body) {
    return QByteArray(id, 4) + u32(quint32(body.size())) + body +
           (body.size() % 2 ? QByteArray(1, '\0') : QByteArray());
}

inline QByteArray riff(std::initializer_list<QByteArray> chunks) {
    QByteArray body = "WAVE";
    for (const QByteArray& c : chunks) {
        body += c;
    }
    return "RIFF" + u32(quint32(body.size())) + body;
}

// 16-bit stereo PCM.
inline QByteArray fmt(quint32 rate = 44100) {
    return chunk("fmt ", u16(1) + u16(2) + u32(rate) + u32(rate * 4) + u16(4) + u16(16));
}

// `frames` of a 441 Hz tone at half scale on both sides.
inline QByteArray toneData(int frames, quint32 rate = 44100) {
    QByteArray body;
    for (int i = 0; i < frames; ++i) {
        const auto v = qint16(std::lround(16383.0 * std::sin(2.0 * M_PI * 441.0 * i / rate)));
        body += u16(quint16(v)) + u16(quint16(v));
    }
    return chunk("data", body);
}

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace wavbytes
