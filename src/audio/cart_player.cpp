#include "audio/cart_player.h"
#include "core/path_bytes.h"
#include "core/text_helpers.h"

#include "audio/audio_error_text.h"

#include <QPointer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace audio {

namespace {

constexpr std::uint32_t kInitRate = 44100;
constexpr int kMaxListedDevices = 10;
// A fade shorter than this is not worth a slide; the player stops at once.
constexpr qint64 kShortestFadeMs = 10;
// The fade is shortened to end this long before the audio does.
constexpr qint64 kFadeEndMarginMs = 50;
constexpr std::int32_t kFadeEndVolume = 4;
constexpr std::int32_t kMaxStillFadeTicks = 50;
constexpr std::size_t kFftLevelBElement = 5;
constexpr std::size_t kFftLevelAElement = 6;
// Sample requests carry their byte count in the bits below the flag bits.
constexpr std::uint32_t kDataFlagBits = 0xC0000000u;

std::int16_t low16(int code) {
    return static_cast<std::int16_t>(code);
}

std::uint64_t signExtendedLow32(std::uint64_t bytes) {
    return static_cast<std::uint64_t>(
        static_cast<std::int64_t>(static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes))));
}

std::size_t requiredDataBytes(std::uint32_t request) {
    if ((request & kDataFft512) != 0) {
        return CartPlayer::kDataBufferBytes;
    }
    return std::max<std::size_t>(CartPlayer::kDataBufferBytes, request & ~kDataFlagBits);
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
    : QObject(owner), context_(context), sound_(context.sound) {}

CartPlayer::~CartPlayer() {
    loaded_ = false;
    delete timer_; // no tick may reach a half-destroyed player
    timer_ = nullptr;
    sound_.freeStream(channel_);
}

void CartPlayer::initDevice(int device, bool readTags, void* window) {
    if (timer_ != nullptr) {
        return; // bound for good once a file was loaded
    }
    checkVersion();
    if (!context_.openedDevices.contains(device) && !context_.failedDevices.contains(device)) {
        openDevice(device, window);
    }
    setLoop(false);
    device_ = device;
    deviceName_ = deviceNameOf(device);
    tagReader_ = readTags ? std::make_unique<Id3v1Tag>() : nullptr;
}

void CartPlayer::checkVersion() {
    if ((sound_.version() >> 16) == kSoundApiVersionHigh) {
        return;
    }
    context_.messages.showMessage(QStringLiteral("Versão incorreta ZEMBS.DLL"),
                                  core::MessageSink::Icon::Error,
                                  QStringLiteral("Incorreta ZEMBS.DLL"));
    if (context_.terminateApplication) {
        context_.terminateApplication();
    }
}

void CartPlayer::openDevice(int device, void* window) {
    if (sound_.init(device, kInitRate, 0, window)) {
        context_.openedDevices.append(device);
        return;
    }
    const int code = sound_.lastError();
    context_.failedDevices.insert(device, code);
    showMessage(context_.deviceProblemText(device, code));
}

// A device that did not open, or whose output is gone until the sound layer gets it back,
// must not have its streams land on another device: the player refuses and says why.
bool CartPlayer::deviceCanPlay() {
    if (sound_.deviceUsable(device_)) {
        return true;
    }
    reportDeviceProblem(sound_.lastError());
    return false;
}

// A device that failed to open is named with the error it failed with, the same text as then.
void CartPlayer::reportDeviceProblem(int code) {
    showMessage(context_.deviceProblemText(device_, context_.failedDevices.value(device_, code)));
}

void CartPlayer::selectDevice(int device) {
    sound_.setDevice(device);
    device_ = device;
}

void CartPlayer::createTimer() {
    timer_ = new ThreadedTimer(this);
    timer_->setInterval(kTickMs);
    timer_->setEnabled(false);
    timer_->setThreadPriority(ThreadPriority::Normal);
    timer_->setOnTimer([this](QObject*) { tick(); });
}

void CartPlayer::load(const QString& pathOrUrl) {
    if (timer_ == nullptr) {
        createTimer();
    }
    if (playing_ && channelState() != kChannelStopped) {
        stop();
    }
    if (loaded_) {
        unload();
    }
    loaded_ = false;
    playing_ = false;
    sound_.setDevice(device_);
    sound_.setConfig(kOptionBufferMs, bufferLength_);
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
    sound_.setConfig(kOptionBufferMs, bufferLength_);
    sound_.prefetchFiles(device_, files);
}

// The error code is taken right after the call that created the stream: reading the
// attributes of a failed stream would replace it with an invalid-handle code.
void CartPlayer::loadUrl(const QString& url) {
    channel_ = sound_.createWmaStream(url.toStdString(), 0);
    const int code = sound_.lastError();
    refreshAttributes();
    if (code != kErrOk) {
        showMessage(QStringLiteral("Erro ao Carregar URL - ") + audioErrorText(low16(code)) +
                    QLatin1Char('\r') + url);
        freeFailedChannel();
        return;
    }
    sound_.play(channel_, false);
    shortName_ = url;
    fileName_ = url;
    sound_.update();
    timer_->setEnabled(true);
    playing_ = true;
    loaded_ = true;
}

void CartPlayer::loadFile(const QString& path) {
    channel_ = createStream(path, 0);
    int code = sound_.lastError();
    if (code != kErrOk) {
        sound_.freeStream(channel_);
        channel_ = createStream(path, kStreamSoftwareMix);
        code = sound_.lastError();
    }
    shortName_ = core::fileNameOf(path);
    fileName_ = path;
    if (code != kErrOk) {
        showMessage(QStringLiteral("ERRO AO CARREGAR CANAL:\r\rArquivo: ") + path +
                    QStringLiteral("\r\rErro ") + audioErrorText(low16(code)));
        freeFailedChannel();
        return;
    }
    refreshAttributes();
    ChannelInfo info;
    if (sound_.channelInfo(channel_, info) && (info.flags & kInfo8Bits) != 0) {
        showMessage(QStringLiteral("Erro ao Ler arquivo:") + fileName_ +
                    QStringLiteral(" Dados <> 16-bits stereo"));
        freeFailedChannel();
        return;
    }
    if (channel_ == 0) {
        return;
    }
    if (tagReader_) {
        // A tag that cannot be read leaves the reader empty; the file still plays.
        tagReader_->readFromFile(path);
    }
    loaded_ = true;
}

StreamHandle CartPlayer::createStream(const QString& path, std::uint32_t flags) {
    // The file's exact name bytes, also for a name that is not UTF-8 (see core/path_bytes.h).
    const std::string bytes = core::encodePathBytes(path).toStdString();
    if (path.toUpper().contains(QStringLiteral(".WMA"))) {
        return sound_.createWmaStream(bytes, flags);
    }
    return sound_.createFileStream(bytes, flags);
}

// A freed handle is forgotten so that no later call can reach a stream reusing its number.
void CartPlayer::freeFailedChannel() {
    sound_.freeStream(channel_);
    channel_ = 0;
}

void CartPlayer::unload() {
    if (playing_ && channelState() != kChannelStopped) {
        sound_.stop(channel_);
        setLoop(false);
        playing_ = false;
    }
    if (loaded_) {
        const bool freedAtOnce = freeChannel();
        if (!freedAtOnce) {
            sound_.stop(channel_);
            freeChannel();
            notifyStopped();
        }
    }
    if (timer_ != nullptr) {
        timer_->setEnabled(false);
    }
    sound_.update();
}

// The player is empty afterwards only if the sound layer released the stream.
bool CartPlayer::freeChannel() {
    if (!sound_.freeStream(channel_)) {
        return false;
    }
    loaded_ = false;
    playing_ = false;
    channel_ = 0;
    return true;
}

void CartPlayer::play() {
    if (!loaded_ || channelState() == kChannelPlaying) {
        return;
    }
    ChannelStart started = startChannel();
    if (started == ChannelStart::HandleLost) {
        // The stream was lost under us: open the file again and try once more.
        const QString fileName = fileName_;
        unload();
        load(fileName);
        if (!loaded_) {
            return; // the load failure has been shown
        }
        started = startChannel();
    }
    if (started == ChannelStart::DeviceGone) {
        playing_ = false;
        reportDeviceProblem(sound_.lastError());
        return;
    }
    timer_->setEnabled(true);
    setLoop(loop_);
}

// Any other refusal counts as started: the next tick finds the channel stopped and stops the
// player, as for a channel that ends at once.
CartPlayer::ChannelStart CartPlayer::startChannel() {
    writeAttributes(frequency_, volume_, pan_);
    refreshGain();
    playing_ = true;
    stillTicks_ = 0;
    if (sound_.play(channel_, false)) {
        return ChannelStart::Started;
    }
    if (sound_.lastError() == kErrHandle) {
        return ChannelStart::HandleLost;
    }
    return sound_.deviceUsable(device_) ? ChannelStart::Started : ChannelStart::DeviceGone;
}

void CartPlayer::refreshGain() {
    if (loaded_) {
        sound_.setStreamGain(channel_, context_.gainFor(fileName_));
    }
}

void CartPlayer::stop() {
    setLoop(false);
    playing_ = false;
    if (!loaded_) {
        return;
    }
    sound_.stop(channel_);
    sound_.setPosition(channel_, 0);
    if (channelState() != kChannelStopped) {
        sound_.stop(channel_);
    }
    timer_->setEnabled(false);
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
    if (channelState() == kChannelStopped) {
        stop();
        return;
    }
    const qint64 remaining = qint64{lengthMs()} - qint64{positionMs()} - kFadeEndMarginMs;
    const qint64 duration = std::min<qint64>(ms, remaining);
    if (duration < kShortestFadeMs) {
        stop();
        return;
    }
    sound_.slideAttributes(channel_, kKeepRate, kSlideToSilence, kKeepPan,
                           static_cast<std::uint32_t>(duration));
}

// Every test runs even after an earlier one stopped the player, so a fade that ends by volume
// fires onStop from the fade test and again from the end test, as owners expect.
void CartPlayer::tick() {
    if (!playing_) {
        stop();
        return;
    }
    QPointer<CartPlayer> alive(this);
    if (isFading()) {
        fadeTick();
        if (!alive) {
            return; // an onStop handler destroyed the player
        }
    }
    const int state = channelState();
    if (positionMs() < lengthMs() && state != kChannelStopped && state != kChannelStalled) {
        return;
    }
    stop();
}

void CartPlayer::fadeTick() {
    const auto now = static_cast<std::int32_t>(volume());
    stillTicks_ = now == lastVolume_ ? stillTicks_ + 1 : 0;
    if (stillTicks_ > kMaxStillFadeTicks && !stopAndCheckAlive()) {
        return;
    }
    lastVolume_ = now;
    if (now <= kFadeEndVolume) {
        stop();
    }
}

bool CartPlayer::stopAndCheckAlive() {
    QPointer<CartPlayer> alive(this);
    stop();
    return !alive.isNull();
}

void CartPlayer::setLoop(bool value) {
    loop_ = value;
    if (playing_ && loaded_) {
        sound_.setFlags(channel_, value ? kChannelLoop : 0);
    }
}

bool CartPlayer::isFading() const {
    return loaded_ && sound_.isSliding(channel_) == kSlidingVolume;
}

std::uint32_t CartPlayer::bytesToMs(std::uint64_t bytes) const {
    const double seconds = sound_.bytesToSeconds(channel_, static_cast<std::uint32_t>(bytes));
    const double ms = std::trunc(seconds * 1000.0);
    if (!(ms > 0.0)) {
        return 0;
    }
    return ms >= 4294967295.0 ? std::numeric_limits<std::uint32_t>::max()
                              : static_cast<std::uint32_t>(ms);
}

std::uint32_t CartPlayer::lengthMs() const {
    return loaded_ ? bytesToMs(sound_.length(channel_)) : 0;
}

std::uint32_t CartPlayer::positionMs() const {
    return loaded_ ? bytesToMs(sound_.position(channel_)) : 0;
}

void CartPlayer::setPositionMs(std::int32_t ms) {
    if (!loaded_) {
        return;
    }
    const std::uint64_t bytes = sound_.secondsToBytes(channel_, ms / 1000.0);
    sound_.setPosition(channel_, signExtendedLow32(bytes));
}

std::int32_t CartPlayer::readData(std::span<std::byte> buffer, std::uint32_t request) {
    if (!loaded_ || !playing_ || channelState() != kChannelPlaying ||
        buffer.size() < requiredDataBytes(request)) {
        return 0;
    }
    const std::int32_t result = sound_.getData(channel_, buffer.data(), request);
    if (result < 0) {
        std::fill_n(buffer.begin(), kDataBufferBytes, std::byte{0});
    }
    return result;
}

void CartPlayer::levelsOf(std::span<const float> fft, std::int32_t& levelA,
                          std::int32_t& levelB) const {
    if (!playing_ || channelState() != kChannelPlaying || fft.size() <= kFftLevelAElement) {
        return;
    }
    levelB = levelOfMagnitude(fft[kFftLevelBElement]);
    levelA = levelOfMagnitude(fft[kFftLevelAElement]);
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
    const std::optional<std::string> description = sound_.deviceDescription(device);
    return description ? QString::fromStdString(*description) : QString();
}

std::uint32_t CartPlayer::volume() {
    if (loaded_) {
        refreshAttributes();
    }
    return volume_;
}

void CartPlayer::setVolume(std::uint32_t volume) {
    if (!loaded_) {
        return;
    }
    writeAttributes(frequency_, volume, pan_);
    volume_ = volume;
}

std::int32_t CartPlayer::pan() {
    if (loaded_) {
        refreshAttributes();
    }
    return pan_;
}

void CartPlayer::setPan(std::int32_t pan) {
    if (loaded_ && writeAttributes(frequency_, volume_, pan)) {
        pan_ = pan;
    }
}

std::uint32_t CartPlayer::frequency() {
    if (loaded_ && channelState() != kChannelStopped) {
        refreshAttributes();
    }
    return frequency_;
}

void CartPlayer::setFrequency(std::uint32_t hz) {
    if (loaded_ && channelState() != kChannelStopped && writeAttributes(hz, volume_, pan_)) {
        frequency_ = hz;
    }
}

bool CartPlayer::refreshAttributes() {
    std::uint32_t hz = 0;
    std::uint32_t volume = 0;
    std::int32_t pan = 0;
    if (!sound_.getAttributes(channel_, &hz, &volume, &pan)) {
        return false;
    }
    frequency_ = hz;
    volume_ = volume;
    pan_ = pan;
    return true;
}

bool CartPlayer::writeAttributes(std::uint32_t hz, std::uint32_t volume, std::int32_t pan) {
    return sound_.setAttributes(channel_, static_cast<std::int32_t>(hz),
                                static_cast<std::int32_t>(volume), pan);
}

int CartPlayer::channelState() const {
    return sound_.isActive(channel_);
}

void CartPlayer::showMessage(const QString& text) {
    context_.messages.showMessage(text);
}

} // namespace audio
