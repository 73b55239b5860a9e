#include "app/waveform_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QVector>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>

namespace app {

namespace {

constexpr int kGrabPixels = 5; // how close to a line a press must be to drag it
constexpr int kSnapPixels = 4; // a dragged marker this close to the pointer lands on it
constexpr int kMinTickSpacing = 70;
constexpr int kLabelMargin = 3;
constexpr double kWheelNotch = 120.0;
const QColor kWaveInside(0, 200, 200); // the aqua of the level meters
const QColor kWaveOutside(0, 90, 90);  // what the cue-in and cue-out leave out
const QColor kCentreLine(60, 60, 60);
const QColor kRulerColour(150, 150, 150);
const QColor kPointerColour(Qt::white);
const QColor kPlayColour(110, 160, 255);

QString shortLabel(MarkerKind kind) {
    static const std::array<QString, 4> kLabels{QStringLiteral("INÍCIO"), QStringLiteral("FIM"),
                                                QStringLiteral("INTRO"), QStringLiteral("MIX")};
    return kLabels[std::size_t(kind)];
}

// Seconds between ruler ticks: the shortest of these that leaves room for a label.
int tickSeconds(double pixelsPerSecond) {
    for (const int seconds : {1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 1800, 3600}) {
        if (seconds * pixelsPerSecond >= kMinTickSpacing) {
            return seconds;
        }
    }
    int hours = 2;
    while (hours * 3600 * pixelsPerSecond < kMinTickSpacing && hours < (1 << 16)) {
        hours *= 2;
    }
    return hours * 3600;
}

QString rulerText(std::int64_t seconds) {
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

namespace {
// One switch for both constnesses.
template <typename M> auto& markerField(M& markers, MarkerKind kind) {
    switch (kind) {
    case MarkerKind::CueIn:
        return markers.cueIn;
    case MarkerKind::CueOut:
        return markers.cueOut;
    case MarkerKind::IntroEnd:
        return markers.introEnd;
    case MarkerKind::SegueStart:
        break;
    }
    return markers.segueStart;
}
} // namespace

std::optional<std::int64_t>& markerOf(carts::Markers& markers, MarkerKind kind) {
    return markerField(markers, kind);
}

std::optional<std::int64_t> markerOf(const carts::Markers& markers, MarkerKind kind) {
    return markerField(markers, kind);
}

std::int64_t FrameSpan::clamp(std::int64_t frame) const {
    return std::max(first, std::min(frame, last));
}

FrameSpan allowedSpan(const carts::Markers& markers, MarkerKind kind, std::int64_t totalFrames) {
    constexpr auto kNone = std::numeric_limits<std::int64_t>::max();
    const std::int64_t start = markers.cueIn.value_or(0);
    const std::int64_t end = markers.cueOut.value_or(totalFrames);
    switch (kind) {
    case MarkerKind::CueIn:
        return {0, std::min({end - 1, markers.introEnd.value_or(kNone),
                             markers.segueStart.value_or(kNone)})};
    case MarkerKind::CueOut:
        return {std::max({start + 1, markers.introEnd.value_or(0), markers.segueStart.value_or(0)}),
                totalFrames};
    case MarkerKind::IntroEnd:
    case MarkerKind::SegueStart:
        break;
    }
    return {start, end};
}

QColor markerColour(MarkerKind kind) {
    static const std::array<QColor, 4> kColours{QColor(0, 220, 0), QColor(255, 60, 60),
                                                QColor(255, 220, 0), QColor(255, 100, 255)};
    return kColours[std::size_t(kind)];
}

WaveformView::WaveformView(QWidget* parent)
    : QWidget(parent), scrollBar_(new QScrollBar(Qt::Horizontal, this)) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true); // the cursor shape shows where a marker can be grabbed
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 120);
    connect(scrollBar_, &QScrollBar::valueChanged, this, &WaveformView::scrollTo);
}

