#include "carts/tform_nomear.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QValidator>

#include <algorithm>

namespace carts {

// Turns whatever is typed or pasted into upper case. The limit is kept here as well as in the
// line edit, because upper-casing can lengthen a text ("ß" gives "SS").
class UpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    void setLimit(int limit) { limit_ = limit; }
    State validate(QString& input, int& /*pos*/) const override {
        input = input.toUpper();
        return input.size() <= limit_ ? Acceptable : Invalid;
    }

private:
    int limit_ = Tform_nomear::kMaxNameLength;
};

Tform_nomear::Tform_nomear(QWidget* parent)
    : QDialog(parent), Label1(new QLabel(QStringLiteral("Nome do Cartucho:"), this)),
      Label2(new QLabel(QStringLiteral("Renomear Para:"), this)),
      Label3(new QLabel(QStringLiteral("NOME"), this)), Edit1(new QLineEdit(this)),
      BitBtn1(new QPushButton(QStringLiteral("OK"), this)),
      BitBtn2(new QPushButton(QStringLiteral("Cancelar"), this)),
      validator_(new UpperCaseValidator(this)) {
    setWindowTitle(QStringLiteral("Renomear"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);

    Label3->setTextFormat(Qt::PlainText); // a name is never markup
    Edit1->setMaxLength(kMaxNameLength);
    Edit1->setValidator(validator_);
    Label2->setBuddy(Edit1);

    BitBtn1->setDefault(true);
    BitBtn1->setEnabled(false);
    BitBtn2->setAutoDefault(false);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    connect(Edit1, &QLineEdit::textChanged, this, &Tform_nomear::Edit1Change);

    auto* fields = new QGridLayout;
    fields->addWidget(Label1, 0, 0);
    fields->addWidget(Label3, 0, 1);
    fields->addWidget(Label2, 1, 0);
    fields->addWidget(Edit1, 1, 1);
    fields->setColumnMinimumWidth(1, 300);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

int Tform_nomear::execFor(int cartNumber, const QString& currentName) {
    cartNumber_ = cartNumber;
    setWindowTitle(QStringLiteral("Renomear Cartucho ->") + QString::number(cartNumber));
    Label3->setText(currentName);
    // A longer name from a profile is shown whole rather than cut, so OK never shortens it.
    const int limit = std::max<int>(kMaxNameLength, currentName.size());
    validator_->setLimit(limit);
    Edit1->setMaxLength(limit);
    Edit1->setText(currentName.toUpper());
    Edit1->selectAll();
    Edit1->setFocus();
    centreOnScreen();
    return exec();
}

QString Tform_nomear::text() const {
    return Edit1->text();
}

void Tform_nomear::Edit1Change(const QString& text) {
    BitBtn1->setEnabled(!text.isEmpty());
}

void Tform_nomear::centreOnScreen() {
    adjustSize();
    const QScreen* target = screen();
    if (target == nullptr)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(target->availableGeometry().center());
    move(frame.topLeft());
}

} // namespace carts
