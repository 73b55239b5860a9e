#pragma once
// A message sink that records every text instead of showing a modal box.
#include "widgets/message_sink.h"

#include <QStringList>

class RecordingMessages : public widgets::MessageSink {
public:
    void showMessage(const QString& text, Icon, const QString&) override { shown.append(text); }
    bool confirm(const QString& text) override {
        asked.append(text);
        return answer;
    }
    QStringList shown;
    QStringList asked;
    bool answer = true;
};
