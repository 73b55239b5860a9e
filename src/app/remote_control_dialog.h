#pragma once
// "Controle Remoto": learns the pads for the wall's commands that belong to no cart (block
// next, fade all, stop all, the master volume). Each row shows the pad learnt for its command
// and an "Aprender" button: the next pad pressed becomes that command's. Esc cancels a
// learning under way, and closes the dialog when none is.
#include "remote/remote_command.h"

#include <QDialog>

#include <vector>

class QLabel;
class QPushButton;

namespace app {

class RemoteBinding;

class RemoteControlDialog : public QDialog {
    Q_OBJECT
public:
    explicit RemoteControlDialog(RemoteBinding& remote, QWidget* parent = nullptr);

    QPushButton* learnButton(remote::CommandKind kind) const { return rowOf(kind).learn; }
    QLabel* keyLabel(remote::CommandKind kind) const { return rowOf(kind).key; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Row {
        remote::CommandKind kind;
        QLabel* key;
        QPushButton* learn;
    };
    void addRow(remote::CommandKind kind, const QString& caption, int top);
    void startLearning(const Row& row);
    void showKeys();
    const Row& rowOf(remote::CommandKind kind) const;

    RemoteBinding& remote_;
    std::vector<Row> rows_;
};

} // namespace app
