#include "audio/player_context.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace audio {

PlayerContext::PlayerContext(SoundApi& sound, widgets::MessageSink& messages,
                             std::function<void()> terminateApplication)
    : Sound(sound), Messages(messages), TerminateApplication(std::move(terminateApplication)) {}

void PlayerContext::quitOnceEventLoopRuns() {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
    }
}

} // namespace audio
