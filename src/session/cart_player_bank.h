#pragma once
// The window's 98 players behind the small interfaces that the wall logic uses.
#include "audio/cart_player.h"
#include "audio/threaded_timer.h"
#include "carts/cart_table.h"
#include "session/wall_ports.h"

#include <array>
#include <memory>

namespace carts {
class MarkerStore;
}
namespace core {
class MessageSink;
}

namespace session {

// Gives a player the markers of the file it holds: the operator's, else the file's own cart
// chunk. A file whose length changed since its markers were set is reconciled and that is said.
class PlayerMarks {
public:
    PlayerMarks(carts::MarkerStore& store, core::MessageSink& messages)
        : store_(store), messages_(messages) {}
    void applyTo(audio::CartPlayer& player);
    // The file's markers as a player takes them.
    audio::PlayMarks of(const QString& path) const;

private:
    carts::MarkerStore& store_;
    core::MessageSink& messages_;
};

class PlayerAdapter : public PlayerControl {
public:
    PlayerAdapter(std::unique_ptr<audio::CartPlayer> player, PlayerMarks& marks)
        : owned_(std::move(player)), p_(*owned_), marks_(marks) {}
    bool isPlaying() override { return p_.isPlaying(); }
    bool isEmpty() override { return p_.isEmpty(); }
    bool isFading() override { return p_.isFading(); }
    void load(const QString& path) override {
        p_.load(path);
        marks_.applyTo(p_);
    }
    void unload() override { p_.unload(); }
    void play() override { p_.play(); }
    void stop() override { p_.stop(); }
    void fadeOut(std::uint16_t ms) override { p_.fadeOut(ms); }
    void setLoop(bool loop) override { p_.setLoop(loop); }
    bool armSegue(PlayerControl* next, std::uint32_t leadMs, std::uint16_t fadeMs) override {
        auto* other = dynamic_cast<PlayerAdapter*>(next);
        return p_.armSegue(other != nullptr ? &other->p_ : nullptr, leadMs, fadeMs);
    }
    void cancelSegue() override { p_.cancelSegue(); }
    std::uint32_t segueLeadMs(std::uint32_t fallbackMs) override {
        return p_.segueLeadMs(fallbackMs);
    }
    std::optional<std::uint32_t> introLeftMs() override { return p_.introLeftMs(); }
    void setVolume(std::uint32_t volume) override { p_.setVolume(volume); }
    std::uint32_t lengthMs() override { return p_.lengthMs(); }
    std::uint32_t positionMs() override { return p_.positionMs(); }
    QString fileName() const override { return p_.fileName(); }
    bool readLevels(std::int32_t& levelA, std::int32_t& levelB) override {
        return p_.readLevels(levelA, levelB);
    }
    int cartIndex() const override { return p_.cartIndex(); }
    void setCartIndex(int index) override { p_.setCartIndex(index); }
    audio::CartPlayer& player() { return p_; }
    void reapplyMarks() { marks_.applyTo(p_); }

private:
    std::unique_ptr<audio::CartPlayer> owned_;
    audio::CartPlayer& p_;
    PlayerMarks& marks_;
};

// The 96 cart players, the cue player and the spare player, created in that order. The window
// releases them before anything their stop events reach.
class CartPlayerBank : public PlayerBank {
public:
    // The players take their files' markers from `marks`.
    CartPlayerBank(audio::PlayerContext& context, carts::MarkerStore& marks);

    PlayerControl& cart(int n) override { return *carts_.at(static_cast<std::size_t>(n)); }
    PlayerControl& cue() override { return *cue_; }
    PlayerControl& spare() override { return *spare_; }

    audio::CartPlayer& cartPlayer(int n) {
        return carts_.at(static_cast<std::size_t>(n))->player();
    }
    audio::CartPlayer& cuePlayer() { return cue_->player(); }
    audio::CartPlayer& sparePlayer() { return spare_->player(); }

    // The markers of `path` changed: every cart player holding it takes them (one on air from
    // its next stop).
    void markersChanged(const QString& path);
    audio::PlayMarks marksOf(const QString& path) const { return marks_.of(path); }

private:
    std::unique_ptr<PlayerAdapter> make(audio::PlayerContext& context, int cartIndex);
    PlayerMarks marks_;
    std::array<std::unique_ptr<PlayerAdapter>, carts::kCartCount + 1> carts_; // index 0 unused
    std::unique_ptr<PlayerAdapter> cue_;
    std::unique_ptr<PlayerAdapter> spare_;
};

class DiskFiles : public FileProbe {
public:
    bool exists(const QString& path) const override;
};

} // namespace session
