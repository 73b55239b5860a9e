#pragma once
// Hand-driven stand-ins for the players, the wall's controls and the file system, so the firing
// and block logic can be checked step by step.
#include "config/device_settings.h"
#include "session/block_sequencer.h"
#include "session/cart_firing.h"
#include "session/status_display.h"
#include "session/wall_ports.h"
#include "support/recording_messages.h"

#include <QMap>
#include <QSet>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

class FakePlayer : public session::PlayerControl {
public:
    bool isPlaying() override { return loaded && playing; }
    bool isEmpty() override { return !loaded; }
    bool isFading() override { return loaded && playing && fading; }
    void load(const QString& path) override {
        log.append(QStringLiteral("Load ") + path);
        if (playing) {
            stop();
        }
        this->path = path;
        loaded = loadSucceeds;
        playing = false;
        fading = false;
        position = 0;
        segue.reset();
    }
    void unload() override {
        log.append(QStringLiteral("Unload"));
        loaded = false;
        playing = false;
        fading = false;
        segue.reset();
    }
    void play() override {
        log.append(QStringLiteral("Play"));
        if (loaded && playSucceeds) {
            playing = true;
        }
    }
    void stop() override {
        log.append(QStringLiteral("Stop"));
        loop = false;
        playing = false;
        fading = false;
        position = 0;
        segue.reset();
        if (loaded && onStop) {
            onStop(*this);
        }
    }
    void fadeOut(std::uint16_t ms) override {
        log.append(QStringLiteral("FadeOut %1").arg(ms));
        loop = false;
        if (loaded && playing) {
            fading = true;
            segue.reset();
        }
    }
    void setLoop(bool on) override { loop = on; }
    bool armSegue(session::PlayerControl* next, std::uint32_t leadMs,
                  std::uint16_t fadeMs) override {
        if (!isPlaying()) {
            return false;
        }
        segue = Segue{static_cast<FakePlayer*>(next), leadMs, fadeMs};
        return true;
    }
    void cancelSegue() override { segue.reset(); }
    std::uint32_t segueLeadMs(std::uint32_t fallbackMs) override {
        return segueLead.value_or(fallbackMs);
    }
    std::optional<std::uint32_t> introLeftMs() override {
        return isPlaying() ? introLeft : std::nullopt;
    }
    // What the mixer does at the armed cue: this player fades and the next one starts.
    void reachCue() {
        fading = true;
        if (segue->next != nullptr) {
            segue->next->playing = true;
        }
        segue.reset();
    }
    void setVolume(std::uint32_t v) override {
        if (loaded) {
            volume = v;
        }
    }
    std::uint32_t lengthMs() override { return loaded ? length : 0; }
    std::uint32_t positionMs() override { return loaded ? position : 0; }
    QString fileName() const override { return path; }
    bool readLevels(std::int32_t& a, std::int32_t& b) override {
        if (!isPlaying() || !hasLevels) {
            return false;
        }
        a = levelA;
        b = levelB;
        return true;
    }
    int cartIndex() const override { return index; }
    void setCartIndex(int i) override { index = i; }

    struct Segue {
        FakePlayer* next;
        std::uint32_t leadMs;
        std::uint16_t fadeMs;
    };

    bool loaded = false;
    bool playing = false;
    bool fading = false;
    bool loop = false;
    std::optional<Segue> segue; // armed and not yet reached
    // What the file's markers give: the segue's lead and the intro's time left.
    std::optional<std::uint32_t> segueLead;
    std::optional<std::uint32_t> introLeft;
    bool loadSucceeds = true;
    bool playSucceeds = true; // false: its device cannot play now
    bool hasLevels = true;
    std::int32_t levelA = 0;
    std::int32_t levelB = 0;
    std::uint32_t length = 10000;
    std::uint32_t position = 0;
    std::uint32_t volume = 100;
    int index = 0;
    QString path;
    QStringList log;
    std::function<void(FakePlayer&)> onStop;
};

class FakeBank : public session::PlayerBank {
public:
    FakeBank() {
        for (int n = 1; n <= 96; ++n) {
            carts[n].index = n;
        }
    }
    session::PlayerControl& cart(int n) override { return carts.at(n); }
    session::PlayerControl& cue() override { return cuePlayer; }
    session::PlayerControl& spare() override { return sparePlayer; }
    std::array<FakePlayer, 97> carts;
    FakePlayer cuePlayer;
    FakePlayer sparePlayer;
};

class FakeView : public session::WallView {
public:
    QString caption(int n) const override { return captions.value(n); }
    void setCaption(int n, const QString& text) override { captions[n] = text; }
    void setIntroCountdown(int n, bool running) override { intro[n] = running; }
    void setFrame(int n, int colour, int width) override {
        frameColour[n] = colour;
        frameWidths[n] = width;
    }
    int frameWidth(int n) const override { return frameWidths.value(n, 1); }
    void setCaptionPointSize(int n, int points) override { pointSize[n] = points; }
    void setQueued(int n, bool q) override { queued[n] = q; }
    void setClickEnabled(int n, bool e) override { clickEnabled[n] = e; }
    int masterVolume() const override { return volume; }
    bool autoFade() const override { return fadeOn; }
    bool autoMix() const override { return mixOn; }
    void setBlockLines(const QStringList& l) override { lines = l; }
    void setBlockCount(int c) override { count = c; }
    void setClockText(const QString& t) override { clock = t; }
    void setMeters(int a, int b) override { meters = {a, b}; }
    void setCueLook(bool on) override { cueLook = on; }
    void setStatusLine(const QString& t) override { status = t; }

    QMap<int, QString> captions;
    QMap<int, int> frameColour, frameWidths, pointSize;
    QMap<int, bool> queued, clickEnabled, intro;
    int volume = 100;
    bool fadeOn = false;
    bool mixOn = true;
    QStringList lines;
    int count = 0;
    QString clock;
    std::pair<int, int> meters{-1, -1};
    bool cueLook = false;
    QString status;
};

class FakeFiles : public session::FileProbe {
public:
    bool exists(const QString& path) const override { return present.contains(path); }
    QSet<QString> present;
};

// The wall's logic on the fakes: firing, the block and the status display, with every fake
// player's end reported to the firing as the real bank does.
struct WallLogicParts {
    WallLogicParts() {
        for (int n = 1; n <= 96; ++n) {
            bank.carts[n].onStop = [this](FakePlayer& p) { firing.onPlayerStopped(p); };
        }
    }
    WallLogicParts(const WallLogicParts&) = delete;
    WallLogicParts& operator=(const WallLogicParts&) = delete;

    carts::Wall wall;
    FakeBank bank;
    FakeView view;
    FakeFiles files;
    RecordingMessages messages;
    config::DeviceSettings settings;
    session::BlockSequencer block{wall, bank, view, messages, files, settings};
    session::CartFiring firing{wall, bank, view, block, messages, files, settings};
    session::StatusDisplay display{bank, view, block};
};
