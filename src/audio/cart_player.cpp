#include "audio/cart_player.h"
#include "core/path_bytes.h"
#include "core/text_helpers.h"

#include "audio/audio_error_text.h"

#include <QPointer>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <limits>

namespace audio {

namespace {

constexpr int kMaxListedDevices = engine::SoundEngine::kMaxDevice; // sinks, then JACK pairs
// A fade shorter than this is not worth a slide; the player stops at once.
constexpr qint64 kShortestFadeMs = 10;
// The fade is shortened to end this long before the audio does.
constexpr qint64 kFadeEndMarginMs = 50;
constexpr std::size_t kFftLevelBElement = 5;
constexpr std::size_t kFftLevelAElement = 6;

// The fade a player gives when told to fade over `ms` with `remainingMs` of audio left: 0
// means stop at once.
qint64 shortenedFadeMs(qint64 ms, qint64 remainingMs) {
    const qint64 duration = std::min(ms, remainingMs - kFadeEndMarginMs);
    return duration < kShortestFadeMs ? 0 : duration;
}

} // namespace

std::int32_t levelOfMagnitude(float magnitude) {
    const double scaled = std::fabs(static_cast<double>(magnitude)) * 500.0;
    // A value that does not fit a 32-bit integer (or is not a number) counts as 0.
    const bool converts =
        std::isfinite(scaled) && scaled < static_cast<double>(std::numeric_limits<int>::max());
    const int v = converts ? std::min(static_cast<int>(scaled), 100) : 0;
    return static_cast<std::int32_t>(std::sqrt(v / 128.0) * 130.0) * 200;
}

CartPlayer::CartPlayer(PlayerContext& context, QObject* owner)
    : QObject(owner), context_(context), engine_(context.engine) {}

CartPlayer::~CartPlayer() = default;

void CartPlayer::initDevice(int device, bool readTags) {
    if (loaded_ || channel_) {
        return; // bound for good while a file is loaded
    }
    if (!context_.openedDevices.contains(device) && !context_.failedDevices.contains(device)) {
        openDevice(device);
    }
    loop_ = false;
    device_ = device;
    deviceName_ = deviceNameOf(device);
    tagReader_ = readTags ? std::make_unique<Id3v1Tag>() : nullptr;
}

void CartPlayer::openDevice(int device) {
    const engine::Failure failure = engine_.openDevice(device);
    if (!failure) {
        context_.openedDevices.append(device);
        return;
    }
    const int code = errorCodeOf(*failure);
    context_.failedDevices.insert(device, code);
    showMessage(context_.deviceProblemText(device, code));
}

// A device that did not open, or whose output is gone until the engine gets it back, must
// not have its channels land on another device: the player refuses and says why.
bool CartPlayer::deviceCanPlay() {
    const engine::Failure problem = engine_.deviceProblem(device_);
    if (!problem) {
        return true;
    }
    reportDeviceProblem(errorCodeOf(*problem));
    return false;
}

// A device that failed to open is named with the error it failed with, the same text as then.
void CartPlayer::reportDeviceProblem(int code) {
    showMessage(context_.deviceProblemText(device_, context_.failedDevices.value(device_, code)));
}

void CartPlayer::load(const QString& pathOrUrl) {
    if (playing_ && channel_ && channel_->state() != engine::ChannelState::Stopped) {
        stop();
    }
    if (loaded_) {
        unload();
    }
    marks_ = {};
    rangePending_ = false;
    loaded_ = false;
    playing_ = false;
    if (!deviceCanPlay()) {
        return;
    }
    if (pathOrUrl.contains(QStringLiteral("://"))) {
        loadUrl(pathOrUrl);
    } else {
        loadFile(pathOrUrl);
    }
}

void CartPlayer::prefetchFiles(const QStringList& paths) {
    std::vector<std::string> files;
    files.reserve(static_cast<std::size_t>(paths.size()));
    for (const QString& path : paths) {
        files.push_back(core::encodePathBytes(path).toStdString());
    }
    engine_.setBufferLength(std::chrono::milliseconds(bufferLength_));
    engine_.prefetchFiles(device_, files);
}

engine::Result<std::unique_ptr<engine::Channel>> CartPlayer::openChannel(const QString& pathOrUrl) {
    engine_.setBufferLength(std::chrono::milliseconds(bufferLength_));
    // The file's exact name bytes, also for a name that is not UTF-8 (see core/path_bytes.h).
    const bool url = pathOrUrl.contains(QStringLiteral("://"));
    return engine_.open(device_, url ? pathOrUrl.toStdString()
                                     : core::encodePathBytes(pathOrUrl).toStdString());
}

void CartPlayer::attach(std::unique_ptr<engine::Channel> channel) {
    channel_ = std::move(channel);
    channel_->setEventHandler([this](engine::ChannelEvent event) { onChannelEvent(event); });
    frequency_ = channel_->info().rate;
    volume_ = 100;
    pan_ = 0;
}

void CartPlayer::loadUrl(const QString& url) {
    auto opened = openChannel(url);
    if (!opened) {
        showMessage(QStringLiteral("Erro ao Carregar URL - ") +
                    audioErrorText(errorCodeOf(opened.error())) + QLatin1Char('\r') + url);
        return;
    }
    attach(opened.take());
    shortName_ = url;
    fileName_ = url;
    loaded_ = true;
    play();
}

void CartPlayer::loadFile(const QString& path) {
    auto opened = openChannel(path);
    shortName_ = core::fileNameOf(path);
    fileName_ = path;
    if (!opened) {
        showMessage(QStringLiteral("ERRO AO CARREGAR CANAL:\r\rArquivo: ") + path +
                    QStringLiteral("\r\rErro ") + audioErrorText(errorCodeOf(opened.error())));
        return;
    }
    if (opened.value()->info().eightBit) {
        showMessage(QStringLiteral("Erro ao Ler arquivo:") + fileName_ +
                    QStringLiteral(" Dados <> 16-bits stereo"));
        return;
    }
    attach(opened.take());
    if (tagReader_) {
        // A tag that cannot be read leaves the reader empty; the file still plays.
        tagReader_->readFromFile(path);
    }
    loaded_ = true;
}

void CartPlayer::setMarks(const PlayMarks& marks) {
    marks_ = marks;
    rangePending_ = isPlaying();
    if (!rangePending_) {
        applyRange();
    }
}

// Network streams and files of unknown length play whole.
void CartPlayer::applyRange() {
    rangePending_ = false;
    if (!loaded_ || fileName_.contains(QStringLiteral("://")) ||
        channel_->length() <= engine::Frames(0)) {
        return;
    }
    const engine::Frames length = channel_->length();
    const auto within = [&](std::optional<std::int64_t> mark, engine::Frames fallback) {
        return mark ? std::clamp(engine::Frames(*mark), engine::Frames(0), length) : fallback;
    };
    engine::Frames start = within(marks_.cueIn, engine::Frames(0));
    engine::Frames end = within(marks_.cueOut, length);
    if (end <= start) {
        start = engine::Frames(0);
        end = length;
    }
    if (start != channel_->rangeStart() || end != channel_->rangeEnd()) {
        channel_->setPlayRange(start, end); // waits for the decoder, as a seek does
    }
}

void CartPlayer::unload() {
    marks_ = {};
    rangePending_ = false;
    playing_ = false;
    loaded_ = false;
    channel_.reset(); // stops with a short de-click; no onStop
}

// The attributes the next start plays with, set while the channel is still silent so they hold
// from its first sample.
void CartPlayer::prepareStart() {
    channel_->setRate(static_cast<float>(frequency_));
    channel_->setVolume(static_cast<float>(volume_) / 100.0f);
    channel_->setPan(static_cast<float>(pan_) / 100.0f);
    channel_->setLoop(loop_);
    refreshGain();
}

void CartPlayer::play() {
    if (!loaded_ || channel_->state() == engine::ChannelState::Playing) {
        return;
    }
    prepareStart();
    const engine::Failure failure = channel_->play();
    if (failure == engine::EngineError::DeviceGone) {
        playing_ = false;
        reportDeviceProblem(errorCodeOf(*failure));
        return;
    }
    playing_ = true;
    if (failure) {
        stop(); // the engine refused: this play ends at once
    }
}

void CartPlayer::refreshGain() {
    if (loaded_) {
        channel_->setGain(context_.gainFor(fileName_));
    }
}

void CartPlayer::stop() {
    setLoop(false);
    playing_ = false;
    if (!loaded_) {
        return;
    }
    channel_->stop();
    // A network stream has no start to go back to: a seek would wait on the network.
    if (rangePending_) {
        applyRange();
    } else if (!fileName_.contains(QStringLiteral("://"))) {
        channel_->seek(channel_->rangeStart());
    }
    notifyStopped();
}

void CartPlayer::notifyStopped() {
    if (onStop_) {
        onStop_(this);
    }
}

void CartPlayer::fadeOut(std::uint16_t ms) {
    setLoop(false);
    if (!playing_ || !loaded_) {
        return;
    }
    if (channel_->state() == engine::ChannelState::Stopped) {
        stop();
        return;
    }
    const qint64 remaining = qint64{lengthMs()} - qint64{positionMs()};
    const qint64 duration = shortenedFadeMs(ms, remaining);
    if (duration == 0) {
        stop();
        return;
    }
    const std::uint32_t rate = engine_.deviceRate(device_);
    channel_->fadeOut(engine::Frames::fromDuration(std::chrono::milliseconds(duration), rate));
}

bool CartPlayer::armSegue(CartPlayer* next, std::uint32_t leadMs, std::uint16_t fadeMs) {
    if (!loaded_ || !playing_) {
        return false;
    }
    const bool nextReady = next != nullptr && next != this && next->loaded_ && !next->playing_ &&
                           next->device_ == device_;
    const std::uint32_t rate = channel_->info().rate;
    const engine::Frames end = channel_->rangeEnd();
    const engine::Frames at = segueFrame().value_or(
        std::max(channel_->rangeStart(),
                 end - engine::Frames::fromDuration(std::chrono::milliseconds(leadMs), rate)));
    const qint64 remainingMs = (end - at).toMs(rate).count();
    const qint64 fade = shortenedFadeMs(fadeMs, remainingMs);
    const engine::Frames fadeFrames =
        engine::Frames::fromDuration(std::chrono::milliseconds(fade), engine_.deviceRate(device_));
    if (nextReady) {
        next->prepareStart();
    }
    return !channel_->armCue(at, nextReady ? next->channel_.get() : nullptr, fadeFrames);
}

// The segue mark, when it lies inside the range that plays.
std::optional<engine::Frames> CartPlayer::segueFrame() const {
    if (!loaded_ || !marks_.segueStart) {
        return std::nullopt;
    }
    const engine::Frames at(*marks_.segueStart);
    if (at < channel_->rangeStart() || at >= channel_->rangeEnd()) {
        return std::nullopt;
    }
    return at;
}

std::uint32_t CartPlayer::segueLeadMs(std::uint32_t fallbackMs) const {
    const std::optional<engine::Frames> at = segueFrame();
    return at ? framesToMs(channel_->rangeEnd() - *at) : fallbackMs;
}

std::optional<std::uint32_t> CartPlayer::introLeftMs() const {
    if (!loaded_ || !marks_.introEnd) {
        return std::nullopt;
    }
    const engine::Frames left = engine::Frames(*marks_.introEnd) - channel_->position();
    if (left <= engine::Frames(0)) {
        return std::nullopt;
    }
    return framesToMs(left);
}

void CartPlayer::cancelSegue() {
    if (loaded_) {
        channel_->cancelCue();
    }
}

void CartPlayer::onChannelEvent(engine::ChannelEvent event) {
    using Kind = engine::ChannelEvent::Kind;
    switch (event.kind) {
    case Kind::Ended:
    case Kind::FadedOut:
    case Kind::DeviceLost:
        endPlay();
        break;
    case Kind::Stalled:
        // Only a stall that lasts ends the play; a brief one has already recovered.
        if (channel_->state() == engine::ChannelState::Stalled) {
            endingInStall_ = true;
            endPlay();
            endingInStall_ = false;
        }
        break;
    case Kind::LoopTurned:
        if (onLoopTurned_) {
            onLoopTurned_(this);
        }
        break;
    case Kind::CueStarted:
        playing_ = true;
        break;
    case Kind::CueReached:
        if (onSegue_) {
            onSegue_(this);
        }
        break;
    }
}

// The channel stopped by itself: the play ends as a stop ends it, once.
void CartPlayer::endPlay() {
    if (playing_ && loaded_) {
        stop();
    }
}

void CartPlayer::setLoop(bool value) {
    loop_ = value;
    if (loaded_) {
        channel_->setLoop(value);
    }
}

bool CartPlayer::isFading() const {
    return loaded_ && channel_->isFading();
}

std::uint32_t CartPlayer::framesToMs(engine::Frames frames) const {
    const std::int64_t ms = frames.toMs(channel_->info().rate).count();
    return static_cast<std::uint32_t>(
        std::clamp<std::int64_t>(ms, 0, std::numeric_limits<std::uint32_t>::max()));
}

// Lengths and positions count from cue-in: the part before it never plays.
std::uint32_t CartPlayer::lengthMs() const {
    return loaded_ ? framesToMs(channel_->rangeEnd() - channel_->rangeStart()) : 0;
}

std::uint32_t CartPlayer::positionMs() const {
    return loaded_ ? framesToMs(channel_->position() - channel_->rangeStart()) : 0;
}

void CartPlayer::setPositionMs(std::int32_t ms) {
    if (!loaded_ || ms < 0) {
        return;
    }
    const engine::Frames at =
        channel_->rangeStart() +
        engine::Frames::fromDuration(std::chrono::milliseconds(ms), channel_->info().rate);
    if (at <= channel_->rangeEnd()) { // a position past the end changes nothing
        channel_->seek(at);
    }
}

bool CartPlayer::readLevels(std::int32_t& levelA, std::int32_t& levelB) const {
    std::array<float, engine::SoundEngine::kFftBins> fft{};
    if (!loaded_ || !playing_ || !channel_->spectrum(fft)) {
        return false;
    }
    levelB = levelOfMagnitude(fft[kFftLevelBElement]);
    levelA = levelOfMagnitude(fft[kFftLevelAElement]);
    return true;
}

int CartPlayer::deviceCount() const {
    int count = 0;
    for (int device = 1; device <= kMaxListedDevices; ++device) {
        if (!deviceNameOf(device).trimmed().isEmpty()) {
            ++count;
        }
    }
    return count;
}

QString CartPlayer::deviceNameOf(int device) const {
    const std::optional<std::string> description = engine_.deviceDescription(device);
    return description ? QString::fromStdString(*description) : QString();
}

std::uint32_t CartPlayer::volume() const {
    return loaded_ ? static_cast<std::uint32_t>(std::lround(channel_->volume() * 100.0f)) : volume_;
}

void CartPlayer::setVolume(std::uint32_t volume) {
    if (!loaded_) {
        return;
    }
    channel_->setVolume(static_cast<float>(volume) / 100.0f);
    volume_ = volume;
}

std::int32_t CartPlayer::pan() const {
    return loaded_ ? static_cast<std::int32_t>(std::lround(channel_->pan() * 100.0f)) : pan_;
}

void CartPlayer::setPan(std::int32_t pan) {
    if (loaded_) {
        channel_->setPan(static_cast<float>(pan) / 100.0f);
        pan_ = pan;
    }
}

std::uint32_t CartPlayer::frequency() const {
    if (loaded_ && channel_->state() != engine::ChannelState::Stopped) {
        return static_cast<std::uint32_t>(std::lround(channel_->rate()));
    }
    return frequency_;
}

void CartPlayer::setFrequency(std::uint32_t hz) {
    if (loaded_ && channel_->state() != engine::ChannelState::Stopped) {
        channel_->setRate(static_cast<float>(hz));
        frequency_ = hz;
    }
}

void CartPlayer::showMessage(const QString& text) {
    context_.messages.showMessage(text);
}

} // namespace audio
