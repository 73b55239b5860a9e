// A message box opens in front of the window the operator works in, also one that stays on top.
#include "widgets/dialog_message_sink.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// Accepts the next message box that appears and notes whose child it was.
class BoxAnswerer {
public:
    BoxAnswerer() {
        QObject::connect(&poll_, &QTimer::timeout, [this] { answer(); });
        poll_.start(10);
    }
    QWidget* parent() const { return parent_; }

private:
    void answer() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible()) {
                parent_ = box->parentWidget();
                poll_.stop();
                box->button(QMessageBox::Ok)->click();
                return;
            }
        }
    }
    QTimer poll_;
    QWidget* parent_ = nullptr;
};

TEST(DialogMessageSinkTest, BoxesBelongToTheActiveWindowThatStaysOnTop) {
    QWidget main;
    main.show();
    QWidget search(nullptr, Qt::Window | Qt::WindowStaysOnTopHint);
    search.show();
    search.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&search));
    ASSERT_EQ(QApplication::activeWindow(), &search);
    widgets::DialogMessageSink dialogs;
    core::MessageSink& sink = dialogs; // the defaults live on the interface

    const BoxAnswerer message;
    sink.showMessage(QStringLiteral("Nenhuma ocorrência foi encontrada"));
    EXPECT_EQ(message.parent(), &search);

    const BoxAnswerer question;
    EXPECT_TRUE(sink.confirm(QStringLiteral("Perfil foi alterado, Deseja Salvar ??")));
    EXPECT_EQ(question.parent(), &search);
}

} // namespace
