#pragma once
#include "core/message_sink.h"

namespace widgets {

// Message boxes titled with the application title.
class DialogMessageSink : public core::MessageSink {
public:
    void showMessage(const QString& text, Icon icon, const QString& title) override;
    bool confirm(const QString& text) override;
};

} // namespace widgets
