#include "app/about_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

namespace app {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(QStringLiteral("Sobre o Software"));
    auto* layout = new QVBoxLayout(this);
    auto* logo = new QLabel(this);
    logo->setPixmap(QPixmap(QStringLiteral(":/bandora/logo.jpg")));
    logo->setAlignment(Qt::AlignCenter);
    layout->addWidget(logo);
    auto* text =
        new QLabel(QStringLiteral("<b>Quallon Cartucheira Digital 4.0-PRO</b><br>"
                                  "Cartucheira digital para rádio e som ao vivo.<br><br>"
                                  "96 cartuchos, bloco sequenciador com mixagem automática,<br>"
                                  "escuta (CUE) em uma segunda saída de som.<br><br>"
                                  "Quallon Sistemas"),
                   this);
    text->setAlignment(Qt::AlignCenter);
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

} // namespace app
