#include "carts/qt_editing_dialogs.h"
#include "carts/tform_nomear.h"
#include "qstring_print.h"
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

using namespace carts;

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

TEST(Tform_nomear, DesignedLook) {
    Tform_nomear dialog;
    EXPECT_EQ(dialog.windowTitle(), "Renomear");
    EXPECT_EQ(dialog.Label1->text(), "Nome do Cartucho:");
    EXPECT_EQ(dialog.Label2->text(), "Renomear Para:");
    EXPECT_EQ(dialog.Label3->text(), "NOME");
    EXPECT_EQ(dialog.BitBtn1->text(), "OK");
    EXPECT_EQ(dialog.BitBtn2->text(), "Cancelar");
    EXPECT_TRUE(dialog.BitBtn1->isDefault());
    EXPECT_FALSE(dialog.BitBtn1->isEnabled());
}

TEST(Tform_nomear, TypesUpperCaseUpToFiftyAndOkOnlyWithText) {
    Tform_nomear dialog;
    std::optional<bool> okWhileEmpty;
    std::optional<bool> okWithText;
    whenModal([&] {
        typeText(dialog.Edit1, "vinheta da manhã"); // replaces the selected name
        EXPECT_EQ(dialog.Edit1->text(), "VINHETA DA MANHÃ");
        dialog.Edit1->clear();
        okWhileEmpty = dialog.BitBtn1->isEnabled();
        QTest::keyClicks(dialog.Edit1, QString(60, u'x'));
        okWithText = dialog.BitBtn1->isEnabled();
        QTest::mouseClick(dialog.BitBtn1, Qt::LeftButton);
    });
    EXPECT_EQ(dialog.execFor(7, "Vinheta"), QDialog::Accepted);
    EXPECT_EQ(dialog.windowTitle(), "Renomear Cartucho ->7");
    EXPECT_EQ(dialog.Label3->text(), "Vinheta");
    EXPECT_EQ(dialog.cartNumber(), 7);
    EXPECT_EQ(okWhileEmpty, false);
    EXPECT_EQ(okWithText, true);
    EXPECT_EQ(dialog.text(), QString(50, u'X'));
}

TEST(Tform_nomear, ReusedForAnotherCartAndCancelled) {
    Tform_nomear dialog;
    whenModal([&] { QTest::mouseClick(dialog.BitBtn2, Qt::LeftButton); });
    dialog.execFor(1, "A");
    std::optional<QString> startText;
    whenModal([&] {
        startText = dialog.Edit1->text();
        QTest::keyClick(dialog.Edit1, Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.execFor(96, "JINGLE"), QDialog::Rejected);
    EXPECT_EQ(dialog.windowTitle(), "Renomear Cartucho ->96");
    EXPECT_EQ(startText, "JINGLE");
}

TEST(Tform_nomear, LongerStoredNameIsNotCut) {
    Tform_nomear dialog;
    const QString stored = QString(70, u'N');
    whenModal([&] { QTest::keyClick(dialog.Edit1, Qt::Key_Return); });
    EXPECT_EQ(dialog.execFor(3, stored), QDialog::Accepted);
    EXPECT_EQ(dialog.text(), stored);
}

TEST(QtEditingDialogs, RenameGivesTheThirtyCharacterName) {
    Tform_nomear nomear;
    QtEditingDialogs dialogs(nullptr, nomear);
    const QString thirty = "abertura do programa da manha!";
    whenModal([&] {
        QTest::keyClicks(nomear.Edit1, thirty);
        QTest::keyClick(nomear.Edit1, Qt::Key_Return);
    });
    EXPECT_EQ(dialogs.rename(12, "VINHETA"), thirty.toUpper());
    whenModal([&] { QTest::mouseClick(nomear.BitBtn2, Qt::LeftButton); });
    EXPECT_EQ(dialogs.rename(12, "VINHETA"), std::nullopt);
}

TEST(QtEditingDialogs, ColourDialogKeepsTheLastColourChosen) {
    EXPECT_EQ(widgets::colorFromBgr(255), QColor(255, 0, 0));
    EXPECT_EQ(widgets::bgrFromColor(QColor(0x12, 0x34, 0x56)), 0x563412);

    Tform_nomear nomear;
    QtEditingDialogs dialogs(nullptr, nomear);
    QList<QColor> shownAtOpen;
    whenModal([&] {
        shownAtOpen.append(dialogs.cor().currentColor());
        dialogs.cor().setCurrentColor(QColor(0, 128, 0));
        dialogs.cor().accept();
    });
    EXPECT_EQ(dialogs.chooseColour(), 32768);
    whenModal([&] {
        shownAtOpen.append(dialogs.cor().currentColor());
        dialogs.cor().setCurrentColor(QColor(0, 0, 255));
        dialogs.cor().reject();
    });
    EXPECT_EQ(dialogs.chooseColour(), std::nullopt);
    whenModal([&] {
        shownAtOpen.append(dialogs.cor().currentColor());
        dialogs.cor().reject();
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

    Tform_nomear nomear;
    QtEditingDialogs dialogs(nullptr, nomear);
    QString title;
    whenModal([&] {
        title = dialogs.abre().windowTitle();
        dialogs.abre().setDirectory(dir.path());
        dialogs.abre().selectFile(path);
        static_cast<QDialog&>(dialogs.abre()).accept();
    });
    EXPECT_EQ(dialogs.chooseAudioFile("Incluir Áudio no Cartucho ->7"), path);
    EXPECT_EQ(title, "Incluir Áudio no Cartucho ->7");
    EXPECT_EQ(dialogs.abre().nameFilters(),
              QStringList{"Mp3 / Wav / Wma (*.mp3 *.wav *.wma *.MP3 *.WAV *.WMA)"});
    EXPECT_EQ(dialogs.abre().defaultSuffix(), "mp3");

    whenModal([&] { dialogs.abre().reject(); });
    EXPECT_EQ(dialogs.chooseAudioFile("Incluir Áudio no Cartucho ->8"), std::nullopt);
}
