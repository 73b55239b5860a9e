#include "media_source.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/intreadwrite.h>
#include <libavutil/opt.h>
#include <libavutil/time.h>
#include <libswresample/swresample.h>
}

namespace audio::engine {

namespace {

constexpr std::size_t kIndexStride = 16;     // packets between two seek index entries
constexpr int kMpegPrerollFrames = 9;        // bit reservoir: decode this many frames early
constexpr std::int64_t kMaxPadFrames = 8192; // a decoder may end up to about a frame short
constexpr int kMaxConsecutiveErrors = 256;   // damaged data: give up after this many
constexpr std::int64_t kNetworkTimeoutUs = 5'000'000;
constexpr std::uint32_t kMaxChannels = 8;
constexpr int kMinRate = 1000;
constexpr int kMaxRate = 384000;
constexpr const char* kNetworkProtocols = "http,https,tcp,tls,mmsh,mmst,httpproxy,crypto";

bool isSupportedContainer(const char* name) {
    for (const char* known : {"mp3", "wav", "asf"}) {
        if (std::strcmp(name, known) == 0) {
            return true;
        }
    }
    return false;
}

bool isMpegAudio(AVCodecID id) {
    return id == AV_CODEC_ID_MP1 || id == AV_CODEC_ID_MP2 || id == AV_CODEC_ID_MP3;
}

bool isPcm(AVCodecID id) {
    switch (id) {
    case AV_CODEC_ID_PCM_U8:
    case AV_CODEC_ID_PCM_S16LE:
    case AV_CODEC_ID_PCM_S24LE:
    case AV_CODEC_ID_PCM_S32LE:
    case AV_CODEC_ID_PCM_F32LE:
    case AV_CODEC_ID_PCM_F64LE:
    case AV_CODEC_ID_PCM_ALAW:
    case AV_CODEC_ID_PCM_MULAW:
        return true;
    default:
        return false;
    }
}

bool isSupportedCodec(AVCodecID id) {
    return isMpegAudio(id) || isPcm(id) || id == AV_CODEC_ID_WMAV1 || id == AV_CODEC_ID_WMAV2 ||
           id == AV_CODEC_ID_WMAPRO;
}

EngineError mapNetworkError(int averror) {
    if (averror == AVERROR_EXIT) {
        return EngineError::NetworkTimeout;
    }
    return averror == AVERROR_INVALIDDATA ? EngineError::UnsupportedFormat : EngineError::NoNetwork;
}

constexpr int kLocalBufferSize = 8192;
constexpr unsigned kMaxFfmpegIndexBytes = 4096;

// Local files are read through a small I/O context of our own: FFmpeg's default keeps a
// 32 KiB buffer per open file, which adds up across a wall of loaded carts.
class LocalFile {
public:
    ~LocalFile() { close(); }

    Failure open(const std::string& path) {
        close();
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        if (fd_ < 0 || ::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
            return EngineError::FileOpen;
        }
        auto* buffer = static_cast<unsigned char*>(av_malloc(kLocalBufferSize));
        io_ = buffer ? avio_alloc_context(buffer, kLocalBufferSize, 0, this, &LocalFile::read,
                                          nullptr, &LocalFile::seek)
                     : nullptr;
        if (!io_) {
            av_free(buffer);
            return EngineError::OutOfMemory;
        }
        return {};
    }
    void close() {
        if (io_) {
            av_freep(&io_->buffer);
            avio_context_free(&io_);
        }
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    AVIOContext* io() const { return io_; }

private:
    static int read(void* opaque, std::uint8_t* buffer, int size) {
        const ssize_t n =
            ::read(static_cast<LocalFile*>(opaque)->fd_, buffer, static_cast<std::size_t>(size));
        if (n < 0) {
            return AVERROR(errno);
        }
        return n == 0 ? AVERROR_EOF : static_cast<int>(n);
    }
    static std::int64_t seek(void* opaque, std::int64_t offset, int whence) {
        const int fd = static_cast<LocalFile*>(opaque)->fd_;
        if (whence & AVSEEK_SIZE) {
            struct stat info {};
            return ::fstat(fd, &info) == 0 ? info.st_size : AVERROR(errno);
        }
        const off_t at = ::lseek(fd, offset, whence & ~AVSEEK_FORCE);
        return at < 0 ? AVERROR(errno) : at;
    }

    int fd_ = -1;
    AVIOContext* io_ = nullptr;
};

struct IndexEntry {
    std::int64_t pos;
    std::int64_t raw; // decoder output samples before this packet
};

} // namespace

struct MediaSource::Impl {
    std::string url;
    bool network = false;
    std::uint32_t outRate = 0;

