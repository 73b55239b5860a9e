#include "remote/midi_remote.h"

#include <QDir>
#include <QFileInfo>

namespace remote {

MidiRemote::MidiRemote(session::WallCommands& wall, QString programDir, QObject* parent)
    : QObject(parent), wall_(wall), programDir_(std::move(programDir)) {
    connect(&io_, &MidiIo::received, this, &MidiRemote::handle);
}

QString MidiRemote::start(MidiBackend backend) {
    map_ = readMidiMap(programDir_);
    if (!QFileInfo::exists(QDir(programDir_).filePath(QLatin1String(kMidiMapFile)))) {
        writeMidiMap(programDir_, map_); // so the operator finds the light table to edit
    }
    return io_.open(map_.inputPorts, map_.outputPorts, backend);
}

void MidiRemote::stateChanged(int cart, session::CartState state) {
    if (const auto light = map_.lightFor(cart, state)) {
        io_.send(*light);
    }
}

void MidiRemote::handle(const MidiMessage& message) {
    if (learning_) {
        if (const auto key = MidiMap::learnableKey(message, *learning_)) {
            const Command target = *learning_;
            learning_.reset();
            map_.bind(*key, target);
            const bool saved = writeMidiMap(programDir_, map_);
            emit learnt(target, saved ? QString()
                                      : QStringLiteral("Não foi possível gravar %1")
                                            .arg(QLatin1String(kMidiMapFile)));
        }
        return;
    }
    const auto action = map_.actionFor(message);
    if (!action) {
        return;
    }
    const QString reason =
        runCommand(action->command, action->percent, wall_, session::PlayTrigger::Midi);
    if (!reason.isEmpty()) {
        emit refused(reason);
    }
}

} // namespace remote
