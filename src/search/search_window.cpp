#include "search/search_window.h"
#include "widgets/interface_font.h"
#include "widgets/upper_case_validator.h"
#include "widgets/window_placement.h"

#include "audio/cart_player.h"
#include "audio/threaded_timer.h"
#include "core/message_sink.h"
#include "core/path_bytes.h"
#include "core/text_helpers.h"
#include "core/windows1252.h"
#include "search/colour_list.h"
#include "search/file_scanner.h"
#include "widgets/fader.h"
#include "widgets/window_mover.h"
#include "widgets/wrapping_grid.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDrag>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QValidator>

#include <algorithm>
#include <limits>

namespace search {

namespace {

const QString kNothingFound = QStringLiteral("Nenhuma ocorrência foi encontrada");
const QString kHeaderPrefix = QStringLiteral("Descrição do áudio  - ");
const QStringList kAudioEndings = {QStringLiteral("*.mp3"), QStringLiteral("*.wav"),
                                   QStringLiteral("*.wma")};
constexpr int kPreviewTickMs = 100;
// core::decodePathBytes keeps byte b of a name that is not UTF-8 as U+DC00 + b.
constexpr char16_t kEscapeBase = 0xDC00;
constexpr char16_t kFirstEscapedByte = 0xDC80;
constexpr char16_t kLastEscapedByte = 0xDCFF;

const QColor kPanelColour(140, 140, 140);
const QColor kGridColour(4, 23, 38);
const QColor kHeaderColour(219, 208, 149);
const QColor kFaderColour(166, 169, 170); // thumb and groove of the position fader

QFont windowFont() {
    return widgets::interfaceFont(11);
}

void setBackground(QWidget* widget, const QColor& colour) {
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Window, colour);
    widget->setPalette(pal);
    widget->setAutoFillBackground(true);
}

void setBaseColour(QLineEdit* edit, const QColor& colour) {
    QPalette pal = edit->palette();
    pal.setColor(QPalette::Base, colour);
    edit->setPalette(pal);
}

QFrame* makePanel(QWidget* parent, const QRect& geometry) {
    auto* panel = new QFrame(parent);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setGeometry(geometry);
    setBackground(panel, kPanelColour);
    panel->setCursor(Qt::SizeAllCursor);
    return panel;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QRect& geometry,
                        QStyle::StandardPixmap picture, const QString& hint) {
    auto* button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    button->setIcon(parent->style()->standardIcon(picture));
    button->setToolTip(hint);
    button->setCursor(Qt::ArrowCursor);
    return button;
}

int clampToInt(std::uint32_t value) {
    return int(std::min<std::uint32_t>(value, std::numeric_limits<int>::max()));
}

} // namespace

QStringList searchMasks(const QString& query, bool anywhere) {
    QStringList masks;
    for (const QString& ending : kAudioEndings)
        masks.append(query + ending);
    if (anywhere) {
        for (const QString& ending : kAudioEndings)
            masks.append(u'*' + query + ending);
    }
    return masks;
}

QString resultName(const QString& path) {
    QString name = core::fileNameOf(path);
    for (QChar& c : name) {
        if (c.unicode() >= kFirstEscapedByte && c.unicode() <= kLastEscapedByte) {
            const char byte = char(c.unicode() - kEscapeBase);
            c = core::fromWindows1252(QByteArrayView(&byte, 1)).at(0);
        }
    }
    return name.toUpper();
}

