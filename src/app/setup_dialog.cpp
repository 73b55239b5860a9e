#include "app/setup_dialog.h"
#include "widgets/interface_font.h"
#include "widgets/window_placement.h"

#include "audio/cart_player.h"
#include "audio/player_context.h"
#include "core/message_sink.h"
#include "widgets/bgr_color.h"
#include "widgets/spin_edit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QTimer>

namespace app {

namespace {

constexpr int kPanelBgr = 5581568; // dark blue
constexpr int kSettingsPanelHeight = 262;
constexpr int kFieldX = 160;
constexpr int kWarningLineY = 196;
constexpr int kXrunBesideOkY = kSettingsPanelHeight + 21; // level with OK's caption
constexpr int kXrunRefreshMs = 1000;

struct SpinRange {
    int minimum;
    int maximum;
    int step;
};
constexpr SpinRange kBufferRange{1000, 9000, 500};
constexpr SpinRange kMixRange{500, 5000, 100};
constexpr SpinRange kFadeRange{100, 2500, 100};
constexpr SpinRange kLoudnessTargetRange{config::ExtSettings::kMinLoudnessTarget,
                                         config::ExtSettings::kMaxLoudnessTarget, 1};
constexpr SpinRange kEndWarningRange{0, config::ExtSettings::kMaxEndWarning, 1};
// The loudness row, and the end warning's under it, fill the band below the warning line.
constexpr int kLoudnessRowY = 214;

void paintBackground(QWidget* widget, const QColor& colour) {
    widget->setAutoFillBackground(true);
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Window, colour);
    widget->setPalette(pal);
}

QLabel* makeLabel(QWidget* parent, const QString& text, QPoint at, const char* objectName,
                  const QColor& colour = Qt::white) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(objectName));
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
    label->adjustSize();
    label->move(at);
    return label;
}

QPushButton* makeButton(QWidget* parent, const QString& caption, QRect at, const char* objectName) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setGeometry(at);
    button->setAutoDefault(false);
    return button;
}

widgets::SpinEdit* makeSpin(QWidget* parent, SpinRange range, QRect at, const char* objectName) {
    auto* spin = new widgets::SpinEdit(parent);
    spin->setObjectName(QString::fromLatin1(objectName));
    spin->setRange(range.minimum, range.maximum);
    spin->setStep(range.step);
    spin->setGeometry(at);
    return spin;
}

QComboBox* makeList(QWidget* parent, const QString& hint, QRect at, const char* objectName) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(objectName));
    list->setToolTip(hint);
    list->setGeometry(at);
    return list;
}

// The list entry for a saved device: by its JACK ports when it has them (its number may have
// moved), else by its number unless a JACK pair has that number now (the sink is gone); -1
// when the saved device is not in the list.
int storedIndex(const QComboBox* list, int index, const QStringList& ports) {
    if (!ports.isEmpty()) {
        return list->findData(ports);
    }
    const bool listed = index >= 0 && index < list->count();
    return listed && !list->itemData(index).isValid() ? index : -1;
}

// The entry chosen, or the saved one when a saved JACK device is missing and nothing is chosen.
int chosenIndex(const QComboBox* list, int savedIndex, const QStringList& savedPorts) {
    const int current = list->currentIndex();
    return current < 0 && !savedPorts.isEmpty() && list->findData(savedPorts) < 0 ? savedIndex
                                                                                  : current;
}

QStringList chosenPorts(const QComboBox* list, const QStringList& savedPorts) {
    if (list->currentIndex() < 0) {
        return list->findData(savedPorts) < 0 ? savedPorts : QStringList{};
    }
    return list->currentData().toStringList();
}

} // namespace

