#include "app/hint_look.h"

#include <QApplication>

namespace app {

void applyHintLook(QApplication& application) {
    application.setStyleSheet(application.styleSheet() + QStringLiteral(R"(
QToolTip {
    font-family: "Segoe UI";
    font-size: 13px;
    font-weight: bold;
    color: black;
    max-width: 794px; /* 800 with the border and padding */
    border: 1px solid rgb(128, 128, 128);
    padding: 2px;
    background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1,
                                stop: 0 white, stop: 1 rgb(255, 128, 64));
}
)"));
}

} // namespace app