SearchWindow::SearchWindow(const QString& audioFolder, audio::CartPlayer& cuePlayer,
                           core::MessageSink& messages, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      audioFolder_(audioFolder), cue_(cuePlayer), messages_(messages) {
    setObjectName(QStringLiteral("searchWindow"));
    setWindowTitle(QStringLiteral("Pesquisa"));
    setFont(windowFont());
    setFixedSize(379, 261);
    setBackground(this, Qt::black);
    mover_ = new widgets::WindowMover(*this);
    buildPanel();
    buildGrid();
    buildPreviewPanel();
    buildOptions();

    previewTimer_ = new audio::ThreadedTimer(this);
    previewTimer_->setObjectName(QStringLiteral("previewTimer"));
    previewTimer_->setInterval(kPreviewTickMs);
    previewTimer_->setThreadPriority(audio::ThreadPriority::Lower);
    previewTimer_->setOnTimer([this](QObject*) { followPreview(); });

    scanner_ = new FileScanner(this);
    scanner_->setSubDirectories(true);
    connect(scanner_, &FileScanner::ready, this, &SearchWindow::onSearchReady);
}

// The scanner and the preview timer stop with the window (both are its children).
SearchWindow::~SearchWindow() = default;

void SearchWindow::buildPanel() {
    panel_ = makePanel(this, QRect(1, 2, 376, 255));
    panel_->setObjectName(QStringLiteral("searchPanel"));
    mover_->addHandle(panel_);

    auto* label = new QLabel(QStringLiteral("Pesquisa:"), panel_);
    QFont bold = font();
    bold.setBold(true);
    label->setFont(bold);
    label->move(11, 9);
    label->adjustSize();

    queryEdit_ = new QLineEdit(panel_);
    queryEdit_->setObjectName(QStringLiteral("queryEdit"));
    queryEdit_->setGeometry(72, 7, 185, 21);
    queryEdit_->setToolTip(QStringLiteral("Digite a música ou interprete e pressione <ENTER>"));
    // Typed and pasted letters turn into upper case.
    queryEdit_->setValidator(new widgets::UpperCaseValidator(queryEdit_));
    queryEdit_->setCursor(Qt::IBeamCursor);
    setBaseColour(queryEdit_, QColor(192, 192, 192)); // white once shown
    connect(queryEdit_, &QLineEdit::returnPressed, this, &SearchWindow::search);
}

void SearchWindow::buildGrid() {
    grid_ = new widgets::WrappingGrid(panel_);
    grid_->setObjectName(QStringLiteral("resultGrid"));
    grid_->setGeometry(6, 34, 363, 133);
    grid_->setToolTip(QStringLiteral("Arraste a música para o canal desejado"));
    grid_->viewport()->setCursor(Qt::PointingHandCursor);
    grid_->setColor(kGridColour);
    grid_->setTextColor(Qt::white);
    grid_->setFixedColor(kHeaderColour);
    grid_->setColumnCount(2);
    grid_->setColumnWidth(kNameColumn, 358);
    grid_->setColumnWidth(kPathColumn, 5);
    grid_->setDefaultRowHeight(17);
    grid_->setFixedRowCount(1);
    grid_->setFixedColumnCount(0);
    grid_->setOptions(widgets::WrappingGrid::FixedLines | widgets::WrappingGrid::CellLines |
                      widgets::WrappingGrid::RangeSelect | widgets::WrappingGrid::RowSizing |
                      widgets::WrappingGrid::ColSizing | widgets::WrappingGrid::RowSelect);
    grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    grid_->setRowCount(2);
    grid_->installEventFilter(this); // the type-ahead sees every key before the grid
    connect(grid_, &widgets::WrappingGrid::clicked, this, &SearchWindow::onRowChosen);
    connect(grid_, &widgets::WrappingGrid::cellPressed, this, &SearchWindow::onCellPressed);
}

void SearchWindow::buildPreviewPanel() {
    previewPanel_ = makePanel(panel_, QRect(6, 171, 365, 41));
    previewPanel_->setObjectName(QStringLiteral("previewPanel"));
    mover_->addHandle(previewPanel_);

    playButton_ = makeButton(previewPanel_, "playButton", QRect(6, 4, 73, 32), QStyle::SP_MediaPlay,
                             QStringLiteral("Play (CUE)"));
    playButton_->setFlat(true);
    playButton_->setEnabled(false);
    connect(playButton_, &QPushButton::clicked, this, &SearchWindow::startPreview);

    stopButton_ = makeButton(previewPanel_, "stopButton", QRect(81, 4, 55, 32),
                             QStyle::SP_MediaStop, QStringLiteral("Stop"));
    stopButton_->setFlat(true);
    stopButton_->setEnabled(false);
    connect(stopButton_, &QPushButton::clicked, this, &SearchWindow::stopPreview);

    positionFader_ = new widgets::Fader(previewPanel_);
    positionFader_->setObjectName(QStringLiteral("positionFader"));
    positionFader_->setGeometry(147, 9, 100, 25);
    positionFader_->setCursor(Qt::PointingHandCursor);
    positionFader_->setPageSize(10);
    positionFader_->setThumbWidth(8);
    positionFader_->setThumbHeight(20);
    positionFader_->setThumbColor(kFaderColour);
    positionFader_->setGrooveColor(kFaderColour);
    connect(positionFader_, &widgets::Fader::track, this,
            [this](int position) { cue_.setPositionMs(position); });

    quitButton_ = makeButton(previewPanel_, "quitButton", QRect(272, 4, 87, 33),
                             QStyle::SP_DialogCloseButton, QString());
    quitButton_->setText(QStringLiteral("Sair"));
    QFont bold = font();
    bold.setBold(true);
    bold.setPixelSize(16);
    quitButton_->setFont(bold);
    connect(quitButton_, &QPushButton::clicked, this, &QWidget::close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, quitButton_, &QPushButton::click);
}

void SearchWindow::buildOptions() {
    colourList_ = new ColourList(panel_);
    colourList_->setObjectName(QStringLiteral("colourList"));
    colourList_->setGeometry(178, 218, 191, 22);
    colourList_->setCursor(Qt::ArrowCursor);

    presetColourBox_ = new QCheckBox(QStringLiteral("Pré-Definir Cor do Cartucho"), panel_);
    presetColourBox_->setObjectName(QStringLiteral("presetColourBox"));
    presetColourBox_->move(16, 224);
    presetColourBox_->adjustSize();
    presetColourBox_->setCursor(Qt::ArrowCursor);

    approximateButton_ = new QRadioButton(QStringLiteral("Aproximado"), panel_);
    approximateButton_->setObjectName(QStringLiteral("approximateButton"));
    approximateButton_->move(286, 2);
    approximateButton_->adjustSize();
    approximateButton_->setChecked(true);
    containsButton_ = new QRadioButton(QStringLiteral("Contém"), panel_);
    containsButton_->setObjectName(QStringLiteral("containsButton"));
    containsButton_->move(287, 18);
    containsButton_->adjustSize();
    for (QWidget* option :
         {static_cast<QWidget*>(approximateButton_), static_cast<QWidget*>(containsButton_)})
        option->setCursor(Qt::ArrowCursor);
}

// ---- showing and closing

void SearchWindow::showWindow() {
    if (!placed_) {
        widgets::centreOnScreen(*this);
        placed_ = true;
    }
    show();
    raise();
    activateWindow(); // a bare X server has no window manager to give us the keyboard
}

void SearchWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    clearResults();
    queryEdit_->clear();
    setBaseColour(queryEdit_, Qt::white);
    queryEdit_->setFocus();
}

