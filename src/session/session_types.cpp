#include "session/session_types.h"

namespace session {

QString triggerName(PlayTrigger trigger) {
    switch (trigger) {
    case PlayTrigger::Click:
        return QStringLiteral("click");
    case PlayTrigger::Key:
        return QStringLiteral("key");
    case PlayTrigger::Block:
        return QStringLiteral("block");
    case PlayTrigger::Automix:
        return QStringLiteral("automix");
    case PlayTrigger::Osc:
        return QStringLiteral("OSC");
    case PlayTrigger::Midi:
        return QStringLiteral("MIDI");
    }
    return {};
}

QString endName(PlayEnd end) {
    switch (end) {
    case PlayEnd::End:
        return QStringLiteral("end");
    case PlayEnd::Cut:
        return QStringLiteral("cut");
    case PlayEnd::Fade:
        return QStringLiteral("fade");
    case PlayEnd::Autofade:
        return QStringLiteral("autofade");
    case PlayEnd::Mix:
        return QStringLiteral("mix");
    case PlayEnd::LoopStop:
        return QStringLiteral("loop-stop");
    case PlayEnd::Panic:
        return QStringLiteral("panic");
    case PlayEnd::Deleted:
        return QStringLiteral("deleted");
    case PlayEnd::Stall:
        return QStringLiteral("stall");
    case PlayEnd::ProfileSwitch:
        return QStringLiteral("profile switch");
    case PlayEnd::Exit:
        return QStringLiteral("exit");
    case PlayEnd::Crash:
        return QStringLiteral("crash");
    }
    return {};
}

QString stateName(CartState state) {
    switch (state) {
    case CartState::Empty:
        return QStringLiteral("empty");
    case CartState::Loaded:
        return QStringLiteral("loaded");
    case CartState::Queued:
        return QStringLiteral("queued");
    case CartState::Cue:
        return QStringLiteral("cue");
    case CartState::Playing:
        return QStringLiteral("playing");
    case CartState::Looping:
        return QStringLiteral("looping");
    case CartState::Fading:
        return QStringLiteral("fading");
    }
    return {};
}

} // namespace session