    LocalFile file;
    AVFormatContext* fmt = nullptr;
    AVCodecContext* dec = nullptr;
    SwrContext* swr = nullptr;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int stream = -1;
    std::int64_t deadlineUs = 0;

    // What the swr context was built for.
    int swrFormat = -1;
    int swrRate = 0;
    int swrChannels = 0;

    // Measured once at open. Sample indices are "raw" as the decoder outputs them, or
    // "trimmed" (raw minus the encoder delay), which is what the channel plays.
    bool indexed = false; // exact packet accounting and byte-position seeks
    std::vector<IndexEntry> index;
    std::int64_t startSkip = 0;
    std::int64_t length = 0;
    bool lengthKnown = true;
    std::int64_t preroll = 0;
    std::int64_t fileSize = 0;

    // Decoding state.
    std::int64_t rawNext = 0;    // raw index stamped on the next packet sent
    std::int64_t rawDecoded = 0; // raw index after the last frame received
    std::int64_t next = 0;       // trimmed index of the next frame to deliver
    // The part of the file that plays, in trimmed indices: a loop turns from its end to its
    // start; -1: up to the file's end.
    std::int64_t rangeStart = 0;
    std::int64_t rangeEnd = -1;
    bool demuxEnd = false;
    bool finished = false;
    int errors = 0;
    std::optional<std::size_t> loopTurn; // output frames into the last chunk

    ~Impl() {
        swr_free(&swr);
        avcodec_free_context(&dec);
        avformat_close_input(&fmt);
        file.close();
        av_packet_free(&pkt);
        av_frame_free(&frame);
    }

    static int interrupt(void* opaque) {
        auto* self = static_cast<Impl*>(opaque);
        return self->network && av_gettime_relative() > self->deadlineUs ? 1 : 0;
    }
    void armDeadline() { deadlineUs = av_gettime_relative() + kNetworkTimeoutUs; }
    std::int64_t playEnd() const {
        if (!lengthKnown) {
            return std::numeric_limits<std::int64_t>::max();
        }
        return rangeEnd >= 0 ? std::min(rangeEnd, length) : length;
    }

