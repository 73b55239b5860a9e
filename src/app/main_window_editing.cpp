// The cart commands of the pop-up menu and files dropped from the file manager, on the
// window's buttons, players and dialogs.
#include "app/main_window_editing.h"
#include "app/cart_firing.h"
#include "carts/cart_editing.h"
#include "carts/qt_editing_dialogs.h"
#include "carts/tform_nomear.h"
#include "widgets/bgr_color.h"
#include "widgets/color_btn.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QTimer>

namespace app {

void Tfrm_botonera::createEditing() {
    form_nomear = new carts::Tform_nomear(this);
    editing_ = std::make_unique<Editing>(*this, env_.dialogs);
    carts::CartEditing& e = editing_->editing;

    const struct {
        const char* name;
        std::function<void()> run;
    } commands[] = {
        {"Inserirudio1", [&e] { e.Inserirudio1Click(); }},
        {"Excluirudio1", [&e] { e.Excluirudio1Click(); }},
        {"SelecionarCor1", [&e] { e.SelecionarCor1Click(); }},
        {"CorPadro1", [&e] { e.CorPadro1Click(); }},
        {"SelecionarCordeFonte1", [&e] { e.SelecionarCordeFonte1Click(); }},
        {"Propriedades1", [&e] { e.Propriedades1Click(); }},
        {"RenomearCartucho1", [&e] { e.RenomearCartucho1Click(); }},
        {"Copia1", [&e] { e.Copia1Click(); }},
        {"Colar1", [&e] { e.Colar1Click(); }},
        {"PararcomStop1", [this] { firing_->PararcomStop1Click(); }},
        {"PararcomFade1", [this] { firing_->PararcomFade1Click(); }},
        {"Loop1", [this] { firing_->Loop1Click(); }},
    };
    for (const auto& command : commands) {
        connect(actionByName(QString::fromUtf8(command.name)), &QAction::triggered, this,
                command.run);
    }
    connect(PopupMenu1, &QMenu::aboutToShow, this, &Tfrm_botonera::PopupMenu1Popup);
}

carts::CartEditing& Tfrm_botonera::editing() {
    return editing_->editing;
}

void Tfrm_botonera::PopupMenu1Popup() {
    const std::optional<carts::PopupMenu1State> state = editing_->editing.PopupMenu1Popup();
    if (!state) {
        return;
    }
    const struct {
        const char* name;
        bool enabled;
    } items[] = {
        {"SobreoSoftware1", state->SobreoSoftware1},
        {"Inserirudio1", state->Inserirudio1},
        {"Excluirudio1", state->Excluirudio1},
        {"SelecionarCor1", state->SelecionarCor1},
        {"CorPadro1", state->CorPadro1},
        {"SelecionarCordeFonte1", state->SelecionarCordeFonte1},
        {"Propriedades1", state->Propriedades1},
        {"Preferncias1", state->Preferncias1},
        {"RenomearCartucho1", state->RenomearCartucho1},
        {"Loop1", state->Loop1},
        {"Copia1", state->Copia1},
        {"Colar1", state->Colar1},
        {"Pesquisaudio1", state->Pesquisaudio1},
        {"ListaPerfis1", state->ListaPerfis1},
    };
    for (const auto& item : items) {
        actionByName(QString::fromUtf8(item.name))->setEnabled(item.enabled);
    }
    actionByName(QStringLiteral("PararcomStop1"))->setChecked(state->PararcomStop1Checked);
    actionByName(QStringLiteral("PararcomFade1"))->setChecked(state->PararcomFade1Checked);
    actionByName(QStringLiteral("Loop1"))->setChecked(state->Loop1Checked);
}

void Tfrm_botonera::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void Tfrm_botonera::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasUrls()) {
        return;
    }
    event->acceptProposedAction();
    // Handled after the drop returns: it may open the colour dialog or a message, and the
    // file manager waits for the drop to finish.
    const QList<QUrl> urls = event->mimeData()->urls();
    QTimer::singleShot(0, this, [this, urls] { editing_->editing.DropFiles(urls); });
}

} // namespace app
