// Not a test: renders the cart button states, the meters and the fader into a PNG so a
// developer can look at them (run under Xvfb: widgets_preview out.png).
#include "widgets/bgr_color.h"
#include "widgets/cart_button.h"
#include "widgets/fader.h"
#include "widgets/led_meter.h"

#include <QApplication>
#include <QPixmap>

using namespace widgets;

namespace {

CartButton* cart(QWidget* parent, int n, const QString& caption, int x, int y) {
    auto* b = new CartButton(parent);
    b->setGeometry(x, y, 120, 42);
    b->setFont(QFont(QStringLiteral("Times New Roman"), 8));
    b->setBorders(false);
    b->setFrameWidth(1);
    b->setButtonColor(colorFromBgr(9818331));
    b->setBadge(QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')));
    b->setCaption(caption);
    return b;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget panel;
    QPalette black = panel.palette();
    black.setColor(QPalette::Window, Qt::black);
    panel.setPalette(black);
    panel.setAutoFillBackground(true);
    panel.resize(620, 200);
    cart(&panel, 1, QStringLiteral("&Vinheta"), 4, 28);
    CartButton* onAir = cart(&panel, 2, QStringLiteral("NO AR"), 125, 28);
    onAir->setFrameColor(Qt::red);
    onAir->setFrameWidth(10);
    cart(&panel, 3, QStringLiteral("Bloco && Cia"), 246, 28)->setMarked(true);
    CartButton* held = cart(&panel, 4, QStringLiteral("Pressed"), 367, 28);
    held->setActive(true);
    held->setDown(true);
    cart(&panel, 5, QStringLiteral("Disabled"), 488, 28)->setEnabled(false);
    cart(&panel, 6, QString(), 4, 72);

    auto* cue = new CartButton(&panel);
    cue->setGeometry(130, 80, 115, 28);
    cue->setButtonColor(colorFromBgr(32768));
    cue->setFont(QFont(QStringLiteral("Arial Rounded MT Bold"), -1));
    cue->setCaption(QStringLiteral("CUE"));
    cue->setFrame3D(true);
    auto* cueDown = new CartButton(&panel);
    cueDown->setGeometry(250, 80, 115, 28);
    cueDown->setButtonColor(colorFromBgr(32768));
    cueDown->setCaption(QStringLiteral("CUE"));
    cueDown->setFrame3D(true);
    cueDown->setDown(true);

    for (int i = 0; i < 2; ++i) {
        auto* meter = new LedMeter(&panel);
        meter->setGeometry(19, 130 + 18 * i, 137, 13);
        meter->setPoint1(45);
        meter->setPoint2(75);
        meter->setBarColor(1, QColor(254, 248, 233));
        meter->setBarColor(2, QColor(253, 242, 208));
        meter->setInactiveColor(1, QColor(192, 192, 192));
        meter->setInactiveColor(2, QColor(192, 192, 192));
        meter->setProgress(i == 0 ? 60 : 90);
    }
    auto* fader = new Fader(&panel);
    fader->setGeometry(400, 85, 30, 106);
    fader->setOrientation(Fader::Vertical);
    fader->setMaxValue(100);
    fader->setThumbWidth(22);
    fader->setThumbHeight(10);
    fader->setThumbColor(QColor(0, 0, 128));
    fader->setColor(QColor(192, 192, 192));
    fader->setPosition(70);

    panel.show();
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("preview.png");
    return panel.grab().save(out) ? 0 : 1;
}
