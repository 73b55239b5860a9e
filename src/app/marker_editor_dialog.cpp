#include "app/marker_editor_dialog.h"

#include "core/message_sink.h"
#include "widgets/bgr_color.h"
#include "widgets/interface_font.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

#include <cmath>

namespace app {

namespace {

constexpr int kPanelBgr = 5581568; // the dark blue of the program's panels
constexpr int kTimeFieldWidth = 96;
constexpr int kSwatchSize = 12;

QString captionOf(MarkerKind kind) {
    static const std::array<QString, 4> kCaptions{QStringLiteral("Início"), QStringLiteral("Fim"),
                                                  QStringLiteral("Fim da Introdução"),
                                                  QStringLiteral("Início da Mixagem")};
    return kCaptions[std::size_t(kind)];
}

// Why the marker cannot stand where the other markers leave no room for it.
QString orderRule(MarkerKind kind) {
    static const std::array<QString, 4> kRules{
        QStringLiteral("deve vir antes do Fim, da Introdução e da Mixagem"),
        QStringLiteral("deve vir depois do Início, da Introdução e da Mixagem"),
        QStringLiteral("deve ficar entre o Início e o Fim"),
        QStringLiteral("deve ficar entre o Início e o Fim")};
    return kRules[std::size_t(kind)];
}

void paintPanel(QWidget* panel) {
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, widgets::colorFromBgr(kPanelBgr));
    pal.setColor(QPalette::Base, widgets::colorFromBgr(kPanelBgr));
    pal.setColor(QPalette::WindowText, Qt::white);
    pal.setColor(QPalette::Text, Qt::white);
    panel->setPalette(pal);
}

QPushButton* makeButton(const QString& caption, const char* objectName, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(objectName));
    // Enter always means OK, whichever button has the focus.
    button->setAutoDefault(false);
    return button;
}

QLabel* colourSwatch(const QColor& colour, QWidget* parent) {
    auto* swatch = new QLabel(parent);
    swatch->setFixedSize(kSwatchSize, kSwatchSize);
    swatch->setAutoFillBackground(true);
    QPalette pal = swatch->palette();
    pal.setColor(QPalette::Window, colour);
    swatch->setPalette(pal);
    return swatch;
}

void setTextColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette pal = widget->palette();
    pal.setColor(role, colour);
    widget->setPalette(pal);
}

} // namespace

QString markerTimeText(std::optional<std::int64_t> frame, int sampleRate) {
    if (!frame || sampleRate <= 0) {
        return {};
    }
    const std::int64_t ms = std::llround(double(*frame) * 1000.0 / sampleRate);
    return QStringLiteral("%1:%2.%3")
        .arg(ms / 60000, 2, 10, QLatin1Char('0'))
        .arg(ms % 60000 / 1000, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

std::optional<std::int64_t> parseMarkerTime(const QString& text, int sampleRate) {
    static const QRegularExpression kTime(
        QStringLiteral(R"(^\s*(?:(\d{1,5}):)?(\d{1,5})(?:[.,](\d{1,3}))?\s*$)"));
    const QRegularExpressionMatch match = kTime.match(text);
    if (!match.hasMatch() || sampleRate <= 0) {
        return std::nullopt;
    }
    const bool hasMinutes = match.hasCaptured(1);
    const std::int64_t minutes = hasMinutes ? match.captured(1).toLongLong() : 0;
    const std::int64_t seconds = match.captured(2).toLongLong();
    if (hasMinutes && seconds >= 60) {
        return std::nullopt;
    }
    // ".5" is half a second, as a clock reads it.
    const std::int64_t millis = match.captured(3).leftJustified(3, QLatin1Char('0')).toLongLong();
    const std::int64_t ms = (minutes * 60 + seconds) * 1000 + millis;
    return std::llround(double(ms) * sampleRate / 1000.0);
}

MarkerEditorDialog::MarkerEditorDialog(MarkerEditorInput input, MarkerEditorActions actions,
                                       core::MessageSink& messages, QWidget* parent)
    : QDialog(parent), input_(std::move(input)), actions_(std::move(actions)), messages_(messages),
      markers_(input_.markers) {
    setObjectName(QStringLiteral("markerEditorDialog"));
    setWindowTitle(QStringLiteral("Marcas do Áudio"));
    setFont(widgets::interfaceFont(8, false));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildFilePanel());
    layout->addWidget(buildWaveformPanel(), 1);
    layout->addLayout(buildTransportRow());
    layout->addLayout(buildMarkerGrid());
    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("markerProblemLine"));
    problem_->setWordWrap(true); // a long file error must not widen the dialog
    layout->addWidget(problem_);
    layout->addLayout(buildButtonRow());
    resize(900, 560);

    view_->setLength(input_.totalFrames, input_.sampleRate);
    if (input_.peaks) {
        setPeaks(std::move(*input_.peaks));
        input_.peaks.reset();
    }
    showMarkers(markers_);
    showPointer(0);
    ok_->setFocus();
}

