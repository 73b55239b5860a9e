// A datagram as the network thread sees it: decoded, then dispatched to a wall that does
// nothing. Neither step may crash, hang or read outside the datagram.
#include "remote/osc_dispatcher.h"

#include <cstddef>
#include <cstdint>

namespace {

class IdleWall : public session::WallCommands {
public:
    QString fire(int, session::PlayTrigger) override { return {}; }
    QString stop(int) override { return {}; }
    QString fade(int) override { return {}; }
    QString cue(int) override { return {}; }
    QString toggleQueued(int) override { return {}; }
    QString blockNext() override { return {}; }
    QString fadeAll() override { return {}; }
    QString stopAll() override { return {}; }
    QString setMasterVolume(int) override { return {}; }
    QString activateProfile(const QString&) override { return {}; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static IdleWall wall;
    static remote::OscDispatcher dispatcher(wall);
    const auto decoded = remote::decodeOscDatagram(reinterpret_cast<const char*>(data), size);
    if (const auto* message = std::get_if<remote::OscMessage>(&decoded)) {
        dispatcher.dispatch(*message);
    }
    return 0;
}
