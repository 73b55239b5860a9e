#include "app/control_strip.h"
#include "app/strip_widgets.h"
#include "widgets/cart_button.h"
#include "widgets/fader.h"
#include "widgets/interface_font.h"
#include "widgets/led_meter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>

namespace app {

namespace {

QFont fontOf(const QString& family, int pixelSize, bool bold = false) {
    QFont f(family);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

QFont sansSerif(int pixelSize, bool bold = false) {
    return widgets::interfaceFont(pixelSize, true, bold);
}

QLabel* makeLabel(QWidget* parent, const QString& text, QPoint at, const QFont& font,
                  QColor color = Qt::black) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, color);
    label->setPalette(pal);
    label->adjustSize();
    label->move(at);
    return label;
}

QPushButton* makeButton(QWidget* parent, const QString& caption, QRect at,
                        QStyle::StandardPixmap icon) {
    auto* button = new QPushButton(caption, parent);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setGeometry(at);
    return button;
}

} // namespace

ControlStrip::ControlStrip(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("controlStrip"));
    setGeometry(1, 1, 1000, 720);
    setAutoFillBackground(true);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setMouseTracking(true);

    buildDecorations();
    buildMeters();
    buildProfileControls();
    buildSwitches();
    buildBlock();
    buildWindowButtons();
}

template <class W> W* ControlStrip::add(W* widget, const char* objectName) {
    if (objectName != nullptr) {
        widget->setObjectName(QString::fromLatin1(objectName));
    }
    controls_.append(widget);
    return widget;
}

void ControlStrip::buildDecorations() {
    const QColor grey(128, 128, 128);
    const QColor silver(192, 192, 192);
    auto place = [this](QWidget* w, QRect at) { add(w, nullptr)->setGeometry(at); };
    place(new ShapeWidget(Qt::black, grey, 3, this), QRect(10, 590, 258, 47));
    place(new ShapeWidget(silver, silver, 1, this), QRect(271, 589, 42, 115));
    place(new ShapeWidget(silver, silver, 1, this), QRect(316, 588, 549, 116));
    place(new BevelWidget(BevelWidget::Kind::Box, this), QRect(9, 639, 258, 61));
    place(new BevelWidget(BevelWidget::Kind::Box, this), QRect(874, 620, 112, 79));
    place(new BevelWidget(BevelWidget::Kind::VerticalLine, this), QRect(161, 595, 2, 37));
    place(new BevelWidget(BevelWidget::Kind::HorizontalLine, this), QRect(318, 647, 468, 2));
    place(new BevelWidget(BevelWidget::Kind::VerticalLine, this), QRect(784, 592, 2, 111));
}

void ControlStrip::buildMeters() {
    upperMeter_ = add(new widgets::LedMeter(this), "upperMeter");
    lowerMeter_ = add(new widgets::LedMeter(this), "lowerMeter");
    int top = 598;
    for (widgets::LedMeter* meter : {upperMeter_, lowerMeter_}) {
        meter->setGeometry(19, top, 137, 13);
        meter->setPoint1(45);
        meter->setPoint2(75);
        meter->setBarColor(1, QColor(254, 248, 233));
        meter->setBarColor(2, QColor(253, 242, 208));
        meter->setInactiveColor(1, QColor(192, 192, 192));
        meter->setInactiveColor(2, QColor(192, 192, 192));
        top = 616;
    }

    clockLabel_ = add(makeLabel(this, QStringLiteral("00:00:00"), QPoint(174, 601),
                                sansSerif(19, true), Qt::white),
                      "clockLabel");
    clockLabel_->setGeometry(174, 601, 79, 24);
    clockLabel_->setToolTip(
        QStringLiteral("Tempo Regressivo do Cartucho\nTempo Regressivo do Bloco (sequenciador)"));

    masterFader_ = add(new widgets::Fader(this), "masterFader");
    masterFader_->setOrientation(widgets::Fader::Vertical);
    masterFader_->setMinValue(0);
    masterFader_->setMaxValue(100);
    masterFader_->setPosition(100);
    masterFader_->setLineSize(500);
    masterFader_->setThumbWidth(22);
    masterFader_->setThumbHeight(10);
    masterFader_->setThumbColor(QColor(0, 0, 128));
    masterFader_->setColor(QColor(192, 192, 192));
    masterFader_->setGeometry(276, 594, 30, 106);
    masterFader_->setToolTip(QStringLiteral("Volume Geral"));
}

