#pragma once
// The marker editor: the waveform of a cart's file with its cue-in, cue-out, intro end and
// segue start, moved by dragging their lines or typed as mm:ss.mmm; a preview on the cue
// device from the pointer or from a marker; a reset to the file's own markers and, for a WAV
// file, writing the markers into it.
//
// The dialog knows nothing of carts, players or files: what it shows comes in through
// MarkerEditorInput, what it does goes out through MarkerEditorActions, and the markers the
// operator settled on are markers() after OK. Peaks still being measured arrive later through
// setProgress() and setPeaks(), on the UI thread. The dialog stops a preview it started when
// it closes.
#include "app/waveform_view.h"
#include "carts/markers.h"

#include <QDialog>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace core {
class MessageSink;
}

namespace app {

// "mm:ss.mmm" of a frame (minutes go past 59 for long files); empty for no marker.
QString markerTimeText(std::optional<std::int64_t> frame, int sampleRate);
// The frame of "mm:ss.mmm", "m:ss", "ss.mmm" or "ss" (a comma also separates the
// milliseconds); none when the text is no time.
std::optional<std::int64_t> parseMarkerTime(const QString& text, int sampleRate);

struct MarkerEditorInput {
    QString filePath;
    QString title;  // of the file's cart chunk
    QString artist; // likewise
    int sampleRate = 0;
    std::int64_t totalFrames = 0;
    carts::Markers markers;            // what the cart plays with now
    carts::Markers fileMarkers;        // the file's own, restored by the reset
    bool writableWav = false;          // a WAV file the markers can be written into
    std::optional<carts::Peaks> peaks; // none while they are being measured
};

struct MarkerEditorActions {
    // Preview on the cue device from a frame of the file, and its stop.
    std::function<void(std::int64_t frame)> playFrom;
    std::function<void()> stopPlaying;
    // Writes the markers into the file; the error text, empty when it worked.
    std::function<QString(const carts::Markers&)> writeToFile;
};

class MarkerEditorDialog : public QDialog {
    Q_OBJECT
public:
    // Cue-out is previewed from this long before it, so the operator hears the cart's end.
    static constexpr int kCueOutPrerollMs = 3000;

    MarkerEditorDialog(MarkerEditorInput input, MarkerEditorActions actions,
                       core::MessageSink& messages, QWidget* parent = nullptr);

    // The markers as the operator left them; after OK, the result.
    carts::Markers markers() const { return markers_; }

    // Peaks measured in the background: the progress bar shows until they arrive.
    void setProgress(int percent);
    void setPeaks(carts::Peaks peaks); // moved in: a long file's peaks are megabytes
    // The peaks cannot be had (the file cannot be decoded): the reason shows instead of them.
    void setPeaksUnavailable(const QString& reason);
    // The preview's position for the play line; none when nothing plays.
    void setPlayFrame(std::optional<std::int64_t> frame);

    void done(int result) override;

    WaveformView* waveformView() const { return view_; }
    QLineEdit* markerEdit(MarkerKind kind) const { return rows_[index(kind)].edit; }
    QPushButton* playMarkerButton(MarkerKind kind) const { return rows_[index(kind)].play; }
    QPushButton* markAtPointerButton(MarkerKind kind) const { return rows_[index(kind)].mark; }
    QPushButton* playPointerButton() const { return playPointer_; }
    QPushButton* stopButton() const { return stop_; }
    QPushButton* resetButton() const { return reset_; }
    QPushButton* writeButton() const { return write_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    QProgressBar* progressBar() const { return progress_; }
    QLabel* problemLine() const { return problem_; }

private:
    struct MarkerRow {
        QLineEdit* edit = nullptr;
        QPushButton* play = nullptr;
        QPushButton* mark = nullptr;
    };
    static std::size_t index(MarkerKind kind) { return std::size_t(kind); }

    QWidget* buildFilePanel();
    QWidget* buildWaveformPanel();
    QLayout* buildTransportRow();
    QLayout* buildMarkerGrid();
    QLayout* buildButtonRow();
    void takeTypedMarkers();
    void onMarkerDragged(MarkerKind kind, std::int64_t frame);
    void markAtPointer(MarkerKind kind);
    void showMarkers(const carts::Markers& markers);
    void showMarkerText(MarkerKind kind);
    void showPointer(std::int64_t frame);
    struct FieldReading {
        std::optional<std::int64_t> frame; // none: an empty field, or text that is no time
        QString problem;                   // why the field's marker cannot be taken
    };
    FieldReading readField(MarkerKind kind) const;
    std::optional<MarkerKind> firstUnsettledField() const;
    bool refuseWhileUnsettled();
    void play(std::int64_t frame);
    void writeMarkers();

    MarkerEditorInput input_;
    MarkerEditorActions actions_;
    core::MessageSink& messages_;
    carts::Markers markers_;
    bool previewStarted_ = false;
    WaveformView* view_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* progressCaption_ = nullptr;
    QLabel* pointerTime_ = nullptr;
    std::array<MarkerRow, 4> rows_{};
    QLabel* problem_ = nullptr;
    QPushButton* playPointer_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* reset_ = nullptr;
    QPushButton* write_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace app
