#include "app/rename_cart_dialog.h"
#include "widgets/upper_case_validator.h"
#include "widgets/window_placement.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace app {

RenameCartDialog::RenameCartDialog(QWidget* parent)
    : QDialog(parent), currentName_(new QLabel(QStringLiteral("NOME"), this)),
      nameEdit_(new QLineEdit(this)), okButton_(new QPushButton(QStringLiteral("OK"), this)),
      cancelButton_(new QPushButton(QStringLiteral("Cancelar"), this)),
      validator_(new widgets::UpperCaseValidator(this, kMaxNameLength)) {
    auto* nameCaption = new QLabel(QStringLiteral("Nome do Cartucho:"), this);
    auto* newNameCaption = new QLabel(QStringLiteral("Renomear Para:"), this);
    nameCaption->setObjectName(QStringLiteral("nameCaption"));
    newNameCaption->setObjectName(QStringLiteral("newNameCaption"));
    setWindowTitle(QStringLiteral("Renomear"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);

    currentName_->setTextFormat(Qt::PlainText); // a name is never markup
    nameEdit_->setMaxLength(kMaxNameLength);
    nameEdit_->setValidator(validator_);
    newNameCaption->setBuddy(nameEdit_);

    okButton_->setDefault(true);
    okButton_->setEnabled(false);
    cancelButton_->setAutoDefault(false);
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
    connect(nameEdit_, &QLineEdit::textChanged, this, &RenameCartDialog::onNameEdited);

    auto* fields = new QGridLayout;
    fields->addWidget(nameCaption, 0, 0);
    fields->addWidget(currentName_, 0, 1);
    fields->addWidget(newNameCaption, 1, 0);
    fields->addWidget(nameEdit_, 1, 1);
    fields->setColumnMinimumWidth(1, 300);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

int RenameCartDialog::execFor(int cartNumber, const QString& currentName) {
    cartNumber_ = cartNumber;
    setWindowTitle(QStringLiteral("Renomear Cartucho ->") + QString::number(cartNumber));
    currentName_->setText(currentName);
    // A longer name from a profile is shown whole rather than cut, so OK never shortens it.
    const int limit = std::max<int>(kMaxNameLength, currentName.size());
    validator_->setLimit(limit);
    nameEdit_->setMaxLength(limit);
    nameEdit_->setText(currentName.toUpper());
    nameEdit_->selectAll();
    nameEdit_->setFocus();
    adjustSize();
    widgets::centreOnScreen(*this);
    return exec();
}

QString RenameCartDialog::text() const {
    return nameEdit_->text();
}

void RenameCartDialog::onNameEdited(const QString& text) {
    okButton_->setEnabled(!text.isEmpty());
}

} // namespace app