QWidget* MarkerEditorDialog::buildFilePanel() {
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("markerFilePanel"));
    paintPanel(panel);
    auto* grid = new QGridLayout(panel);
    const std::array<std::pair<QString, QString>, 3> lines{{
        {QStringLiteral("Arquivo:"), input_.filePath},
        {QStringLiteral("Título:"), input_.title},
        {QStringLiteral("Artista:"), input_.artist},
    }};
    for (int row = 0; row < int(lines.size()); ++row) {
        grid->addWidget(new QLabel(lines[row].first, panel), row, 0);
        // Read-only fields rather than labels: a long path or title scrolls instead of widening
        // the dialog past the screen.
        auto* value = new QLineEdit(lines[row].second, panel);
        value->setReadOnly(true);
        value->setFrame(false);
        value->setFocusPolicy(Qt::ClickFocus);
        value->setToolTip(lines[row].second);
        grid->addWidget(value, row, 1);
    }
    grid->setColumnStretch(1, 1);
    return panel;
}

QWidget* MarkerEditorDialog::buildWaveformPanel() {
    auto* panel = new QWidget(this);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);
    view_ = new WaveformView(panel);
    view_->setObjectName(QStringLiteral("waveformView"));
    view_->setMinimumHeight(220);
    column->addWidget(view_, 1);
    auto* measuring = new QHBoxLayout;
    progressCaption_ = new QLabel(QStringLiteral("Medindo o áudio..."), panel);
    progressCaption_->setWordWrap(true); // also carries the reason when measuring failed
    progress_ = new QProgressBar(panel);
    progress_->setRange(0, 100);
    measuring->addWidget(progressCaption_, 1);
    measuring->addWidget(progress_, 2);
    column->addLayout(measuring);
    connect(view_, &WaveformView::markerMoved, this, &MarkerEditorDialog::onMarkerDragged);
    connect(view_, &WaveformView::pointerFrameChanged, this, &MarkerEditorDialog::showPointer);
    return panel;
}

QLayout* MarkerEditorDialog::buildTransportRow() {
    auto* row = new QHBoxLayout;
    playPointer_ = makeButton(QStringLiteral("Tocar do Cursor"), "playPointerButton", this);
    stop_ = makeButton(QStringLiteral("Parar"), "stopButton", this);
    auto* pointerCaption = new QLabel(QStringLiteral("Cursor:"), this);
    pointerTime_ = new QLabel(this);
    pointerTime_->setObjectName(QStringLiteral("pointerTime"));
    pointerTime_->setMinimumWidth(kTimeFieldWidth);
    auto* zoomIn = makeButton(QStringLiteral("Ampliar (+)"), "zoomInButton", this);
    auto* zoomOut = makeButton(QStringLiteral("Reduzir (-)"), "zoomOutButton", this);
    auto* whole = makeButton(QStringLiteral("Ver Tudo"), "wholeFileButton", this);
    for (QWidget* w :
         std::initializer_list<QWidget*>{playPointer_, stop_, pointerCaption, pointerTime_}) {
        row->addWidget(w);
    }
    row->addStretch();
    for (QWidget* w : {zoomIn, zoomOut, whole}) {
        row->addWidget(w);
    }
    connect(playPointer_, &QPushButton::clicked, this, [this] { play(view_->pointerFrame()); });
    connect(stop_, &QPushButton::clicked, this, [this] {
        if (actions_.stopPlaying) {
            actions_.stopPlaying();
        }
        previewStarted_ = false;
        view_->setPlayFrame(std::nullopt);
    });
    connect(zoomIn, &QPushButton::clicked, this,
            [this] { view_->zoomAround(1.0 / WaveformView::kZoomStep, view_->pointerFrame()); });
    connect(zoomOut, &QPushButton::clicked, this,
            [this] { view_->zoomAround(WaveformView::kZoomStep, view_->pointerFrame()); });
    connect(whole, &QPushButton::clicked, view_, &WaveformView::showWholeFile);
    return row;
}