    Failure openDemuxer();
    Failure openDecoder();
    Failure scan();
    bool rewindToStart();
    bool seekDecoder(std::int64_t target);
    std::int64_t packetDuration(const AVPacket* p) const;
    bool ensureResampler(const AVFrame* f);
    void convert(const AVFrame* f, int offset, int count, std::vector<float>& out);
    void emitSilence(std::int64_t frames, std::vector<float>& out);
    void handleFrame(const AVFrame* f, std::vector<float>& out);
    void finish(std::vector<float>& out);
    void feedDecoder();
};

Failure MediaSource::Impl::openDemuxer() {
    avformat_close_input(&fmt);
    if (!network) {
        if (const Failure error = file.open(url)) {
            return error;
        }
    }
    fmt = avformat_alloc_context();
    if (!fmt) {
        return EngineError::OutOfMemory;
    }
    fmt->interrupt_callback = {&Impl::interrupt, this};
    // Seeks go through our own sparse index; FFmpeg's per-packet one would cost about
    // half a megabyte for every ten minutes of each loaded cart.
    fmt->max_index_size = kMaxFfmpegIndexBytes;
    fmt->pb = file.io(); // none for a URL: FFmpeg opens it, within the protocols allowed
    AVDictionary* options = nullptr;
    if (network) {
        av_dict_set(&options, "protocol_whitelist", kNetworkProtocols, 0);
        av_dict_set(&options, "rw_timeout", std::to_string(kNetworkTimeoutUs).c_str(), 0);
    }
    armDeadline();
    const int r = avformat_open_input(&fmt, network ? url.c_str() : nullptr, nullptr, &options);
    av_dict_free(&options);
    if (r < 0) {
        return network ? mapNetworkError(r) : EngineError::UnsupportedFormat;
    }
    if (!isSupportedContainer(fmt->iformat->name)) {
        return EngineError::UnsupportedFormat;
    }
    armDeadline();
    if (avformat_find_stream_info(fmt, nullptr) < 0) {
        return EngineError::UnsupportedFormat;
    }
    stream = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (stream < 0) {
        return EngineError::NotAudio;
    }
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        fmt->streams[i]->discard =
            static_cast<int>(i) == stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    }
    fileSize = fmt->pb ? avio_size(fmt->pb) : -1;
    return {};
}

Failure MediaSource::Impl::openDecoder() {
    const AVCodecParameters* par = fmt->streams[stream]->codecpar;
    if (!isSupportedCodec(par->codec_id)) {
        return EngineError::UnsupportedFormat;
    }
    const auto channels = static_cast<std::uint32_t>(par->ch_layout.nb_channels);
    if (channels < 1 || channels > kMaxChannels || par->sample_rate < kMinRate ||
        par->sample_rate > kMaxRate) {
        return EngineError::UnsupportedFormat;
    }
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    dec = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!dec || avcodec_parameters_to_context(dec, par) < 0) {
        return EngineError::UnsupportedFormat;
    }
    dec->pkt_timebase = AVRational{1, par->sample_rate};
    dec->flags2 |= AV_CODEC_FLAG2_SKIP_MANUAL; // we trim delay and padding ourselves
    dec->thread_count = 1;
    if (avcodec_open2(dec, codec, nullptr) < 0) {
        return EngineError::UnsupportedFormat;
    }
    indexed = !network && (isMpegAudio(par->codec_id) || isPcm(par->codec_id));
    const int frameSize = dec->frame_size > 0 ? dec->frame_size : 1152;
    preroll = isMpegAudio(par->codec_id) ? kMpegPrerollFrames * frameSize : 0;
    return {};
}

std::int64_t MediaSource::Impl::packetDuration(const AVPacket* p) const {
    const AVStream* st = fmt->streams[stream];
    if (p->duration > 0) {
        return av_rescale_q(p->duration, st->time_base, AVRational{1, dec->sample_rate});
    }
    const int fromSize = av_get_audio_frame_duration2(st->codecpar, p->size);
    return fromSize > 0 ? fromSize : std::max(dec->frame_size, 0);
}

// Reads every packet once without decoding: the exact length (packet durations minus the
// encoder delay and padding that the demuxer reports) and a sparse byte-position index.
Failure MediaSource::Impl::scan() {
    const AVStream* st = fmt->streams[stream];
    std::int64_t raw = 0;
    std::int64_t endDiscard = 0;
    std::int64_t lastEnd = 0;
    std::size_t packets = 0;
    std::int64_t reads = 0;
    const std::int64_t maxReads = std::max<std::int64_t>(fileSize, 0) + 100000;
    int consecutiveErrors = 0;
    while (++reads < maxReads) {
        const int r = av_read_frame(fmt, pkt);
        if (r == AVERROR_EOF) {
            break;
        }
        if (r < 0) {
            if (avio_feof(fmt->pb) || ++consecutiveErrors > kMaxConsecutiveErrors) {
                break;
            }
            continue;
        }
        consecutiveErrors = 0;
        if (pkt->stream_index == stream) {
            if (indexed && packets % kIndexStride == 0) {
                index.push_back({pkt->pos, raw});
            }
            std::size_t sideSize = 0;
            const std::uint8_t* skip =
                av_packet_get_side_data(pkt, AV_PKT_DATA_SKIP_SAMPLES, &sideSize);
            if (skip && sideSize >= 10) {
                startSkip += AV_RL32(skip);
                endDiscard += AV_RL32(skip + 4);
            }
            raw += packetDuration(pkt);
            if (pkt->pts != AV_NOPTS_VALUE && pkt->duration > 0) {
                lastEnd = std::max(lastEnd, av_rescale_q(pkt->pts + pkt->duration, st->time_base,
                                                         AVRational{1, dec->sample_rate}));
            }
            ++packets;
        }
        av_packet_unref(pkt);
    }
    av_packet_unref(pkt);
    if (indexed) {
        length = std::max<std::int64_t>(raw - startSkip - endDiscard, 0);
        return index.empty() ? Failure(EngineError::NotAudio) : Failure();
    }
    // Packet timestamps of these formats are coarse; the header's duration is closer, and the
    // scan catches a file cut short.
    startSkip = 0;
    const std::int64_t header = st->duration > 0 ? av_rescale_q(st->duration, st->time_base,
                                                                AVRational{1, dec->sample_rate})
                                                 : lastEnd;
    length = std::min(header, lastEnd);
    return packets == 0 ? Failure(EngineError::NotAudio) : Failure();
}

