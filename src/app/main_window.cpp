// Creation, first activation and closing of the cart wall window; Sair, Minimizar, about box,
// and fitting the layout to the screen.
#include "app/main_window.h"
#include "app/main_window_editing.h"
#include "widgets/interface_font.h"

#include "app/about_dialog.h"
#include "app/block_sequencer.h"
#include "app/cart_firing.h"
#include "app/cart_wall_panel.h"
#include "app/control_strip.h"
#include "app/layout_scaling.h"
#include "app/main_window_profiles.h"
#include "app/setup_dialog.h"
#include "app/status_display.h"
#include "app/strip_widgets.h"
#include "app/wall_menus.h"
#include "app/widget_scaling.h"
#include "config/device_settings.h"
#include "core/message_sink.h"
#include "search/search_window.h"
#include "widgets/cart_button.h"
#include "widgets/window_mover.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEvent>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryFile>
#include <QTimer>

namespace app {

MainWindow::MainWindow(const MainWindowEnvironment& env, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), env_(env) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Quallon Cartucheira Digital  4.0-PRO"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setFont(widgets::interfaceFont(8, false));
    resize(kDesignWidth, kDesignHeight);

    strip_ = new ControlStrip(this);
    mover_ = new widgets::WindowMover(*this);
    mover_->addHandle(strip_);
    menus_ = new WallMenus(this);
    connectStrip();
    connectMenus();

    // Creation steps, in order.
    strip_->blockList()->clear();
    setAcceptDrops(true);
    createAudioFolder();
    wallPanel_ = new CartWallPanel(startHint(), strip_);
    connect(wallPanel_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { menus_->cartMenu()->popup(wallPanel_->mapToGlobal(pos)); });
    readWindowSettings();
    createPlayers();
    createProfiles();
    const QSize screen = screenSize();
    if (screen.width() >= 1024) {
        scaleWidgetTree(*this, 100, 98);
    }
    if (!screenIsSupported()) {
        env_.messages->showMessage(
            QStringLiteral("Resolução de tela não é compatível com este sistema - Mínimo "
                           "1024x768\rConsulte Quallon Sistemas"));
        creationRefused_ = true;
        close();
    }
    refWidth_ = 1035;
    refHeight_ = 768;
    createSearchWindow(); // after the scaling, which would reach into its controls
    // The window sees every key before the focused control, and the strip's pointer moves for
    // the status line, through one application-wide filter.
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
    releasePlayers();
}

QString MainWindow::audioFolder() const {
    return QDir(env_.programDir).filePath(QStringLiteral("ARQUIVOS"));
}

void MainWindow::createAudioFolder() {
    QDir().mkpath(audioFolder()); // a failure is not reported: the wall works without it
}

void MainWindow::warnIfProgramFolderReadOnly() {
    // Said once here rather than by every later save: profiles and settings live in this folder.
    QTemporaryFile probe(QDir(env_.programDir).filePath(QStringLiteral(".bandora-XXXXXX")));
    if (!probe.open()) {
        env_.messages->showMessage(
            QStringLiteral("A pasta do programa não permite gravação:\r") +
            QDir::toNativeSeparators(env_.programDir) +
            QStringLiteral("\rPerfis e configurações não poderão ser salvos.\r"
                           "Copie o programa para uma pasta com permissão de gravação."));
    }
}

QString MainWindow::startHint() const {
    const QString dir = QDir::toNativeSeparators(env_.programDir + QLatin1Char('/'));
    return carts::cartHint() + QStringLiteral("\r\rDICA: Insira seus áudios na pasta:") + dir +
           QStringLiteral("ARQUIVOS") + QDir::separator() + QStringLiteral("\r") +
           QStringLiteral("F3 - Pesquisa Geral em todas Subpastas (\\ARQUIVOS\\)");
}

QSize MainWindow::screenSize() const {
    if (env_.screenSize) {
        return *env_.screenSize;
    }
    const QScreen* s = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    return s != nullptr ? s->geometry().size() : QSize(kDesignWidth, kDesignHeight);
}

bool MainWindow::screenIsSupported() const {
    const QSize s = screenSize();
    return s.width() >= 1024 && s.height() >= 768;
}

