#include "audio/player_context.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace audio {

PlayerContext::PlayerContext(SoundApi& sound, core::MessageSink& messages,
                             std::function<void()> terminateApplication)
    : sound(sound), messages(messages), terminateApplication(std::move(terminateApplication)) {}

void PlayerContext::quitOnceEventLoopRuns() {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
    }
}

} // namespace audio
