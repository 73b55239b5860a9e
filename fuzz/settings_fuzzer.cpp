// libFuzzer target: both settings files read from arbitrary bytes.
// Built by fuzz/run-text.sh with clang (-fsanitize=fuzzer,address,undefined).
#include "config/device_settings.h"
#include "config/window_settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::abort();
    }
    file.write(bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir dir;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    writeFile(QDir(dir.path()).filePath(QString::fromLatin1(config::kDeviceSettingsFile)), bytes);
    writeFile(QDir(dir.path()).filePath(QStringLiteral("bandoracfg.ini")), bytes);

    const config::DeviceSettings devices = config::readDeviceSettings(dir.path());
    config::WindowSettings window;
    window.read(dir.path());
    if (window.volume < 0 || window.volume > 100) {
        std::abort();
    }
    // Whatever was read is written and read back unchanged (a negative buffer length is never
    // written: the setup dialog keeps it within its range).
    if (devices.bufferMs < 0) {
        return 0;
    }
    if (!config::writeDeviceSettings(dir.path(), devices) ||
        !(config::readDeviceSettings(dir.path()) == devices)) {
        std::abort();
    }
    return 0;
}
