#pragma once
// A message sink that records every message and question instead of showing a modal box.
#include "core/message_sink.h"

#include <QList>
#include <QStringList>

class RecordingMessages : public core::MessageSink {
public:
    void showMessage(const QString& text, Icon icon, const QString& title) override {
        shown.append(text);
        icons.append(icon);
        titles.append(title);
    }
    bool confirm(const QString& text) override {
        asked.append(text);
        return answer;
    }
    QStringList shown;  // message texts, in order
    QList<Icon> icons;  // the icon of each message
    QStringList titles; // the title of each message (empty: the application title)
    QStringList asked;  // questions, in order
    bool answer = true; // what every question answers
};
