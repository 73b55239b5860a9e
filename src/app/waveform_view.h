#pragma once
// The waveform of one audio file with its four markers, for the marker editor.
//
// Draws the file's peaks at the resolution of the zoom (the lowest and highest sample of each
// pixel column), the markers as coloured lines the operator drags, the pointer (where a click
// put it, where "play from the pointer" starts) and the position of a running preview. The
// wheel and the +/- keys zoom, Shift+wheel and the scroll bar along the bottom scroll.
//
// Everything here lives on the UI thread: peaks arrive as a finished value.
#include "carts/markers.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>

class QScrollBar;

namespace app {

enum class MarkerKind { CueIn, CueOut, IntroEnd, SegueStart };
inline constexpr std::array<MarkerKind, 4> kMarkerKinds{
    MarkerKind::CueIn, MarkerKind::CueOut, MarkerKind::IntroEnd, MarkerKind::SegueStart};

std::optional<std::int64_t>& markerOf(carts::Markers& markers, MarkerKind kind);
std::optional<std::int64_t> markerOf(const carts::Markers& markers, MarkerKind kind);

// Frames `first`..`last` (both included) where a marker may stand.
struct FrameSpan {
    std::int64_t first = 0;
    std::int64_t last = 0;
    bool contains(std::int64_t frame) const { return frame >= first && frame <= last; }
    // The nearest frame of the span; `first` when the span is empty.
    std::int64_t clamp(std::int64_t frame) const;
};

// Where `kind` may go given the other markers: cue-in before cue-out, the intro end and the
// segue start between them (an absent cue-in counts as the first frame, an absent cue-out as
// the end of the file).
FrameSpan allowedSpan(const carts::Markers& markers, MarkerKind kind, std::int64_t totalFrames);

// The colour of a marker's line, also used for its caption in the editor.
QColor markerColour(MarkerKind kind);

class WaveformView : public QWidget {
    Q_OBJECT
public:
    static constexpr double kZoomStep = 2.0;

    explicit WaveformView(QWidget* parent = nullptr);

    // The file's length; shows the whole file. Markers can be shown and dragged without peaks.
    void setLength(std::int64_t totalFrames, int sampleRate);
    void setPeaks(carts::Peaks peaks);
    bool hasPeaks() const { return peaks_.framesPerPeak > 0; }

    // Setting from the program emits nothing; only the operator's drags and clicks do.
    void setMarkers(const carts::Markers& markers);
    const carts::Markers& markers() const { return markers_; }
    void setPointerFrame(std::int64_t frame);
    std::int64_t pointerFrame() const { return pointerFrame_; }
    // The preview's position; none hides its line.
    void setPlayFrame(std::optional<std::int64_t> frame);

    // Zoom by `factor` (below 1 zooms in) keeping `anchorFrame` under the same pixel.
    void zoomAround(double factor, std::int64_t anchorFrame);
    void showWholeFile();
    double framesPerPixel() const { return framesPerPixel_; }
    std::int64_t firstFrame() const { return firstFrame_; }

    // Between frames and x in widget pixels, at the current zoom and scroll.
    double xOfFrame(std::int64_t frame) const;
    std::int64_t frameAtX(double x) const;

signals:
    void markerMoved(app::MarkerKind kind, std::int64_t frame);
    void pointerFrameChanged(std::int64_t frame);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QRect waveArea() const;
    double closestFramesPerPixel() const;
    double wholeFileFramesPerPixel() const;
    void setView(double framesPerPixel, double firstFrame);
    void updateScrollBar();
    void scrollTo(int pixel);
    std::optional<MarkerKind> markerNear(double x) const;
    void dragMarkerTo(double x);
    void paintWave(QPainter& p, const QRect& area) const;
    void paintRuler(QPainter& p, const QRect& area) const;
    void paintMarkers(QPainter& p, const QRect& area) const;
    void paintLine(QPainter& p, const QRect& area, std::int64_t frame, const QColor& colour,
                   Qt::PenStyle style) const;

    carts::Peaks peaks_;
    std::int64_t totalFrames_ = 0;
    int sampleRate_ = 0;
    carts::Markers markers_;
    std::int64_t pointerFrame_ = 0;
    std::optional<std::int64_t> playFrame_;
    double framesPerPixel_ = 1.0;
    std::int64_t firstFrame_ = 0;
    bool wholeFile_ = true; // keeps the whole file in view when the widget is resized
    std::optional<MarkerKind> dragged_;
    QScrollBar* scrollBar_;
};

} // namespace app