// Two markers a line: the cue points, then the intro end and the segue start.
QLayout* MarkerEditorDialog::buildMarkerGrid() {
    auto* grid = new QGridLayout;
    constexpr int kColumnsPerMarker = 6;
    for (const MarkerKind kind : kMarkerKinds) {
        const int at = int(index(kind));
        const int row = at / 2;
        const int column = (at % 2) * kColumnsPerMarker;
        MarkerRow& marker = rows_[index(kind)];
        auto* caption = new QLabel(captionOf(kind) + QLatin1Char(':'), this);
        marker.edit = new QLineEdit(this);
        marker.edit->setObjectName(QStringLiteral("markerEdit%1").arg(at));
        marker.edit->setPlaceholderText(QStringLiteral("mm:ss.mmm"));
        marker.edit->setToolTip(QStringLiteral("mm:ss.mmm; vazio: sem esta marca"));
        marker.edit->setFixedWidth(kTimeFieldWidth);
        caption->setBuddy(marker.edit);
        marker.play = makeButton(QStringLiteral("Tocar"), "", this);
        marker.play->setObjectName(QStringLiteral("playMarkerButton%1").arg(at));
        if (kind == MarkerKind::CueOut) {
            marker.play->setToolTip(
                QStringLiteral("Toca desde %1 segundos antes do Fim").arg(kCueOutPrerollMs / 1000));
        }
        marker.mark = makeButton(QStringLiteral("No Cursor"), "", this);
        marker.mark->setObjectName(QStringLiteral("markAtPointerButton%1").arg(at));
        marker.mark->setToolTip(QStringLiteral("Põe a marca no cursor"));
        grid->addWidget(colourSwatch(markerColour(kind), this), row, column);
        grid->addWidget(caption, row, column + 1);
        grid->addWidget(marker.edit, row, column + 2);
        grid->addWidget(marker.play, row, column + 3);
        grid->addWidget(marker.mark, row, column + 4);
        connect(marker.edit, &QLineEdit::textEdited, this, [this] { takeTypedMarkers(); });
        connect(marker.edit, &QLineEdit::editingFinished, this, [this, kind] {
            if (readField(kind).problem.isEmpty()) {
                showMarkerText(kind); // the clean form of what was typed
            }
        });
        connect(marker.play, &QPushButton::clicked, this, [this, kind] {
            if (const auto frame = markerOf(markers_, kind)) {
                const std::int64_t preroll =
                    kind == MarkerKind::CueOut
                        ? std::int64_t(input_.sampleRate) * kCueOutPrerollMs / 1000
                        : 0;
                play(std::max<std::int64_t>(0, *frame - preroll));
            }
        });
        connect(marker.mark, &QPushButton::clicked, this, [this, kind] { markAtPointer(kind); });
    }
    grid->setColumnMinimumWidth(kColumnsPerMarker - 1, 24); // a gap between the two markers
    grid->setColumnStretch(2 * kColumnsPerMarker - 1, 1);
    return grid;
}

QLayout* MarkerEditorDialog::buildButtonRow() {
    auto* row = new QHBoxLayout;
    reset_ = makeButton(QStringLiteral("Restaurar Marcas do Arquivo"), "resetMarkersButton", this);
    write_ = makeButton(QStringLiteral("Gravar no Arquivo WAV"), "writeMarkersButton", this);
    write_->setEnabled(input_.writableWav && actions_.writeToFile != nullptr);
    if (!input_.writableWav) {
        write_->setToolTip(QStringLiteral("Só arquivos WAV guardam marcas"));
    }
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("okButton"));
    ok_->setDefault(true);
    cancel_ = makeButton(QStringLiteral("Cancelar"), "cancelButton", this);
    row->addWidget(reset_);
    row->addWidget(write_);
    row->addStretch();
    row->addWidget(ok_);
    row->addWidget(cancel_);
    connect(reset_, &QPushButton::clicked, this, [this] { showMarkers(input_.fileMarkers); });
    connect(write_, &QPushButton::clicked, this, &MarkerEditorDialog::writeMarkers);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    return row;
}

void MarkerEditorDialog::setProgress(int percent) {
    progress_->setValue(std::clamp(percent, 0, 100));
}

void MarkerEditorDialog::setPeaks(carts::Peaks peaks) {
    view_->setPeaks(std::move(peaks));
    progress_->hide();
    progressCaption_->hide();
}

void MarkerEditorDialog::setPeaksUnavailable(const QString& reason) {
    progress_->hide();
    progressCaption_->setText(reason);
}

void MarkerEditorDialog::setPlayFrame(std::optional<std::int64_t> frame) {
    view_->setPlayFrame(frame);
}

// A field showing its marker's own text stands for the marker's exact frame: a dragged marker
// sits between two milliseconds, and reading its text back must not move it.
MarkerEditorDialog::FieldReading MarkerEditorDialog::readField(MarkerKind kind) const {
    const QString text = markerEdit(kind)->text();
    const auto current = markerOf(markers_, kind);
    FieldReading reading;
    if (text == markerTimeText(current, input_.sampleRate)) {
        reading.frame = current;
    } else if (!text.trimmed().isEmpty()) {
        reading.frame = parseMarkerTime(text, input_.sampleRate);
        if (!reading.frame) {
            reading.problem = QStringLiteral("tempo inválido, use mm:ss.mmm");
        }
    }
    if (reading.frame && *reading.frame > input_.totalFrames) {
        reading.problem = QStringLiteral("depois do fim do áudio (") +
                          markerTimeText(input_.totalFrames, input_.sampleRate) + QLatin1Char(')');
    } else if (reading.frame &&
               !allowedSpan(markers_, kind, input_.totalFrames).contains(*reading.frame)) {
        reading.problem = orderRule(kind);
    }
    if (!reading.problem.isEmpty()) {
        reading.problem = captionOf(kind) + QStringLiteral(": ") + reading.problem;
    }
    return reading;
}