void ControlStrip::buildProfileControls() {
    add(makeLabel(this, QStringLiteral("F10 - Escolha o Perfil:"), QPoint(329, 604),
                  sansSerif(11, true)),
        "profilePrompt");

    profileBox_ = add(new QComboBox(this), "profileBox");
    profileBox_->setGeometry(328, 617, 319, 19);
    profileBox_->setEditable(false); // a list to pick from, never typed into
    profileBox_->setFrame(false);    // flat
    profileBox_->setToolTip(QStringLiteral("Selecione o Perfil Desejado e clique em ATIVAR"));
    profileBox_->setContextMenuPolicy(Qt::CustomContextMenu);

    activateButton_ = add(makeButton(this, QStringLiteral("Ativar"), QRect(655, 610, 120, 32),
                                     QStyle::SP_DialogApplyButton),
                          "activateButton");
    activateButton_->setToolTip(QStringLiteral("Ativa o perfil Selecionado"));

    newProfileButton_ =
        add(makeButton(this, QStringLiteral("Novo"), QRect(330, 660, 82, 32), QStyle::SP_FileIcon),
            "newProfileButton");
    newProfileButton_->setToolTip(QStringLiteral("Novo Perfil de Cartuchos"));

    saveButton_ = add(makeButton(this, QStringLiteral("Salvar"), QRect(414, 660, 82, 32),
                                 QStyle::SP_DialogSaveButton),
                      "saveButton");
    saveButton_->setToolTip(QStringLiteral("Salva as Configurações Atuais"));

    add(makeLabel(this, QStringLiteral("F3 - Pesq."), QPoint(502, 665), sansSerif(11),
                  QColor(128, 128, 128)),
        "searchKeyLabel")
        ->setEnabled(false);
}

void ControlStrip::buildSwitches() {
    autoFadeBox_ = add(new QCheckBox(QStringLiteral("AUTO FADE"), this), "autoFadeBox");
    autoFadeBox_->setGeometry(604, 658, 97, 17);
    autoFadeBox_->setChecked(false);
    autoFadeBox_->setToolTip(QStringLiteral("Modo de execução não simultâneo"));

    autoMixBox_ = add(new QCheckBox(QStringLiteral("AUTO MIX"), this), "autoMixBox");
    autoMixBox_->setGeometry(604, 674, 97, 17);
    autoMixBox_->setChecked(true);
    autoMixBox_->setToolTip(QStringLiteral("Mixagem Automática entre Cartuchos"));

    setupButton_ =
        add(makeButton(this, QString(), QRect(719, 655, 57, 42), QStyle::SP_FileDialogDetailedView),
            "setupButton");
    setupButton_->setIconSize(QSize(32, 32));
}

void ControlStrip::buildBlock() {
    add(makeLabel(this, QStringLiteral("Bloco"), QPoint(805, 596), sansSerif(13, true)),
        "blockTitle");

    blockList_ = add(new QListWidget(this), "blockList");
    blockList_->setGeometry(799, 611, 55, 76);
    blockList_->setToolTip(QStringLiteral("Lista de Cartuchos"));
    blockList_->setFont(sansSerif(11, true));
    blockList_->setStyleSheet(
        QStringLiteral("QListWidget { background-color: rgb(0, 45, 89); color: white; }"
                       "QListWidget::item { height: 16px; }"));

    add(makeLabel(this, QStringLiteral("Qtd:"), QPoint(800, 686), sansSerif(11, true)),
        "blockCountCaption");
    blockCountLabel_ =
        add(makeLabel(this, QStringLiteral("0"), QPoint(835, 687), sansSerif(11, true)),
            "blockCountLabel");
}

void ControlStrip::buildWindowButtons() {
    cueButton_ = add(new widgets::CartButton(this), "cueButton");
    cueButton_->setGeometry(871, 585, 115, 28);
    cueButton_->setButtonColor(QColor(0, 128, 0));
    cueButton_->setFont(fontOf(QStringLiteral("Arial Rounded MT Bold"), 15));
    cueButton_->setFontColor(Qt::black);
    cueButton_->setFrame3D(true);
    cueButton_->setCaption(QStringLiteral("CUE"));
    cueButton_->setToolTip(QStringLiteral("Escuta"));

    minimizeButton_ = add(makeButton(this, QStringLiteral("Minimizar"), QRect(878, 627, 104, 25),
                                     QStyle::SP_TitleBarMinButton),
                          "minimizeButton");
    minimizeButton_->setContextMenuPolicy(Qt::CustomContextMenu);

    quitButton_ = add(makeButton(this, QStringLiteral("Sair"), QRect(889, 662, 86, 34),
                                 QStyle::SP_DialogCloseButton),
                      "quitButton");
    quitButton_->setContextMenuPolicy(Qt::CustomContextMenu);

    logo_ = add(new ClickableImage(this), "logo");
    logo_->setGeometry(17, 647, 243, 44);
    logo_->setPixmap(QPixmap(QStringLiteral(":/bandora/logo.jpg")));
}

} // namespace app
