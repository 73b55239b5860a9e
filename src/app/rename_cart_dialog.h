#pragma once
// The rename dialog: shows a cart's name and takes a new one in upper case, at most 50
// characters. Created once and reused for every rename.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace widgets {
class UpperCaseValidator;
}

namespace app {

class RenameCartDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxNameLength = 50;

    explicit RenameCartDialog(QWidget* parent = nullptr);

    // Prepares the dialog for cart n and shows it modally; QDialog::Accepted on OK.
    int execFor(int cartNumber, const QString& currentName);
    QString text() const;
    int cartNumber() const { return cartNumber_; }

    QLabel* currentNameLabel() const { return currentName_; }
    QLineEdit* nameEdit() const { return nameEdit_; }
    QPushButton* okButton() const { return okButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

private:
    void onNameEdited(const QString& text);

    QLabel* currentName_;
    QLineEdit* nameEdit_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
    widgets::UpperCaseValidator* validator_;
    int cartNumber_ = 0;
};

} // namespace app
