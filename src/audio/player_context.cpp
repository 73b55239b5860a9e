#include "audio/player_context.h"

#include "audio/audio_error_text.h"

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

void PlayerContext::addDeviceRole(int device, const QString& role) {
    QStringList& roles = deviceRoles[device];
    if (!roles.contains(role)) {
        roles.append(role);
    }
}

QString PlayerContext::deviceProblemText(int device, int code) const {
    const QString role = deviceRoles.value(device).join(QStringLiteral(" / "));
    return QStringLiteral("Inicialização da Device com Problemas\r") +
           (role.isEmpty() ? QString() : role + QStringLiteral(": ")) +
           audioErrorText(static_cast<std::int16_t>(code));
}

} // namespace audio
