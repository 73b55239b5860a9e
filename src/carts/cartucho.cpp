#include "carts/cartucho.h"

#include "config/funcoes.h"

namespace carts {

int TCartucho::faceColour() const {
    return config::toWholeNumber(Cor).value_or(kCorPadrao);
}

int TCartucho::captionColour() const {
    return config::toWholeNumber(CorFonte).value_or(kCorFontePadrao);
}

qint32 TCartucho::durationMs() const {
    return config::toWholeNumber(Duracao).value_or(0);
}

QString TCartucho::caption() const {
    return config::leftChars(Nome, kCaptionLength);
}

void TCartucho::reset() {
    *this = TCartucho{};
    Cor = QString::number(kCorPadrao);
    Parada = QStringLiteral("0");
    Loop = QStringLiteral("0");
    CorFonte = QString::number(kCorFontePadrao);
    Duracao = QStringLiteral("0");
}

QStringList TCartucho::toFields() const {
    return {Nome, Arquivo, Cor, Parada, Loop, CorFonte, Duracao};
}

TCartucho TCartucho::fromFields(const QStringList& fields) {
    const auto at = [&fields](int i) { return fields.value(i); };
    return {at(0), at(1), at(2), at(3), at(4), at(5), at(6)};
}

} // namespace carts
