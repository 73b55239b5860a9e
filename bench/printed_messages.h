#pragma once
// A message sink for benchmarks: messages go to stderr and are counted, questions say no.
#include "core/message_sink.h"

#include <cstdio>

class PrintedMessages : public core::MessageSink {
public:
    void showMessage(const QString& text, Icon, const QString&) override {
        std::fprintf(stderr, "message: %s\n", text.toLocal8Bit().constData());
        ++shown;
    }
    bool confirm(const QString&) override { return false; }
    int shown = 0;
};
