#pragma once
// The profile commands of the wall: the profile list in the profile box and the F10 menu,
// saving the wall, switching to another profile, new and deleted profiles, clearing the wall,
// and the question about unsaved changes when the program closes. No widgets: the box, the
// new-profile dialog and the wall are reached through the interfaces below.
#include "carts/cart_buttons.h"
#include "carts/cart_table.h"
#include "carts/profile_folder.h"
#include "session/wall_ports.h"

#include <QStringList>

#include <functional>
#include <optional>

namespace core {
class MessageSink;
}

namespace session {

class BlockSequencer;

// The profile box with its two buttons, and the label that names the current profile.
class ProfileView {
public:
    virtual ~ProfileView() = default;
    // Fills the box in this order; the first entry is selected, none when the list is empty.
    virtual void setProfileNames(const QStringList& names) = 0;
    virtual QStringList profileNames() const = 0;
    virtual int selectedProfile() const = 0; // -1: none
    virtual void selectProfile(int index) = 0;
    virtual void setProfileButtonsEnabled(bool enabled) = 0; // "Ativar" and "Salvar"
    virtual void showCurrentProfile(const QString& text) = 0;
};

class ProfileNamePrompt {
public:
    virtual ~ProfileNamePrompt() = default;
    // The name typed (in upper case); nullopt on "Cancelar".
    virtual std::optional<QString> askProfileName() = 0;
};

inline QString invalidProfileNameMessage() {
    return QStringLiteral("Nome de Perfil Inválido - Verifique !!");
}
inline QString profileWriteErrorMessage() {
    return QStringLiteral("Erro ao Gravar arquivo de Log");
}
inline QString invalidProfileMessage() {
    return QStringLiteral("Perfil Inválido");
}
inline QString profileChangedQuestion() {
    return QStringLiteral("Perfil foi alterado, Deseja Salvar ??");
}
inline QString replaceProfileQuestion() {
    return QStringLiteral("Perfil já Existente - Deseja Subtitui-lo ??");
}
inline QString deleteProfileQuestion() {
    return QStringLiteral("Confirma a Exclusão do Perfil ??");
}

struct ProfileDeps {
    carts::Wall& wall;
    const carts::ProfileFolder& folder;
    PlayerBank& players;
    WallView& wallView;
    carts::CartButtons& buttons;
    BlockSequencer& block;
    ProfileView& view;
    ProfileNamePrompt& namePrompt;
    core::MessageSink& messages;
};

class ProfileCommands {
public:
    explicit ProfileCommands(const ProfileDeps& deps) : d_(deps) {}

    // Runs after every profile loaded into the wall (for example to open its files early).
    void setWallLoadedHook(std::function<void()> hook) { wallLoaded_ = std::move(hook); }

    // Re-reads the profile folder into the box; with no profile "Ativar" and "Salvar" are off.
    void listProfiles();
    // Writes the wall as profile `name`; clears the change flag on success.
    bool saveProfile(const QString& name);
    // "Salvar": under the current profile, else under the one selected in the box.
    void saveWall();
    // Entry `index` of the box: offers a changed wall for saving as mayClose does (and stays
    // on the wall when no name is given or the save fails), loads the profile, makes it the
    // current one.
    void selectProfile(int index);
    // "Ativar": the entry selected in the box, as the F10 list would.
    void activateSelected();
    // "Novo" / "Novo Perfil": a new profile of 96 empty carts; the wall is not touched.
    void createProfile();
    // "Excluir Perfil": the entry selected in the box, after a question.
    void deleteSelected();
    // Empties every cart, stops and frees their players, empties the block.
    void clearWall();
    // The wall of profile `name`, which becomes the current profile; false (and the wall as it
    // was) when the file cannot be read.
    bool loadProfile(const QString& name);
    // Closing the program: a changed wall is offered for saving. False when the program should
    // stay open (the operator gave up choosing a name, or the save failed).
    bool mayClose();

private:
    // A changed wall is offered for saving, under the current profile or a name asked for;
    // false when the wall must stay as it is (no name given, or the save failed).
    bool offerSave();
    bool isNameAccepted(const QString& name);
    std::optional<QString> askNewName();
    void showIdleLook(int n);

    ProfileDeps d_;
    std::function<void()> wallLoaded_;
};

} // namespace session
