#pragma once
// One cart slot: what the cart plays and how its button looks, all held as text in the field
// order of a profile line.
#include <QString>
#include <QStringList>

namespace carts {

inline constexpr int kCorPadrao = 9818331; // default face colour (00BBGGRR), "Cor Padrão"
inline constexpr int kCorReservada = 255;  // pure red, reserved for the playing frame
inline constexpr int kCorFontePadrao = 0;  // black caption
inline constexpr int kCaptionLength = 13;  // characters of Nome shown on the button

struct TCartucho {
    QString Nome;     // display name; the cart is loaded exactly when this is not empty
    QString Arquivo;  // full path of the audio file
    QString Cor;      // face colour, decimal
    QString Parada;   // "0" = stop with a fade, any other text = cut
    QString Loop;     // "1" = play again at the end
    QString CorFonte; // caption colour, decimal
    QString Duracao;  // length in ms, decimal

    static constexpr int kFieldCount = 7;

    bool isLoaded() const { return !Nome.isEmpty(); }
    bool stopsWithFade() const { return Parada == u"0"; }
    bool loops() const { return Loop == u"1"; }

    // Lenient readings for the wall: a field that is not a whole number gives the default.
    int faceColour() const;    // Cor, else kCorPadrao
    int captionColour() const; // CorFonte, else kCorFontePadrao
    qint32 durationMs() const; // Duracao, else 0
    QString caption() const;   // the first 13 characters of Nome

    // "Excluir Áudio do Cartucho": empty name and path, default colours, fade, no loop, 0 ms.
    void reset();

    // The seven fields in order; fromFields leaves missing fields empty and ignores extra ones.
    QStringList toFields() const;
    static TCartucho fromFields(const QStringList& fields);

    bool operator==(const TCartucho&) const = default;
};

} // namespace carts
