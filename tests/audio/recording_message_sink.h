#pragma once
// A message sink that keeps every message instead of showing a modal box.
#include "widgets/message_sink.h"

#include <vector>

namespace audio::testing {

class RecordingMessageSink : public widgets::MessageSink {
public:
    struct Message {
        QString text;
        Icon icon;
        QString title;
    };

    void showMessage(const QString& text, Icon icon, const QString& title) override {
        messages.push_back({text, icon, title});
    }
    bool confirm(const QString&) override { return true; }

    QStringList texts() const {
        QStringList all;
        for (const Message& m : messages) {
            all << m.text;
        }
        return all;
    }

    std::vector<Message> messages;
};

} // namespace audio::testing
