#pragma once
// A cart's hint while normalisation is on gains its loudness line, built when the hint is
// asked for so it shows the latest measurement and setting; a measurement that ends while the
// hint is on screen updates it (it would otherwise say "medindo..." until the pointer left).
#include <QObject>
#include <QPoint>
#include <QString>

class QEvent;

namespace session {
class WallSession;
}

namespace app {

class CartWallPanel;

class LoudnessHint : public QObject {
    Q_OBJECT
public:
    LoudnessHint(session::WallSession& session, CartWallPanel& panel, QObject* parent);

    // A hint event on a loaded cart while normalisation is on: shown here; true when taken.
    bool show(QObject* watched, QEvent* event);

private:
    void showAt(int cart, QPoint globalPos);
    void refresh(const QString& measuredPath);

    session::WallSession& session_;
    CartWallPanel& panel_;
    struct Shown {
        int cart = 0;
        QPoint globalPos;
        QString text;
    } shown_;
};

} // namespace app