// Keeps the header row: it shows the type-ahead, which lives on between shows.
void SearchWindow::clearResults() {
    grid_->setRowCount(2); // rows dropped here come back empty
    for (int column = 0; column < grid_->columnCount(); ++column)
        grid_->setCell(1, column, QString());
}

// Closing hides the window. A search under way ends here and reports nothing; the preview
// stops, but its file stays loaded on the cue player.
void SearchWindow::closeEvent(QCloseEvent* event) {
    scanner_->cancel();
    previewTimer_->setEnabled(false);
    cue_.stop();
    showIdlePreviewButtons();
    QWidget::closeEvent(event);
    // The keyboard goes back to the owner, also where no window manager hands it on (a
    // close of the hidden window leaves it where it is).
    if (isVisible() && parentWidget() != nullptr)
        parentWidget()->activateWindow();
}

// ---- the search

bool SearchWindow::isSearching() const {
    return scanner_->isRunning();
}

void SearchWindow::search() {
    if (isSearching())
        return;
    QString folder = audioFolder_;
    if (!folder.endsWith(u'/'))
        folder += u'/';
    scanner_->setFilePath(folder);
    scanner_->setSubDirectories(true);
    scanner_->setSearchFilter(searchMasks(queryEdit_->text(), containsButton_->isChecked()));
    scanner_->start();
}

void SearchWindow::onSearchReady(const QStringList& result) {
    if (result.isEmpty())
        messages_.showMessage(kNothingFound); // the grid keeps its rows
    else
        fillGrid(result);
    emit searchFinished();
}

