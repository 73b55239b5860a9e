#include "config/funcoes.h"

#include "widgets/message_sink.h"

#include <algorithm>
#include <limits>

namespace config {

QString LeParametro(const QStringList& linhas, const QString& chave, const QString& padrao) {
    constexpr qsizetype kMaxValue = 255;
    const QString marca = chave + u'=';
    for (const QString& linha : linhas) {
        if (linha.contains(marca))
            return leftChars(linha.mid(linha.indexOf(u'=') + 1), kMaxValue);
    }
    return padrao;
}

QString MsParaTempo(qint32 ms) {
    if (ms <= 0)
        return QStringLiteral("00:00:00");
    const qint32 totalMinutes = ms / 60000;
    const qint32 seconds = (ms % 60000) / 1000;
    const QString hh = PreencheZeros(QString::number(totalMinutes / 60), 2);
    const QString mm = PreencheZeros(QString::number(totalMinutes % 60), 2);
    const QString ss = PreencheZeros(QString::number(seconds), 2);
    return hh + u':' + mm + u':' + ss;
}

QString ExtraiNome(const QString& caminho) {
    constexpr qsizetype kMaxName = 500;
    if (caminho.trimmed().isEmpty())
        return {};
    const qsizetype separator = std::max(caminho.lastIndexOf(u'\\'), caminho.lastIndexOf(u'/'));
    return leftChars(caminho.mid(separator + 1), kMaxName);
}

QString PreencheZeros(const QString& texto, int largura) {
    qsizetype first = 0;
    while (first < texto.size() && texto.at(first).isSpace())
        ++first;
    QString result = texto.mid(first);
    if (result.size() < largura)
        result.prepend(QString(largura - result.size(), u'0'));
    return result;
}

bool PedeConfirmacao(widgets::MessageSink& sink, const QString& mensagem) {
    return sink.confirm(mensagem);
}

std::optional<qint32> toWholeNumber(QStringView text) {
    qsizetype i = 0;
    const bool negative = !text.isEmpty() && text.front() == u'-';
    if (!text.isEmpty() && (text.front() == u'-' || text.front() == u'+'))
        i = 1;
    if (i == text.size())
        return std::nullopt;
    // One beyond the positive limit, so that the most negative value still fits.
    const qint64 limit = qint64(std::numeric_limits<qint32>::max()) + (negative ? 1 : 0);
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > limit)
            return std::nullopt;
    }
    return static_cast<qint32>(negative ? -value : value);
}

QString leftChars(const QString& text, qsizetype count) {
    if (text.size() <= count)
        return text;
    if (count > 0 && text.at(count - 1).isHighSurrogate())
        --count;
    return text.left(count);
}

} // namespace config
