#include "audio/orvane_bass.h"

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
        return TOrvaneBass::kDataBufferBytes;
    }
    return std::max<std::size_t>(TOrvaneBass::kDataBufferBytes, request & ~kDataFlagBits);
}

} // namespace

QString ExtractShortName(const QString& path) {
    const qsizetype separator =
        std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    if (separator >= 0) {
        return path.mid(separator + 1);
    }
    const qsizetype colon = path.lastIndexOf(QLatin1Char(':'));
    return colon >= 0 ? path.mid(colon + 1) : path;
}

std::int32_t LevelOfMagnitude(float magnitude) {
    const double scaled = std::fabs(static_cast<double>(magnitude)) * 500.0;
    // A value that does not fit a 32-bit integer (or is not a number) counts as 0.
    const bool converts =
        std::isfinite(scaled) && scaled < static_cast<double>(std::numeric_limits<int>::max());
    const int v = converts ? std::min(static_cast<int>(scaled), 100) : 0;
    return static_cast<std::int32_t>(std::sqrt(v / 128.0) * 130.0) * 200;
}

TOrvaneBass::TOrvaneBass(PlayerContext& context, QObject* owner)
    : QObject(owner), context_(context), sound_(context.Sound) {}

TOrvaneBass::~TOrvaneBass() {
    loaded_ = false;
    delete timer_; // no tick may reach a half-destroyed player
    timer_ = nullptr;
    sound_.freeStream(channel_);
}

void TOrvaneBass::InitDevice(int device, bool readTags, void* window) {
    if (timer_ != nullptr) {
        return; // bound for good once a file was loaded
    }
    checkVersion();
    if (!context_.OpenedDevices.contains(device)) {
        openDevice(device, window);
    }
    SetLoop(false);
    device_ = device;
    deviceName_ = GetDeviceName(device);
    tagReader_ = readTags ? std::make_unique<TID3v1Tag>() : nullptr;
}

void TOrvaneBass::checkVersion() {
    if ((sound_.version() >> 16) == kSoundApiVersionHigh) {
        return;
    }
    context_.Messages.showMessage(QStringLiteral("Versão incorreta ZEMBS.DLL"),
                                  widgets::MessageSink::Icon::Error,
                                  QStringLiteral("Incorreta ZEMBS.DLL"));
    if (context_.TerminateApplication) {
        context_.TerminateApplication();
    }
}

void TOrvaneBass::openDevice(int device, void* window) {
    if (sound_.init(device, kInitRate, 0, window)) {
        context_.OpenedDevices.append(device);
        return;
    }
    const int code = sound_.lastError();
    showMessage(QStringLiteral("Inicialização da Device com Problemas\r") +
                AudioErrorText(low16(code)));
}

void TOrvaneBass::SelectDevice(int device) {
    sound_.setDevice(device);
    device_ = device;
}

void TOrvaneBass::createTimer() {
    timer_ = new TThreadedTimer(this);
    timer_->SetInterval(kTickMs);
    timer_->SetEnabled(false);
    timer_->SetThreadPriority(TThreadPriority::tpNormal);
    timer_->SetOnTimer([this](QObject*) { Tick(); });
}

void TOrvaneBass::Load(const QString& pathOrUrl) {
    if (timer_ == nullptr) {
        createTimer();
    }
    if (playing_ && channelState() != kChannelStopped) {
        Stop();
    }
    if (loaded_) {
        Unload();
    }
    loaded_ = false;
    playing_ = false;
    sound_.setDevice(device_);
    sound_.setConfig(kOptionBufferMs, bufferLength_);
    if (pathOrUrl.contains(QStringLiteral("://"))) {
        loadUrl(pathOrUrl);
    } else {
        loadFile(pathOrUrl);
    }
}

// The error code is taken right after the call that created the stream: reading the
// attributes of a failed stream would replace it with an invalid-handle code.
void TOrvaneBass::loadUrl(const QString& url) {
    channel_ = sound_.createWmaStream(url.toStdString(), 0);
    const int code = sound_.lastError();
    refreshAttributes();
    if (code != kErrOk) {
        showMessage(QStringLiteral("Erro ao Carregar URL - ") + AudioErrorText(low16(code)) +
                    QLatin1Char('\r') + url);
        freeFailedChannel();
        return;
    }
    sound_.play(channel_, false);
    shortName_ = url;
    fileName_ = url;
    sound_.update();
    timer_->SetEnabled(true);
    playing_ = true;
    loaded_ = true;
}

