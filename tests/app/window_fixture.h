#pragma once
// What window tests set up alike: a program folder whose players use the no-sound device, the
// window's environment, tone files and the pointer over a cart.
#include "app/main_window.h"
#include "app/window_access.h"
#include "config/device_settings.h"
#include "engine/test_media.h"

#include <QApplication>
#include <QMouseEvent>

#include <cstdint>

// Both players on the no-sound device, so the window needs no sound server.
inline bool writeSilentDevices(const QString& programDir,
                               int fadeMs = config::DeviceSettings{}.fadeMs) {
    config::DeviceSettings settings;
    settings.outputDevice = -1;
    settings.cueDevice = -1;
    settings.fadeMs = fadeMs;
    return config::writeDeviceSettings(programDir, settings);
}

inline app::MainWindowEnvironment windowEnvironment(const QString& programDir,
                                                    core::MessageSink& messages,
                                                    audio::engine::SoundEngine& sound,
                                                    carts::EditingDialogs& dialogs,
                                                    QSize screen = QSize(1280, 1024)) {
    app::MainWindowEnvironment env;
    env.programDir = programDir;
    env.messages = &messages;
    env.sound = &sound;
    env.dialogs = &dialogs;
    env.screenSize = screen;
    return env;
}

// A stereo sine of `ms` at 44.1 kHz, half scale.
inline QString writeTone(const QString& path, double hz, int ms) {
    constexpr int kRate = 44100;
    enginetest::WavSpec spec;
    spec.channels = 2;
    spec.frames = static_cast<std::uint64_t>(ms) * kRate / 1000;
    enginetest::writeWav(path.toStdString(), spec, enginetest::sine(hz, kRate, 0.5));
    return path;
}

// The pointer moves over cart n. Sent straight to the button: a warp of the real pointer would
// arrive later, whenever the X server gets to it.
inline void hoverCart(QWidget& window, int n) {
    widgets::CartButton* b = cartButton(window, n);
    const QPointF at = QPointF(b->rect().center());
    QMouseEvent move(QEvent::MouseMove, at, b->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(b, &move);
}
