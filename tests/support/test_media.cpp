#include "test_media.h"

#include <cmath>
#include <cstdint>
#include <fstream>
#include <numbers>
#include <vector>

namespace testmedia {

namespace {
void put16(std::ofstream& out, std::uint16_t v) {
    const char bytes[2] = {static_cast<char>(v & 0xff), static_cast<char>(v >> 8)};
    out.write(bytes, 2);
}
void put32(std::ofstream& out, std::uint32_t v) {
    put16(out, static_cast<std::uint16_t>(v & 0xffff));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}
} // namespace

bool writeToneWav(const std::string& path, double hz, long frames, int rate, int channels) {
    std::ofstream out(path, std::ios::binary);
    if (!out) {
        return false;
    }
    const auto dataBytes = static_cast<std::uint32_t>(frames * channels * 2);
    out.write("RIFF", 4);
    put32(out, 36 + dataBytes);
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1);
    put16(out, static_cast<std::uint16_t>(channels));
    put32(out, static_cast<std::uint32_t>(rate));
    put32(out, static_cast<std::uint32_t>(rate * channels * 2));
    put16(out, static_cast<std::uint16_t>(channels * 2));
    put16(out, 16);
    out.write("data", 4);
    put32(out, dataBytes);
    std::vector<std::int16_t> frame(static_cast<std::size_t>(channels));
    for (long i = 0; i < frames; ++i) {
        const double s = 0.5 * std::sin(2.0 * std::numbers::pi * hz * i / rate);
        for (auto& sample : frame) {
            sample = static_cast<std::int16_t>(std::lround(s * 32767.0));
        }
        out.write(reinterpret_cast<const char*>(frame.data()),
                  static_cast<std::streamsize>(frame.size() * 2));
    }
    return static_cast<bool>(out);
}

} // namespace testmedia
