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

// The cart plays with the operator's markers, else the file's own; the reset goes back to the
// file's own.
MarkerEditorInput editorInput(const QString& path, const FileLength& length,
                              const carts::MarkerStore& store) {
    MarkerEditorInput input;
    input.filePath = path;
    input.sampleRate = length.sampleRate;
    input.totalFrames = length.frames;
    input.markers = store.effectiveMarkers(path).markers;
    if (const std::optional<carts::CartChunk> chunk = carts::readCartChunk(path)) {
        input.title = chunk->title;
        input.artist = chunk->artist;
        input.fileMarkers = chunk->markers;
    }
    input.writableWav = carts::isWaveFile(path);
    return input;
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
    MarkerEditorDialog dialog(editorInput(path, *length, store),
                              actionsFor(path, length->sampleRate), messages_, window_);
    bool peaksArrived = false;
    feedPeaks(dialog, path, peaksArrived);
    QTimer playLine;
    followPreview(dialog, playLine, path, length->sampleRate);
    dialog.show();
    emit editorShown(&dialog);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (!peaksArrived) {
        session_.loudness().cancelPeaks(path); // measured later like any other file
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

MarkerEditorActions MarkerEditing::actionsFor(const QString& path, int sampleRate) {
    MarkerEditorActions actions;
    actions.playFrom = [this, path, sampleRate](std::int64_t frame) {
        previewFrom(path, sampleRate, frame);
    };
    actions.stopPlaying = [this] { stopPreview(); };
    actions.writeToFile = [path](const carts::Markers& markers) {
        return carts::writeCartMarkers(path, markers).value_or(QString());
    };
    return actions;
}

// The worker's answers arrive queued on this thread; each connection ends with the dialog.
void MarkerEditing::feedPeaks(MarkerEditorDialog& dialog, const QString& path, bool& arrived) {
    carts::LoudnessService& loudness = session_.loudness();
    connect(&loudness, &carts::LoudnessService::peaksProgress, &dialog,
            [&dialog, path](const QString& of, double fraction) {
                if (of == path) {
                    dialog.setProgress(int(std::lround(fraction * 100)));
                }
            });
    connect(
        &loudness, &carts::LoudnessService::peaksReady, &dialog,
        [&dialog, &arrived, path](const QString& of, std::shared_ptr<const carts::Peaks> peaks) {
            if (of != path) {
                return;
            }
            arrived = true;
            if (peaks) {
                dialog.setPeaks(*peaks);
            } else {
                dialog.setPeaksUnavailable(
                    QStringLiteral("Forma de onda indisponível: o arquivo não pôde ser lido"));
            }
        });
    loudness.requestPeaks(path);
}

void MarkerEditing::followPreview(MarkerEditorDialog& dialog, QTimer& playLine, const QString& path,
                                  int sampleRate) {
    playLine.setInterval(kPlayLineMs);
    connect(&playLine, &QTimer::timeout, &dialog, [this, &dialog, path, sampleRate] {
        audio::CartPlayer& cue = session_.cuePlayer();
        if (cue.isPlaying() && cue.fileName() == path) {
            dialog.setPlayFrame(std::int64_t(cue.positionMs()) * sampleRate / 1000);
        } else {
            dialog.setPlayFrame(std::nullopt);
        }
    });
    playLine.start();
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
