#pragma once
// The cart wall window: a borderless, screen-filling window with the wall of 96 cart buttons on
// Panel1 and the control strip on Panel2. The handlers are split over several source files by
// concern (layout, menus, drag, lifecycle); logic that needs no widget lives in plain classes.
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

#include "app/player_bank.h"
#include "app/window_wall_view.h"
#include "carts/cart_table.h"
#include "config/device_settings.h"

#include <array>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QRubberBand;
class QTimer;
class QKeyEvent;

namespace carts {
class CartEditing;
class EditingDialogs;
class Tform_nomear;
} // namespace carts

namespace widgets {
class MessageSink;
class TColorBtn;
class TMMLEDGauge;
class TMMSlider;
} // namespace widgets

namespace app {

class BlockSequencer;
class CartFiring;
class StatusDisplay;
class ClickableImage;

// What the window needs from outside; tests pass their own.
struct MainWindowEnvironment {
    QString programDir; // where ARQUIVOS, settings and profiles live
    widgets::MessageSink* messages = nullptr;
    audio::SoundApi* sound = nullptr;         // the sound layer all players use
    carts::EditingDialogs* dialogs = nullptr; // default: the real file, colour and rename dialogs
    std::optional<QSize> screenSize;          // the screen to fit; default: the window's screen
};

class Tfrm_botonera : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCarts = 96;
    static constexpr int kDesignWidth = 1021;
    static constexpr int kDesignHeight = 768;

    explicit Tfrm_botonera(const MainWindowEnvironment& env, QWidget* parent = nullptr);
    ~Tfrm_botonera() override;

    // Creation refused the screen (below 1024 x 768): the window was closed and must not show.
    bool creationRefused() const { return creationRefused_; }

    // Shows the window over the whole screen (FormShow fits the layout to it).
    void showOnScreen();

    // Controls by their designer names, for the other handlers and for tests.
    widgets::TColorBtn* cartButton(int n) const; // n = 1..96
    QList<QWidget*> panel1Controls() const;      // Label1, then carts 1..96
    QList<QWidget*> panel2Controls() const;      // in control order, Panel1 among them
    QFrame* Panel1 = nullptr;
    QFrame* Panel2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label8 = nullptr;
    widgets::TMMLEDGauge* meter1 = nullptr;
    widgets::TMMLEDGauge* Meter2 = nullptr;
    widgets::TMMSlider* MMSlider1 = nullptr;
    QComboBox* FlatComboBox1 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QPushButton* BitBtn4 = nullptr;
    QPushButton* BitBtn5 = nullptr;
    QPushButton* BitBtn6 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QListWidget* ListBox1 = nullptr;
    widgets::TColorBtn* ColorBtn1 = nullptr;
    ClickableImage* Image1 = nullptr;
    QTimer* Timer2 = nullptr; // display timer, 100 ms, runs from the first activation on
    audio::TThreadedTimer* Timer_mix_botonera = nullptr; // block mix timer, 50 ms
    QMenu* PopupMenu1 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QMenu* PopupMenu3 = nullptr;
    QMenu* PopupMenu4 = nullptr;
    QAction* actionByName(const QString& objectName) const;

    int LarguraRef = 0;
    int AlturaRef = 0;
    bool Arrastando = false;

    QString audioFolder() const;

    // The players and the wall's logic.
    WindowPlayers& players() { return *players_; }
    CartFiring& firing() { return *firing_; }
    BlockSequencer& block() { return *block_; }
    carts::CartEditing& editing();
    carts::Tform_nomear* form_nomear = nullptr; // the rename dialog, created once

    // The wall's model and the device and time settings, owned by the window.
    carts::CartWall& wall() { return wall_; }
    const config::DeviceSettings& deviceSettings() const { return deviceSettings_; }

    // Proportional layout: fits every control to the window's current size.
    void AjustaTela();
    void AjustaControle(QWidget* c);

signals:
    void aboutShown();

public slots:
    void BitBtn1Click(); // Sair
    void BitBtn6Click(); // Minimizar
    void SobreoSoftware1Click();
    void Pesquisaudio1Click();
    void ListaPerfis1Click();
    void BitBtn5Click();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Creation steps.
    void createAudioFolder();
    void buildPanels();
    void buildCartButtons();
    void buildControlStrip();
    void buildDecorations();
    void buildMenus();
    void connectStrip();
    void buildPopupMenu1();
    void readWindowSettings();
    void createPlayers();
    void scaleForScreen(int m, int d);
    bool screenIsSupported() const;
    QSize screenSize() const;
    QString cartHint() const;

    // Players and firing.
    void connectCartButtons();
    void connectDisplay();
    void createEditing();
    void PopupMenu1Popup();
    void releasePlayers();
    void AUDIO_STOP(int n);
    void FormKeyDown(QKeyEvent* event);
    bool isKeyForThisWindow(QObject* watched, QEvent* event) const;

    // First activation.
    void FormActivate();
    void atualiza_buffers();
    void ListaPerfil();

    // Closing.
    void FormClose();

    // Window drag on Panel2.
    void Panel2MouseDown(QMouseEvent* event);
    void Panel2MouseMove(QMouseEvent* event);
    void Panel2MouseUp(QMouseEvent* event);
    QRect dragOutline(const QPoint& point) const;

    // Status line.
    void showProfileStatus();

    MainWindowEnvironment env_;
    carts::CartWall wall_;
    config::DeviceSettings deviceSettings_;
    WindowWallView view_{*this};
    DiskFiles files_;
    std::unique_ptr<audio::PlayerContext> playerContext_;
    std::unique_ptr<WindowPlayers> players_;
    std::unique_ptr<ThreadedTimerSwitch> mixSwitch_;
    std::unique_ptr<BlockSequencer> block_;
    std::unique_ptr<CartFiring> firing_;
    std::unique_ptr<StatusDisplay> display_;
    struct Editing;
    std::unique_ptr<Editing> editing_;
    bool creationRefused_ = false;
    bool activatedOnce_ = false;
    bool closing_ = false;
    std::array<widgets::TColorBtn*, kCarts + 1> carts_{}; // index 0 unused
    QList<QWidget*> panel2Controls_;
    QRubberBand* dragOutline_ = nullptr;
    QPoint dragStart_;
    QPoint dragLast_;
};

} // namespace app
