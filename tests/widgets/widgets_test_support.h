#pragma once
// Helpers for pixel and repaint checks on real widgets under the test X server.
#include <QColor>
#include <QEvent>
#include <QImage>
#include <QTest>
#include <QWidget>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

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

// Counts the events of the given types that reach a widget (delivered or propagated to it).
class EventCounter : public QObject {
public:
    EventCounter(QWidget* watched, std::initializer_list<QEvent::Type> types)
        : QObject(watched), types_(types) {
        watched->installEventFilter(this);
    }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        count += std::find(types_.begin(), types_.end(), event->type()) != types_.end();
        return false;
    }

private:
    std::vector<QEvent::Type> types_;
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
        probePaints = new EventCounter(probe, {QEvent::Paint});
    }
    bool show() {
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }
    // True when the probe was painted (the pending repaints were processed).
    bool flushRepaints() {
        const int before = probePaints->count;
        probe->update();
        return QTest::qWaitFor([&] { return probePaints->count > before; });
    }

    QWidget window;
    QWidget* probe = nullptr;
    EventCounter* probePaints = nullptr;
};

} // namespace widgets::test
