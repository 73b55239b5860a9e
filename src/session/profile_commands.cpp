#include "session/profile_commands.h"

#include "carts/profile_format.h"
#include "core/message_sink.h"
#include "session/block_sequencer.h"
#include "session/cart_firing.h"

namespace session {

void ProfileCommands::listProfiles() {
    const QStringList names = d_.folder.names();
    d_.view.setProfileNames(names);
    d_.view.setProfileButtonsEnabled(!names.isEmpty());
}

bool ProfileCommands::isNameAccepted(const QString& name) {
    if (carts::ProfileFolder::isValidName(name)) {
        return true;
    }
    d_.messages.showMessage(invalidProfileNameMessage());
    return false;
}

bool ProfileCommands::saveProfile(const QString& name) {
    if (!isNameAccepted(name)) {
        return false;
    }
    if (!d_.folder.write(name, carts::profileLines(d_.wall.table))) {
        d_.messages.showMessage(profileWriteErrorMessage());
        return false;
    }
    d_.wall.profileChanged = false;
    return true;
}

void ProfileCommands::saveWall() {
    QString name = d_.wall.currentProfile;
    if (name.isEmpty()) {
        const QStringList names = d_.view.profileNames();
        const int selected = d_.view.selectedProfile();
        if (selected >= 0 && selected < names.size()) {
            name = names.at(selected).trimmed();
        }
    }
    if (!saveProfile(name)) {
        return;
    }
    // The wall is now that profile's, so a later switch offers to save its changes there.
    if (d_.wall.currentProfile.isEmpty()) {
        d_.wall.currentProfile = name;
        d_.view.showCurrentProfile(QStringLiteral("Perfil Atual: ") + name);
    }
}

void ProfileCommands::selectProfile(int index) {
    const QStringList names = d_.view.profileNames();
    const int selected = d_.view.selectedProfile();
    if (selected < 0 || selected >= names.size() || names.at(selected).isEmpty() || index < 0 ||
        index >= names.size()) {
        d_.messages.showMessage(invalidProfileMessage());
        return;
    }
    // A changed wall is not replaced unless it was saved or the operator declined to save it.
    if (!offerSave()) {
        return;
    }
    const QString name = names.at(index).trimmed();
    if (!carts::ProfileFolder::isValidName(name) || !loadProfile(name)) {
        d_.messages.showMessage(invalidProfileMessage());
        return;
    }
    d_.view.selectProfile(index);
    d_.view.showCurrentProfile(QStringLiteral("Perfil Atual: ") + name);
}

void ProfileCommands::activateSelected() {
    selectProfile(d_.view.selectedProfile());
}

// The new-profile dialog's name, refused when it is no file name, and the replace question
// when such a profile exists; nullopt when nothing is to be written.
std::optional<QString> ProfileCommands::askNewName() {
    const std::optional<QString> typed = d_.namePrompt.askProfileName();
    if (!typed || !isNameAccepted(*typed)) {
        return std::nullopt;
    }
    // Blanks around a name would give a file that selecting it (which trims) never finds.
    const QString name = typed->trimmed();
    if (d_.folder.exists(name) && !d_.messages.confirm(replaceProfileQuestion())) {
        return std::nullopt;
    }
    return name;
}

void ProfileCommands::createProfile() {
    const std::optional<QString> name = askNewName();
    if (!name) {
        return;
    }
    if (!d_.folder.write(*name, carts::blankProfileLines())) {
        d_.messages.showMessage(profileWriteErrorMessage());
    }
    listProfiles();
}

void ProfileCommands::deleteSelected() {
    const QStringList names = d_.view.profileNames();
    const int selected = d_.view.selectedProfile();
    if (selected < 0 || selected >= names.size()) {
        return;
    }
    const QString& name = names.at(selected);
    if (d_.folder.exists(name) && d_.messages.confirm(deleteProfileQuestion())) {
        d_.folder.remove(name);
        listProfiles();
    }
}

void ProfileCommands::showIdleLook(int n) {
    d_.wallView.setCaption(n, QString());
    d_.buttons.setFaceColour(n, carts::kDefaultFaceColour);
    d_.wallView.setQueued(n, false);
    d_.wallView.setFrame(n, kIdleFrameColour, kIdleFrameWidth);
}

void ProfileCommands::clearWall() {
    // The fields go first, so no stopping cart finds its loop flag and starts again.
    for (int n = 1; n <= carts::kCartCount; ++n) {
        d_.wall.table[n].clearKeepingDuration();
    }
    for (int n = 1; n <= carts::kCartCount; ++n) {
        d_.players.cart(n).unload();
    }
    for (int n = 1; n <= carts::kCartCount; ++n) {
        showIdleLook(n);
    }
    d_.block.clear();
    d_.wallView.setMeters(0, 0);
    // Nothing is on air any more: a count-down left standing would mislead.
    d_.wallView.setClockText(QStringLiteral("00:00:00"));
}

bool ProfileCommands::loadProfile(const QString& name) {
    std::optional<carts::CartTable> table = d_.folder.read(name);
    if (!table) {
        return false;
    }
    clearWall();
    d_.wall.table = std::move(*table);
    carts::refreshWall(d_.wall.table, d_.buttons);
    d_.wall.profileChanged = false;
    d_.wall.currentProfile = name; // before the hook, whose observers name the new profile
    if (wallLoaded_) {
        wallLoaded_();
    }
    return true;
}

bool ProfileCommands::mayClose() {
    return offerSave();
}

bool ProfileCommands::offerSave() {
    if (!d_.wall.profileChanged || !d_.messages.confirm(profileChangedQuestion())) {
        return true;
    }
    QString name = d_.wall.currentProfile;
    if (name.isEmpty()) {
        const std::optional<QString> typed = askNewName();
        if (!typed) {
            return false; // no name given: the wall stays, nothing is lost
        }
        name = *typed;
    }
    return saveProfile(name);
}

} // namespace session
