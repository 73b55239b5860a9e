#pragma once
// "Marcas do Áudio": the marker editor opened on a cart's file. The editor gets the markers the
// cart plays with (the operator's, else the file's cart chunk), the file's own for its reset,
// and the waveform from the loudness pass, measured while it shows a progress bar. Previews
// play on the cue player, which the search window and CUE share, so a preview stops whatever
// the cue player was playing. OK stores the markers in the session's marker store and tells the
// session, so carts holding the file play from them; "Cancelar" changes nothing.
//
// User-interface thread only, as the session it edits.
#include <QObject>
#include <QString>

#include <cstdint>

class QTimer;
class QWidget;

namespace core {
class MessageSink;
}

namespace session {
class WallSession;
}

namespace app {

class MarkerEditorDialog;
struct MarkerEditorActions;

class MarkerEditing : public QObject {
    Q_OBJECT
public:
    // Previews show their position on the waveform at this interval.
    static constexpr int kPlayLineMs = 50;

    MarkerEditing(session::WallSession& session, core::MessageSink& messages, QWidget* window);

    // Opens the editor on cart n's file and waits for it to close; nothing for an empty cart.
    void open(int n);

signals:
    // The editor is shown and its peaks requested (tests and benchmarks reach the dialog here).
    void editorShown(app::MarkerEditorDialog* dialog);

private:
    MarkerEditorActions actionsFor(const QString& path, int sampleRate);
    // Peaks from the loudness worker into `dialog`; `arrived` once they, or their failure, did.
    void feedPeaks(MarkerEditorDialog& dialog, const QString& path, bool& arrived);
    // The preview's position on the waveform while `playLine` runs.
    void followPreview(MarkerEditorDialog& dialog, QTimer& playLine, const QString& path,
                       int sampleRate);
    void previewFrom(const QString& path, int sampleRate, std::int64_t frame);
    void stopPreview();

    session::WallSession& session_;
    core::MessageSink& messages_;
    QWidget* window_;
};

} // namespace app
