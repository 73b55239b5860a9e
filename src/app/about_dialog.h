#pragma once
#include <QDialog>

namespace app {

// The program's about box (F1, "Sobre o Software", a click on the logo).
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent);
};

} // namespace app
