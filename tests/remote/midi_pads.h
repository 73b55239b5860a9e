#pragma once
// A MIDI pad controller on JACK for tests: it presses pads (note-on) and keeps the last light
// the program sent back.
#include <RtMidi.h>

#include <mutex>
#include <vector>

// The controller: pads (an output port) and their lights (an input port), each RtMidi object
// a JACK client of its own.
class MidiPads {
public:
    MidiPads() : out_(RtMidi::UNIX_JACK, "pads"), in_(RtMidi::UNIX_JACK, "lights") {
        out_.openVirtualPort("out");
        in_.setCallback(&MidiPads::onLight, this);
        in_.openVirtualPort("in");
    }
    void press(unsigned char note) {
        const unsigned char on[3] = {0x90, note, 100};
        out_.sendMessage(on, 3);
    }
    std::vector<unsigned char> lastLight() {
        const std::lock_guard lock(mutex_);
        return last_;
    }

private:
    static void onLight(double, std::vector<unsigned char>* bytes, void* self) {
        auto* pads = static_cast<MidiPads*>(self);
        const std::lock_guard lock(pads->mutex_);
        pads->last_ = *bytes;
    }

    RtMidiOut out_;
    RtMidiIn in_;
    std::mutex mutex_;
    std::vector<unsigned char> last_;
};