// The header row, the current row and the scroll position stay as they were.
void SearchWindow::fillGrid(const QStringList& paths) {
    grid_->setRowCount(int(paths.size()) + 1);
    for (int i = 0; i < paths.size(); ++i) {
        grid_->setCell(i + 1, kNameColumn, resultName(paths[i]));
        // The whole path: a cut one would name another file or none.
        grid_->setCell(i + 1, kPathColumn, paths[i]);
    }
}

// ---- the grid

QString SearchWindow::currentCell(int column) const {
    return grid_->cell(grid_->currentRow(), column);
}

DraggedRow SearchWindow::draggedRow(int row) const {
    return {grid_->cell(row, kNameColumn), grid_->cell(row, kPathColumn), presetColour()};
}

std::optional<int> SearchWindow::presetColour() const {
    if (!presetColourBox_->isChecked())
        return std::nullopt;
    return colourList_->colour();
}

// A row chosen with the mouse, the keyboard or the type-ahead.
void SearchWindow::onRowChosen() {
    if (currentCell(kNameColumn).isEmpty())
        return;
    const bool previewing = cue_.isPlaying();
    playButton_->setEnabled(!previewing);
    stopButton_->setEnabled(previewing);
    grid_->setToolTip(currentCell(kPathColumn));
}

// The grid has made the pressed row current and emitted clicked() before this: the drag starts
// at the press, without waiting for the pointer to move.
void SearchWindow::onCellPressed(int row, int, Qt::MouseButton button) {
    typed_.clear();
    const bool onResultRow = row >= grid_->fixedRowCount();
    if (button != Qt::LeftButton || !onResultRow || currentCell(kNameColumn).trimmed().isEmpty())
        return;
    startDrag(makeDragData(draggedRow(grid_->currentRow())));
}

void SearchWindow::startDrag(QMimeData* data) {
    if (dragStarter_) {
        dragStarter_(data);
        return;
    }
    auto* drag = new QDrag(grid_); // Qt deletes it when the drag ends
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction);
}

bool SearchWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == grid_ && event->type() == QEvent::KeyPress)
        typeAhead(*static_cast<QKeyEvent*>(event));
    return QWidget::eventFilter(watched, event); // the grid still handles the key
}

void SearchWindow::typeAhead(const QKeyEvent& event) {
    if (currentCell(kNameColumn).isEmpty())
        return;
    const int key = event.key();
    if (key == Qt::Key_Backspace) {
        typed_.chop(1);
    } else if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        const QString wanted = typed_ + QChar(u'A' + (key - Qt::Key_A));
        const int row = rowStartingWith(wanted);
        if (row > 0) {
            typed_ = wanted;
            if (row == grid_->currentRow())
                onRowChosen(); // choosing the current row again still counts as a choice
            else
                grid_->setCurrentCell(row, grid_->currentColumn()); // emits clicked()
        }
    }
    writeHeader();
}

int SearchWindow::rowStartingWith(const QString& prefix) const {
    for (int row = grid_->fixedRowCount(); row < grid_->rowCount(); ++row) {
        if (grid_->cell(row, kNameColumn).startsWith(prefix))
            return row;
    }
    return 0;
}

void SearchWindow::writeHeader() {
    grid_->setCell(0, kNameColumn, kHeaderPrefix + typed_);
}

// ---- the preview on the cue player

void SearchWindow::startPreview() {
    const QString path = currentCell(kPathColumn);
    if (!core::isFileAt(path))
        return; // a file gone since the search: silently nothing
    if (!cue_.isPlaying())
        cue_.unload();
    cue_.load(path);
    if (marksOf_ && cue_.loaded()) {
        cue_.setMarks(marksOf_(path));
    }
    cue_.setCartIndex(kPreviewCartIndex);
    cue_.play();
    positionFader_->setMaxValue(clampToInt(cue_.lengthMs()));
    previewTimer_->setEnabled(true);
    playButton_->setEnabled(false);
    stopButton_->setEnabled(true);
}

void SearchWindow::stopPreview() {
    cue_.stop();
    cue_.unload();
    previewTimer_->setEnabled(false);
    showIdlePreviewButtons();
}

void SearchWindow::followPreview() {
    positionFader_->setPosition(clampToInt(cue_.positionMs()));
}

void SearchWindow::showIdlePreviewButtons() {
    playButton_->setEnabled(true);
    stopButton_->setEnabled(false);
}

} // namespace search
