#pragma once
// What the wall shows, held without widgets: each cart button's look, the control strip's
// block, clock, meters, CUE switch and status line, and the profile box. The firing, block,
// display and profile logic write it through their small view interfaces; it says what
// changed, and the window renders from that. The strip's inputs (master volume, AUTO FADE,
// AUTO MIX) and the box's selection are set here by the window. User-interface thread only.
#include "carts/cart_buttons.h"
#include "session/profile_commands.h"
#include "session/wall_ports.h"

#include <QObject>

#include <array>

namespace session {

struct CartLook {
    QString caption; // what the button says now: its name, "NO AR", "LOOP" or the time left
    QString hint;    // empty until the wall is first refreshed: the window's start hint stays
    carts::Colour face = carts::kDefaultFaceColour;
    carts::Colour captionColour = carts::kDefaultCaptionColour;
    bool introRunning = false; // the caption counts down the intro, drawn in a colour of its own
    int frameColour = kIdleFrameColour;
    int frameWidth = kIdleFrameWidth;
    int captionPoints = kIdleCaptionPoints;
    bool queued = false;      // the block's badge
    bool clickEnabled = true; // false while a Shift press's click is to be swallowed
    bool operator==(const CartLook&) const = default;
};

struct StripLook {
    QStringList blockLines;
    int blockCount = 0;
    QString clock = QStringLiteral("00:00:00");
    bool clockWarning = false; // lit in the end warning's blink of the cart the clock follows
    int meterA = 0;
    int meterB = 0;
    bool cueMode = false;
    QString statusLine;
};

struct ProfileBox {
    QStringList names;
    int selected = -1;
    bool buttonsEnabled = false; // "Ativar" and "Salvar"
};

class WallState : public QObject, public WallView, public carts::CartButtons, public ProfileView {
    Q_OBJECT
public:
    explicit WallState(QObject* parent = nullptr);

    const CartLook& cart(int n) const { return carts_.at(static_cast<std::size_t>(n)); }
    const StripLook& strip() const { return strip_; }
    const ProfileBox& profileBox() const { return box_; }

    // Inputs of the strip, as the operator set them.
    void setMasterInput(int volume) { masterVolume_ = volume; }
    void setAutoFadeInput(bool on) { autoFade_ = on; }
    void setAutoMixInput(bool on) { autoMix_ = on; }

    // WallView
    QString caption(int n) const override { return cart(n).caption; }
    void setCaption(int n, const QString& text) override;
    void setIntroCountdown(int n, bool running) override;
    void setFrame(int n, int bgrColour, int width) override;
    int frameWidth(int n) const override { return cart(n).frameWidth; }
    void setCaptionPointSize(int n, int points) override;
    void setQueued(int n, bool queued) override;
    void setClickEnabled(int n, bool enabled) override;
    int masterVolume() const override { return masterVolume_; }
    bool autoFade() const override { return autoFade_; }
    bool autoMix() const override { return autoMix_; }
    void setBlockLines(const QStringList& lines) override;
    void setBlockCount(int count) override;
    void setClockText(const QString& text) override;
    void setClockWarning(bool lit) override;
    void setMeters(int levelA, int levelB) override;
    void setCueLook(bool cueMode) override;
    void setStatusLine(const QString& text) override;

    // carts::CartButtons
    void setFaceColour(int n, carts::Colour colour) override;
    void setCaptionColour(int n, carts::Colour colour) override;
    void applyFace(const carts::CartFace& face) override;

    // ProfileView
    void setProfileNames(const QStringList& names) override;
    QStringList profileNames() const override { return box_.names; }
    int selectedProfile() const override { return box_.selected; }
    void selectProfile(int index) override;
    void setProfileButtonsEnabled(bool enabled) override;
    void showCurrentProfile(const QString& text) override { setStatusLine(text); }

signals:
    void cartLookChanged(int n);
    void blockChanged();
    void clockChanged();
    void metersChanged();
    void cueModeChanged();
    void statusLineChanged();
    void profileBoxChanged();

private:
    CartLook& edit(int n) { return carts_.at(static_cast<std::size_t>(n)); }
    template <typename T> void change(int n, T CartLook::*field, const T& value);

    std::array<CartLook, 97> carts_{}; // index 0 unused
    StripLook strip_;
    ProfileBox box_;
    int masterVolume_ = 100;
    bool autoFade_ = false;
    bool autoMix_ = false;
};

} // namespace session