void WaveformView::setLength(std::int64_t totalFrames, int sampleRate) {
    totalFrames_ = std::max<std::int64_t>(totalFrames, 0);
    sampleRate_ = sampleRate;
    showWholeFile();
}

void WaveformView::setPeaks(carts::Peaks peaks) {
    peaks_ = std::move(peaks);
    update();
}

void WaveformView::setMarkers(const carts::Markers& markers) {
    if (markers_ != markers) {
        markers_ = markers;
        update();
    }
}

void WaveformView::setPointerFrame(std::int64_t frame) {
    frame = std::clamp<std::int64_t>(frame, 0, totalFrames_);
    if (frame != pointerFrame_) {
        pointerFrame_ = frame;
        update();
    }
}

void WaveformView::setPlayFrame(std::optional<std::int64_t> frame) {
    if (frame != playFrame_) {
        playFrame_ = frame;
        update();
    }
}

QRect WaveformView::waveArea() const {
    return rect().adjusted(0, 0, 0, -scrollBar_->height());
}

// The scroll bar counts pixels in an int: the deepest zoom keeps a whole file inside its range.
double WaveformView::closestFramesPerPixel() const {
    constexpr double kMaxScrollPixels = 1 << 30;
    return std::max(1.0, double(totalFrames_) / kMaxScrollPixels);
}

double WaveformView::wholeFileFramesPerPixel() const {
    return std::max(1.0, double(totalFrames_) / std::max(1, waveArea().width()));
}

void WaveformView::showWholeFile() {
    setView(wholeFileFramesPerPixel(), 0);
}

void WaveformView::zoomAround(double factor, std::int64_t anchorFrame) {
    const double anchorX = xOfFrame(anchorFrame);
    const double zoomed =
        std::clamp(framesPerPixel_ * factor, closestFramesPerPixel(), wholeFileFramesPerPixel());
    setView(zoomed, double(anchorFrame) - anchorX * zoomed);
}

void WaveformView::setView(double framesPerPixel, double firstFrame) {
    const double whole = wholeFileFramesPerPixel();
    framesPerPixel_ = std::clamp(framesPerPixel, closestFramesPerPixel(), whole);
    wholeFile_ = framesPerPixel_ >= whole;
    const double lastFirst =
        std::max(0.0, double(totalFrames_) - framesPerPixel_ * waveArea().width());
    firstFrame_ = std::llround(std::clamp(firstFrame, 0.0, lastFirst));
    updateScrollBar();
    update();
}

void WaveformView::updateScrollBar() {
    const QSignalBlocker quiet(scrollBar_);
    const int width = waveArea().width();
    const auto contentPixels = std::llround(double(totalFrames_) / framesPerPixel_);
    scrollBar_->setRange(0, int(std::max<std::int64_t>(0, contentPixels - width)));
    scrollBar_->setPageStep(width);
    scrollBar_->setSingleStep(std::max(1, width / 20));
    scrollBar_->setValue(int(std::llround(double(firstFrame_) / framesPerPixel_)));
}

void WaveformView::scrollTo(int pixel) {
    firstFrame_ = std::clamp<std::int64_t>(std::llround(pixel * framesPerPixel_), 0, totalFrames_);
    update();
}

double WaveformView::xOfFrame(std::int64_t frame) const {
    return double(frame - firstFrame_) / framesPerPixel_;
}

std::int64_t WaveformView::frameAtX(double x) const {
    return std::clamp<std::int64_t>(std::llround(double(firstFrame_) + x * framesPerPixel_), 0,
                                    totalFrames_);
}

std::optional<MarkerKind> WaveformView::markerNear(double x) const {
    std::optional<MarkerKind> nearest;
    double nearestDistance = kGrabPixels + 1;
    for (const MarkerKind kind : kMarkerKinds) {
        const auto frame = markerOf(markers_, kind);
        if (!frame) {
            continue;
        }
        // On a tie the later one wins: it is drawn on top, so it is the one the operator sees.
        const double distance = std::abs(xOfFrame(*frame) - x);
        if (distance <= kGrabPixels && distance <= nearestDistance) {
            nearest = kind;
            nearestDistance = distance;
        }
    }
    return nearest;
}

