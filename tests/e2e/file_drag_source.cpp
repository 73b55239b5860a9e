// A stand-in for a file manager in the whole-program tests: a small window holding the files
// named on the command line. A press and a move of the mouse on it (real X input, sent by
// xdotool) start a drag of their file URLs as "text/uri-list", which reaches the program under
// test in another process through the X drag-and-drop protocol (XDND), as a file manager's
// drag does. When the drag ends it prints "accepted" or "refused", and quits a few seconds
// later.
//
// Usage: bandora_file_drag_source X Y WIDTH HEIGHT FILE...
#include <QApplication>
#include <QDrag>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>

#include <cstdio>

namespace {

constexpr int kServeDataMs = 5000;

class FileDragSource : public QLabel {
public:
    explicit FileDragSource(const QList<QUrl>& files) : files_(files) {
        setWindowTitle(QStringLiteral("Arquivos para arrastar"));
        QStringList names;
        for (const QUrl& url : files) {
            names.append(url.fileName());
        }
        setText(names.join(QLatin1Char('\n')));
        setAutoFillBackground(true);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        pressedAt_ = event->position().toPoint();
        pressed_ = event->button() == Qt::LeftButton;
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        const int moved = (event->position().toPoint() - pressedAt_).manhattanLength();
        if (!pressed_ || moved < QApplication::startDragDistance()) {
            return;
        }
        pressed_ = false;
        auto* data = new QMimeData;
        data->setUrls(files_);
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        const Qt::DropAction result = drag->exec(Qt::CopyAction | Qt::LinkAction);
        std::printf("%s\n", result == Qt::IgnoreAction ? "refused" : "accepted");
        std::fflush(stdout);
        // The drop target asks for the data after the drag has ended: keep serving it for a
        // while, as a file manager would.
        QTimer::singleShot(kServeDataMs, qApp, &QApplication::quit);
    }

private:
    QList<QUrl> files_;
    QPoint pressedAt_;
    bool pressed_ = false;
};

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 6) {
        std::fprintf(stderr, "usage: %s X Y WIDTH HEIGHT FILE...\n", argv[0]);
        return 2;
    }
    QList<QUrl> files;
    for (qsizetype i = 5; i < args.size(); ++i) {
        files.append(QUrl::fromLocalFile(args[i]));
    }
    FileDragSource source(files);
    source.setGeometry(args[1].toInt(), args[2].toInt(), args[3].toInt(), args[4].toInt());
    source.show();
    return QApplication::exec();
}
