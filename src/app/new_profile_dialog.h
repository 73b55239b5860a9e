#pragma once
// The new-profile dialog: one field that takes the name in upper case, at most 200
// characters; OK only while the field holds text. Created once and reused.
#include "session/profile_commands.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace app {

class NewProfileDialog : public QDialog, public session::ProfileNamePrompt {
    Q_OBJECT
public:
    static constexpr int kMaxNameLength = 200;

    explicit NewProfileDialog(QWidget* parent = nullptr);

    // Empties the field and shows the dialog modally; the name on OK.
    std::optional<QString> askProfileName() override;

    QLineEdit* nameEdit() const { return nameEdit_; }
    QPushButton* okButton() const { return okButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

private:
    QLineEdit* nameEdit_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
};

} // namespace app
