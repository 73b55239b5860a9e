#include "app/cart_wall_panel.h"
#include "widgets/bgr_color.h"
#include "widgets/cart_button.h"
#include "widgets/interface_font.h"

#include <QLabel>

namespace app {

namespace {

constexpr int kCartWidth = 120;
constexpr int kCartHeight = 42;
constexpr int kCartLeft = 4;
constexpr int kCartTop = 28;
constexpr int kCartStepX = 121;
constexpr int kCartStepY = 44;

} // namespace

CartWallPanel::CartWallPanel(const QString& hint, QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("wallPanel"));
    setGeometry(10, 17, 976, 559);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    setAutoFillBackground(true);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setContextMenuPolicy(Qt::CustomContextMenu);

    statusLabel_ = new QLabel(QStringLiteral("Quallon Sistemas - Cartucheira Digital"), this);
    statusLabel_->setObjectName(QStringLiteral("statusLabel"));
    statusLabel_->setFont(widgets::interfaceFont(16, true, true));
    QPalette white = statusLabel_->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    statusLabel_->setPalette(white);
    statusLabel_->adjustSize();
    statusLabel_->move(16, 6);
    statusLabel_->resize(940, statusLabel_->height());

    buildCartButtons(hint);
}

void CartWallPanel::buildCartButtons(const QString& hint) {
    const QFont cartFont = widgets::cartFont(8);
    for (int n = 1; n <= carts::kCartCount; ++n) {
        const int row = (n - 1) / carts::kCartsPerRow;
        const int column = (n - 1) % carts::kCartsPerRow;
        auto* b = new widgets::CartButton(this);
        b->setObjectName(QStringLiteral("cart%1").arg(n));
        b->setFrameWidth(1);
        b->setFont(cartFont);
        b->setFontColor(Qt::black);
        b->setBorders(false);
        b->setShowsFocus(false);
        b->setButtonColor(widgets::colorFromBgr(carts::kDefaultFaceColour.bgr));
        b->setTag(n);
        b->setBadge(QString::number(n).rightJustified(2, QLatin1Char('0')));
        b->setGeometry(kCartLeft + kCartStepX * column, kCartTop + kCartStepY * row, kCartWidth,
                       kCartHeight);
        b->setCaption(QString());
        b->setToolTip(QString(hint).replace(QLatin1Char('\r'), QLatin1Char('\n')));
        b->setCursor(Qt::PointingHandCursor);
        b->setContextMenuPolicy(Qt::CustomContextMenu);
        carts_[n] = b;
    }
}

widgets::CartButton* CartWallPanel::cartButton(int n) const {
    return carts::isCartNumber(n) ? carts_[n] : nullptr;
}

int CartWallPanel::cartNumberOf(const QObject* object) const {
    for (int n = 1; n <= carts::kCartCount; ++n) {
        if (carts_[n] == object) {
            return n;
        }
    }
    return 0;
}

QList<QWidget*> CartWallPanel::controls() const {
    QList<QWidget*> controls{statusLabel_};
    for (int n = 1; n <= carts::kCartCount; ++n) {
        controls.append(carts_[n]);
    }
    return controls;
}

} // namespace app
