// The pop-up menus of the window, the profile box, the Sair/Minimizar buttons and Panel2.
#include "app/main_window.h"
#include "widgets/color_btn.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QFrame>
#include <QMenu>
#include <QPushButton>

namespace app {

namespace {

struct MenuItem {
    const char* name;
    const char* caption; // "-" is a separator
    int tag;
};

QAction* addItem(QMenu* menu, const QString& name, const QString& caption, int tag) {
    QAction* action =
        caption == QLatin1String("-") ? menu->addSeparator() : menu->addAction(caption);
    action->setObjectName(name);
    action->setData(tag);
    return action;
}

} // namespace

void Tfrm_botonera::buildPopupMenu1() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    static const MenuItem before[] = {
        {"SobreoSoftware1", "Sobre o Software", 0},
        {"Inserirudio1", "Inserir Áudio no Cartucho", 1},
        {"Excluirudio1", "Excluir Áudio do Cartucho", 2},
        {"N1", "-", 3},
        {"SelecionarCor1", "Selecionar Cor para o Cartucho", 4},
        {"CorPadro1", "Cor Padrão", 5},
        {"N9", "-", 6},
        {"SelecionarCordeFonte1", "Selecionar Cor de Fonte", 7},
        {"N2", "-", 8},
        {"Propriedades1", "Propriedades do Áudio do Cartucho", 9},
        {"N3", "-", 10},
    };
    for (const MenuItem& item : before) {
        addItem(PopupMenu1, QString::fromUtf8(item.name), QString::fromUtf8(item.caption),
                item.tag);
    }

    QMenu* preferences = PopupMenu1->addMenu(QStringLiteral("Preferências"));
    preferences->menuAction()->setObjectName(QStringLiteral("Preferncias1"));
    preferences->menuAction()->setData(11);
    auto* stopGroup = new QActionGroup(preferences);
    // Neither item is checked while a cart's stop mode was never set.
    stopGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    QAction* stop =
        addItem(preferences, QStringLiteral("PararcomStop1"), QStringLiteral("Parar com Stop"), 0);
    QAction* fade =
        addItem(preferences, QStringLiteral("PararcomFade1"), QStringLiteral("Parar com Fade"), 0);
    for (QAction* a : {stop, fade}) {
        a->setCheckable(true);
        stopGroup->addAction(a);
    }
    stop->setChecked(true);

    static const MenuItem after[] = {
        {"N4", "-", 12},
        {"RenomearCartucho1", "Renomear Cartucho", 13},
        {"N5", "-", 14},
        {"Loop1", "Loop", 15},
        {"N8", "-", 16},
        {"Copia1", "Copia Cartucho Selecionado", 17},
        {"Colar1", "Colar Cartucho", 18},
        {"N10", "-", 0},
        {"Pesquisaudio1", "Pesquisa Áudio", 0},
        {"ListaPerfis1", "Lista Perfis", 0},
    };
    for (const MenuItem& item : after) {
        addItem(PopupMenu1, QString::fromUtf8(item.name), QString::fromUtf8(item.caption),
                item.tag);
    }
    actionByName(QStringLiteral("Loop1"))->setCheckable(true);

    // The three shortcuts work anywhere in the window, menu open or not.
    const struct {
        const char* name;
        Qt::Key key;
        void (Tfrm_botonera::*slot)();
    } shortcuts[] = {
        {"SobreoSoftware1", Qt::Key_F1, &Tfrm_botonera::SobreoSoftware1Click},
        {"Pesquisaudio1", Qt::Key_F3, &Tfrm_botonera::Pesquisaudio1Click},
        {"ListaPerfis1", Qt::Key_F10, &Tfrm_botonera::ListaPerfis1Click},
    };
    for (const auto& s : shortcuts) {
        QAction* action = actionByName(QString::fromUtf8(s.name));
        action->setShortcut(QKeySequence(s.key));
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        connect(action, &QAction::triggered, this, s.slot);
    }
}

void Tfrm_botonera::buildMenus() {
    buildPopupMenu1();

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    addItem(PopupMenu2, QStringLiteral("NovoPerfil1"), QStringLiteral("Novo Perfil"), 0);
    addItem(PopupMenu2, QStringLiteral("N6"), QStringLiteral("-"), 0);
    addItem(PopupMenu2, QStringLiteral("SalvarPerfil1"), QStringLiteral("Salvar Perfil"), 0);
    addItem(PopupMenu2, QStringLiteral("N7"), QStringLiteral("-"), 0);
    addItem(PopupMenu2, QStringLiteral("ExcluirPerfil1"), QStringLiteral("Excluir Perfil"), 0);

    PopupMenu3 = new QMenu(this);
    PopupMenu3->setObjectName(QStringLiteral("PopupMenu3"));
    connect(addItem(PopupMenu3, QStringLiteral("Sair1"), QStringLiteral("Sair"), 0),
            &QAction::triggered, this, &Tfrm_botonera::BitBtn1Click);
    connect(addItem(PopupMenu3, QStringLiteral("Minimizar1"), QStringLiteral("Minimizar"), 0),
            &QAction::triggered, this, &Tfrm_botonera::BitBtn6Click);

    PopupMenu4 = new QMenu(this);
    PopupMenu4->setObjectName(QStringLiteral("PopupMenu4"));

    auto popupAt = [](QMenu* menu, QWidget* owner) {
        return [menu, owner](const QPoint& pos) { menu->popup(owner->mapToGlobal(pos)); };
    };
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, popupAt(PopupMenu1, this));
    connect(Panel1, &QWidget::customContextMenuRequested, this, popupAt(PopupMenu1, Panel1));
    connect(Panel2, &QWidget::customContextMenuRequested, this, popupAt(PopupMenu4, Panel2));
    connect(FlatComboBox1, &QWidget::customContextMenuRequested, this,
            popupAt(PopupMenu2, FlatComboBox1));
    connect(BitBtn1, &QWidget::customContextMenuRequested, this, popupAt(PopupMenu3, BitBtn1));
    connect(BitBtn6, &QWidget::customContextMenuRequested, this, popupAt(PopupMenu3, BitBtn6));
}

QAction* Tfrm_botonera::actionByName(const QString& objectName) const {
    // Every item, a submenu's too, is a descendant of its menu.
    for (QMenu* menu : {PopupMenu1, PopupMenu2, PopupMenu3, PopupMenu4}) {
        if (menu != nullptr) {
            if (auto* action = menu->findChild<QAction*>(objectName)) {
                return action;
            }
        }
    }
    return nullptr;
}

} // namespace app
