// Building the wall and the control strip at their design geometry, and fitting them to the
// screen.
#include "app/layout_scaling.h"
#include "app/main_window.h"
#include "app/strip_widgets.h"
#include "widgets/bgr_color.h"
#include "widgets/color_btn.h"
#include "widgets/mm_led_gauge.h"
#include "widgets/mm_slider.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>

namespace app {

namespace {

constexpr int kCartWidth = 120;
constexpr int kCartHeight = 42;
constexpr int kCartLeft = 4;
constexpr int kCartTop = 28;
constexpr int kCartStepX = 121;
constexpr int kCartStepY = 44;
constexpr int kColumns = 8;
constexpr int kDefaultFace = 9818331;

QFont fontOf(const QString& family, int pixelSize, bool bold = false) {
    QFont f(family);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
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

QPushButton* makeBitBtn(QWidget* parent, const QString& caption, QRect at,
                        QStyle::StandardPixmap icon) {
    auto* button = new QPushButton(caption, parent);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setGeometry(at);
    return button;
}

} // namespace

QString Tfrm_botonera::cartHint() const {
    const QString dir = QDir::toNativeSeparators(env_.programDir + QLatin1Char('/'));
    return QStringLiteral("Clique com o botão direito do Mouse para Listar as funções\r\r"
                          "DICA: Insira seus áudios na pasta:") +
           dir + QStringLiteral("ARQUIVOS") + QDir::separator() + QStringLiteral("\r") +
           QStringLiteral("F3 - Pesquisa Geral em todas Subpastas (\\ARQUIVOS\\)");
}

void Tfrm_botonera::buildPanels() {
    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(1, 1, 1000, 720);
    Panel2->setAutoFillBackground(true);
    Panel2->setContextMenuPolicy(Qt::CustomContextMenu);
    Panel2->setMouseTracking(true);

    buildDecorations();

    Panel1 = new QFrame(Panel2);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(10, 17, 976, 559);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(2);
    Panel1->setAutoFillBackground(true);
    QPalette black = Panel1->palette();
    black.setColor(QPalette::Window, Qt::black);
    Panel1->setPalette(black);
    Panel1->setContextMenuPolicy(Qt::CustomContextMenu);
    panel2Controls_.append(Panel1);

    Label1 = makeLabel(Panel1, QStringLiteral("Quallon Sistemas - Cartucheira Digital"),
                       QPoint(16, 6), fontOf(QStringLiteral("MS Sans Serif"), 16, true), Qt::white);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->resize(940, Label1->height());
}

void Tfrm_botonera::buildCartButtons() {
    const QString hint = cartHint();
    QFont cartFont(QStringLiteral("Times New Roman"));
    cartFont.setPointSize(8);
    for (int n = 1; n <= kCarts; ++n) {
        const int row = (n - 1) / kColumns;
        const int column = (n - 1) % kColumns;
        auto* b = new widgets::TColorBtn(Panel1);
        b->setObjectName(QStringLiteral("cart%1").arg(n));
        b->setBordaWidth(1);
        b->setFont(cartFont);
        b->setFontColor(Qt::black);
        b->setBordas(false);
        b->setUsarFocus(false);
        b->setButtonColor(widgets::colorFromBgr(kDefaultFace));
        b->setTag(n);
        b->setNumero(QString::number(n).rightJustified(2, QLatin1Char('0')));
        b->setGeometry(kCartLeft + kCartStepX * column, kCartTop + kCartStepY * row, kCartWidth,
                       kCartHeight);
        b->setCaption(QString());
        b->setToolTip(QString(hint).replace(QLatin1Char('\r'), QLatin1Char('\n')));
        b->setProperty("Hint", hint);
        b->setCursor(Qt::PointingHandCursor);
        b->setContextMenuPolicy(Qt::CustomContextMenu);
        carts_[n] = b;
    }
}

void Tfrm_botonera::buildControlStrip() {
    const QFont bold = fontOf(QStringLiteral("MS Sans Serif"), 11, true);

    meter1 = new widgets::TMMLEDGauge(Panel2);
    Meter2 = new widgets::TMMLEDGauge(Panel2);
    int top = 598;
    for (widgets::TMMLEDGauge* meter : {meter1, Meter2}) {
        meter->setGeometry(19, top, 137, 13);
        meter->setPoint1(45);
        meter->setPoint2(75);
        meter->setBarColor(1, QColor(254, 248, 233));
        meter->setBarColor(2, QColor(253, 242, 208));
        meter->setInactiveColor(1, QColor(192, 192, 192));
        meter->setInactiveColor(2, QColor(192, 192, 192));
        panel2Controls_.append(meter);
        top = 616;
    }
    meter1->setObjectName(QStringLiteral("meter1"));
    Meter2->setObjectName(QStringLiteral("Meter2"));

    Label2 = makeLabel(Panel2, QStringLiteral("00:00:00"), QPoint(174, 601),
                       fontOf(QStringLiteral("MS Sans Serif"), 19, true), Qt::white);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(174, 601, 79, 24);
    Label2->setToolTip(
        QStringLiteral("Tempo Regressivo do Cartucho\nTempo Regressivo do Bloco (sequenciador)"));
    Label2->setProperty("Tag", 0);
    panel2Controls_.append(Label2);

    MMSlider1 = new widgets::TMMSlider(Panel2);
    MMSlider1->setObjectName(QStringLiteral("MMSlider1"));
    MMSlider1->setOrientation(widgets::TMMSlider::orVertical);
    MMSlider1->setMinValue(0);
    MMSlider1->setMaxValue(100);
    MMSlider1->setPosition(100);
    MMSlider1->setLineSize(500);
    MMSlider1->setThumbWidth(22);
    MMSlider1->setThumbHeight(10);
    MMSlider1->setThumbColor(QColor(0, 0, 128));
    MMSlider1->setColor(QColor(192, 192, 192));
    MMSlider1->setGeometry(276, 594, 30, 106);
    MMSlider1->setToolTip(QStringLiteral("Volume Geral"));
    panel2Controls_.append(MMSlider1);

    Label3 = makeLabel(Panel2, QStringLiteral("F10 - Escolha o Perfil:"), QPoint(329, 604), bold);
    Label3->setObjectName(QStringLiteral("Label3"));
    panel2Controls_.append(Label3);

    FlatComboBox1 = new QComboBox(Panel2);
    FlatComboBox1->setObjectName(QStringLiteral("FlatComboBox1"));
    FlatComboBox1->setGeometry(328, 617, 319, 19);
    FlatComboBox1->setToolTip(QStringLiteral("Selecione o Perfil Desejado e clique em ATIVAR"));
    FlatComboBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    panel2Controls_.append(FlatComboBox1);

    BitBtn2 = makeBitBtn(Panel2, QStringLiteral("Ativar"), QRect(655, 610, 120, 32),
                         QStyle::SP_DialogApplyButton);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setToolTip(QStringLiteral("Ativa o perfil Selecionado"));
    panel2Controls_.append(BitBtn2);

    BitBtn4 =
        makeBitBtn(Panel2, QStringLiteral("Novo"), QRect(330, 660, 82, 32), QStyle::SP_FileIcon);
    BitBtn4->setObjectName(QStringLiteral("BitBtn4"));
    BitBtn4->setToolTip(QStringLiteral("Novo Perfil de Cartuchos"));
    panel2Controls_.append(BitBtn4);

    BitBtn3 = makeBitBtn(Panel2, QStringLiteral("Salvar"), QRect(414, 660, 82, 32),
                         QStyle::SP_DialogSaveButton);
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
    BitBtn3->setToolTip(QStringLiteral("Salva as Configurações Atuais"));
    panel2Controls_.append(BitBtn3);

    Label8 = makeLabel(Panel2, QStringLiteral("F3 - Pesq."), QPoint(502, 665),
                       fontOf(QStringLiteral("MS Sans Serif"), 11), QColor(128, 128, 128));
    Label8->setObjectName(QStringLiteral("Label8"));
    Label8->setEnabled(false);
    panel2Controls_.append(Label8);

    CheckBox1 = new QCheckBox(QStringLiteral("AUTO FADE"), Panel2);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(604, 658, 97, 17);
    CheckBox1->setChecked(false);
    CheckBox1->setToolTip(QStringLiteral("Modo de execução não simultâneo"));
    panel2Controls_.append(CheckBox1);

    CheckBox2 = new QCheckBox(QStringLiteral("AUTO MIX"), Panel2);
    CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
    CheckBox2->setGeometry(604, 674, 97, 17);
    CheckBox2->setChecked(true);
    CheckBox2->setToolTip(QStringLiteral("Mixagem Automática entre Cartuchos"));
    panel2Controls_.append(CheckBox2);

    BitBtn5 =
        makeBitBtn(Panel2, QString(), QRect(719, 655, 57, 42), QStyle::SP_FileDialogDetailedView);
    BitBtn5->setObjectName(QStringLiteral("BitBtn5"));
    BitBtn5->setIconSize(QSize(32, 32));
    panel2Controls_.append(BitBtn5);

    Label6 = makeLabel(Panel2, QStringLiteral("Bloco"), QPoint(805, 596),
                       fontOf(QStringLiteral("MS Sans Serif"), 13, true));
    Label6->setObjectName(QStringLiteral("Label6"));
    panel2Controls_.append(Label6);

    ListBox1 = new QListWidget(Panel2);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setGeometry(799, 611, 55, 76);
    ListBox1->setToolTip(QStringLiteral("Lista de Cartuchos"));
    ListBox1->setFont(fontOf(QStringLiteral("MS Sans Serif"), 11, true));
    ListBox1->setStyleSheet(
        QStringLiteral("QListWidget { background-color: rgb(0, 45, 89); color: white; }"
                       "QListWidget::item { height: 16px; }"));
    panel2Controls_.append(ListBox1);

    Label5 = makeLabel(Panel2, QStringLiteral("Qtd:"), QPoint(800, 686), bold);
    Label5->setObjectName(QStringLiteral("Label5"));
    panel2Controls_.append(Label5);
    Label4 = makeLabel(Panel2, QStringLiteral("0"), QPoint(835, 687), bold);
    Label4->setObjectName(QStringLiteral("Label4"));
    panel2Controls_.append(Label4);

    ColorBtn1 = new widgets::TColorBtn(Panel2);
    ColorBtn1->setObjectName(QStringLiteral("ColorBtn1"));
    ColorBtn1->setGeometry(871, 585, 115, 28);
    ColorBtn1->setButtonColor(QColor(0, 128, 0));
    ColorBtn1->setFont(fontOf(QStringLiteral("Arial Rounded MT Bold"), 15));
    ColorBtn1->setFontColor(Qt::black);
    ColorBtn1->setFrame3D(true);
    ColorBtn1->setCaption(QStringLiteral("CUE"));
    ColorBtn1->setToolTip(QStringLiteral("Escuta"));
    panel2Controls_.append(ColorBtn1);

    BitBtn6 = makeBitBtn(Panel2, QStringLiteral("Minimizar"), QRect(878, 627, 104, 25),
                         QStyle::SP_TitleBarMinButton);
    BitBtn6->setObjectName(QStringLiteral("BitBtn6"));
    BitBtn6->setContextMenuPolicy(Qt::CustomContextMenu);
    panel2Controls_.append(BitBtn6);

    BitBtn1 = makeBitBtn(Panel2, QStringLiteral("Sair"), QRect(889, 662, 86, 34),
                         QStyle::SP_DialogCloseButton);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setContextMenuPolicy(Qt::CustomContextMenu);
    panel2Controls_.append(BitBtn1);

    Image1 = new ClickableImage(Panel2);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(17, 647, 243, 44);
    Image1->setPixmap(QPixmap(QStringLiteral(":/bandora/logo.jpg")));
    panel2Controls_.append(Image1);
}

void Tfrm_botonera::buildDecorations() {
    const QColor grey(128, 128, 128);
    const QColor silver(192, 192, 192);
    auto add = [this](QWidget* w, QRect at) {
        w->setGeometry(at);
        panel2Controls_.append(w);
    };
    add(new ShapeWidget(Qt::black, grey, 3, Panel2), QRect(10, 590, 258, 47));
    add(new ShapeWidget(silver, silver, 1, Panel2), QRect(271, 589, 42, 115));
    add(new ShapeWidget(silver, silver, 1, Panel2), QRect(316, 588, 549, 116));
    add(new BevelWidget(BevelWidget::Kind::Box, Panel2), QRect(9, 639, 258, 61));
    add(new BevelWidget(BevelWidget::Kind::Box, Panel2), QRect(874, 620, 112, 79));
    add(new BevelWidget(BevelWidget::Kind::VerticalLine, Panel2), QRect(161, 595, 2, 37));
    add(new BevelWidget(BevelWidget::Kind::HorizontalLine, Panel2), QRect(318, 647, 468, 2));
    add(new BevelWidget(BevelWidget::Kind::VerticalLine, Panel2), QRect(784, 592, 2, 111));
}

widgets::TColorBtn* Tfrm_botonera::cartButton(int n) const {
    return (n >= 1 && n <= kCarts) ? carts_[n] : nullptr;
}

QList<QWidget*> Tfrm_botonera::panel1Controls() const {
    QList<QWidget*> controls{Label1};
    for (int n = 1; n <= kCarts; ++n) {
        controls.append(carts_[n]);
    }
    return controls;
}

QList<QWidget*> Tfrm_botonera::panel2Controls() const {
    return panel2Controls_;
}

void Tfrm_botonera::scaleForScreen(int m, int d) {
    const QList<QWidget*> all = findChildren<QWidget*>();
    for (QWidget* w : all) {
        if (w->isWindow()) {
            continue;
        }
        w->setGeometry(scaleBy(w->geometry(), m, d));
        if (w->testAttribute(Qt::WA_SetFont)) {
            QFont f = w->font();
            if (f.pixelSize() > 0) {
                f.setPixelSize(mulDiv(f.pixelSize(), m, d));
            } else {
                f.setPointSizeF(f.pointSizeF() * m / d);
            }
            w->setFont(f);
        }
    }
}

void Tfrm_botonera::AjustaControle(QWidget* c) {
    c->setGeometry(fitToWindow(c->geometry(), LarguraRef, AlturaRef, width(), height()));
}

void Tfrm_botonera::AjustaTela() {
    AjustaControle(Panel2);
    for (QWidget* c : panel2Controls_) {
        AjustaControle(c);
    }
    for (QWidget* c : panel1Controls()) {
        AjustaControle(c);
    }
    LarguraRef = width();
    AlturaRef = height();
}

} // namespace app
