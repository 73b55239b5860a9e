// Every #include "folder/..." under src/ must name a folder that the including folder may use,
// as the layer list in src/CMakeLists.txt says.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Layer {
    bool anything = false;
    std::set<std::string> allowed;
};

std::map<std::string, Layer> readLayers(const fs::path& file) {
    std::map<std::string, Layer> layers;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const auto colon = line.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        Layer& layer = layers[line.substr(0, colon)];
        std::stringstream uses(line.substr(colon + 1));
        std::string folder;
        while (std::getline(uses, folder, ',')) {
            if (folder == "*") {
                layer.anything = true;
            } else if (!folder.empty()) {
                layer.allowed.insert(folder);
            }
        }
    }
    return layers;
}

// The deepest listed folder that `path` lies in ("audio/engine/mixer.h" -> "audio/engine").
std::string folderOf(const std::string& path, const std::map<std::string, Layer>& layers) {
    std::string best;
    for (const auto& [folder, layer] : layers) {
        if (path.rfind(folder + "/", 0) == 0 && folder.size() > best.size()) {
            best = folder;
        }
    }
    return best;
}

std::vector<std::string> violations(const fs::path& srcDir,
                                    const std::map<std::string, Layer>& layers) {
    static const std::regex include(R"re(^\s*#\s*include\s*"([^"]+)")re");
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(srcDir)) {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) {
            continue;
        }
        const std::string relative = fs::relative(entry.path(), srcDir).generic_string();
        const std::string from = folderOf(relative, layers);
        if (from.empty()) {
            found.push_back(relative + ": folder has no layer entry");
            continue;
        }
        const Layer& layer = layers.at(from);
        std::ifstream in(entry.path());
        std::string line;
        for (int number = 1; std::getline(in, line); ++number) {
            std::smatch m;
            if (!std::regex_search(line, m, include) || m[1].str().find('/') == std::string::npos) {
                continue;
            }
            const std::string to = folderOf(m[1].str(), layers);
            if (to == from || layer.anything || layer.allowed.count(to) > 0) {
                continue;
            }
            found.push_back(relative + ":" + std::to_string(number) + ": " + from +
                            " may not include \"" + m[1].str() + "\"");
        }
    }
    return found;
}

} // namespace

TEST(Layering, EveryIncludeFollowsTheLayerList) {
    const auto layers = readLayers(BANDORA_LAYERS_FILE);
    ASSERT_GE(layers.size(), 8u) << "layer list not found at " << BANDORA_LAYERS_FILE;
    const std::vector<std::string> found = violations(BANDORA_SOURCE_DIR, layers);
    std::string report;
    for (const std::string& v : found) {
        report += v + "\n";
    }
    EXPECT_TRUE(found.empty()) << report;
}
