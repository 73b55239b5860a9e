#pragma once
#include "core/message_sink.h"

namespace widgets {

// Message boxes titled with the application title. Each box belongs to the window the
// operator is working in (the active one), so it opens in front of it, also in front of a
// window that stays on top.
class DialogMessageSink : public core::MessageSink {
public:
    void showMessage(const QString& text, Icon icon, const QString& title) override;
    bool confirm(const QString& text) override;
};

} // namespace widgets
