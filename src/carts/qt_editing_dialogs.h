#pragma once
// The editing commands' dialogs on Qt: the open-file dialog `abre`, the colour dialog `cor`
// and the rename dialog. All three live as long as this object, so the file dialog keeps its
// folder and the colour dialog its last colour.
#include "carts/editing_ports.h"

#include <QColor>
#include <QPointer>

#include <QColorDialog>
#include <QFileDialog>

namespace carts {

class Tform_nomear;

inline constexpr int kCorInicialDialogo = 14540287; // 00DDDDFF: the colour dialog's first colour

class QtEditingDialogs : public EditingDialogs {
public:
    QtEditingDialogs(QWidget* parent, Tform_nomear& renameDialog);
    ~QtEditingDialogs() override;

    std::optional<QString> chooseAudioFile(const QString& title) override;
    std::optional<int> chooseColour() override;
    std::optional<QString> rename(int cartNumber, const QString& currentName) override;

    QFileDialog& abre() { return *abre_; }
    QColorDialog& cor() { return *cor_; }

private:
    // Children of the parent widget; whichever of the two goes first deletes them.
    QPointer<QFileDialog> abre_;
    QPointer<QColorDialog> cor_;
    Tform_nomear& nomear_;
    int lastColour_ = kCorInicialDialogo;
};

} // namespace carts
