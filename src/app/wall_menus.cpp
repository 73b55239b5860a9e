#include "app/wall_menus.h"
#include "carts/cart_editing.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QWidget>

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

void addItems(QMenu* menu, std::initializer_list<MenuItem> items) {
    for (const MenuItem& item : items) {
        addItem(menu, QString::fromUtf8(item.name), QString::fromUtf8(item.caption), item.tag);
    }
}

QMenu* makeMenu(QWidget* owner, const char* objectName) {
    auto* menu = new QMenu(owner);
    menu->setObjectName(QString::fromLatin1(objectName));
    return menu;
}

} // namespace

WallMenus::WallMenus(QWidget* owner) : QObject(owner) {
    buildCartMenu(owner);
    buildProfileMenu(owner);
    buildWindowMenu(owner);
    profileListMenu_ = makeMenu(owner, "profileListMenu");
}

void WallMenus::buildCartMenu(QWidget* owner) {
    cartMenu_ = makeMenu(owner, "cartMenu");
    addItems(cartMenu_, {
                            {"aboutAction", "Sobre o Software", 0},
                            {"insertAudioAction", "Inserir Áudio no Cartucho", 1},
                            {"deleteAudioAction", "Excluir Áudio do Cartucho", 2},
                            {"", "-", 3},
                            {"faceColourAction", "Selecionar Cor para o Cartucho", 4},
                            {"defaultColourAction", "Cor Padrão", 5},
                            {"", "-", 6},
                            {"captionColourAction", "Selecionar Cor de Fonte", 7},
                            {"", "-", 8},
                            {"propertiesAction", "Propriedades do Áudio do Cartucho", 9},
                            {"markersAction", "Marcas do Áudio", 0},
                            {"learnMidiAction", "Aprender MIDI", 0},
                            {"", "-", 10},
                        });

    QMenu* preferences = cartMenu_->addMenu(QStringLiteral("Preferências"));
    preferences->menuAction()->setObjectName(QStringLiteral("preferencesMenu"));
    preferences->menuAction()->setData(11);
    auto* stopGroup = new QActionGroup(preferences);
    // Neither item is checked while a cart's stop mode was never set.
    stopGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    QAction* cut = addItem(preferences, QStringLiteral("stopWithCutAction"),
                           QStringLiteral("Parar com Stop"), 0);
    QAction* fade = addItem(preferences, QStringLiteral("stopWithFadeAction"),
                            QStringLiteral("Parar com Fade"), 0);
    for (QAction* a : {cut, fade}) {
        a->setCheckable(true);
        stopGroup->addAction(a);
    }
    cut->setChecked(true);

    addItems(cartMenu_, {
                            {"", "-", 12},
                            {"renameAction", "Renomear Cartucho", 13},
                            {"", "-", 14},
                            {"loopAction", "Loop", 15},
                            {"", "-", 16},
                            {"copyAction", "Copia Cartucho Selecionado", 17},
                            {"pasteAction", "Colar Cartucho", 18},
                            {"", "-", 0},
                            {"searchAudioAction", "Pesquisa Áudio", 0},
                            {"profileListAction", "Lista Perfis", 0},
                        });
    action(QStringLiteral("loopAction"))->setCheckable(true);
}

void WallMenus::buildProfileMenu(QWidget* owner) {
    profileMenu_ = makeMenu(owner, "profileMenu");
    addItems(profileMenu_, {
                               {"newProfileAction", "Novo Perfil", 0},
                               {"", "-", 0},
                               {"saveProfileAction", "Salvar Perfil", 0},
                               {"", "-", 0},
                               {"deleteProfileAction", "Excluir Perfil", 0},
                           });
}

void WallMenus::buildWindowMenu(QWidget* owner) {
    windowMenu_ = makeMenu(owner, "windowMenu");
    addItems(windowMenu_, {
                              {"quitAction", "Sair", 0},
                              {"minimizeAction", "Minimizar", 0},
                              {"asRunLogAction", "Registro de Execução", 0},
                          });
}

QAction* WallMenus::action(const QString& objectName) const {
    if (objectName.isEmpty()) {
        return nullptr;
    }
    // Every item, a submenu's too, is a descendant of its menu.
    for (QMenu* menu : {cartMenu_, profileMenu_, windowMenu_, profileListMenu_}) {
        if (menu != nullptr) {
            if (auto* found = menu->findChild<QAction*>(objectName)) {
                return found;
            }
        }
    }
    return nullptr;
}

void WallMenus::applyCartMenuState(const carts::CartMenuState& state) {
    const struct {
        const char* name;
        bool enabled;
    } items[] = {
        {"aboutAction", state.about},
        {"insertAudioAction", state.insertAudio},
        {"deleteAudioAction", state.deleteAudio},
        {"faceColourAction", state.chooseColour},
        {"defaultColourAction", state.defaultColour},
        {"captionColourAction", state.chooseCaptionColour},
        {"propertiesAction", state.properties},
        {"markersAction", state.properties}, // a loaded cart, as its properties
        {"preferencesMenu", state.preferences},
        {"renameAction", state.rename},
        {"loopAction", state.loop},
        {"copyAction", state.copy},
        {"pasteAction", state.paste},
        {"searchAudioAction", state.searchAudio},
        {"profileListAction", state.profileList},
    };
    for (const auto& item : items) {
        action(QString::fromLatin1(item.name))->setEnabled(item.enabled);
    }
    action(QStringLiteral("stopWithCutAction"))->setChecked(state.stopWithCutChecked);
    action(QStringLiteral("stopWithFadeAction"))->setChecked(state.stopWithFadeChecked);
    action(QStringLiteral("loopAction"))->setChecked(state.loopChecked);
}

} // namespace app