SetupDialog::SetupDialog(const QString& programDir, audio::PlayerContext& players,
                         config::DeviceSettings& running, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      programDir_(programDir), players_(players), running_(running),
      deviceLister_(new audio::CartPlayer(players, this)) {
    // The sound layer names its devices without opening one, so the lister opens none: opening
    // one here would start an output that nothing plays on, or report a failure mid-dialog.
    setObjectName(QStringLiteral("setupDialog"));
    setWindowTitle(QStringLiteral("Configuração"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(kWidth, kHeight);
    setFont(widgets::interfaceFont(8, false));
    paintBackground(this, Qt::black);
    buildSettingsPanel();
    buildButtonPanel();
}

void SetupDialog::buildSettingsPanel() {
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("settingsPanel"));
    panel->setGeometry(0, 0, kWidth, kSettingsPanelHeight);
    paintBackground(panel, widgets::colorFromBgr(kPanelBgr));
    buildTimeFields(panel);
    buildDeviceFields(panel);
    buildLoudnessFields(panel);
    buildRemoteFields(panel);
}

// Beside the mix and fade fields, the one free area of the panel; wrapped, as the MIDI part of
// the line can be long.
void SetupDialog::buildRemoteFields(QFrame* panel) {
    remoteLine_ = makeLabel(panel, QString(), {262, 44}, "remoteLine");
    remoteLine_->setWordWrap(true);
    remoteLine_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    remoteLine_->resize(216, 64);
    remoteLine_->hide();
}

void SetupDialog::showRemoteControl(std::function<QString()> statusLine,
                                    std::function<void(QWidget*)> openDialog) {
    remoteStatus_ = std::move(statusLine);
    remoteLine_->setText(remoteStatus_());
    remoteLine_->show();
    // Refreshed with the xrun line: the dropped count grows while the dialog is open.
    connect(xrunTimer_, &QTimer::timeout, remoteLine_,
            [this] { remoteLine_->setText(remoteStatus_()); });
    openRemoteDialog_ = std::move(openDialog);
    remoteButton_->show();
}

void SetupDialog::buildTimeFields(QFrame* panel) {
    makeLabel(panel, QStringLiteral("Tamanho do Buffer:"), {16, 18}, "bufferLabel");
    bufferEdit_ = makeSpin(panel, kBufferRange, {kFieldX, 14, 90, 22}, "bufferEdit");
    defaultBufferButton_ =
        makeButton(panel, QStringLiteral("Usar Padrão"), {262, 13, 110, 24}, "defaultBufferButton");
    connect(defaultBufferButton_, &QPushButton::clicked, this,
            [this] { bufferEdit_->setValue(kDefaultBufferMs); });

    makeLabel(panel, QStringLiteral("Mixagem: "), {16, 52}, "mixLabel");
    mixEdit_ = makeSpin(panel, kMixRange, {kFieldX, 48, 90, 22}, "mixEdit");
    makeLabel(panel, QStringLiteral("Fade:"), {16, 86}, "fadeLabel");
    fadeEdit_ = makeSpin(panel, kFadeRange, {kFieldX, 82, 90, 22}, "fadeEdit");
    const config::DeviceSettings designed;
    bufferEdit_->setValue(designed.bufferMs);
    mixEdit_->setValue(designed.mixLeadMs);
    fadeEdit_->setValue(designed.fadeMs);
}

void SetupDialog::buildDeviceFields(QFrame* panel) {
    makeLabel(panel, QStringLiteral("Device Transmissão:"), {16, 126}, "outputLabel");
    outputList_ = makeList(panel, QStringLiteral("Device para músicas"), {kFieldX, 122, 200, 22},
                           "outputList");
    outputInfoButton_ = makeButton(panel, QStringLiteral("Info Device Atual"), {368, 121, 110, 24},
                                   "outputInfoButton");

    makeLabel(panel, QStringLiteral("Device Escuta (Cue):"), {16, 160}, "cueLabel");
    cueList_ = makeList(panel, QStringLiteral("Device para Escuta (cue) - Placa de som nº 2"),
                        {kFieldX, 156, 200, 22}, "cueList");
    cueInfoButton_ = makeButton(panel, QStringLiteral("Info Device Atual"), {368, 155, 110, 24},
                                "cueInfoButton");

    // Allowed (a studio with one card does it on purpose), but then pre-listening goes on air.
    sameDeviceWarning_ = makeLabel(
        panel,
        QStringLiteral("Atenção: Escuta (Cue) e Transmissão na mesma device - a escuta vai "
                       "ao ar"),
        {16, kWarningLineY}, "sameDeviceWarning", Qt::yellow);
    sameDeviceWarning_->hide();
    // The dialog's own child, above both panels: it moves to the button panel when the warning
    // takes the line.
    xrunLine_ = makeLabel(this, QString(), {16, kWarningLineY}, "xrunLine", Qt::yellow);
    xrunLine_->setFont(sameDeviceWarning_->font());
    xrunLine_->hide();
    xrunTimer_ = new QTimer(this);
    xrunTimer_->setInterval(kXrunRefreshMs);
    connect(xrunTimer_, &QTimer::timeout, this, &SetupDialog::updateXrunLine);

    connect(outputInfoButton_, &QPushButton::clicked, this, [this] { listDevices(outputList_); });
    connect(cueInfoButton_, &QPushButton::clicked, this, [this] { listDevices(cueList_); });
    for (QComboBox* list : {outputList_, cueList_}) {
        connect(list, &QComboBox::currentIndexChanged, this, &SetupDialog::updateSameDeviceWarning);
    }
}

// Below the device fields, in the panel's free bottom band: the other controls keep their places.
void SetupDialog::buildLoudnessFields(QFrame* panel) {
    loudnessBox_ = new QCheckBox(QStringLiteral("Normalizar Loudness (EBU R128)"), panel);
    loudnessBox_->setObjectName(QStringLiteral("loudnessBox"));
    loudnessBox_->setToolTip(
        QStringLiteral("Toca cada cartucho no loudness alvo, com pico real até -1 dBTP"));
    QPalette pal = loudnessBox_->palette();
    pal.setColor(QPalette::WindowText, Qt::white);
    loudnessBox_->setPalette(pal);
    loudnessBox_->setGeometry(16, kLoudnessRowY, 240, 22);
    makeLabel(panel, QStringLiteral("Alvo (LUFS):"), {262, kLoudnessRowY + 4},
              "loudnessTargetLabel");
    loudnessTargetEdit_ =
        makeSpin(panel, kLoudnessTargetRange, {368, kLoudnessRowY, 110, 22}, "loudnessTargetEdit");
    loudnessTargetEdit_->setValue(config::ExtSettings{}.loudnessTarget);

    // Under the target, in the same column: the seconds before a cart's end in which its frame
    // and the clock blink faster.
    constexpr int y = kLoudnessRowY + 24;
    makeLabel(panel, QStringLiteral("Aviso de fim (s):"), {262, y + 4}, "endWarningLabel");
    endWarningEdit_ = makeSpin(panel, kEndWarningRange, {368, y, 110, 22}, "endWarningEdit");
    endWarningEdit_->setToolTip(
        QStringLiteral("Segundos finais do cartucho em que a borda e o relógio piscam "
                       "mais rápido (0 = desligado)"));
    endWarningEdit_->setValue(config::ExtSettings{}.endWarningSeconds);
}

void SetupDialog::buildButtonPanel() {
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("buttonPanel"));
    panel->setGeometry(0, kSettingsPanelHeight, kWidth, kHeight - kSettingsPanelHeight);
    okButton_ = makeButton(panel, QStringLiteral("OK"), {148, 14, 90, 30}, "okButton");
    cancelButton_ =
        makeButton(panel, QStringLiteral("Cancelar"), {254, 14, 90, 30}, "cancelButton");
    connect(okButton_, &QPushButton::clicked, this, &SetupDialog::save);
    connect(cancelButton_, &QPushButton::clicked, this, &QWidget::close);
    remoteButton_ =
        makeButton(panel, QStringLiteral("Controle Remoto"), {360, 14, 118, 30}, "remoteButton");
    remoteButton_->hide();
    connect(remoteButton_, &QPushButton::clicked, this, [this] {
        {
            // Its own dialog is no reason to close, as its own message boxes are not.
            const QScopedValueRollback<bool> shown(ownMessageShown_, true);
            openRemoteDialog_(this);
        }
        activateWindow();
    });
}

void SetupDialog::showWithSavedSettings() {
    // Filled before it shows, so a message about missing devices is not hidden behind a dialog
    // that stays on top.
    fillControls(config::readDeviceSettings(programDir_), config::readExtSettings(programDir_));
    widgets::centreOnScreen(*this);
    show();
    raise();
    activateWindow();
}

void SetupDialog::fillControls(const config::DeviceSettings& saved,
                               const config::ExtSettings& savedExt) {
    saved_ = saved;
    savedExt_ = savedExt;
    listDevices(outputList_);
    listDevices(cueList_);
    bufferEdit_->setValue(saved.bufferMs);
    outputList_->setCurrentIndex(
        storedIndex(outputList_, saved.outputDevice, savedExt.jackOutputPorts));
    cueList_->setCurrentIndex(storedIndex(cueList_, saved.cueDevice, savedExt.jackCuePorts));
    mixEdit_->setValue(saved.mixLeadMs);
    fadeEdit_->setValue(saved.fadeMs);
    loudnessBox_->setChecked(savedExt.loudness);
    loudnessTargetEdit_->setValue(savedExt.loudnessTarget);
    endWarningEdit_->setValue(savedExt.endWarningSeconds);
    findJackDevicesInUse();
    updateXrunLine();
    xrunTimer_->start();
}

// List entry k is device k + 1, the number the players open for a stored index k. The names
// are asked for afresh, so an interface plugged in after the start can be chosen.
void SetupDialog::listDevices(QComboBox* list) {
    list->clear();
    const int count = deviceLister_->deviceCount();
    if (count == 0) {
        showOwnMessage(QStringLiteral("Não foi Detectado placa de som - Verifique"));
        return;
    }
    for (int device = 1; device <= count; ++device) {
        QStringList ports; // a JACK pair is known by its ports too
        for (const std::string& port : players_.engine.devicePorts(device)) {
            ports.append(QString::fromStdString(port));
        }
        list->addItem(deviceLister_->deviceNameOf(device),
                      ports.isEmpty() ? QVariant() : QVariant(ports));
    }
    list->setCurrentIndex(0);
}

void SetupDialog::updateSameDeviceWarning() {
    const int output = outputList_->currentIndex();
    sameDeviceWarning_->setVisible(output >= 0 && output == cueList_->currentIndex());
    updateXrunLine();
}

// The JACK devices the players opened: the device list is not asked again for the xrun line.
void SetupDialog::findJackDevicesInUse() {
    jackDevicesInUse_.clear();
    for (const int device : players_.openedDevices) {
        if (!players_.engine.devicePorts(device).empty()) {
            jackDevicesInUse_.append(device);
        }
    }
}

// JACK counts xruns for its whole server: one count, whichever JACK device asks. On the line
// under the device lists; while the same-device warning fills that line, beside OK instead.
void SetupDialog::updateXrunLine() {
    if (jackDevicesInUse_.isEmpty()) {
        xrunLine_->hide();
        return;
    }
    const auto xruns = players_.engine.outputUnderruns(jackDevicesInUse_.first());
    xrunLine_->setText(QStringLiteral("JACK: %1 xruns").arg(xruns));
    xrunLine_->adjustSize();
    // Filled before the dialog shows: whether the warning is set to show, not shown yet.
    const int y = sameDeviceWarning_->isVisibleTo(this) ? kXrunBesideOkY : kWarningLineY;
    xrunLine_->move(sameDeviceWarning_->x(), y);
    xrunLine_->raise();
    xrunLine_->show();
}

config::DeviceSettings SetupDialog::chosenSettings() const {
    config::DeviceSettings chosen;
    chosen.bufferMs = static_cast<qint16>(bufferEdit_->value());
    chosen.outputDevice = static_cast<qint16>(
        chosenIndex(outputList_, saved_.outputDevice, savedExt_.jackOutputPorts));
    chosen.cueDevice =
        static_cast<qint16>(chosenIndex(cueList_, saved_.cueDevice, savedExt_.jackCuePorts));
    chosen.mixLeadMs = static_cast<quint16>(mixEdit_->value());
    chosen.fadeMs = static_cast<quint16>(fadeEdit_->value());
    return chosen;
}

config::ExtSettings SetupDialog::chosenExtSettings() const {
    config::ExtSettings chosen = savedExt_; // what the dialog does not show stays as read
    chosen.loudness = loudnessBox_->isChecked();
    chosen.loudnessTarget = loudnessTargetEdit_->value();
    chosen.endWarningSeconds = endWarningEdit_->value();
    chosen.jackOutputPorts = chosenPorts(outputList_, savedExt_.jackOutputPorts);
    chosen.jackCuePorts = chosenPorts(cueList_, savedExt_.jackCuePorts);
    return chosen;
}

void SetupDialog::save() {
    // Hiding below gives the activation away while the dialog still counts as visible; taken
    // for the operator leaving, that would close the dialog, and the result box's event loop
    // would delete it under this routine.
    const QScopedValueRollback<bool> saving(ownMessageShown_, true);
    for (widgets::SpinEdit* edit :
         {bufferEdit_, mixEdit_, fadeEdit_, loudnessTargetEdit_, endWarningEdit_}) {
        edit->commitText(); // a value still being typed counts
    }
    const config::DeviceSettings chosen = chosenSettings();
    const config::ExtSettings chosenExt = chosenExtSettings();
    // Both files are written even if the first fails: each keeps what it can.
    const bool devicesWritten = config::writeDeviceSettings(programDir_, chosen);
    const bool written = config::writeExtSettings(programDir_, chosenExt) && devicesWritten;
    running_.mixLeadMs = chosen.mixLeadMs;
    running_.fadeMs = chosen.fadeMs;
    emit extSettingsSaved(chosenExt);
    hide(); // the result is not to be hidden behind a dialog kept on top
    showOwnMessage(written ? QStringLiteral("Configuração Salva com Sucesso !")
                           : QStringLiteral("Erro ao Gravar arquivo de configuração"));
    close();
}

void SetupDialog::showOwnMessage(const QString& text) {
    {
        const QScopedValueRollback<bool> shown(ownMessageShown_, true);
        players_.messages.showMessage(text);
    }
    if (isVisible()) {
        activateWindow(); // back from the box, so leaving the dialog later still closes it
    }
}

// Enter is OK and Esc is "Cancelar", as in a dialog box. Only keys the focused control leaves
// unused arrive here, so Enter in an open device list picks the device and saves nothing.
void SetupDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        okButton_->click();
        return;
    case Qt::Key_Escape:
        cancelButton_->click();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void SetupDialog::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange) {
        return;
    }
    if (isActiveWindow()) {
        wasActive_ = true;
    } else if (wasActive_ && isVisible() && !ownMessageShown_) {
        close(); // the operator went elsewhere: nothing is saved
    }
}

} // namespace app
