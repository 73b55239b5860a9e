#pragma once
// The wall window's controls found as a person finds them: by their object names.
#include "app/cart_wall_panel.h"
#include "app/control_strip.h"
#include "app/main_window.h"
#include "search/search_window.h"
#include "session/wall_session.h"
#include "widgets/cart_button.h"

#include <QAction>
#include <QMenu>

inline app::ControlStrip& strip(QWidget& w) {
    return *w.findChild<app::ControlStrip*>();
}
inline app::CartWallPanel& wallPanel(QWidget& w) {
    return *w.findChild<app::CartWallPanel*>();
}
inline widgets::CartButton* cartButton(QWidget& w, int n) {
    return wallPanel(w).cartButton(n);
}
inline QAction* action(QWidget& w, const QString& name) {
    return w.findChild<QAction*>(name);
}
inline QMenu* menu(QWidget& w, const char* name) {
    return w.findChild<QMenu*>(QString::fromLatin1(name));
}
inline search::SearchWindow& searchWindow(QWidget& w) {
    return *w.findChild<search::SearchWindow*>();
}
