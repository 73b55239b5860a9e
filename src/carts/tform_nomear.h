#pragma once
// The rename dialog: shows a cart's name and takes a new one in upper case, at most 50
// characters. Created once and reused for every rename.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace carts {

class UpperCaseValidator;

class Tform_nomear : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxNameLength = 50;

    explicit Tform_nomear(QWidget* parent = nullptr);

    // Prepares the dialog for cart n and shows it modally; QDialog::Accepted on OK.
    int execFor(int cartNumber, const QString& currentName);
    QString text() const;
    int cartNumber() const { return cartNumber_; }

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLineEdit* Edit1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;

private:
    void Edit1Change(const QString& text);
    void centreOnScreen();

    UpperCaseValidator* validator_;
    int cartNumber_ = 0;
};

} // namespace carts
