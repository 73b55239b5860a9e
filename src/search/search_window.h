#pragma once
// The search window ("Pesquisa"): finds audio files under the audio folder and its subfolders
// by the beginning of their names ("Aproximado") or by any part of them ("Contém"), lists them,
// pre-listens the chosen one on the cue player, and is where rows are dragged from onto cart
// buttons. A small borderless window that stays on top; created once, shown again and again,
// hidden by closing.
//
// Threads: everything here runs on the user-interface thread. The scanner walks on a worker of
// its own and reports back here; the preview timer measures on its worker and ticks here.
#include "search/dragged_row.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

class QAbstractButton;
class QCheckBox;
class QFrame;
class QKeyEvent;
class QLineEdit;
class QMimeData;
class QPushButton;
class QRadioButton;

namespace audio {
class CartPlayer;
struct PlayMarks;
class ThreadedTimer;
} // namespace audio

namespace core {
class MessageSink;
}

namespace widgets {
class Fader;
class WindowMover;
class WrappingGrid;
} // namespace widgets

namespace search {

class ColourList;
class FileScanner;

// The masks for a query: names beginning with it, and with `anywhere` also names holding it,
// for each audio ending. The query is used as typed, so wildcards in it act as wildcards.
QStringList searchMasks(const QString& query, bool anywhere);

// What a result shows as its name: the text after the last separator, in upper case. Bytes of
// a name that were not UTF-8 are read as Windows-1252, as on the old discs such names come
// from; the path itself keeps them exactly.
QString resultName(const QString& path);

class SearchWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kNameColumn = 0;
    static constexpr int kPathColumn = 1;
    static constexpr int kPreviewCartIndex = 1; // what the cue player carries after a preview

    // Takes over the drag's data; the default starts a real drag and returns when it ends.
    using DragStarter = std::function<void(QMimeData* data)>;

    // `audioFolder` is searched with all its subfolders; `cuePlayer` plays the previews.
    SearchWindow(const QString& audioFolder, audio::CartPlayer& cuePlayer,
                 core::MessageSink& messages, QWidget* parent = nullptr);
    ~SearchWindow() override;

    // Shows the window (centred on the screen the first time, afterwards where it was left),
    // raises it and gives it the keyboard.
    void showWindow();

    // Runs the search for the query field's text: what Enter in that field does. Ignored while
    // a search runs, so neither a second walk nor a change of its masks can happen.
    void search();
    bool isSearching() const;

    // The row as a drag carries it: name and path cells and the colour chosen beforehand.
    DraggedRow draggedRow(int row) const;
    // The colour list's value while "Pré-Definir Cor do Cartucho" is ticked.
    std::optional<int> presetColour() const;
    // The letters typed in the grid that matched so far.
    const QString& typedText() const { return typed_; }

    void setDragStarter(DragStarter starter) { dragStarter_ = std::move(starter); }
    // The markers of a file: a preview plays from its cue-in to its cue-out. Without them a
    // preview plays the whole file.
    using MarksOf = std::function<audio::PlayMarks(const QString& path)>;
    void setMarksOf(MarksOf marksOf) { marksOf_ = std::move(marksOf); }

    QLineEdit* queryEdit() const { return queryEdit_; }
    widgets::WrappingGrid* grid() const { return grid_; }
    QPushButton* playButton() const { return playButton_; }
    QPushButton* stopButton() const { return stopButton_; }
    QPushButton* quitButton() const { return quitButton_; }
    widgets::Fader* positionFader() const { return positionFader_; }
    ColourList* colourList() const { return colourList_; }
    QCheckBox* presetColourBox() const { return presetColourBox_; }
    QRadioButton* approximateButton() const { return approximateButton_; }
    QRadioButton* containsButton() const { return containsButton_; }
    QFrame* panel() const { return panel_; }
    QFrame* previewPanel() const { return previewPanel_; }
    audio::ThreadedTimer& previewTimer() const { return *previewTimer_; }
    FileScanner& scanner() const { return *scanner_; }
    widgets::WindowMover& mover() const { return *mover_; }

signals:
    // A search has ended: its result is in the grid, or "nothing found" has been shown. Not
    // emitted for a search that closing the window cut short.
    void searchFinished();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildPanel();
    void buildGrid();
    void buildPreviewPanel();
    void buildOptions();
    void clearResults();

    void onSearchReady(const QStringList& result);
    void fillGrid(const QStringList& paths);
    void onRowChosen();
    void onCellPressed(int row, int column, Qt::MouseButton button);
    void startDrag(QMimeData* data);
    void typeAhead(const QKeyEvent& event);
    int rowStartingWith(const QString& prefix) const;
    void writeHeader();
    QString currentCell(int column) const;

    void startPreview();
    void stopPreview();
    void followPreview();
    void showIdlePreviewButtons();

    QString audioFolder_;
    audio::CartPlayer& cue_;
    MarksOf marksOf_;
    core::MessageSink& messages_;

    QFrame* panel_ = nullptr;
    QLineEdit* queryEdit_ = nullptr;
    widgets::WrappingGrid* grid_ = nullptr;
    QFrame* previewPanel_ = nullptr;
    QPushButton* playButton_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    widgets::Fader* positionFader_ = nullptr;
    QPushButton* quitButton_ = nullptr;
    ColourList* colourList_ = nullptr;
    QCheckBox* presetColourBox_ = nullptr;
    QRadioButton* approximateButton_ = nullptr;
    QRadioButton* containsButton_ = nullptr;
    audio::ThreadedTimer* previewTimer_ = nullptr; // 100 ms while a preview runs
    FileScanner* scanner_ = nullptr;
    widgets::WindowMover* mover_ = nullptr;

    QString typed_;
    bool placed_ = false; // shown once: keeps its place from then on
    DragStarter dragStarter_;
};

} // namespace search