bool MediaSource::Impl::rewindToStart() {
    avcodec_flush_buffers(dec);
    rawNext = rawDecoded = 0;
    if (indexed) {
        return av_seek_frame(fmt, -1, index.front().pos, AVSEEK_FLAG_BYTE) >= 0;
    }
    const int streamBefore = stream;
    return !openDemuxer() && stream == streamBefore;
}

bool MediaSource::Impl::ensureResampler(const AVFrame* f) {
    const int channels = f->ch_layout.nb_channels;
    if (swr && swrFormat == f->format && swrRate == f->sample_rate && swrChannels == channels) {
        return true;
    }
    swr_free(&swr);
    if (channels < 1 || channels > static_cast<int>(kMaxChannels) || f->sample_rate < kMinRate ||
        f->sample_rate > kMaxRate) {
        return false;
    }
    AVChannelLayout in{};
    if (f->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        av_channel_layout_default(&in, channels);
    } else {
        av_channel_layout_copy(&in, &f->ch_layout);
    }
    AVChannelLayout out = AV_CHANNEL_LAYOUT_STEREO;
    int r = swr_alloc_set_opts2(&swr, &out, AV_SAMPLE_FMT_FLT, static_cast<int>(outRate), &in,
                                static_cast<AVSampleFormat>(f->format), f->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&in);
    if (r < 0) {
        return false;
    }
    if (channels == 1) {
        // Mono plays at full level on both sides, as a single-channel cart always has.
        const double toBoth[2] = {1.0, 1.0};
        swr_set_matrix(swr, toBoth, 1);
    }
    if (swr_init(swr) < 0) {
        swr_free(&swr);
        return false;
    }
    swrFormat = f->format;
    swrRate = f->sample_rate;
    swrChannels = channels;
    return true;
}

void MediaSource::Impl::convert(const AVFrame* f, int offset, int count, std::vector<float>& out) {
    const auto format = static_cast<AVSampleFormat>(f->format);
    const int bytes = av_get_bytes_per_sample(format);
    const bool planar = av_sample_fmt_is_planar(format);
    const int channels = f->ch_layout.nb_channels;
    std::array<const std::uint8_t*, kMaxChannels> in{};
    for (int p = 0; p < (planar ? channels : 1); ++p) {
        in[static_cast<std::size_t>(p)] =
            f->extended_data[p] +
            static_cast<std::ptrdiff_t>(offset) * bytes * (planar ? 1 : channels);
    }
    const int capacity = swr_get_out_samples(swr, count) + 16;
    const std::size_t before = out.size();
    out.resize(before + static_cast<std::size_t>(capacity) * 2);
    auto* dst = reinterpret_cast<std::uint8_t*>(out.data() + before);
    const int got = swr_convert(swr, &dst, capacity, in.data(), count);
    out.resize(before + static_cast<std::size_t>(std::max(got, 0)) * 2);
}

void MediaSource::Impl::emitSilence(std::int64_t frames, std::vector<float>& out) {
    if (frames <= 0) {
        return;
    }
    const std::int64_t outFrames = av_rescale(frames, outRate, dec->sample_rate);
    out.resize(out.size() + static_cast<std::size_t>(outFrames) * 2, 0.0f);
    next += frames;
}

