// Creation, first activation and closing of the cart wall window; Sair, Minimizar, the about
// box, the setup dialog, and fitting the layout to the screen.
#include "app/main_window.h"

#include "app/about_dialog.h"
#include "app/cart_wall_panel.h"
#include "app/control_strip.h"
#include "app/layout_scaling.h"
#include "app/loudness_hint.h"
#include "app/new_profile_dialog.h"
#include "app/qt_editing_dialogs.h"
#include "app/rename_cart_dialog.h"
#include "app/safety_binding.h"
#include "app/setup_dialog.h"
#include "app/strip_widgets.h"
#include "app/wall_binding.h"
#include "app/wall_drops.h"
#include "app/wall_menus.h"
#include "app/widget_scaling.h"
#include "audio/cart_player.h"
#include "config/window_settings.h"
#include "core/message_sink.h"
#include "search/search_window.h"
#include "session/wall_session.h"
#include "widgets/fader.h"
#include "widgets/interface_font.h"
#include "widgets/window_mover.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QPushButton>
#include <QScreen>

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
    setAcceptDrops(true);
    QDir().mkpath(audioFolder()); // a failure is not reported: the wall works without it
    wallPanel_ = new CartWallPanel(startHint(), strip_);
    readWindowSettings();
    createSession();
    connectWindowControls();
    connectMenus();
    if (screenSize().width() >= 1024) {
        scaleWidgetTree(*this, 100, 98);
    }
    if (screenSize().width() < 1024 || screenSize().height() < 768) {
        env_.messages->showMessage(
            QStringLiteral("Resolução de tela não é compatível com este sistema - Mínimo "
                           "1024x768\rConsulte Quallon Sistemas"));
        creationRefused_ = true;
        close();
    }
    // After the scaling, which would reach into its controls.
    searchWindow_ =
        new search::SearchWindow(audioFolder(), session_->cuePlayer(), *env_.messages, this);
    searchWindow_->setMarksOf([this](const QString& path) { return session_->marksOf(path); });
    safety_->addPanicKeys(*searchWindow_);
    // The window sees every key before the focused control, and the strip's pointer moves for
    // the status line, through one application-wide filter.
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
    // The search window previews on the session's cue player: it goes first.
    delete searchWindow_;
    searchWindow_ = nullptr;
    session_.reset();
}

void MainWindow::createSession() {
    carts::EditingDialogs* dialogs = env_.dialogs;
    if (dialogs == nullptr) {
        ownDialogs_ = std::make_unique<QtEditingDialogs>(this, *new RenameCartDialog(this));
        dialogs = ownDialogs_.get();
    }
    namePrompt_ = env_.profileNamePrompt;
    if (namePrompt_ == nullptr) {
        namePrompt_ = new NewProfileDialog(this);
    }
    session_ = std::make_unique<session::WallSession>(
        session::SessionDeps{env_.programDir, *env_.sound, *env_.messages, *dialogs, *namePrompt_});
    binding_ = new WallBinding(*session_, *wallPanel_, *strip_, this);
    loudnessHint_ = new LoudnessHint(*session_, *wallPanel_, this);
    safety_ = new SafetyBinding(*session_, *menus_, env_.programDir, *env_.messages, *this);
    drops_ = std::make_unique<WallDrops>(*this, *wallPanel_, *session_, *binding_);
    // A cart's first click would otherwise wait for its file to be opened: the cart under the
    // pointer is the one likely fired next, and its file is opened first.
    connect(binding_, &WallBinding::pointerMovedToCart, session_.get(),
            &session::WallSession::openWallFilesAhead);
    connect(session_.get(), &session::WallSession::profileChanged, this,
            [this] { session_->openWallFilesAhead(binding_->pointedCart()); });
}

void MainWindow::connectWindowControls() {
    connect(strip_->quitButton(), &QPushButton::clicked, this, &MainWindow::askToQuit);
    connect(strip_->minimizeButton(), &QPushButton::clicked, this, &MainWindow::minimize);
    connect(strip_->setupButton(), &QPushButton::clicked, this, &MainWindow::showSetup);
    connect(strip_->logo(), &ClickableImage::clicked, this, &MainWindow::showAbout);
}

QString MainWindow::audioFolder() const {
    return QDir(env_.programDir).filePath(QStringLiteral("ARQUIVOS"));
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

void MainWindow::showOnScreen() {
    // Set the screen's size ourselves: a bare X server has no window manager to maximise us.
    const QScreen* scr = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    const QPoint origin = scr != nullptr ? scr->geometry().topLeft() : QPoint();
    setGeometry(QRect(origin, screenSize()));
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
    safety_->sayStartProblems();
    session_->start();
    safety_->offerRecovery();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Asked however the close comes (Sair, the window manager, a session logout), never twice.
    if (!closing_ && !creationRefused_ && !session_->mayClose()) {
        event->ignore();
        return;
    }
    if (searchWindow_ != nullptr) {
        searchWindow_->close(); // ends a search under way
    }
    if (!closing_) {
        closing_ = true;
        saveWindowSettings();
        session_->endSession();
        safety_->endCleanly();
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

void MainWindow::readWindowSettings() {
    config::WindowSettings settings;
    if (settings.read(env_.programDir)) {
        strip_->masterFader()->setPosition(settings.volume);
        strip_->autoFadeBox()->setChecked(settings.autoFade);
        strip_->autoMixBox()->setChecked(settings.autoMix);
    }
}

void MainWindow::saveWindowSettings() {
    config::WindowSettings settings;
    settings.volume = strip_->masterFader()->position();
    settings.autoFade = strip_->autoFadeBox()->isChecked();
    settings.autoMix = strip_->autoMixBox()->isChecked();
    if (!settings.write(env_.programDir)) {
        env_.messages->showMessage(QStringLiteral("Erro ao Gravar configuração do Sistema"));
    }
}

void MainWindow::showSearch() {
    searchWindow_->showWindow();
}

void MainWindow::showSetup() {
    // The file may have been edited since: the running program takes it again. Devices and the
    // buffer act at the next start; MIXAGEM and FADE at once.
    session_->reloadDeviceSettings();
    // A new dialog for every click; it deletes itself when it closes.
    auto* setup = new SetupDialog(env_.programDir, session_->playerContext(),
                                  session_->runningDeviceSettings(), this);
    connect(setup, &SetupDialog::extSettingsSaved, session_.get(),
            &session::WallSession::applyExtSettings);
    setup->showWithSavedSettings();
}

void MainWindow::showAbout() {
    AboutDialog about(this);
    emit aboutShown();
    about.exec();
}

// Proportional layout: every control keeps its share of the window's size.
void MainWindow::fitToScreen() {
    QList<QWidget*> controls{strip_};
    controls.append(strip_->controls());
    controls.append(wallPanel_);
    controls.append(wallPanel_->controls());
    for (QWidget* c : controls) {
        c->setGeometry(
            fitToWindow(c->geometry(), reference_.width(), reference_.height(), width(), height()));
    }
    reference_ = size();
}

} // namespace app
