#include "carts/qt_editing_dialogs.h"

#include "carts/tform_nomear.h"
#include "widgets/bgr_color.h"

namespace carts {

QtEditingDialogs::QtEditingDialogs(QWidget* parent, Tform_nomear& renameDialog)
    : abre_(new QFileDialog(parent)), cor_(new QColorDialog(parent)), nomear_(renameDialog) {
    abre_->setAcceptMode(QFileDialog::AcceptOpen);
    abre_->setFileMode(QFileDialog::ExistingFile);
    // Both cases listed: the dialog matches masks case-sensitively on Linux.
    abre_->setNameFilter(QStringLiteral("Mp3 / Wav / Wma (*.mp3 *.wav *.wma *.MP3 *.WAV *.WMA)"));
    abre_->setDefaultSuffix(QStringLiteral("mp3"));
}

QtEditingDialogs::~QtEditingDialogs() {
    delete abre_.data();
    delete cor_.data();
}

std::optional<QString> QtEditingDialogs::chooseAudioFile(const QString& title) {
    abre_->setWindowTitle(title);
    if (abre_->exec() != QDialog::Accepted || abre_->selectedFiles().isEmpty())
        return std::nullopt;
    return abre_->selectedFiles().constFirst();
}

std::optional<int> QtEditingDialogs::chooseColour() {
    cor_->setCurrentColor(widgets::colorFromBgr(lastColour_));
    if (cor_->exec() != QDialog::Accepted)
        return std::nullopt;
    lastColour_ = widgets::bgrFromColor(cor_->selectedColor());
    return lastColour_;
}

std::optional<QString> QtEditingDialogs::rename(int cartNumber, const QString& currentName) {
    if (nomear_.execFor(cartNumber, currentName) != QDialog::Accepted)
        return std::nullopt;
    return nomear_.text();
}

} // namespace carts
