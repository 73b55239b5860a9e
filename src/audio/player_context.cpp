#include "audio/player_context.h"

#include "audio/audio_error_text.h"

#include <QSocketNotifier>

namespace audio {

PlayerContext::PlayerContext(engine::SoundEngine& engine, core::MessageSink& messages)
    : engine(engine), messages(messages),
      events_(std::make_unique<QSocketNotifier>(engine.eventFd(), QSocketNotifier::Read)) {
    QObject::connect(events_.get(), &QSocketNotifier::activated, events_.get(),
                     [&engine] { engine.dispatchEvents(); });
}

PlayerContext::~PlayerContext() = default;

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
