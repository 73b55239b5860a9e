// Replays a fuzz target without libFuzzer: every file of the corpus folder given as the first
// argument, then a fixed number of deterministic mutations of each (bit flips, truncations,
// byte runs, splices), so a ctest run exercises the parser on bad input the same way each time.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

using Bytes = std::vector<uint8_t>;

void run(const Bytes& b) { LLVMFuzzerTestOneInput(b.data(), b.size()); }

Bytes mutate(const Bytes& seed, const Bytes& other, std::mt19937& rng) {
    Bytes b = seed;
    auto pick = [&](size_t n) { return n == 0 ? size_t{0} : size_t(rng() % n); };
    switch (rng() % 6) {
    case 0: // flip a few bits
        for (int i = 0; i < 4 && !b.empty(); ++i)
            b[pick(b.size())] ^= uint8_t(1u << (rng() % 8));
        break;
    case 1: // truncate
        b.resize(pick(b.size() + 1));
        break;
    case 2: // overwrite a run with an extreme byte
    {
        const uint8_t v = (rng() & 1) ? 0xff : 0x00;
        const size_t at = pick(b.size() + 1);
        for (size_t i = at; i < b.size() && i < at + 8; ++i)
            b[i] = v;
        break;
    }
    case 3: // insert random bytes
    {
        const size_t at = pick(b.size() + 1);
        Bytes junk(1 + rng() % 16);
        for (auto& c : junk)
            c = uint8_t(rng());
        b.insert(b.begin() + long(at), junk.begin(), junk.end());
        break;
    }
    case 4: // splice with another seed
    {
        const size_t cut = pick(b.size() + 1);
        b.resize(cut);
        const size_t from = pick(other.size() + 1);
        b.insert(b.end(), other.begin() + long(from), other.end());
        break;
    }
    default: // duplicate a slice
    {
        if (b.empty())
            break;
        const size_t at = pick(b.size());
        const size_t len = 1 + pick(b.size() - at);
        Bytes slice(b.begin() + long(at), b.begin() + long(at + len));
        b.insert(b.begin() + long(at), slice.begin(), slice.end());
        break;
    }
    }
    return b;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<Bytes> seeds{Bytes{}};
    if (argc > 1 && std::filesystem::is_directory(argv[1])) {
        for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
            std::ifstream in(entry.path(), std::ios::binary);
            seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    }
    std::mt19937 rng(20261209);
    constexpr int kMutationsPerSeed = 2000;
    long runs = 0;
    for (const auto& seed : seeds) {
        run(seed);
        ++runs;
        for (int i = 0; i < kMutationsPerSeed; ++i, ++runs)
            run(mutate(seed, seeds[rng() % seeds.size()], rng));
    }
    std::printf("%ld inputs from %zu seeds\n", runs, seeds.size());
    return 0;
}
