#pragma once
// One cart slot: what the cart plays and how its button looks. The fields are held as the text
// of a profile line, in its order: a profile written by another program may hold any text in a
// numeric field, and saving must give it back unchanged. The typed readings below are what the
// wall uses.
#include <QString>
#include <QStringList>

namespace carts {

inline constexpr int kDefaultFaceColour = 9818331; // default face colour (00BBGGRR), "Cor Padrão"
inline constexpr int kReservedRed = 255;           // pure red, reserved for the playing frame
inline constexpr int kDefaultCaptionColour = 0;    // black caption
inline constexpr int kCaptionLength = 13;          // characters of name shown on the button

struct Cart {
    QString name;              // display name; the cart is loaded exactly when this is not empty
    QString path;              // full path of the audio file
    QString colourText;        // face colour, decimal
    QString stopModeText;      // "0" = stop with a fade, any other text = cut
    QString loopText;          // "1" = play again at the end
    QString captionColourText; // caption colour, decimal
    QString durationText;      // length in ms, decimal

    static constexpr int kFieldCount = 7;

    bool isLoaded() const { return !name.isEmpty(); }
    bool stopsWithFade() const { return stopModeText == u"0"; }
    bool loops() const { return loopText == u"1"; }

    // Lenient readings for the wall: a field that is not a whole number gives the default.
    int faceColour() const;    // colourText, else kDefaultFaceColour
    int captionColour() const; // captionColourText, else kDefaultCaptionColour
    qint32 durationMs() const; // durationText, else 0
    QString caption() const;   // the first 13 characters of name

    // "Excluir Áudio do Cartucho": empty name and path, default colours, fade, no loop, 0 ms.
    void reset();

    // The seven fields in order; fromFields leaves missing fields empty and ignores extra ones.
    QStringList toFields() const;
    static Cart fromFields(const QStringList& fields);

    bool operator==(const Cart&) const = default;
};

} // namespace carts
