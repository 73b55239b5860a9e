#include "widgets/interface_font.h"

namespace widgets {

void installFontSubstitutes() {
    static const bool installed = [] {
        // Liberation Sans has Arial's metrics, the closest to the layout's sans serif;
        // Liberation Serif has Times New Roman's.
        QFont::insertSubstitution(QString::fromLatin1(kInterfaceFamily),
                                  QStringLiteral("Liberation Sans"));
        QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
        QFont::insertSubstitution(QStringLiteral("Arial Rounded MT Bold"),
                                  QStringLiteral("Liberation Sans"));
        QFont::insertSubstitution(QString::fromLatin1(kCartFamily),
                                  QStringLiteral("Liberation Serif"));
        return true;
    }();
    static_cast<void>(installed);
}

QFont interfaceFont(int size, bool pixels, bool bold) {
    installFontSubstitutes();
    QFont font(QString::fromLatin1(kInterfaceFamily));
    if (pixels) {
        font.setPixelSize(size);
    } else {
        font.setPointSize(size);
    }
    font.setBold(bold);
    return font;
}

QFont cartFont(int points) {
    installFontSubstitutes();
    QFont font(QString::fromLatin1(kCartFamily));
    font.setPointSize(points);
    return font;
}

} // namespace widgets
