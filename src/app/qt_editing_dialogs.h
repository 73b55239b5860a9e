#pragma once
// The editing commands' dialogs on Qt: the open-file dialog `fileDialog`, the colour dialog
// `colourDialog` and the rename dialog. All three live as long as this object, so the file dialog
// keeps its folder and the colour dialog its last colour.
#include "carts/editing_ports.h"

#include <QColor>
#include <QPointer>

#include <QColorDialog>
#include <QFileDialog>

namespace app {

class RenameCartDialog;

inline constexpr int kFirstDialogColour = 14540287; // 00DDDDFF: the colour dialog's first colour

class QtEditingDialogs : public carts::EditingDialogs {
public:
    QtEditingDialogs(QWidget* parent, RenameCartDialog& renameDialog);
    ~QtEditingDialogs() override;

    std::optional<QString> chooseAudioFile(const QString& title) override;
    std::optional<carts::Colour> chooseColour() override;
    std::optional<QString> rename(int cartNumber, const QString& currentName) override;

    QFileDialog& fileDialog() { return *fileDialog_; }
    QColorDialog& colourDialog() { return *colourDialog_; }

private:
    // Children of the parent widget; whichever of the two goes first deletes them.
    QPointer<QFileDialog> fileDialog_;
    QPointer<QColorDialog> colourDialog_;
    RenameCartDialog& renameDialog_;
    int lastColour_ = kFirstDialogColour;
};

} // namespace app
