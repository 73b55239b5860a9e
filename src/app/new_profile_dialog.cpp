#include "app/new_profile_dialog.h"

#include "widgets/upper_case_validator.h"
#include "widgets/window_placement.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace app {

NewProfileDialog::NewProfileDialog(QWidget* parent)
    : QDialog(parent), nameEdit_(new QLineEdit(this)),
      okButton_(new QPushButton(QStringLiteral("OK"), this)),
      cancelButton_(new QPushButton(QStringLiteral("Cancelar"), this)) {
    setObjectName(QStringLiteral("newProfileDialog"));
    setWindowTitle(QStringLiteral("Novo Perfil"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);

    auto* prompt = new QLabel(QStringLiteral("Digite o Nome do Novo Perfil:"), this);
    prompt->setObjectName(QStringLiteral("newProfilePrompt"));
    prompt->setBuddy(nameEdit_);
    nameEdit_->setObjectName(QStringLiteral("newProfileNameEdit"));
    nameEdit_->setMaxLength(kMaxNameLength);
    nameEdit_->setValidator(new widgets::UpperCaseValidator(this, kMaxNameLength));
    nameEdit_->setMinimumWidth(300);

    okButton_->setObjectName(QStringLiteral("newProfileOkButton"));
    okButton_->setDefault(true);
    okButton_->setEnabled(false);
    cancelButton_->setObjectName(QStringLiteral("newProfileCancelButton"));
    cancelButton_->setAutoDefault(false);
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
    connect(nameEdit_, &QLineEdit::textChanged, this,
            [this](const QString& text) { okButton_->setEnabled(!text.isEmpty()); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(nameEdit_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

std::optional<QString> NewProfileDialog::askProfileName() {
    nameEdit_->clear();
    nameEdit_->setFocus();
    adjustSize();
    widgets::centreOnScreen(*this);
    if (exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return nameEdit_->text();
}

} // namespace app
