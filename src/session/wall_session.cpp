#include "session/wall_session.h"

#include "audio/cart_player.h"
#include "audio/loudness.h"
#include "audio/player_context.h"
#include "carts/loudness_cache.h"
#include "carts/loudness_service.h"
#include "carts/marker_store.h"
#include "session/block_sequencer.h"
#include "session/cart_firing.h"
#include "session/cart_player_bank.h"
#include "session/status_display.h"

#include <QDir>

namespace session {

// The editing commands' view of the players: a cart deleted while on air is stopped first, so
// its stop event gives the emptied button its idle look instead of the on-air frame.
class SessionCartPlayers : public carts::CartPlayers {
public:
    SessionCartPlayers(CartPlayerBank& players, carts::LoudnessService& loudness)
        : p_(players), loudness_(loudness) {}
    bool isPlaying(int n) const override { return p_.cart(n).isPlaying(); }
    void unload(int n) override {
        if (p_.cart(n).isPlaying()) {
            p_.cart(n).stop();
        }
        p_.cart(n).unload();
    }
    quint32 measureDurationMs(const QString& path) override {
        return carts::measureWithSparePlayer(p_.sparePlayer(), path);
    }
    void measureLoudness(const QString& path) override { loudness_.measure(path); }

private:
    CartPlayerBank& p_;
    carts::LoudnessService& loudness_;
};

namespace {

// The device number for a stored list index. A JACK device is looked for by its ports, since
// its number moves when the graph or the sound server's sinks change; a sound server device
// saved by number is not taken for the JACK pair that has its number now (its sink is gone).
// A device not found gets a number that names none, so its players say so instead of playing
// elsewhere.
int deviceNumberFor(audio::engine::SoundEngine& engine, int storedIndex,
                    const QStringList& jackPorts) {
    constexpr int kNoDevice = audio::engine::SoundEngine::kMaxDevice + 1;
    if (jackPorts.isEmpty()) {
        const int number = storedIndex + 1;
        return engine.devicePorts(number).empty() ? number : kNoDevice;
    }
    std::vector<std::string> ports;
    for (const QString& port : jackPorts) {
        ports.push_back(port.toStdString());
    }
    return engine.deviceWithPorts(ports).value_or(kNoDevice);
}

// Which plays on air a command ends.
std::function<bool(int)> only(int n) {
    return [n](int k) { return k == n; };
}
std::function<bool(int)> allBut(int n) {
    return [n](int k) { return k != n; };
}
bool everyCart(int) {
    return true;
}

} // namespace

WallSession::WallSession(const SessionDeps& deps, QObject* parent)
    : QObject(parent), deps_(deps), deviceSettings_(config::readDeviceSettings(deps.programDir)),
      extSettings_(config::readExtSettings(deps.programDir)),
      files_(std::make_unique<DiskFiles>()) {
    loudness_ = std::make_unique<carts::LoudnessService>(
        QDir(deps_.programDir).filePath(QString::fromLatin1(carts::kLoudnessCacheFile)));
    markers_ = std::make_unique<carts::MarkerStore>();
    createPlayers();
    editingPlayers_ = std::make_unique<SessionCartPlayers>(*players_, *loudness_);
    editing_ = std::make_unique<carts::CartEditing>(wall_, state_, *editingPlayers_, deps_.dialogs,
                                                    deps_.messages);
    folder_ = std::make_unique<carts::ProfileFolder>(deps_.programDir);
    profiles_ = std::make_unique<ProfileCommands>(ProfileDeps{wall_, *folder_, *players_, state_,
                                                              state_, *block_, state_,
                                                              deps_.namePrompt, deps_.messages});
    profiles_->setWallLoadedHook([this] { onWallLoaded(); });
    wall_.onCartEdited = [this](int n) {
        block_->onCartEdited(n);
        emit cartChanged(n);
        observe();
    };
    displayTimer_.setInterval(100);
    connect(&displayTimer_, &QTimer::timeout, this, [this] {
        display_->onDisplayTick();
        observe();
        emit displayTicked();
    });
}

WallSession::~WallSession() {
    // The players go first, so no stop event reaches what is being destroyed.
    players_.reset();
}

void WallSession::createPlayers() {
    context_ = std::make_unique<audio::PlayerContext>(deps_.sound, deps_.messages);
    context_->playbackGain = [this](const QString& path) { return playbackGainOf(path); };
    // A preview (CUE, search) may start before its file is measured; it takes the gain as
    // soon as it is known, so the headphones hear the level the file will have on air. Carts
    // on air keep the level they started with.
    connect(loudness_.get(), &carts::LoudnessService::measured, this, [this](const QString& path) {
        audio::CartPlayer& cue = players_->cuePlayer();
        if (cue.isPlaying() && cue.fileName() == path) {
            cue.refreshGain();
        }
    });
    players_ = std::make_unique<CartPlayerBank>(*context_, *markers_);
    block_ = std::make_unique<BlockSequencer>(wall_, *players_, state_, deps_.messages, *files_,
                                              deviceSettings_);
    firing_ = std::make_unique<CartFiring>(wall_, *players_, state_, *block_, deps_.messages,
                                           *files_, deviceSettings_);
    display_ = std::make_unique<StatusDisplay>(*players_, state_, *block_);
    applyEndWarning();
    connectPlayerEvents();
}

void WallSession::applyEndWarning() {
    display_->setEndWarning({qint64(extSettings_.endWarningSeconds) * 1000,
                             [this](int n) { return wall_.table[n].loops(); }});
}

void WallSession::connectPlayerEvents() {
    for (int n = 1; n <= kCartCount; ++n) {
        audio::CartPlayer& player = players_->cartPlayer(n);
        player.setOnStop([this, n](QObject*) {
            if (players_->cartPlayer(n).isEndingInStall()) {
                ending(PlayEnd::Stall, only(n),
                       [&] { firing_->onPlayerStopped(players_->cart(n)); });
                return;
            }
            firing_->onPlayerStopped(players_->cart(n));
            observe();
        });
        player.setOnLoopTurned([this, n](QObject*) {
            firing_->onLoopTurned(players_->cart(n));
            if (plays_[n].info.playId != 0) {
                emit loopTurned(plays_[n].info);
            }
        });
        player.setOnSegue([this, n](QObject*) {
            if (plays_[n].info.playId != 0 && !plays_[n].end) {
                plays_[n].end = PlayEnd::Mix;
            }
            trigger_ = PlayTrigger::Automix;
            block_->onSegue(n);
            observe();
        });
    }
}

void WallSession::markersChanged(const QString& path) {
    players_->markersChanged(path);
    block_->onMixSettingsChanged();
}

audio::PlayMarks WallSession::marksOf(const QString& path) const {
    return players_->marksOf(path);
}

audio::CartPlayer& WallSession::cuePlayer() {
    return players_->cuePlayer();
}

bool WallSession::cueMode() const {
    return firing_->cueMode();
}

void WallSession::start() {
    const int output =
        deviceNumberFor(deps_.sound, deviceSettings_.outputDevice, extSettings_.jackOutputPorts);
    const int cue =
        deviceNumberFor(deps_.sound, deviceSettings_.cueDevice, extSettings_.jackCuePorts);
    const auto buffer = static_cast<std::uint16_t>(deviceSettings_.bufferMs);
    auto openOn = [&](audio::CartPlayer& player, int device, std::uint32_t volume) {
        player.initDevice(device);
        player.setBufferLength(buffer);
        player.setVolume(volume);
    };
    // Named in the messages about a device, as the setup dialog's labels name them.
    context_->addDeviceRole(output, QStringLiteral("Device Transmissão"));
    context_->addDeviceRole(cue, QStringLiteral("Device Escuta (Cue)"));
    const auto masterVolume = static_cast<std::uint32_t>(state_.masterVolume());
    for (int n = 1; n <= kCartCount; ++n) {
        openOn(players_->cartPlayer(n), output, masterVolume);
    }
    openOn(players_->cuePlayer(), cue, 100);
    openOn(players_->sparePlayer(), output, 100);
    // Before any profile loads a file, so every cart plays by its markers from the first.
    if (const QString problem = markers_->load(deps_.programDir); !problem.isEmpty()) {
        deps_.messages.showMessage(problem);
    }
    listProfiles();
    displayTimer_.start();
}

qint64 WallSession::remainingMs(int n) const {
    PlayerControl& player = players_->cart(n);
    return player.isPlaying() ? qint64(player.lengthMs()) - qint64(player.positionMs()) : 0;
}

QString WallSession::cartStatusLine(int n) const {
    return firing_->cartStatusLine(n);
}

// ---- Plays and states ----

CartState WallSession::stateOf(int n) const {
    if (!wall_.table[n].isLoaded()) {
        return CartState::Empty;
    }
    PlayerControl& player = players_->cart(n);
    CartState state = CartState::Loaded;
    if (state_.cart(n).queued) {
        state = CartState::Queued;
    }
    PlayerControl& cue = players_->cue();
    if (cue.isPlaying() && cue.cartIndex() == n) {
        state = CartState::Cue;
    }
    if (player.isPlaying()) {
        state = wall_.table[n].loops() ? CartState::Looping : CartState::Playing;
        if (player.isFading()) {
            state = CartState::Fading;
        }
    }
    return state;
}

void WallSession::observe() {
    for (int n = 1; n <= kCartCount; ++n) {
        Play& play = plays_[n];
        const bool onAir = players_->cart(n).isPlaying();
        if (onAir && play.info.playId == 0) {
            const carts::Cart& slot = wall_.table[n];
            play.info = {n, slot.name, slot.path, wall_.currentProfile, trigger_, ++lastPlayId_};
            play.end.reset();
            emit playStarted(play.info);
        } else if (!onAir && play.info.playId != 0) {
            const Play ended = play;
            play = Play{};
            emit playEnded(ended.info, ended.end.value_or(PlayEnd::End));
        }
        const CartState state = stateOf(n);
        if (states_[n] != state) {
            states_[n] = state;
            emit cartStateChanged(n, state);
        }
    }
}

PlayEnd WallSession::ownEndOf(int n) const {
    const carts::Cart& slot = wall_.table[n];
    if (slot.loops()) {
        return PlayEnd::LoopStop;
    }
    return slot.stopsWithFade() ? PlayEnd::Fade : PlayEnd::Cut;
}

void WallSession::ending(PlayEnd end, const std::function<bool(int)>& applies,
                         const std::function<void()>& command) {
    std::array<bool, kCartCount + 1> marked{};
    for (int n = 1; n <= kCartCount; ++n) {
        Play& play = plays_[n];
        if (play.info.playId != 0 && !play.end && applies(n)) {
            play.end = end;
            marked[n] = true;
        }
    }
    command();
    for (int n = 1; n <= kCartCount; ++n) {
        PlayerControl& player = players_->cart(n);
        if (marked[n] && player.isPlaying() && !player.isFading()) {
            plays_[n].end.reset(); // the command left it on air
        }
    }
    observe();
}

// ---- The wall's own commands ----

void WallSession::click(int n, PlayTrigger trigger) {
    if (!carts::isCartNumber(n)) {
        return;
    }
    trigger_ = block_->isEmpty() ? trigger : PlayTrigger::Block;
    // The clicked cart, if on air, ends by its own stop; the others by AUTO FADE.
    const auto clickedEnds = [&] { firing_->click(n); };
    const auto othersEnd = [&] { ending(PlayEnd::Autofade, allBut(n), clickedEnds); };
    ending(ownEndOf(n), only(n), othersEnd);
    trigger_ = PlayTrigger::Click;
}

int WallSession::fireByKey(QChar letter) {
    int fired = 0;
    for (int n = 1; n <= kCartCount && fired == 0; ++n) {
        if (!players_->cart(n).isPlaying() &&
            state_.caption(n).contains(QStringLiteral("&") + letter.toUpper())) {
            fired = n;
        }
    }
    if (fired != 0) {
        click(fired, PlayTrigger::Key);
    }
    return fired;
}

void WallSession::press(int n, bool shift) {
    block_->queueCart(n, shift);
    observe();
}

void WallSession::pointerOver(int n) {
    firing_->onPointerOverCart(n);
}

void WallSession::cut(int n) {
    ending(PlayEnd::Cut, only(n), [&] { firing_->cut(n); });
}

void WallSession::setStopMode(int n, carts::StopMode mode) {
    firing_->setStopMode(n, mode);
}

void WallSession::toggleLoop(int n) {
    firing_->toggleLoop(n);
    observe();
}

void WallSession::toggleCueMode() {
    firing_->toggleCueMode();
}

void WallSession::setMasterFader(int position) {
    state_.setMasterInput(position);
    display_->onMasterFaderMoved(position);
}

void WallSession::showProfileStatus() {
    state_.setStatusLine(QStringLiteral("Perfil Atual: ") + wall_.currentProfile);
}

void WallSession::setAutoFade(bool on) {
    state_.setAutoFadeInput(on);
}

void WallSession::setAutoMix(bool on) {
    state_.setAutoMixInput(on);
    block_->onAutoMixChanged();
}

// ---- Editing ----

std::optional<carts::CartMenuState> WallSession::menuState(int n) const {
    return editing_->menuState(n);
}

void WallSession::deleteAudio(int n) {
    ending(PlayEnd::Deleted, only(n), [&] { editing_->deleteAudio(n); });
}

void WallSession::loadSearchRow(int n, const QString& name, const QString& path,
                                std::optional<carts::Colour> preset) {
    editing_->loadSearchRow(n, name, path, preset);
}

void WallSession::dropFiles(const QList<QUrl>& urls, int n) {
    editing_->dropFiles(urls, n);
}

// ---- Profiles ----

void WallSession::listProfiles() {
    profiles_->listProfiles();
}

void WallSession::selectInProfileBox(int index) {
    state_.selectProfile(index);
}

void WallSession::activateSelected() {
    reportingSave(
        [&] { ending(PlayEnd::ProfileSwitch, everyCart, [&] { profiles_->activateSelected(); }); });
}

void WallSession::activateListed(int index) {
    reportingSave([&] {
        ending(PlayEnd::ProfileSwitch, everyCart, [&] { profiles_->selectProfile(index); });
    });
}

void WallSession::saveWall() {
    reportingSave([&] { profiles_->saveWall(); });
}

// A save names the wall's profile when it had none, or only clears the changed flag; a switch
// that saved first and then loaded has already said so through onWallLoaded.
void WallSession::reportingSave(const std::function<void()>& command) {
    const QString profileBefore = wall_.currentProfile;
    const bool changedBefore = wall_.profileChanged;
    const int loadsBefore = wallLoads_;
    command();
    if (wallLoads_ != loadsBefore) {
        return;
    }
    if (wall_.currentProfile != profileBefore) {
        emit profileChanged(wall_.currentProfile);
    } else if (changedBefore && !wall_.profileChanged) {
        emit wallSaved();
    }
}

void WallSession::createProfile() {
    profiles_->createProfile();
}

void WallSession::deleteSelected() {
    profiles_->deleteSelected();
}

bool WallSession::mayClose() {
    return profiles_->mayClose();
}

void WallSession::endSession() {
    displayTimer_.stop();
    for (int n = 1; n <= kCartCount; ++n) {
        Play& play = plays_[n];
        if (play.info.playId != 0) {
            const Play ended = play;
            play = Play{};
            emit playEnded(ended.info, ended.end.value_or(PlayEnd::Exit));
        }
    }
}

void WallSession::onWallLoaded() {
    ++wallLoads_;
    for (int n = 1; n <= kCartCount; ++n) {
        emit cartChanged(n);
    }
    emit profileChanged(wall_.currentProfile);
    measureWallLoudness();
}

void WallSession::restore(const carts::CartTable& table, const QList<int>& block,
                          const QString& profile, bool changed) {
    profiles_->clearWall();
    wall_.table = table;
    carts::refreshWall(wall_.table, state_);
    wall_.currentProfile = profile;
    wall_.profileChanged = changed;
    if (const int index = state_.profileNames().indexOf(profile); index >= 0) {
        state_.selectProfile(index);
    }
    for (const int n : block) {
        if (carts::isCartNumber(n) && wall_.table[n].isLoaded()) {
            block_->queueCart(n, true);
            state_.setClickEnabled(n, true); // no press of the operator's is to be swallowed
        }
    }
    onWallLoaded();
    observe();
}

void WallSession::measureWallLoudness() {
    for (int n = 1; n <= kCartCount; ++n) {
        if (wall_.table[n].isLoaded()) {
            loudness_->measure(wall_.table[n].path);
        }
    }
}

void WallSession::openWallFilesAhead(int firstCart) {
    QStringList paths;
    const auto add = [&](int n) {
        const carts::Cart& slot = wall_.table[n];
        if (slot.isLoaded() && !slot.path.isEmpty() && players_->cart(n).isEmpty()) {
            paths.append(slot.path);
        }
    };
    if (carts::isCartNumber(firstCart)) {
        add(firstCart);
    }
    for (int n = 1; n <= kCartCount; ++n) {
        if (n != firstCart) {
            add(n);
        }
    }
    players_->cartPlayer(1).prefetchFiles(paths);
}

// ---- Settings ----

void WallSession::reloadDeviceSettings() {
    deviceSettings_ = config::readDeviceSettings(deps_.programDir);
    block_->onMixSettingsChanged();
}

void WallSession::applyExtSettings(const config::ExtSettings& settings) {
    extSettings_ = settings;
    applyEndWarning();
    block_->onMixSettingsChanged();
}

float WallSession::playbackGainOf(const QString& path) const {
    const std::optional<audio::Loudness> known = loudness_->known(path);
    if (!known) {
        loudness_->measure(path); // a file no cart holds, e.g. a search preview
    }
    if (!extSettings_.loudness || !known) {
        return 1.0f;
    }
    return audio::linearGain(audio::normalisationGainDb(*known, extSettings_.loudnessTarget));
}

// ---- Commands without a pointer ----

std::optional<QString> WallSession::badCart(int n) {
    if (carts::isCartNumber(n)) {
        return std::nullopt;
    }
    return QStringLiteral("Cartucho %1 fora de 1 a %2").arg(n).arg(kCartCount);
}

QString WallSession::fire(int cart, PlayTrigger trigger) {
    if (const auto bad = badCart(cart)) {
        return *bad;
    }
    click(cart, trigger);
    return {};
}

QString WallSession::stop(int cart) {
    if (const auto bad = badCart(cart)) {
        return *bad;
    }
    wall_.table[cart].setLoop(false);
    players_->cart(cart).setLoop(false);
    cut(cart);
    return {};
}

QString WallSession::fade(int cart) {
    if (const auto bad = badCart(cart)) {
        return *bad;
    }
    wall_.table[cart].setLoop(false);
    PlayerControl& player = players_->cart(cart);
    player.setLoop(false);
    ending(PlayEnd::Fade, only(cart), [&] {
        if (player.isPlaying()) {
            player.fadeOut(deviceSettings_.fadeMs);
        }
    });
    return {};
}

QString WallSession::cue(int cart) {
    if (const auto bad = badCart(cart)) {
        return *bad;
    }
    firing_->togglePreview(cart);
    observe();
    return {};
}

QString WallSession::toggleQueued(int cart) {
    if (const auto bad = badCart(cart)) {
        return *bad;
    }
    block_->queueCart(cart, true);
    state_.setClickEnabled(cart, true); // no click follows a remote press to be swallowed
    observe();
    return {};
}

QString WallSession::blockNext() {
    if (block_->isEmpty()) {
        return QStringLiteral("Bloco vazio");
    }
    trigger_ = PlayTrigger::Block;
    ending(PlayEnd::Autofade, everyCart, [&] { firing_->playBlockNext(); });
    trigger_ = PlayTrigger::Click;
    return {};
}

// Panic: every cart on air, and nothing that would bring one back (block, loops, a segue).
void WallSession::endAll(PlayEnd end, bool fadeOut) {
    ending(end, everyCart, [&] {
        block_->clear();
        for (int n = 1; n <= kCartCount; ++n) {
            wall_.table[n].setLoop(false);
            PlayerControl& player = players_->cart(n);
            player.setLoop(false);
            player.cancelSegue();
            if (!player.isPlaying()) {
                continue;
            }
            if (fadeOut) {
                player.fadeOut(deviceSettings_.fadeMs);
            } else {
                player.stop();
            }
        }
    });
}

QString WallSession::fadeAll() {
    endAll(PlayEnd::Panic, true);
    return {};
}

QString WallSession::stopAll() {
    endAll(PlayEnd::Panic, false);
    return {};
}

QString WallSession::setMasterVolume(int percent) {
    if (percent < 0 || percent > 100) {
        return QStringLiteral("Volume geral %1 fora de 0 a 100").arg(percent);
    }
    setMasterFader(percent);
    emit masterVolumeChanged(percent);
    return {};
}

QString WallSession::activateProfile(const QString& name) {
    if (wall_.profileChanged) {
        return QStringLiteral("Perfil foi alterado e não foi salvo");
    }
    const int index = state_.profileNames().indexOf(name);
    if (index < 0) {
        return QStringLiteral("Perfil inexistente: %1").arg(name);
    }
    state_.selectProfile(index);
    activateSelected();
    return wall_.currentProfile == name ? QString()
                                        : QStringLiteral("Perfil %1 não foi carregado").arg(name);
}

} // namespace session
