#pragma once
// The window's 98 players behind the small interfaces that the wall logic uses.
#include "app/wall_ports.h"
#include "audio/orvane_bass.h"
#include "audio/threaded_timer.h"

#include <array>
#include <memory>

namespace app {

class OrvanePlayer : public PlayerControl {
public:
    explicit OrvanePlayer(std::unique_ptr<audio::TOrvaneBass> player)
        : owned_(std::move(player)), p_(*owned_) {}
    bool IsPlaying() override { return p_.IsPlaying(); }
    bool IsEmpty() override { return p_.IsEmpty(); }
    bool IsFading() override { return p_.IsFading(); }
    void Load(const QString& path) override { p_.Load(path); }
    void Unload() override { p_.Unload(); }
    void Play() override { p_.Play(); }
    void Stop() override { p_.Stop(); }
    void FadeOut(std::uint16_t ms) override { p_.FadeOut(ms); }
    void SetVolume(std::uint32_t volume) override { p_.SetVolume(volume); }
    std::uint32_t LengthMs() override { return p_.LengthMs(); }
    std::uint32_t PositionMs() override { return p_.PositionMs(); }
    QString FileName() const override { return p_.FileName(); }
    bool ReadLevels(std::int32_t& levelA, std::int32_t& levelB) override;
    int CartIndex() const override { return p_.CartIndex(); }
    void SetCartIndex(int index) override { p_.SetCartIndex(index); }
    audio::TOrvaneBass& player() { return p_; }

private:
    std::unique_ptr<audio::TOrvaneBass> owned_;
    audio::TOrvaneBass& p_;
};

// `Tocadores` 1..96, `TocadorCue` and `TocadorAuxiliar`, created in that order. The window
// releases them before anything their stop events reach.
class WindowPlayers : public PlayerBank {
public:
    explicit WindowPlayers(audio::PlayerContext& context);

    PlayerControl& cart(int n) override { return *carts_.at(static_cast<std::size_t>(n)); }
    PlayerControl& cue() override { return *cue_; }
    PlayerControl& spare() override { return *spare_; }

    audio::TOrvaneBass& Tocador(int n) { return carts_.at(static_cast<std::size_t>(n))->player(); }
    audio::TOrvaneBass& TocadorCue() { return cue_->player(); }
    audio::TOrvaneBass& TocadorAuxiliar() { return spare_->player(); }

private:
    static std::unique_ptr<OrvanePlayer> make(audio::PlayerContext& context, int cartIndex);
    std::array<std::unique_ptr<OrvanePlayer>, 97> carts_; // index 0 unused
    std::unique_ptr<OrvanePlayer> cue_;
    std::unique_ptr<OrvanePlayer> spare_;
};

class ThreadedTimerSwitch : public TimerSwitch {
public:
    explicit ThreadedTimerSwitch(audio::TThreadedTimer& timer) : t_(timer) {}
    void setEnabled(bool enabled) override { t_.SetEnabled(enabled); }
    bool isEnabled() const override { return t_.Enabled(); }

private:
    audio::TThreadedTimer& t_;
};

class DiskFiles : public FileProbe {
public:
    bool exists(const QString& path) const override;
};

} // namespace app
