#pragma once
// Small shared routines: key lookup in settings lines, clock texts, file names, zero filling,
// the confirmation question, and the strict whole-number reading that settings and carts use.
#include <QString>
#include <QStringList>
#include <optional>

namespace widgets {
class MessageSink;
}

namespace config {

// The value of the first line that contains `key` + "=" anywhere (case-sensitive): the text
// after that line's first "=", unchanged, at most 255 characters. Else `padrao`.
QString LeParametro(const QStringList& linhas, const QString& chave, const QString& padrao);

// "HH:MM:SS"; 0 or less gives "00:00:00". From 24 hours on the hours keep counting
// ("25:00:00"), so a long block total never shows as a wrong small time.
QString MsParaTempo(qint32 ms);

// The part after the last "\" or "/" (profiles written on Windows carry backslashes), at most
// 500 characters, not trimmed; a blank path gives an empty text.
QString ExtraiNome(const QString& caminho);

// Leading blanks removed, then "0" in front up to `largura`; never cut ("7",3 -> "007").
QString PreencheZeros(const QString& texto, int largura);

// Beep and OK/Cancel question; true exactly when OK was pressed.
bool PedeConfirmacao(widgets::MessageSink& sink, const QString& mensagem);

// Strict whole number: an optional sign and decimal digits, nothing else (no blanks), fitting
// a signed 32-bit value.
std::optional<qint32> toWholeNumber(QStringView text);

// At most `count` characters of `text`, never splitting a surrogate pair.
QString leftChars(const QString& text, qsizetype count);

} // namespace config
