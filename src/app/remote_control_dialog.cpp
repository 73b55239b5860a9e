#include "app/remote_control_dialog.h"

#include "app/remote_binding.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace app {

namespace {

constexpr int kWidth = 420;
constexpr int kRowHeight = 30;
constexpr int kFirstRowY = 44;
const QString kNoKey = QStringLiteral("(nenhum)");
const QString kWaiting = QStringLiteral("Pressione um pad...");

} // namespace

RemoteControlDialog::RemoteControlDialog(RemoteBinding& remote, QWidget* parent)
    : QDialog(parent), remote_(remote) {
    setObjectName(QStringLiteral("remoteControlDialog"));
    setWindowTitle(QStringLiteral("Controle Remoto"));
    auto* status = new QLabel(remote.midiStatusLine(), this);
    status->setObjectName(QStringLiteral("midiStatusLine"));
    status->setWordWrap(true);
    status->setGeometry(12, 8, kWidth - 24, 30);
    int top = kFirstRowY;
    for (const auto& [kind, caption] :
         {std::pair{remote::CommandKind::BlockNext, "Próximo do Bloco"},
          std::pair{remote::CommandKind::FadeAll, "Fade em Todos"},
          std::pair{remote::CommandKind::StopAll, "Parar Todos"},
          std::pair{remote::CommandKind::Master, "Volume Master"}}) {
        addRow(kind, QString::fromUtf8(caption), top);
        top += kRowHeight;
    }
    setFixedSize(kWidth, top + 10);
    showKeys();
    connect(&remote_, &RemoteBinding::learnt, this, &RemoteControlDialog::showKeys);
    // A learning left open would take the next pad for a dialog no longer shown.
    connect(this, &QDialog::finished, &remote_, [this] {
        if (remote_.learning()) {
            remote_.cancelLearning();
        }
    });
}

void RemoteControlDialog::addRow(remote::CommandKind kind, const QString& caption, int top) {
    const QString name = remote::addressOf({kind, 0}).mid(1).replace(u'/', u'_');
    auto* label = new QLabel(caption, this);
    label->setGeometry(12, top + 4, 130, 20);
    auto* key = new QLabel(this);
    key->setObjectName(name + QStringLiteral("Key"));
    key->setGeometry(146, top + 4, 160, 20);
    auto* learn = new QPushButton(QStringLiteral("Aprender"), this);
    learn->setObjectName(name + QStringLiteral("Learn"));
    learn->setGeometry(kWidth - 112, top, 100, 26);
    learn->setAutoDefault(false);
    learn->setEnabled(remote_.midiAvailable());
    rows_.push_back({kind, key, learn});
    connect(learn, &QPushButton::clicked, this, [this, row = rows_.back()] { startLearning(row); });
}

void RemoteControlDialog::startLearning(const Row& row) {
    remote_.learn({row.kind, 0});
    showKeys();
    row.key->setText(kWaiting);
}

void RemoteControlDialog::showKeys() {
    for (const Row& row : rows_) {
        const QString key = remote_.keyOf({row.kind, 0});
        row.key->setText(key.isEmpty() ? kNoKey : key);
    }
}

void RemoteControlDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && remote_.learning()) {
        remote_.cancelLearning();
        showKeys();
        return;
    }
    QDialog::keyPressEvent(event);
}

const RemoteControlDialog::Row& RemoteControlDialog::rowOf(remote::CommandKind kind) const {
    const auto found = std::find_if(rows_.begin(), rows_.end(),
                                    [kind](const Row& row) { return row.kind == kind; });
    return found != rows_.end() ? *found : rows_.front();
}

} // namespace app
