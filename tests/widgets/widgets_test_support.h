#pragma once
// Helpers for pixel and repaint checks on real widgets under the test X server.
#include <QColor>
#include <QEvent>
#include <QImage>
#include <QTest>
#include <QWidget>

#include <string>

namespace widgets::test {

// "#rrggbb" of a pixel or colour, so failures print readable values.
inline std::string hex(QRgb rgb) {
    return QColor(rgb).name().toStdString();
}
inline std::string hex(const QColor& color) {
    return color.name().toStdString();
}
inline std::string pixel(const QImage& image, int x, int y) {
    return hex(image.pixel(x, y));
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* watched) : QObject(watched) {
        watched->installEventFilter(this);
    }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
};

// A top-level window to host the widget under test plus a probe widget beside it. Asking the
// probe for a repaint and waiting for it flushes the window's pending repaints: a widget that
// was marked dirty before is painted in the same pass.
class Host {
public:
    Host() {
        window.resize(400, 300);
        probe = new QWidget(&window);
        probe->setGeometry(380, 280, 10, 10);
        probeCounter = new PaintCounter(probe);
    }
    bool show() {
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }
    // True when the probe was painted (the pending repaints were processed).
    bool flushRepaints() {
        const int before = probeCounter->paints;
        probe->update();
        return QTest::qWaitFor([&] { return probeCounter->paints > before; });
    }

    QWidget window;
    QWidget* probe = nullptr;
    PaintCounter* probeCounter = nullptr;
};

} // namespace widgets::test
