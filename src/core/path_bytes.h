#pragma once
// Lossless conversion between Linux file-name bytes and QString.
//
// File names on Linux are byte strings; most are UTF-8, but a name copied from an old disc or a
// Windows share may hold any bytes. Decoding keeps every valid UTF-8 sequence as its character
// and turns every byte that is not part of one into a lone low surrogate U+DC80..U+DCFF (byte
// 0x80..0xFF; bytes below 0x80 are always valid). Encoding turns those surrogates back into
// their bytes, so encodePathBytes(decodePathBytes(b)) == b for every byte string b, and the
// file can be opened again from the text shown to the operator.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace core {

// Never fails: every byte string has a text.
QString decodePathBytes(QByteArrayView bytes);

// The bytes of a text made by decodePathBytes, or of any ordinary text (as UTF-8). A lone
// surrogate outside U+DC80..U+DCFF has no byte form: it becomes U+FFFD's UTF-8 and *ok is set
// to false (when given).
QByteArray encodePathBytes(QStringView text, bool* ok = nullptr);

// True when the text holds a byte escaped by decodePathBytes (the name was not valid UTF-8).
bool hasEscapedBytes(QStringView text);

// True when the path names a regular file (links followed). Asks the file system with the
// path's exact bytes: Qt's own file classes cannot name a file whose name is not UTF-8.
bool isFileAt(QStringView path);

} // namespace core
