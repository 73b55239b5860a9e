#pragma once
// Where components show their plain messages and ask their questions, so that tests can
// read every text without a modal box. The dialog implementation lives with the widgets.
#include <QString>

namespace core {

class MessageSink {
public:
    enum class Icon { None, Information, Error };
    virtual ~MessageSink() = default;
    // A modal message with one OK button. `title` empty means the application title.
    virtual void showMessage(const QString& text, Icon icon = Icon::None,
                             const QString& title = QString()) = 0;
    // Beep, then an OK/Cancel question; true exactly when OK was pressed.
    virtual bool confirm(const QString& text) = 0;
};

} // namespace core