void WaveformView::dragMarkerTo(double x) {
    const MarkerKind kind = *dragged_;
    const bool onPointer = std::abs(x - xOfFrame(pointerFrame_)) <= kSnapPixels;
    const std::int64_t wanted = onPointer ? pointerFrame_ : frameAtX(x);
    const std::int64_t frame = allowedSpan(markers_, kind, totalFrames_).clamp(wanted);
    auto& marker = markerOf(markers_, kind);
    if (marker != frame) {
        marker = frame;
        update();
        emit markerMoved(kind, frame);
    }
}

void WaveformView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !waveArea().contains(event->position().toPoint())) {
        QWidget::mousePressEvent(event);
        return;
    }
    dragged_ = markerNear(event->position().x());
    if (!dragged_) {
        setPointerFrame(frameAtX(event->position().x()));
        emit pointerFrameChanged(pointerFrame_);
    }
}

void WaveformView::mouseMoveEvent(QMouseEvent* event) {
    const double x = event->position().x();
    if (dragged_) {
        dragMarkerTo(x);
    } else if (event->buttons() & Qt::LeftButton) {
        const std::int64_t frame = frameAtX(x);
        if (frame != pointerFrame_) {
            setPointerFrame(frame);
            emit pointerFrameChanged(pointerFrame_);
        }
    } else {
        setCursor(markerNear(x) ? Qt::SizeHorCursor : Qt::ArrowCursor);
    }
}

void WaveformView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && dragged_) {
        dragMarkerTo(event->position().x());
        dragged_.reset();
        update();
    }
}

void WaveformView::wheelEvent(QWheelEvent* event) {
    const QPoint delta = event->angleDelta();
    const bool scroll = delta.x() != 0 || (event->modifiers() & Qt::ShiftModifier);
    if (scroll) {
        const int notches = delta.x() != 0 ? delta.x() : delta.y();
        scrollBar_->setValue(scrollBar_->value() -
                             int(notches / kWheelNotch * scrollBar_->singleStep() * 3));
    } else if (delta.y() != 0) {
        zoomAround(std::pow(kZoomStep, -delta.y() / kWheelNotch), frameAtX(event->position().x()));
    }
    event->accept();
}

void WaveformView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoomAround(1.0 / kZoomStep, pointerFrame_);
        break;
    case Qt::Key_Minus:
        zoomAround(kZoomStep, pointerFrame_);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void WaveformView::resizeEvent(QResizeEvent*) {
    const int barHeight = scrollBar_->sizeHint().height();
    scrollBar_->setGeometry(0, height() - barHeight, width(), barHeight);
    if (wholeFile_) {
        showWholeFile();
    } else {
        setView(framesPerPixel_, double(firstFrame_));
    }
}

void WaveformView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect area = waveArea();
    p.fillRect(area, Qt::black);
    p.setClipRect(area);
    p.setPen(kCentreLine);
    p.drawLine(area.left(), area.center().y(), area.right(), area.center().y());
    if (hasPeaks()) {
        paintWave(p, area);
    }
    paintRuler(p, area);
    paintMarkers(p, area);
    paintLine(p, area, pointerFrame_, kPointerColour, Qt::DashLine);
    if (playFrame_) {
        paintLine(p, area, *playFrame_, kPlayColour, Qt::SolidLine);
    }
}

