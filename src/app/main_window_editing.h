#pragma once
// The window's side of the cart editing commands: its buttons and players as the commands see
// them, and the commands themselves.
#include "app/main_window.h"
#include "app/qt_editing_dialogs.h"
#include "app/rename_cart_dialog.h"
#include "carts/cart_buttons.h"
#include "carts/cart_editing.h"
#include "carts/editing_ports.h"
#include "carts/loudness_service.h"
#include "widgets/bgr_color.h"
#include "widgets/cart_button.h"

#include <memory>

namespace app {

class WindowCartButtons : public carts::CartButtons {
public:
    explicit WindowCartButtons(MainWindow& w) : w_(w) {}
    void setCaption(int n, const QString& caption) override {
        w_.cartButton(n)->setCaption(caption);
    }
    void setFaceColour(int n, int bgr) override {
        w_.cartButton(n)->setButtonColor(widgets::colorFromBgr(bgr));
    }
    void setCaptionColour(int n, int bgr) override {
        w_.cartButton(n)->setFontColor(widgets::colorFromBgr(bgr));
    }
    void applyFace(const carts::CartFace& face) override {
        widgets::CartButton* b = w_.cartButton(face.tag);
        b->setTag(face.tag);
        b->setCaption(face.caption);
        b->setToolTip(face.hint);
        b->setButtonColor(widgets::colorFromBgr(face.faceColour));
        b->setFontColor(widgets::colorFromBgr(face.captionColour));
    }

private:
    MainWindow& w_;
};

class WindowCartPlayers : public carts::CartPlayers {
public:
    WindowCartPlayers(CartPlayerBank& players, carts::LoudnessService& loudness)
        : p_(players), loudness_(loudness) {}
    bool isPlaying(int n) const override { return p_.cart(n).isPlaying(); }
    // A cart deleted while on air is stopped first, so its stop event gives the emptied button
    // its idle look instead of leaving the on-air frame behind.
    void unload(int n) override {
        if (p_.cart(n).isPlaying()) {
            p_.cart(n).stop();
        }
        p_.cart(n).unload();
    }
    quint32 measureDurationMs(const QString& path) override {
        return carts::measureWithSparePlayer(p_.sparePlayer(), path);
    }
    void measureLoudness(const QString& path) override { loudness_.measure(path); }

private:
    CartPlayerBank& p_;
    carts::LoudnessService& loudness_;
};

struct MainWindow::Editing {
    Editing(MainWindow& w, carts::EditingDialogs* dialogs)
        : buttons(w), players(*w.players_, *w.loudness_),
          ownDialogs(dialogs == nullptr ? std::make_unique<QtEditingDialogs>(&w, *w.renameDialog_)
                                        : nullptr),
          editing(w.wall_, buttons, players, dialogs != nullptr ? *dialogs : *ownDialogs,
                  *w.env_.messages) {}
    WindowCartButtons buttons;
    WindowCartPlayers players;
    std::unique_ptr<carts::EditingDialogs> ownDialogs;
    carts::CartEditing editing;
};

} // namespace app
