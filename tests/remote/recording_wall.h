#pragma once
// A wall that writes down each command it is given ("fire 5 OSC", "master 40") and answers
// with `refusal`.
#include "session/session_types.h"

#include <QStringList>

class RecordingWall : public session::WallCommands {
public:
    QStringList calls;
    QString refusal;

    QString fire(int cart, session::PlayTrigger trigger) override {
        return note(QStringLiteral("fire %1 %2").arg(cart).arg(session::triggerName(trigger)));
    }
    QString stop(int cart) override { return note(QStringLiteral("stop %1").arg(cart)); }
    QString fade(int cart) override { return note(QStringLiteral("fade %1").arg(cart)); }
    QString cue(int cart) override { return note(QStringLiteral("cue %1").arg(cart)); }
    QString toggleQueued(int cart) override { return note(QStringLiteral("queue %1").arg(cart)); }
    QString blockNext() override { return note(QStringLiteral("block next")); }
    QString fadeAll() override { return note(QStringLiteral("fade all")); }
    QString stopAll() override { return note(QStringLiteral("stop all")); }
    QString setMasterVolume(int percent) override {
        return note(QStringLiteral("master %1").arg(percent));
    }
    QString activateProfile(const QString& name) override {
        return note(QStringLiteral("profile ") + name);
    }

private:
    QString note(const QString& call) {
        calls << call;
        return refusal;
    }
};