// Delivers the part of a decoded frame that lies in [next, end of range): timing comes from the
// packet timestamps we stamped, so frames the decoder drops leave silence, not a shift.
void MediaSource::Impl::handleFrame(const AVFrame* f, std::vector<float>& out) {
    const std::int64_t rawStart = (indexed && f->pts != AV_NOPTS_VALUE) ? f->pts : rawDecoded;
    rawDecoded = rawStart + f->nb_samples;
    const std::int64_t end = playEnd();
    const std::int64_t t0 = rawStart - startSkip;
    const std::int64_t t1 = std::min(t0 + f->nb_samples, end);
    if (t0 > next) {
        emitSilence(std::min(t0, end) - next, out);
    }
    if (t1 <= next || !ensureResampler(f)) {
        return;
    }
    convert(f, static_cast<int>(next - t0), static_cast<int>(t1 - next), out);
    next = t1;
}

void MediaSource::Impl::finish(std::vector<float>& out) {
    if (lengthKnown && next < playEnd() && playEnd() - next <= kMaxPadFrames) {
        emitSilence(playEnd() - next, out);
    }
    if (swr) {
        const int capacity = swr_get_out_samples(swr, 0) + 16;
        const std::size_t before = out.size();
        out.resize(before + static_cast<std::size_t>(capacity) * 2);
        auto* dst = reinterpret_cast<std::uint8_t*>(out.data() + before);
        const int got = swr_convert(swr, &dst, capacity, nullptr, 0);
        out.resize(before + static_cast<std::size_t>(std::max(got, 0)) * 2);
    }
    finished = true;
}

void MediaSource::Impl::feedDecoder() {
    if (network) {
        armDeadline();
    }
    const int r = av_read_frame(fmt, pkt);
    if (r < 0) {
        if (r == AVERROR_EOF || r == AVERROR_EXIT || avio_feof(fmt->pb) ||
            ++errors > kMaxConsecutiveErrors) {
            demuxEnd = true;
            avcodec_send_packet(dec, nullptr);
        }
        return;
    }
    if (pkt->stream_index == stream) {
        const std::int64_t duration = packetDuration(pkt);
        pkt->pts = pkt->dts = rawNext;
        rawNext += duration;
        if (avcodec_send_packet(dec, pkt) < 0 && ++errors > kMaxConsecutiveErrors) {
            demuxEnd = true;
            avcodec_send_packet(dec, nullptr);
        }
    }
    av_packet_unref(pkt);
}

