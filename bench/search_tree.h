#pragma once
// The tree the audio search benchmarks walk: 100,000 empty files in 2,000 folders (50 folders
// of 39 subfolders), a third with audio endings in mixed case, about one name in ten with
// accents, one in 997 not UTF-8. Made once and kept; the same names on every machine.
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace bench {

inline constexpr int kTopFolders = 50;
inline constexpr int kSubfoldersEach = 39; // 50 + 50 x 39 = 2,000 folders
inline constexpr int kFilesPerFolder = 50; // 100,000 files

// Deterministic across compilers (std::mt19937 distributions are not).
class Lcg {
public:
    unsigned next(unsigned bound) {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return unsigned((state_ >> 33) % bound);
    }

private:
    unsigned long long state_ = 20240611;
};

inline const char* const kSyllables[] = {"ma", "ri", "a",  "jo",  "se",  "can", "lu", "pe", "dro",
                                         "na", "be", "to", "ro",  "sa",  "mi",  "gu", "el", "vi",
                                         "da", "no", "te", "sol", "ção", "ão",  "é"};
inline const char* const kAudioEndings[] = {".mp3", ".MP3", ".Mp3", ".wav", ".WAV",
                                            ".Wav", ".wma", ".WMA", ".wMa"};
inline const char* const kOtherEndings[] = {".txt", ".jpg", ".flac", ".ogg", ".m3u",
                                            ".png", ".cue", ".nfo",  ".mp4", ".mp3.bak"};

inline std::string word(Lcg& rng) {
    std::string text;
    const unsigned count = 1 + rng.next(3);
    for (unsigned i = 0; i < count; ++i) {
        // Accented syllables are rarer, so about one name in ten has one.
        const unsigned pick = rng.next(100) < 97 ? rng.next(22) : 22 + rng.next(3);
        text += kSyllables[pick];
    }
    if (text[0] >= 'a' && text[0] <= 'z')
        text[0] = char(text[0] - 'a' + 'A');
    return text;
}

inline std::string fileName(Lcg& rng, int number) {
    char digits[16];
    std::snprintf(digits, sizeof digits, " %06d", number);
    std::string name = word(rng) + " " + word(rng) + " - " + word(rng) + digits;
    if (number % 997 == 0)
        name += "\xE7\xE3o"; // "ção" in Latin-1: not UTF-8
    const bool audio = number % 3 == 0;
    name += audio ? kAudioEndings[rng.next(std::size(kAudioEndings))]
                  : kOtherEndings[rng.next(std::size(kOtherEndings))];
    return name;
}

inline void touch(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    if (fd >= 0)
        ::close(fd);
}

inline void makeSearchTree(const std::filesystem::path& root) {
    const auto done = root / ".complete";
    if (std::filesystem::exists(done))
        return;
    std::printf("making the tree under %s ...\n", root.c_str());
    std::filesystem::remove_all(root);
    Lcg rng;
    int number = 0;
    for (int top = 0; top < kTopFolders; ++top) {
        const auto topFolder = root / (word(rng) + " " + std::to_string(top));
        std::vector<std::filesystem::path> folders{topFolder};
        for (int sub = 0; sub < kSubfoldersEach; ++sub)
            folders.push_back(topFolder /
                              (word(rng) + " " + word(rng) + " " + std::to_string(sub)));
        for (const auto& folder : folders) {
            std::filesystem::create_directories(folder);
            for (int i = 0; i < kFilesPerFolder; ++i)
                touch(folder / fileName(rng, number++));
        }
    }
    touch(done);
}

} // namespace bench
