#pragma once
// The wall's visible state as the firing and block logic sees it, on the real controls.
#include "app/wall_ports.h"

namespace app {

class MainWindow;

class WindowWallView : public WallView {
public:
    explicit WindowWallView(MainWindow& window) : w_(window) {}

    QString caption(int n) const override;
    void setCaption(int n, const QString& text) override;
    void setFrame(int n, int bgrColour, int width) override;
    int frameWidth(int n) const override;
    void setCaptionPointSize(int n, int points) override;
    void setQueued(int n, bool queued) override;
    void setClickEnabled(int n, bool enabled) override;
    int masterVolume() const override;
    bool autoFade() const override;
    bool autoMix() const override;
    void setBlockLines(const QStringList& lines) override;
    void setBlockCount(int count) override;
    void setClockText(const QString& text) override;
    void setMeters(int levelA, int levelB) override;
    void setCueLook(bool cueMode) override;
    void setStatusLine(const QString& text) override;

private:
    MainWindow& w_;
};

} // namespace app
