#include "app/marker_editing.h"

#include "app/marker_editor_dialog.h"
#include "audio/audio_error_text.h"
#include "audio/cart_player.h"
#include "audio/engine/media_source.h"
#include "carts/cart_chunk.h"
#include "carts/loudness_service.h"
#include "carts/marker_store.h"
#include "core/message_sink.h"
#include "session/wall_session.h"

#include <QTimer>
#include <QWidget>

#include <cmath>

namespace app {

namespace {

struct FileLength {
    int sampleRate = 0;
    std::int64_t frames = 0;
};

// The file's rate and exact length, as the players and the loudness pass count its frames.
std::optional<FileLength> probe(const QString& path, QString& problem) {
    audio::engine::Failure failure;
    const auto source = audio::engine::MediaSource::open(
        path.toStdString(), false, audio::engine::MediaSource::kSourceRate, failure);
    if (!source || source->format().rate == 0 || source->format().lengthFrames == 0) {
        problem = failure ? audio::audioErrorText(audio::errorCodeOf(*failure))
                          : QStringLiteral("Arquivo de áudio sem duração: ") + path;
        return std::nullopt;
    }
    return FileLength{int(source->format().rate), std::int64_t(source->format().lengthFrames)};
}

} // namespace

MarkerEditing::MarkerEditing(session::WallSession& session, core::MessageSink& messages,
                             QWidget* window)
    : QObject(window), session_(session), messages_(messages), window_(window) {}

void MarkerEditing::open(int n) {
    if (n < 1 || n > carts::kCartCount || !session_.wall().table[n].isLoaded()) {
        return;
    }
    const QString path = session_.wall().table[n].path;
    QString problem;
    const std::optional<FileLength> length = probe(path, problem);
    if (!length) {
        messages_.showMessage(problem);
        return;
    }
    carts::MarkerStore& store = session_.markerStore();
    if (const QString changed = store.reconcile(path, length->frames); !changed.isEmpty()) {
        messages_.showMessage(changed);
    }
    const std::optional<carts::CartChunk> chunk = carts::readCartChunk(path);
    MarkerEditorInput input;
    input.filePath = path;
    input.sampleRate = length->sampleRate;
    input.totalFrames = length->frames;
    input.markers = store.effectiveMarkers(path).markers;
    if (chunk) {
        input.title = chunk->title;
        input.artist = chunk->artist;
        input.fileMarkers = chunk->markers;
    }
    input.writableWav = carts::isWaveFile(path);

    MarkerEditorActions actions;
    const int rate = length->sampleRate;
    actions.playFrom = [this, path, rate](std::int64_t frame) { previewFrom(path, rate, frame); };
    actions.stopPlaying = [this] { stopPreview(); };
    actions.writeToFile = [path](const carts::Markers& markers) {
        return carts::writeCartMarkers(path, markers).value_or(QString());
    };

    MarkerEditorDialog dialog(std::move(input), std::move(actions), messages_, window_);
    carts::LoudnessService& loudness = session_.loudness();
    // The worker's answers arrive queued on this thread; each connection ends with the dialog.
    connect(&loudness, &carts::LoudnessService::peaksProgress, &dialog,
            [&dialog, path](const QString& of, double fraction) {
                if (of == path) {
                    dialog.setProgress(int(std::lround(fraction * 100)));
                }
            });
    bool peaksArrived = false;
    connect(&loudness, &carts::LoudnessService::peaksReady, &dialog,
            [&dialog, &peaksArrived, path](const QString& of,
                                           std::shared_ptr<const carts::Peaks> peaks) {
                if (of != path) {
                    return;
                }
                peaksArrived = true;
                if (peaks) {
                    dialog.setPeaks(*peaks);
                } else {
                    dialog.setPeaksUnavailable(
                        QStringLiteral("Forma de onda indisponível: o arquivo não pôde ser lido"));
                }
            });
    QTimer playLine;
    playLine.setInterval(kPlayLineMs);
    connect(&playLine, &QTimer::timeout, &dialog, [this, &dialog, path, rate] {
        audio::CartPlayer& cue = session_.cuePlayer();
        if (cue.isPlaying() && cue.fileName() == path) {
            dialog.setPlayFrame(std::int64_t(cue.positionMs()) * rate / 1000);
        } else {
            dialog.setPlayFrame(std::nullopt);
        }
    });
    loudness.requestPeaks(path);
    playLine.start();
    dialog.show();
    emit editorShown(&dialog);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (!peaksArrived) {
        loudness.cancelPeaks(path); // measured later like any other file
    }
    if (!accepted) {
        return;
    }
    if (const QString failed = store.set(path, dialog.markers(), length->frames);
        !failed.isEmpty()) {
        messages_.showMessage(failed);
    }
    session_.markersChanged(path);
}

// As the search window's preview: the cue player drops what it played and plays this file.
void MarkerEditing::previewFrom(const QString& path, int sampleRate, std::int64_t frame) {
    audio::CartPlayer& cue = session_.cuePlayer();
    cue.load(path);
    cue.setPositionMs(std::int32_t(frame * 1000 / sampleRate));
    cue.play();
}

void MarkerEditing::stopPreview() {
    audio::CartPlayer& cue = session_.cuePlayer();
    cue.stop();
    cue.unload();
}

} // namespace app
