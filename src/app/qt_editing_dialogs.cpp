#include "app/qt_editing_dialogs.h"

#include "app/rename_cart_dialog.h"
#include "widgets/bgr_color.h"

namespace app {

QtEditingDialogs::QtEditingDialogs(QWidget* parent, RenameCartDialog& renameDialog)
    : fileDialog_(new QFileDialog(parent)), colourDialog_(new QColorDialog(parent)),
      renameDialog_(renameDialog) {
    fileDialog_->setAcceptMode(QFileDialog::AcceptOpen);
    fileDialog_->setFileMode(QFileDialog::ExistingFile);
    // Both cases listed: the dialog matches masks case-sensitively on Linux.
    fileDialog_->setNameFilter(
        QStringLiteral("Mp3 / Wav / Wma (*.mp3 *.wav *.wma *.MP3 *.WAV *.WMA)"));
    fileDialog_->setDefaultSuffix(QStringLiteral("mp3"));
}

QtEditingDialogs::~QtEditingDialogs() {
    delete fileDialog_.data();
    delete colourDialog_.data();
}

std::optional<QString> QtEditingDialogs::chooseAudioFile(const QString& title) {
    fileDialog_->setWindowTitle(title);
    if (fileDialog_->exec() != QDialog::Accepted || fileDialog_->selectedFiles().isEmpty())
        return std::nullopt;
    return fileDialog_->selectedFiles().constFirst();
}

std::optional<carts::Colour> QtEditingDialogs::chooseColour() {
    colourDialog_->setCurrentColor(widgets::colorFromBgr(lastColour_));
    if (colourDialog_->exec() != QDialog::Accepted)
        return std::nullopt;
    lastColour_ = widgets::bgrFromColor(colourDialog_->selectedColor());
    return carts::Colour{lastColour_};
}

std::optional<QString> QtEditingDialogs::rename(int cartNumber, const QString& currentName) {
    if (renameDialog_.execFor(cartNumber, currentName) != QDialog::Accepted)
        return std::nullopt;
    return renameDialog_.text();
}

} // namespace app
