// bandoramidi.ini text through the reader, and the map it gives written out and read again:
// the second reading must hold the same lines, so a save never changes what was understood.
#include "remote/midi_map.h"

#include "config/text_file.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto map = remote::MidiMap::fromLines(config::splitLines(config::decodeText(bytes)));
    map.damageText();
    for (std::uint8_t status : {0x90, 0x9f, 0xb0, 0xb5}) {
        map.actionFor(
            {status, bytes.isEmpty() ? std::uint8_t(0) : std::uint8_t(bytes[0] & 0x7f), 127});
    }
    const auto again = remote::MidiMap::fromLines(map.toLines());
    if (again.toLines() != map.toLines()) {
        std::abort();
    }
    return 0;
}
