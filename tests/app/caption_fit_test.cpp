// Every caption of every window and dialog fits its control, in the fonts the program really
// gets on this machine: a text wider than its control is cut off or runs under its neighbour.
#include "app/about_dialog.h"
#include "app/hint_look.h"
#include "app/main_window.h"
#include "app/marker_editor_dialog.h"
#include "app/new_profile_dialog.h"
#include "app/rename_cart_dialog.h"
#include "app/setup_dialog.h"
#include "app/window_access.h"
#include "audio/engine/output_sink.h"
#include "audio/engine/sound_engine.h"
#include "audio/player_context.h"
#include "config/device_settings.h"
#include "search/search_window.h"
#include "support/recording_messages.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTextDocument>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// One sink, clocked by nobody: the window opens its devices, nothing needs to play.
class QuietProvider final : public audio::engine::DeviceProvider {
public:
    std::vector<audio::engine::DeviceInfo> list() override { return {{"quiet", "Quiet"}}; }
    std::unique_ptr<audio::engine::OutputSink> open(const audio::engine::DeviceInfo&,
                                                    audio::engine::Failure&) override {
        return std::make_unique<audio::engine::ManualSink>(44100);
    }
};

QString shownText(const QString& caption) {
    QString text = caption;
    return text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
}

// Width the caption needs inside the control, or -1 when the control is not a captioned one.
int neededWidth(const QWidget& w) {
    const QFontMetrics metrics(w.font());
    if (const auto* label = qobject_cast<const QLabel*>(&w)) {
        const bool rich =
            label->textFormat() == Qt::RichText ||
            (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
        if (label->wordWrap() || label->text().isEmpty() || rich || !label->pixmap().isNull()) {
            return -1;
        }
        return metrics.horizontalAdvance(shownText(label->text())) + 2 * label->margin() +
               2 * label->frameWidth() + std::max(label->indent(), 0);
    }
    if (qobject_cast<const QCheckBox*>(&w) != nullptr ||
        qobject_cast<const QRadioButton*>(&w) != nullptr) {
        const auto& button = static_cast<const QAbstractButton&>(w);
        if (button.text().isEmpty()) {
            return -1;
        }
        const bool check = qobject_cast<const QCheckBox*>(&w) != nullptr;
        const QStyle* style = w.style();
        const int indicator = style->pixelMetric(
            check ? QStyle::PM_IndicatorWidth : QStyle::PM_ExclusiveIndicatorWidth, nullptr, &w);
        const int spacing = style->pixelMetric(check ? QStyle::PM_CheckBoxLabelSpacing
                                                     : QStyle::PM_RadioButtonLabelSpacing,
                                               nullptr, &w);
        return indicator + spacing + metrics.horizontalAdvance(shownText(button.text()));
    }
    return -1;
}

// Captions that do not fit, as "window/control: needs N px, has M px".
std::vector<std::string> overflowing(const QWidget& window) {
    std::vector<std::string> found;
    QList<const QWidget*> controls = {&window};
    for (const QWidget* child : window.findChildren<const QWidget*>()) {
        controls.append(child);
    }
    for (const QWidget* w : controls) {
        const int needed = neededWidth(*w);
        // Controls of other windows (dialogs the window owns) are walked with their own.
        if (needed < 0 || w->window() != &window || !w->isVisibleTo(&window)) {
            continue;
        }
        // What the window shows of the control: it may reach past its parent's edge.
        const int shown = w->parentWidget() != nullptr
                              ? std::min(w->width(), w->parentWidget()->width() - w->x())
                              : w->width();
        if (needed > shown) {
            found.push_back((window.objectName() + QLatin1Char('/') + w->objectName() +
                             QStringLiteral(" \"") + shownText(w->property("text").toString()) +
                             QStringLiteral("\": needs %1 px, shows %2 px").arg(needed).arg(shown))
                                .toStdString());
        }
    }
    return found;
}

class CaptionFitTest : public ::testing::Test {
protected:
    CaptionFitTest() {
        app::applyHintLook(*qApp); // the program's look, as main() sets it before any window
        app::MainWindowEnvironment env;
        env.programDir = dir.path();
        env.messages = &messages;
        env.sound = engine.get();
        env.screenSize = QSize(1280, 1024);
        window = std::make_unique<app::MainWindow>(env);
        window->show();
    }

    void expectFits(const QWidget& w) {
        const std::vector<std::string> wide = overflowing(w);
        EXPECT_TRUE(wide.empty()) << ::testing::PrintToString(wide);
    }

    QTemporaryDir dir;
    RecordingMessages messages;
    std::unique_ptr<audio::engine::SoundEngine> engine =
        std::make_unique<audio::engine::SoundEngine>(std::make_unique<QuietProvider>());
    std::unique_ptr<app::MainWindow> window;
};

TEST_F(CaptionFitTest, MainAndSearchWindows) {
    expectFits(*window);
    searchWindow(*window).showWindow();
    expectFits(searchWindow(*window));
}

TEST_F(CaptionFitTest, Dialogs) {
    audio::PlayerContext players(*engine, messages);
    config::DeviceSettings running;
    app::SetupDialog setup(dir.path(), players, running);
    setup.setAttribute(Qt::WA_DeleteOnClose, false);
    setup.show();
    expectFits(setup);
    app::NewProfileDialog newProfile;
    newProfile.show();
    expectFits(newProfile);
    app::RenameCartDialog rename;
    rename.show();
    expectFits(rename);
    app::AboutDialog about(window.get());
    about.show();
    expectFits(about);
    app::MarkerEditorDialog markers({}, {}, messages);
    markers.show();
    expectFits(markers);
}

} // namespace