MediaSource::MediaSource(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
MediaSource::~MediaSource() = default;

std::unique_ptr<MediaSource> MediaSource::open(const std::string& pathOrUrl, bool allowNetwork,
                                               std::uint32_t outRate, Failure& error) {
    static std::once_flag quiet;
    // Damaged files are answered with error codes; FFmpeg's own messages would only be noise.
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
    auto s = std::make_unique<Impl>();
    s->url = pathOrUrl;
    s->network = allowNetwork;
    s->outRate = outRate;
    if (!s->pkt || !s->frame) {
        error = EngineError::OutOfMemory;
        return nullptr;
    }
    error = s->openDemuxer();
    if (!error) {
        error = s->openDecoder();
    }
    if (!error && outRate == kSourceRate) {
        s->outRate = static_cast<std::uint32_t>(s->dec->sample_rate);
    }
    if (!error && !s->network) {
        error = s->scan();
        if (!error && !s->rewindToStart()) {
            error = EngineError::UnsupportedFormat;
        }
    } else if (!error) {
        const AVStream* st = s->fmt->streams[s->stream];
        s->lengthKnown = st->duration > 0;
        s->length = s->lengthKnown ? av_rescale_q(st->duration, st->time_base,
                                                  AVRational{1, s->dec->sample_rate})
                                   : 0;
    }
    if (error) {
        return nullptr;
    }
    std::unique_ptr<MediaSource> source(new MediaSource(std::move(s)));
    const Impl& impl = *source->impl_;
    source->format_.rate = static_cast<std::uint32_t>(impl.dec->sample_rate);
    source->format_.channels = static_cast<std::uint32_t>(impl.dec->ch_layout.nb_channels);
    source->format_.eightBit = impl.dec->codec_id == AV_CODEC_ID_PCM_U8;
    source->format_.lengthFrames = static_cast<std::uint64_t>(impl.length);
    return source;
}

bool MediaSource::decode(std::vector<float>& out, bool loopAtEnd) {
    Impl& s = *impl_;
    if (s.finished) {
        return false;
    }
    if (s.lengthKnown && s.next >= s.playEnd()) {
        if (loopAtEnd && s.playEnd() > s.rangeStart) {
            // What the resampler still holds belongs before the turn.
            const std::int64_t held = s.swr ? swr_get_delay(s.swr, s.outRate) : 0;
            if (s.seekDecoder(s.rangeStart)) {
                s.loopTurn =
                    out.size() / 2 + static_cast<std::size_t>(std::max<std::int64_t>(held, 0));
                return true;
            }
        }
        s.finish(out);
        return false;
    }
    const int r = avcodec_receive_frame(s.dec, s.frame);
    if (r >= 0) {
        s.errors = 0;
        s.handleFrame(s.frame, out);
        av_frame_unref(s.frame);
        return true;
    }
    if (r == AVERROR_EOF || s.demuxEnd) {
        s.finish(out);
        return false;
    }
    if (r != AVERROR(EAGAIN) && ++s.errors > kMaxConsecutiveErrors) {
        s.finish(out);
        return false;
    }
    s.feedDecoder();
    return true;
}

std::optional<std::size_t> MediaSource::takeLoopTurn() {
    return std::exchange(impl_->loopTurn, std::nullopt);
}

void MediaSource::setRange(std::uint64_t start, std::optional<std::uint64_t> end) {
    Impl& s = *impl_;
    const auto clamp = [&](std::uint64_t frame) {
        const auto f = static_cast<std::int64_t>(
            std::min<std::uint64_t>(frame, std::numeric_limits<std::int64_t>::max()));
        return s.lengthKnown ? std::min(f, s.length) : f;
    };
    s.rangeStart = clamp(start);
    s.rangeEnd = end ? std::max(clamp(*end), s.rangeStart) : -1;
}

std::uint64_t MediaSource::rangeStart() const {
    return static_cast<std::uint64_t>(impl_->rangeStart);
}

std::uint64_t MediaSource::rangeEnd() const {
    return static_cast<std::uint64_t>(impl_->playEnd());
}

std::uint64_t MediaSource::nextFrame() const {
    return static_cast<std::uint64_t>(std::max<std::int64_t>(impl_->next, 0));
}

// Restarts the demuxer and decoder so that the next frame delivered is `target`; the
// resampler is left as it is.
bool MediaSource::Impl::seekDecoder(std::int64_t target) {
    bool ok = true;
    if (indexed) {
        const std::int64_t rawTarget = target + startSkip - preroll;
        auto entry =
            std::upper_bound(index.begin(), index.end(), rawTarget,
                             [](std::int64_t v, const IndexEntry& e) { return v < e.raw; });
        if (entry != index.begin()) {
            --entry;
        }
        avcodec_flush_buffers(dec);
        ok = av_seek_frame(fmt, -1, entry->pos, AVSEEK_FLAG_BYTE) >= 0;
        rawNext = rawDecoded = entry->raw;
    } else if (target < next || finished) {
        ok = rewindToStart();
    }
    next = target;
    demuxEnd = !ok;
    finished = false;
    errors = 0;
    return ok;
}

bool MediaSource::seek(std::uint64_t frame) {
    Impl& s = *impl_;
    const std::int64_t target =
        s.lengthKnown ? std::min<std::int64_t>(static_cast<std::int64_t>(frame), s.length)
                      : static_cast<std::int64_t>(frame);
    const bool ok = s.seekDecoder(target);
    swr_free(&s.swr); // drop what the resampler still holds from before
    s.loopTurn.reset();
    return ok;
}

} // namespace audio::engine
