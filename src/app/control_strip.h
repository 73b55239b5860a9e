#pragma once
// The control strip: the window's background panel below and around the wall, with the level
// meters, the count-down clock, the master fader, the profile box and buttons, AUTO FADE and
// AUTO MIX, the setup button, the block list, CUE, Minimizar, Sair and the logo. It builds its
// children at their design geometry; the main window connects them.
#include <QFrame>
#include <QList>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace widgets {
class CartButton;
class Fader;
class LedMeter;
} // namespace widgets

namespace app {

class ClickableImage;

class ControlStrip : public QFrame {
    Q_OBJECT
public:
    explicit ControlStrip(QWidget* parent);

    widgets::LedMeter* upperMeter() const { return upperMeter_; }
    widgets::LedMeter* lowerMeter() const { return lowerMeter_; }
    QLabel* clockLabel() const { return clockLabel_; }
    widgets::Fader* masterFader() const { return masterFader_; }
    QComboBox* profileBox() const { return profileBox_; }
    QPushButton* activateButton() const { return activateButton_; }
    QPushButton* newProfileButton() const { return newProfileButton_; }
    QPushButton* saveButton() const { return saveButton_; }
    QCheckBox* autoFadeBox() const { return autoFadeBox_; }
    QCheckBox* autoMixBox() const { return autoMixBox_; }
    QPushButton* setupButton() const { return setupButton_; }
    QListWidget* blockList() const { return blockList_; }
    QLabel* blockCountLabel() const { return blockCountLabel_; }
    widgets::CartButton* cueButton() const { return cueButton_; }
    QPushButton* minimizeButton() const { return minimizeButton_; }
    QPushButton* quitButton() const { return quitButton_; }
    ClickableImage* logo() const { return logo_; }

    // Every child in creation order: the controls the proportional layout fits.
    QList<QWidget*> controls() const { return controls_; }

private:
    void buildDecorations();
    void buildMeters();
    void buildProfileControls();
    void buildSwitches();
    void buildBlock();
    void buildWindowButtons();
    template <class W> W* add(W* widget, const char* objectName);

    widgets::LedMeter* upperMeter_ = nullptr;
    widgets::LedMeter* lowerMeter_ = nullptr;
    QLabel* clockLabel_ = nullptr;
    widgets::Fader* masterFader_ = nullptr;
    QComboBox* profileBox_ = nullptr;
    QPushButton* activateButton_ = nullptr;
    QPushButton* newProfileButton_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QCheckBox* autoFadeBox_ = nullptr;
    QCheckBox* autoMixBox_ = nullptr;
    QPushButton* setupButton_ = nullptr;
    QListWidget* blockList_ = nullptr;
    QLabel* blockCountLabel_ = nullptr;
    widgets::CartButton* cueButton_ = nullptr;
    QPushButton* minimizeButton_ = nullptr;
    QPushButton* quitButton_ = nullptr;
    ClickableImage* logo_ = nullptr;
    QList<QWidget*> controls_;
};

} // namespace app