void TOrvaneBass::loadFile(const QString& path) {
    channel_ = createStream(path, 0);
    int code = sound_.lastError();
    if (code != kErrOk) {
        sound_.freeStream(channel_);
        channel_ = createStream(path, kStreamSoftwareMix);
        code = sound_.lastError();
    }
    shortName_ = ExtractShortName(path);
    fileName_ = path;
    if (code != kErrOk) {
        showMessage(QStringLiteral("ERRO AO CARREGAR CANAL:\r\rArquivo: ") + path +
                    QStringLiteral("\r\rErro ") + AudioErrorText(low16(code)));
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
        tagReader_->ReadFromFile(path);
    }
    loaded_ = true;
}

StreamHandle TOrvaneBass::createStream(const QString& path, std::uint32_t flags) {
    const std::string utf8 = path.toStdString();
    if (path.toUpper().contains(QStringLiteral(".WMA"))) {
        return sound_.createWmaStream(utf8, flags);
    }
    return sound_.createFileStream(utf8, flags);
}

// A freed handle is forgotten so that no later call can reach a stream reusing its number.
void TOrvaneBass::freeFailedChannel() {
    sound_.freeStream(channel_);
    channel_ = 0;
}

void TOrvaneBass::Unload() {
    if (playing_ && channelState() != kChannelStopped) {
        sound_.stop(channel_);
        SetLoop(false);
        playing_ = false;
    }
    if (loaded_) {
        const bool freedAtOnce = freeChannel();
        if (!freedAtOnce) {
            sound_.stop(channel_);
            freeChannel();
            DoStop();
        }
    }
    if (timer_ != nullptr) {
        timer_->SetEnabled(false);
    }
    sound_.update();
}

// The player is empty afterwards only if the sound layer released the stream.
bool TOrvaneBass::freeChannel() {
    if (!sound_.freeStream(channel_)) {
        return false;
    }
    loaded_ = false;
    playing_ = false;
    channel_ = 0;
    return true;
}

void TOrvaneBass::Play() {
    if (!loaded_ || channelState() == kChannelPlaying) {
        return;
    }
    if (!startChannel()) {
        // The stream was lost under us: open the file again and try once more.
        const QString fileName = fileName_;
        Unload();
        Load(fileName);
        if (!loaded_) {
            return; // the load failure has been shown
        }
        startChannel();
    }
    timer_->SetEnabled(true);
    SetLoop(loop_);
}

bool TOrvaneBass::startChannel() {
    writeAttributes(frequency_, volume_, pan_);
    playing_ = true;
    stillTicks_ = 0;
    sound_.play(channel_, false);
    return sound_.lastError() != kErrHandle;
}

void TOrvaneBass::Stop() {
    SetLoop(false);
    playing_ = false;
    if (!loaded_) {
        return;
    }
    sound_.stop(channel_);
    sound_.setPosition(channel_, 0);
    if (channelState() != kChannelStopped) {
        sound_.stop(channel_);
    }
    timer_->SetEnabled(false);
    DoStop();
}

void TOrvaneBass::DoStop() {
    if (onStop_) {
        onStop_(this);
    }
}

void TOrvaneBass::FadeOut(std::uint16_t ms) {
    SetLoop(false);
    if (!playing_ || !loaded_) {
        return;
    }
    if (channelState() == kChannelStopped) {
        Stop();
        return;
    }
    const qint64 remaining = qint64{LengthMs()} - qint64{PositionMs()} - kFadeEndMarginMs;
    const qint64 duration = std::min<qint64>(ms, remaining);
    if (duration < kShortestFadeMs) {
        Stop();
        return;
    }
    sound_.slideAttributes(channel_, kKeepRate, kSlideToSilence, kKeepPan,
                           static_cast<std::uint32_t>(duration));
}

// Every test runs even after an earlier one stopped the player, so a fade that ends by volume
// fires OnStop from the fade test and again from the end test, as owners expect.
void TOrvaneBass::Tick() {
    if (!playing_) {
        Stop();
        return;
    }
    QPointer<TOrvaneBass> alive(this);
    if (IsFading()) {
        fadeTick();
        if (!alive) {
            return; // an OnStop handler destroyed the player
        }
    }
    const int state = channelState();
    if (PositionMs() < LengthMs() && state != kChannelStopped && state != kChannelStalled) {
        return;
    }
    Stop();
}