void MainWindow::showOnScreen() {
    // Set the screen's size ourselves: a bare X server has no window manager to maximise us.
    const QSize s = screenSize();
    const QScreen* scr = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    const QPoint origin = scr != nullptr ? scr->geometry().topLeft() : QPoint();
    setGeometry(QRect(origin, s));
    setWindowState(windowState() | Qt::WindowMaximized);
    show();
    activateWindow(); // without a window manager nobody else gives us the focus
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        fitToScreen();
    }
}

void MainWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !activatedOnce_) {
        activatedOnce_ = true; // the first activation runs once per program run
        onFirstActivation();
    }
}

void MainWindow::onFirstActivation() {
    warnIfProgramFolderReadOnly();
    openPlayerDevices();
    listProfiles();
    displayTimer_->start();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Asked however the close comes (Sair, the window manager, a session logout), never twice.
    if (!closing_ && !creationRefused_ && !profiles().mayClose()) {
        event->ignore();
        return;
    }
    if (searchWindow_ != nullptr) {
        searchWindow_->close(); // ends a search under way
    }
    if (!closing_) {
        closing_ = true;
        saveWindowSettings();
    }
    event->accept();
}

void MainWindow::askToQuit() {
    if (env_.messages->confirm(QStringLiteral("Deseja Sair do Bandora ?"))) {
        close();
    }
}

void MainWindow::minimize() {
    showMinimized();
}

void MainWindow::connectStrip() {
    connect(strip_->quitButton(), &QPushButton::clicked, this, &MainWindow::askToQuit);
    connect(strip_->minimizeButton(), &QPushButton::clicked, this, &MainWindow::minimize);
    connect(strip_->setupButton(), &QPushButton::clicked, this, &MainWindow::showSetup);
    connect(strip_->logo(), &ClickableImage::clicked, this, &MainWindow::showAbout);
    displayTimer_ = new QTimer(this);
    displayTimer_->setObjectName(QStringLiteral("displayTimer"));
    displayTimer_->setInterval(100);
}

void MainWindow::showProfileList() {
    // The menu opens at the screen point whose coordinates are the wall panel's left and top.
    menus_->profileListMenu()->popup(wallPanel_->geometry().topLeft());
}

void MainWindow::showSearch() {
    searchWindow_->showWindow();
}

void MainWindow::showSetup() {
    // The file may have been edited since: the running program takes it again. Devices and the
    // buffer act at the next start; MIXAGEM and FADE at once.
    deviceSettings_ = config::readDeviceSettings(env_.programDir);
    block_->onMixSettingsChanged();
    // A new dialog for every click; it deletes itself when it closes.
    auto* setup = new SetupDialog(env_.programDir, *playerContext_, deviceSettings_, this);
    connect(setup, &SetupDialog::extSettingsSaved, this, &MainWindow::applyExtSettings);
    connect(setup, &SetupDialog::extSettingsSaved, this,
            [this] { block_->onMixSettingsChanged(); });
    setup->showWithSavedSettings();
}

void MainWindow::showAbout() {
    AboutDialog about(this);
    emit aboutShown();
    about.exec();
}

widgets::CartButton* MainWindow::cartButton(int n) const {
    return wallPanel_->cartButton(n);
}

QAction* MainWindow::action(const QString& objectName) const {
    return menus_->action(objectName);
}

QList<QWidget*> MainWindow::wallControls() const {
    return wallPanel_->controls();
}

QList<QWidget*> MainWindow::stripControls() const {
    QList<QWidget*> controls = strip_->controls();
    controls.append(wallPanel_);
    return controls;
}

void MainWindow::fitControl(QWidget* c) {
    c->setGeometry(fitToWindow(c->geometry(), refWidth_, refHeight_, width(), height()));
}

void MainWindow::fitToScreen() {
    fitControl(strip_);
    for (QWidget* c : stripControls()) {
        fitControl(c);
    }
    for (QWidget* c : wallControls()) {
        fitControl(c);
    }
    refWidth_ = width();
    refHeight_ = height();
}

} // namespace app