// One vertical line per pixel column, from the lowest to the highest peak of the buckets
// under it: the cost follows the visible buckets, never the file's samples.
void WaveformView::paintWave(QPainter& p, const QRect& area) const {
    const auto buckets = std::int64_t(std::min(peaks_.low.size(), peaks_.high.size()));
    const double bucketFrames = peaks_.framesPerPeak;
    const double middle = area.top() + area.height() / 2.0;
    const double halfHeight = (area.height() - 2) / 2.0;
    const std::int64_t cueIn = markers_.cueIn.value_or(0);
    const std::int64_t cueOut = markers_.cueOut.value_or(totalFrames_);
    QVector<QLine> inside;
    QVector<QLine> outside;
    inside.reserve(area.width());
    for (int x = area.left(); x <= area.right(); ++x) {
        const double from = double(firstFrame_) + x * framesPerPixel_;
        const auto first = std::int64_t(from / bucketFrames);
        const auto end = std::min(
            buckets,
            std::max(first + 1, std::int64_t(std::ceil((from + framesPerPixel_) / bucketFrames))));
        if (first >= buckets || from >= double(totalFrames_)) {
            break;
        }
        float low = peaks_.low[std::size_t(first)];
        float high = peaks_.high[std::size_t(first)];
        for (auto b = std::size_t(first) + 1; b < std::size_t(end); ++b) {
            low = std::min(low, peaks_.low[b]);
            high = std::max(high, peaks_.high[b]);
        }
        const int top = int(std::lround(middle - std::clamp(high, -1.0f, 1.0f) * halfHeight));
        const int bottom = int(std::lround(middle - std::clamp(low, -1.0f, 1.0f) * halfHeight));
        const bool kept = from >= double(cueIn) && from < double(cueOut);
        (kept ? inside : outside).append(QLine(x, top, x, bottom));
    }
    p.setPen(kWaveOutside);
    p.drawLines(outside);
    p.setPen(kWaveInside);
    p.drawLines(inside);
}

void WaveformView::paintRuler(QPainter& p, const QRect& area) const {
    if (sampleRate_ <= 0) {
        return;
    }
    const double pixelsPerSecond = sampleRate_ / framesPerPixel_;
    const int step = tickSeconds(pixelsPerSecond);
    const std::int64_t firstSecond = firstFrame_ / sampleRate_;
    p.setPen(kRulerColour);
    for (std::int64_t second = firstSecond - firstSecond % step;; second += step) {
        const double x = xOfFrame(second * sampleRate_);
        if (x > area.right()) {
            break;
        }
        const int tickX = int(std::lround(x));
        p.drawLine(tickX, area.bottom() - 4, tickX, area.bottom());
        p.drawText(tickX + kLabelMargin, area.bottom() - 4, rulerText(second));
    }
}

void WaveformView::paintMarkers(QPainter& p, const QRect& area) const {
    QFont labelFont = font();
    labelFont.setBold(true);
    p.setFont(labelFont);
    const QFontMetrics metrics(labelFont);
    for (const MarkerKind kind : kMarkerKinds) {
        const auto frame = markerOf(markers_, kind);
        if (!frame) {
            continue;
        }
        const QColor colour = markerColour(kind);
        paintLine(p, area, *frame, colour, Qt::SolidLine);
        // Labels stack by kind so two markers close together stay readable.
        const QString label = shortLabel(kind);
        const int labelWidth = metrics.horizontalAdvance(label);
        const int x = int(std::lround(xOfFrame(*frame)));
        const bool fitsRight = x + kLabelMargin + labelWidth <= area.right();
        const int labelX = fitsRight ? x + kLabelMargin : x - kLabelMargin - labelWidth;
        const int row = int(kind);
        p.setPen(colour);
        p.drawText(labelX, area.top() + metrics.ascent() + 2 + row * metrics.height(), label);
    }
    p.setFont(font());
}

void WaveformView::paintLine(QPainter& p, const QRect& area, std::int64_t frame,
                             const QColor& colour, Qt::PenStyle style) const {
    const int x = int(std::lround(xOfFrame(frame)));
    if (x < area.left() || x > area.right()) {
        return;
    }
    p.setPen(QPen(colour, 1, style));
    p.drawLine(x, area.top(), x, area.bottom());
}

} // namespace app
