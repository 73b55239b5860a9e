#pragma once
// One cart slot: what the cart plays and how its button looks, as typed values. A profile
// written by another program may hold any text in a numeric field, and saving must give it
// back unchanged: a field read from a profile line keeps its text until it is set, and is
// written back as that text.
#include <QString>
#include <QStringList>

#include <optional>

namespace carts {

// A colour as the profiles store it: 00BBGGRR.
struct Colour {
    int bgr = 0;
    bool operator==(const Colour&) const = default;
};

inline constexpr Colour kDefaultFaceColour{9818331}; // default face colour, "Cor Padrão"
inline constexpr Colour kReservedRed{255};           // pure red, reserved for the playing frame
inline constexpr Colour kDefaultCaptionColour{0};    // black caption
inline constexpr int kCaptionLength = 13;            // characters of name shown on the button

// How a click stops the cart on air. Unset (an empty or unknown stop field) cuts, and the
// menu checks neither stop mode.
enum class StopMode { Fade, Cut, Unset };

class Cart {
public:
    QString name; // display name; the cart is loaded exactly when this is not empty
    QString path; // full path of the audio file

    static constexpr int kFieldCount = 7;

    Cart() = default;
    // A slot as the seven fields of a profile line give it (see fromFields).
    Cart(const QString& name, const QString& path, const QString& colour, const QString& stopMode,
         const QString& loop, const QString& captionColour, const QString& duration);

    bool isLoaded() const { return !name.isEmpty(); }
    QString caption() const; // the first 13 characters of name

    Colour faceColour() const { return faceColour_; }
    Colour captionColour() const { return captionColour_; }
    StopMode stopMode() const { return stopMode_; }
    bool loops() const { return loop_; }
    qint32 durationMs() const { return durationMs_; }
    bool stopsWithFade() const { return stopMode_ == StopMode::Fade; }

    void setFaceColour(Colour c);
    void setCaptionColour(Colour c);
    void setStopMode(StopMode mode);
    void setLoop(bool loop);
    void setDurationMs(qint32 ms);

    // "Excluir Áudio do Cartucho": empty name and path, default colours, fade, no loop, 0 ms.
    void reset();
    // Emptied as an unread slot is, its length field kept as it was ("Limpar" of the wall).
    void clearKeepingDuration();

    // The seven fields of a profile line in order; fromFields leaves missing fields empty and
    // ignores extra ones. A field that is not a whole number reads as the default.
    QStringList toFields() const;
    static Cart fromFields(const QStringList& fields);

    // Equal when a profile line stores them alike.
    bool operator==(const Cart& other) const { return toFields() == other.toFields(); }

private:
    // The text each field was read from, until the field is set.
    struct ReadText {
        std::optional<QString> faceColour, stopMode, loop, captionColour, duration;
    };

    Colour faceColour_ = kDefaultFaceColour;
    StopMode stopMode_ = StopMode::Unset;
    bool loop_ = false;
    Colour captionColour_ = kDefaultCaptionColour;
    qint32 durationMs_ = 0;
    // A slot nothing was read into is an empty profile line: it writes back empty fields.
    ReadText read_{QString(), QString(), QString(), QString(), QString()};
};

} // namespace carts
