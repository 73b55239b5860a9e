#pragma once
// The window's side of the profile commands: its profile box and labels as the commands see
// them, and the commands themselves.
#include "app/cart_wall_panel.h"
#include "app/control_strip.h"
#include "app/main_window.h"
#include "app/main_window_editing.h"
#include "app/profile_commands.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace app {

class WindowProfileView : public ProfileView {
public:
    explicit WindowProfileView(MainWindow& w) : w_(w) {}
    void setProfileNames(const QStringList& names) override {
        QComboBox* box = w_.strip().profileBox();
        box->clear();
        box->addItems(names);
        box->setCurrentIndex(names.isEmpty() ? -1 : 0);
    }
    QStringList profileNames() const override {
        const QComboBox* box = w_.strip().profileBox();
        QStringList names;
        for (int i = 0; i < box->count(); ++i) {
            names.append(box->itemText(i));
        }
        return names;
    }
    int selectedProfile() const override { return w_.strip().profileBox()->currentIndex(); }
    void selectProfile(int index) override { w_.strip().profileBox()->setCurrentIndex(index); }
    void setProfileButtonsEnabled(bool enabled) override {
        w_.strip().activateButton()->setEnabled(enabled);
        w_.strip().saveButton()->setEnabled(enabled);
    }
    void showCurrentProfile(const QString& text) override {
        w_.wallPanel().statusLabel()->setText(text);
    }

private:
    MainWindow& w_;
};

struct MainWindow::Profiles {
    Profiles(MainWindow& w, ProfileNamePrompt& prompt)
        : folder(w.env_.programDir), view(w),
          commands(ProfileDeps{w.wall_, folder, *w.players_, w.view_, w.editing_->buttons,
                               *w.block_, view, prompt, *w.env_.messages}) {}
    carts::ProfileFolder folder;
    WindowProfileView view;
    ProfileCommands commands;
};

} // namespace app
