#include "app/qt_editing_dialogs.h"
#include "app/rename_cart_dialog.h"
#include "support/qstring_print.h"
#include "widgets/bgr_color.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <gtest/gtest.h>

using namespace app;

namespace {

// Runs `step` from inside the event loop of the next modal dialog.
void whenModal(std::function<void()> step) {
    QTimer::singleShot(0, [step = std::move(step)] {
        if (QApplication::activeModalWidget() == nullptr) {
            ADD_FAILURE() << "no modal dialog is open";
            return;
        }
        step();
    });
}

// Types any characters as key events carrying their text (QTest::keyClicks takes only ASCII).
void typeText(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QApplication::sendEvent(widget, &release);
    }
}

} // namespace

TEST(RenameCartDialog, DesignedLook) {
    RenameCartDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), "Renomear");
    EXPECT_EQ(dialog.findChild<QLabel*>("nameCaption")->text(), "Nome do Cartucho:");
    EXPECT_EQ(dialog.findChild<QLabel*>("newNameCaption")->text(), "Renomear Para:");
    EXPECT_EQ(dialog.currentNameLabel()->text(), "NOME");
    EXPECT_EQ(dialog.okButton()->text(), "OK");
    EXPECT_EQ(dialog.cancelButton()->text(), "Cancelar");
    EXPECT_TRUE(dialog.okButton()->isDefault());
    EXPECT_FALSE(dialog.okButton()->isEnabled());
}

TEST(RenameCartDialog, TypesUpperCaseUpToFiftyAndOkOnlyWithText) {
    RenameCartDialog dialog;
    std::optional<bool> okWhileEmpty;
    std::optional<bool> okWithText;
    whenModal([&] {
        typeText(dialog.nameEdit(), "vinheta da manhã"); // replaces the selected name
        EXPECT_EQ(dialog.nameEdit()->text(), "VINHETA DA MANHÃ");
        dialog.nameEdit()->clear();
        okWhileEmpty = dialog.okButton()->isEnabled();
        QTest::keyClicks(dialog.nameEdit(), QString(60, u'x'));
        okWithText = dialog.okButton()->isEnabled();
        QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    });
    EXPECT_EQ(dialog.execFor(7, "Vinheta"), QDialog::Accepted);
    EXPECT_EQ(dialog.windowTitle(), "Renomear Cartucho ->7");
    EXPECT_EQ(dialog.currentNameLabel()->text(), "Vinheta");
    EXPECT_EQ(dialog.cartNumber(), 7);
    EXPECT_EQ(okWhileEmpty, false);
    EXPECT_EQ(okWithText, true);
    EXPECT_EQ(dialog.text(), QString(50, u'X'));
}

TEST(RenameCartDialog, ReusedForAnotherCartAndCancelled) {
    RenameCartDialog dialog;
    whenModal([&] { QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton); });
    dialog.execFor(1, "A");
    std::optional<QString> startText;
    whenModal([&] {
        startText = dialog.nameEdit()->text();
        QTest::keyClick(dialog.nameEdit(), Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.execFor(96, "JINGLE"), QDialog::Rejected);
    EXPECT_EQ(dialog.windowTitle(), "Renomear Cartucho ->96");
    EXPECT_EQ(startText, "JINGLE");
}

TEST(RenameCartDialog, LongerStoredNameIsNotCut) {
    RenameCartDialog dialog;
    const QString stored = QString(70, u'N');
    whenModal([&] { QTest::keyClick(dialog.nameEdit(), Qt::Key_Return); });
    EXPECT_EQ(dialog.execFor(3, stored), QDialog::Accepted);
    EXPECT_EQ(dialog.text(), stored);
}

TEST(QtEditingDialogs, RenameGivesTheThirtyCharacterName) {
    RenameCartDialog renameDialog;
    QtEditingDialogs dialogs(nullptr, renameDialog);
    const QString thirty = "abertura do programa da manha!";
    whenModal([&] {
        QTest::keyClicks(renameDialog.nameEdit(), thirty);
        QTest::keyClick(renameDialog.nameEdit(), Qt::Key_Return);
    });
    EXPECT_EQ(dialogs.rename(12, "VINHETA"), thirty.toUpper());
    whenModal([&] { QTest::mouseClick(renameDialog.cancelButton(), Qt::LeftButton); });
    EXPECT_EQ(dialogs.rename(12, "VINHETA"), std::nullopt);
}

TEST(QtEditingDialogs, ColourDialogKeepsTheLastColourChosen) {
    EXPECT_EQ(widgets::colorFromBgr(255), QColor(255, 0, 0));
    EXPECT_EQ(widgets::bgrFromColor(QColor(0x12, 0x34, 0x56)), 0x563412);

    RenameCartDialog renameDialog;
    QtEditingDialogs dialogs(nullptr, renameDialog);
    QList<QColor> shownAtOpen;
    whenModal([&] {
        shownAtOpen.append(dialogs.colourDialog().currentColor());
        dialogs.colourDialog().setCurrentColor(QColor(0, 128, 0));
        dialogs.colourDialog().accept();
    });
    EXPECT_EQ(dialogs.chooseColour(), carts::Colour{32768});
    whenModal([&] {
        shownAtOpen.append(dialogs.colourDialog().currentColor());
        dialogs.colourDialog().setCurrentColor(QColor(0, 0, 255));
        dialogs.colourDialog().reject();
    });
    EXPECT_EQ(dialogs.chooseColour(), std::nullopt);
    whenModal([&] {
        shownAtOpen.append(dialogs.colourDialog().currentColor());
        dialogs.colourDialog().reject();
    });
    dialogs.chooseColour();
    EXPECT_EQ(shownAtOpen,
              (QList<QColor>{QColor(255, 221, 221), QColor(0, 128, 0), QColor(0, 128, 0)}));
}

TEST(QtEditingDialogs, OpenDialogTitleFilterAndChosenFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("vinheta 01.MP3");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    RenameCartDialog renameDialog;
    QtEditingDialogs dialogs(nullptr, renameDialog);
    QString title;
    whenModal([&] {
        title = dialogs.fileDialog().windowTitle();
        dialogs.fileDialog().setDirectory(dir.path());
        dialogs.fileDialog().selectFile(path);
        static_cast<QDialog&>(dialogs.fileDialog()).accept();
    });
    EXPECT_EQ(dialogs.chooseAudioFile("Incluir Áudio no Cartucho ->7"), path);
    EXPECT_EQ(title, "Incluir Áudio no Cartucho ->7");
    EXPECT_EQ(dialogs.fileDialog().nameFilters(),
              QStringList{"Mp3 / Wav / Wma (*.mp3 *.wav *.wma *.MP3 *.WAV *.WMA)"});
    EXPECT_EQ(dialogs.fileDialog().defaultSuffix(), "mp3");

    whenModal([&] { dialogs.fileDialog().reject(); });
    EXPECT_EQ(dialogs.chooseAudioFile("Incluir Áudio no Cartucho ->8"), std::nullopt);
}