void TOrvaneBass::fadeTick() {
    const auto volume = static_cast<std::int32_t>(Volume());
    stillTicks_ = volume == lastVolume_ ? stillTicks_ + 1 : 0;
    if (stillTicks_ > kMaxStillFadeTicks && !stopAndCheckAlive()) {
        return;
    }
    lastVolume_ = volume;
    if (volume <= kFadeEndVolume) {
        Stop();
    }
}

bool TOrvaneBass::stopAndCheckAlive() {
    QPointer<TOrvaneBass> alive(this);
    Stop();
    return !alive.isNull();
}

void TOrvaneBass::SetLoop(bool value) {
    loop_ = value;
    if (playing_ && loaded_) {
        sound_.setFlags(channel_, value ? kChannelLoop : 0);
    }
}

bool TOrvaneBass::IsFading() const {
    return loaded_ && sound_.isSliding(channel_) == kSlidingVolume;
}

std::uint32_t TOrvaneBass::bytesToMs(std::uint64_t bytes) const {
    const double seconds = sound_.bytesToSeconds(channel_, static_cast<std::uint32_t>(bytes));
    const double ms = std::trunc(seconds * 1000.0);
    if (!(ms > 0.0)) {
        return 0;
    }
    return ms >= 4294967295.0 ? std::numeric_limits<std::uint32_t>::max()
                              : static_cast<std::uint32_t>(ms);
}

std::uint32_t TOrvaneBass::LengthMs() const {
    return loaded_ ? bytesToMs(sound_.length(channel_)) : 0;
}

std::uint32_t TOrvaneBass::PositionMs() const {
    return loaded_ ? bytesToMs(sound_.position(channel_)) : 0;
}

void TOrvaneBass::SetPositionMs(std::int32_t ms) {
    if (!loaded_) {
        return;
    }
    const std::uint64_t bytes = sound_.secondsToBytes(channel_, ms / 1000.0);
    sound_.setPosition(channel_, signExtendedLow32(bytes));
}

std::int32_t TOrvaneBass::GetData(std::span<std::byte> buffer, std::uint32_t request) {
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

void TOrvaneBass::GetLevels(std::span<const float> fft, std::int32_t& levelA,
                            std::int32_t& levelB) const {
    if (!playing_ || channelState() != kChannelPlaying || fft.size() <= kFftLevelAElement) {
        return;
    }
    levelB = LevelOfMagnitude(fft[kFftLevelBElement]);
    levelA = LevelOfMagnitude(fft[kFftLevelAElement]);
}

int TOrvaneBass::CountDevices() const {
    int count = 0;
    for (int device = 1; device <= kMaxListedDevices; ++device) {
        if (!GetDeviceName(device).trimmed().isEmpty()) {
            ++count;
        }
    }
    return count;
}

QString TOrvaneBass::GetDeviceName(int device) const {
    const std::optional<std::string> description = sound_.deviceDescription(device);
    return description ? QString::fromStdString(*description) : QString();
}

std::uint32_t TOrvaneBass::Volume() {
    if (loaded_) {
        refreshAttributes();
    }
    return volume_;
}

void TOrvaneBass::SetVolume(std::uint32_t volume) {
    if (!loaded_) {
        return;
    }
    writeAttributes(frequency_, volume, pan_);
    volume_ = volume;
}

std::int32_t TOrvaneBass::Pan() {
    if (loaded_) {
        refreshAttributes();
    }
    return pan_;
}

void TOrvaneBass::SetPan(std::int32_t pan) {
    if (loaded_ && writeAttributes(frequency_, volume_, pan)) {
        pan_ = pan;
    }
}

std::uint32_t TOrvaneBass::Frequency() {
    if (loaded_ && channelState() != kChannelStopped) {
        refreshAttributes();
    }
    return frequency_;
}

void TOrvaneBass::SetFrequency(std::uint32_t hz) {
    if (loaded_ && channelState() != kChannelStopped && writeAttributes(hz, volume_, pan_)) {
        frequency_ = hz;
    }
}

bool TOrvaneBass::refreshAttributes() {
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

bool TOrvaneBass::writeAttributes(std::uint32_t hz, std::uint32_t volume, std::int32_t pan) {
    return sound_.setAttributes(channel_, static_cast<std::int32_t>(hz),
                                static_cast<std::int32_t>(volume), pan);
}

int TOrvaneBass::channelState() const {
    return sound_.isActive(channel_);
}

void TOrvaneBass::showMessage(const QString& text) {
    context_.Messages.showMessage(text);
}

} // namespace audio
