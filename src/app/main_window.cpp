// Creation, first activation and closing of the cart wall window; Sair, Minimizar, about box.
#include "app/main_window.h"
#include "app/main_window_editing.h"

#include "app/about_dialog.h"
#include "app/block_sequencer.h"
#include "app/cart_firing.h"
#include "app/status_display.h"
#include "app/strip_widgets.h"
#include "widgets/color_btn.h"
#include "widgets/message_sink.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEvent>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace app {

Tfrm_botonera::Tfrm_botonera(const MainWindowEnvironment& env, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), env_(env) {
    setObjectName(QStringLiteral("frm_botonera"));
    setWindowTitle(QStringLiteral("Quallon Cartucheira Digital  4.0-PRO"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    QFont windowFont(QStringLiteral("MS Sans Serif"));
    windowFont.setPointSize(8);
    setFont(windowFont);
    resize(kDesignWidth, kDesignHeight);

    buildPanels();
    buildControlStrip();
    buildMenus();
    connectStrip();

    // Creation steps, in order.
    ListBox1->clear();    // 1
    setAcceptDrops(true); // 2
    createAudioFolder();  // 3
    buildCartButtons();   // 4
    readWindowSettings(); // 5
    createPlayers();      // 6
    const QSize screen = screenSize();
    if (screen.width() >= 1024) {
        scaleForScreen(100, 98); // 7
    }
    if (!screenIsSupported()) { // 8
        env_.messages->showMessage(
            QStringLiteral("Resolução de tela não é compatível com este sistema - Mínimo "
                           "1024x768\rConsulte Quallon Sistemas"));
        creationRefused_ = true;
        close();
    }
    LarguraRef = 1035; // 9
    AlturaRef = 768;
    // The window sees every key before the focused control, and Panel2's mouse events for the
    // window drag, through one application-wide filter.
    qApp->installEventFilter(this);
}

Tfrm_botonera::~Tfrm_botonera() {
    qApp->removeEventFilter(this);
    releasePlayers();
}

QString Tfrm_botonera::audioFolder() const {
    return QDir(env_.programDir).filePath(QStringLiteral("ARQUIVOS"));
}

void Tfrm_botonera::createAudioFolder() {
    QDir().mkpath(audioFolder()); // a failure is not reported: the wall works without it
}

QSize Tfrm_botonera::screenSize() const {
    if (env_.screenSize) {
        return *env_.screenSize;
    }
    const QScreen* s = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    return s != nullptr ? s->geometry().size() : QSize(kDesignWidth, kDesignHeight);
}

bool Tfrm_botonera::screenIsSupported() const {
    const QSize s = screenSize();
    return s.width() >= 1024 && s.height() >= 768;
}

void Tfrm_botonera::showOnScreen() {
    // Set the screen's size ourselves: a bare X server has no window manager to maximise us.
    const QSize s = screenSize();
    const QScreen* scr = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    const QPoint origin = scr != nullptr ? scr->geometry().topLeft() : QPoint();
    setGeometry(QRect(origin, s));
    setWindowState(windowState() | Qt::WindowMaximized);
    show();
    activateWindow(); // without a window manager nobody else gives us the focus
}

void Tfrm_botonera::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        AjustaTela();
    }
}

void Tfrm_botonera::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !activatedOnce_) {
        activatedOnce_ = true; // the first activation runs once per program run
        FormActivate();
    }
}

void Tfrm_botonera::FormActivate() {
    atualiza_buffers();
    ListaPerfil();
    Timer2->start();
}

void Tfrm_botonera::closeEvent(QCloseEvent* event) {
    if (!closing_) {
        closing_ = true;
        FormClose();
    }
    event->accept();
}

void Tfrm_botonera::BitBtn1Click() {
    if (env_.messages->confirm(QStringLiteral("Deseja Sair do Bandora ?"))) {
        close();
    }
}

void Tfrm_botonera::BitBtn6Click() {
    showMinimized();
}

void Tfrm_botonera::connectStrip() {
    connect(BitBtn1, &QPushButton::clicked, this, &Tfrm_botonera::BitBtn1Click);
    connect(BitBtn6, &QPushButton::clicked, this, &Tfrm_botonera::BitBtn6Click);
    connect(BitBtn5, &QPushButton::clicked, this, &Tfrm_botonera::BitBtn5Click);
    connect(Image1, &ClickableImage::clicked, this, &Tfrm_botonera::SobreoSoftware1Click);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(100);
    Timer2->setProperty("Tag", 0);
}

void Tfrm_botonera::ListaPerfis1Click() {
    // The menu opens at the screen point whose coordinates are Panel1's left and top.
    PopupMenu4->popup(Panel1->geometry().topLeft());
}

void Tfrm_botonera::Pesquisaudio1Click() {
    // The search window joins here when it is built.
}

void Tfrm_botonera::BitBtn5Click() {
    // The setup dialog joins here when it is built.
}

void Tfrm_botonera::SobreoSoftware1Click() {
    AboutDialog about(this);
    emit aboutShown();
    about.exec();
}

} // namespace app