// A field whose text is not the marker it shows: a bad time, or one the other markers forbid.
std::optional<MarkerKind> MarkerEditorDialog::firstUnsettledField() const {
    for (const MarkerKind kind : kMarkerKinds) {
        const FieldReading reading = readField(kind);
        if (!reading.problem.isEmpty() || reading.frame != markerOf(markers_, kind)) {
            return kind;
        }
    }
    return std::nullopt;
}

// Takes every field that now holds an acceptable time (a marker moved elsewhere can make a
// refused one acceptable), marks the others, and names the first problem.
void MarkerEditorDialog::takeTypedMarkers() {
    QString firstProblem;
    for (const MarkerKind kind : kMarkerKinds) {
        QLineEdit* edit = markerEdit(kind);
        const FieldReading reading = readField(kind);
        const bool refused = !reading.problem.isEmpty();
        setTextColour(edit, QPalette::Text,
                      refused ? QColor(Qt::red)
                              : QApplication::palette(edit).color(QPalette::Text));
        if (refused) {
            firstProblem = firstProblem.isEmpty() ? reading.problem : firstProblem;
        } else {
            markerOf(markers_, kind) = reading.frame;
        }
    }
    view_->setMarkers(markers_);
    setTextColour(problem_, QPalette::WindowText, Qt::red);
    problem_->setText(firstProblem);
    for (const MarkerKind kind : kMarkerKinds) {
        playMarkerButton(kind)->setEnabled(markerOf(markers_, kind).has_value());
    }
}

void MarkerEditorDialog::onMarkerDragged(MarkerKind kind, std::int64_t frame) {
    markerOf(markers_, kind) = frame;
    showMarkerText(kind);
}

void MarkerEditorDialog::markAtPointer(MarkerKind kind) {
    markerEdit(kind)->setText(markerTimeText(view_->pointerFrame(), input_.sampleRate));
    takeTypedMarkers();
}

void MarkerEditorDialog::showMarkers(const carts::Markers& markers) {
    markers_ = markers;
    for (const MarkerKind kind : kMarkerKinds) {
        markerEdit(kind)->setText(markerTimeText(markerOf(markers_, kind), input_.sampleRate));
    }
    takeTypedMarkers();
}

void MarkerEditorDialog::showMarkerText(MarkerKind kind) {
    markerEdit(kind)->setText(markerTimeText(markerOf(markers_, kind), input_.sampleRate));
    takeTypedMarkers();
}

void MarkerEditorDialog::showPointer(std::int64_t frame) {
    view_->setPointerFrame(frame);
    pointerTime_->setText(markerTimeText(frame, input_.sampleRate));
}

bool MarkerEditorDialog::refuseWhileUnsettled() {
    const auto kind = firstUnsettledField();
    if (!kind) {
        return false;
    }
    const QString problem = readField(*kind).problem;
    setTextColour(problem_, QPalette::WindowText, Qt::red);
    problem_->setText(problem.isEmpty() ? captionOf(*kind) + QStringLiteral(": marca não aceita")
                                        : problem);
    markerEdit(*kind)->setFocus();
    markerEdit(*kind)->selectAll();
    QApplication::beep();
    return true;
}

void MarkerEditorDialog::play(std::int64_t frame) {
    if (actions_.playFrom) {
        actions_.playFrom(frame);
        previewStarted_ = true;
    }
}

void MarkerEditorDialog::writeMarkers() {
    if (refuseWhileUnsettled() || !actions_.writeToFile) {
        return;
    }
    const QString error = actions_.writeToFile(markers_);
    if (!error.isEmpty()) {
        messages_.showMessage(QStringLiteral("Erro ao gravar as marcas no arquivo\r") + error,
                              core::MessageSink::Icon::Error);
        return;
    }
    input_.fileMarkers = markers_; // the file's own markers are these now
    setTextColour(problem_, QPalette::WindowText, palette().color(QPalette::WindowText));
    problem_->setText(QStringLiteral("Marcas gravadas no arquivo."));
}

void MarkerEditorDialog::done(int result) {
    if (result == QDialog::Accepted && refuseWhileUnsettled()) {
        return;
    }
    if (previewStarted_ && actions_.stopPlaying) {
        actions_.stopPlaying(); // the preview belongs to this dialog
    }
    previewStarted_ = false;
    QDialog::done(result);
}

} // namespace app
