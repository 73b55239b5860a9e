#include "app/remote_binding.h"

#include "core/message_sink.h"
#include "remote/midi_remote.h"
#include "remote/osc_server.h"
#include "session/wall_session.h"

namespace app {

RemoteBinding::RemoteBinding(session::WallSession& session, core::MessageSink& messages,
                             QObject* parent)
    : QObject(parent), session_(session), messages_(messages),
      osc_(std::make_unique<remote::OscServer>(session)),
      midi_(std::make_unique<remote::MidiRemote>(session, session.programDir())) {
    connect(midi_.get(), &remote::MidiRemote::learnt, this, &RemoteBinding::onLearnt);
    connect(midi_.get(), &remote::MidiRemote::refused, this, &RemoteBinding::padRefused);
    connect(osc_.get(), &remote::OscServer::listenerSubscribed, this,
            &RemoteBinding::sendWholeWall);
    connectSession();
}

RemoteBinding::~RemoteBinding() = default;

void RemoteBinding::start() {
    start(remote::MidiBackend::Auto);
}

void RemoteBinding::start(remote::MidiBackend backend) {
    if (started_) {
        return;
    }
    started_ = true;
    const config::ExtSettings& settings = session_.extSettings();
    if (const QString problem = osc_->start(settings.oscPort, settings.oscHosts);
        !problem.isEmpty()) {
        messages_.showMessage(problem);
    }
    midi_->start(backend); // its status line tells a machine without MIDI: no message box
    if (const QString damage = midi_->fileProblem(); !damage.isEmpty()) {
        messages_.showMessage(damage);
    }
    for (int n = 1; n <= session::kCartCount; ++n) {
        names_[std::size_t(n)] = cartName(n);
        midi_->stateChanged(n, session_.cartState(n)); // the pads show the wall from the start
    }
}

void RemoteBinding::connectSession() {
    connect(&session_, &session::WallSession::cartStateChanged, this,
            &RemoteBinding::onStateChanged);
    connect(&session_, &session::WallSession::cartChanged, this, &RemoteBinding::onCartChanged);
    connect(&session_, &session::WallSession::profileChanged, this, [this](const QString& name) {
        osc_->profileChanged(name);
        for (int n = 1; n <= session::kCartCount; ++n) {
            onCartChanged(n); // a new wall renames carts without a change signal for each
        }
    });
    connect(&session_, &session::WallSession::displayTicked, this,
            &RemoteBinding::sendRemainingTimes);
}

void RemoteBinding::onStateChanged(int cart, session::CartState state) {
    osc_->stateChanged(cart, state);
    midi_->stateChanged(cart, state);
}

void RemoteBinding::onCartChanged(int cart) {
    QString name = cartName(cart);
    if (name != names_[std::size_t(cart)]) {
        osc_->nameChanged(cart, name);
        names_[std::size_t(cart)] = std::move(name);
    }
}

// On the display's 100 ms tick, for the carts on air.
void RemoteBinding::sendRemainingTimes() {
    if (osc_->listenerCount() == 0) {
        return;
    }
    for (int n = 1; n <= session::kCartCount; ++n) {
        switch (session_.cartState(n)) {
        case session::CartState::Playing:
        case session::CartState::Looping:
        case session::CartState::Fading:
            osc_->remaining(n, session_.remainingMs(n));
            break;
        default:
            break;
        }
    }
}

// A new listener learns the whole wall at once rather than waiting for each cart to change.
void RemoteBinding::sendWholeWall() {
    osc_->profileChanged(session_.wall().currentProfile);
    for (int n = 1; n <= session::kCartCount; ++n) {
        osc_->nameChanged(n, names_[std::size_t(n)]);
        osc_->stateChanged(n, session_.cartState(n));
    }
}

void RemoteBinding::learn(const remote::Command& command) {
    midi_->learn(command);
}

void RemoteBinding::cancelLearning() {
    midi_->cancelLearning();
}

bool RemoteBinding::learning() const {
    return midi_->learning();
}

void RemoteBinding::onLearnt(const remote::Command& command, const QString& saveError) {
    if (!saveError.isEmpty()) {
        messages_.showMessage(saveError);
    }
    if (remote::isCartCommand(command.kind)) {
        midi_->stateChanged(command.cart, session_.cartState(command.cart)); // its pad lights
    }
    emit learnt(command);
}

QString RemoteBinding::statusLine() const {
    return osc_->statusLine() + QStringLiteral("; ") + midi_->statusLine();
}

QString RemoteBinding::midiStatusLine() const {
    return midi_->statusLine();
}

bool RemoteBinding::midiAvailable() const {
    return midi_->available();
}

QString RemoteBinding::keyOf(const remote::Command& command) const {
    const auto key = midi_->map().keyOf(command);
    return key ? remote::keyText(*key) : QString();
}

QString RemoteBinding::cartName(int cart) const {
    return session_.wall().table[cart].name;
}

} // namespace app
