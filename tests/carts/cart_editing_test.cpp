#include "carts/cart_editing.h"
#include "editing_fakes.h"
#include "support/qstring_print.h"

#include <gtest/gtest.h>

using namespace carts;
using namespace carts::testing;

namespace {

const QString kHint = "Clique com o botão direito do Mouse para Listar as funções";

class CartEditingTest : public ::testing::Test {
protected:
    Cart& slot(int n) { return wall.table[n]; }
    void loadCart(int n, const QString& name, const QString& path = "/a/x.mp3") {
        slot(n) = {name, path, "65280", "1", "1", "16777215", "4000"};
    }

    Wall wall;
    FakeButtons buttons;
    FakePlayers players;
    FakeDialogs dialogs;
    FakeMessages messages;
    CartEditing editing{wall, buttons, players, dialogs, messages};
};

} // namespace

TEST_F(CartEditingTest, MenuOnEmptyCartOffersOnlyTheGeneralItems) {
    EXPECT_EQ(editing.menuState(0), std::nullopt); // no current cart: menu left alone
    slot(4).path = "/a/sem nome.mp3";             // a path without a name is still an empty cart
    CartMenuState expected; // defaults: only the items that are always enabled
    EXPECT_EQ(editing.menuState(4), expected);

    wall.copyBuffer.name = "COPIA";
    expected.paste = true;
    EXPECT_EQ(editing.menuState(4), expected);
}

TEST_F(CartEditingTest, MenuOnLoadedCartEnablesCartItemsAndSetsCheckMarks) {
    loadCart(5, "SPOT");
    auto state = editing.menuState(5);
    ASSERT_TRUE(state);
    EXPECT_TRUE(state->deleteAudio && state->chooseColour && state->defaultColour &&
                state->chooseCaptionColour && state->properties && state->preferences &&
                state->rename && state->loop && state->copy);
    EXPECT_FALSE(state->paste);
    EXPECT_TRUE(state->stopWithCutChecked);
    EXPECT_FALSE(state->stopWithFadeChecked);
    EXPECT_TRUE(state->loopChecked);

    slot(5).setStopMode(StopMode::Fade);
    slot(5).setLoop(false);
    state = editing.menuState(5);
    EXPECT_FALSE(state->stopWithCutChecked);
    EXPECT_TRUE(state->stopWithFadeChecked);
    EXPECT_FALSE(state->loopChecked);

    slot(5).setStopMode(StopMode::Unset); // never set: neither radio item is checked
    state = editing.menuState(5);
    EXPECT_FALSE(state->stopWithCutChecked || state->stopWithFadeChecked);
}

TEST_F(CartEditingTest, CartCommandsDoNothingWithoutCurrentCart) {
    wall.copyBuffer = {"COPIA", "/c.mp3", "1", "0", "0", "0", "10"};
    editing.insertAudio(0);
    editing.pasteCart(0);
    editing.dropFiles({QUrl::fromLocalFile("/a/b.mp3")}, 0);
    EXPECT_TRUE(dialogs.fileTitles.isEmpty());
    EXPECT_EQ(buttons.facesApplied, 0);
    EXPECT_TRUE(players.measured.isEmpty());
    EXPECT_FALSE(wall.profileChanged);
}

TEST_F(CartEditingTest, InsertNamesTheCartAfterTheFileAndCutsTheCaption) {
    const QString path = "C:\\AUDIO\\vinheta 01.mp3";
    players.lengths[path] = 12345;
    slot(7).setStopMode(StopMode::Cut);
    slot(7).setLoop(true);
    dialogs.files = {path};
    dialogs.colours = {65280};

    editing.insertAudio(7);

    EXPECT_EQ(dialogs.fileTitles, QStringList{"Incluir Áudio no Cartucho ->7"});
    EXPECT_EQ(slot(7), (Cart{"VINHETA 01.MP3", path, "65280", "1", "1", "0", "12345"}));
    EXPECT_EQ(buttons.at(7).caption, "VINHETA 01.MP");
    EXPECT_EQ(buttons.at(7).faceColour.bgr, 65280);
    EXPECT_EQ(buttons.at(7).captionColour.bgr, 0);
    EXPECT_TRUE(wall.profileChanged);
    EXPECT_TRUE(players.unloaded.isEmpty()); // a playing cart finishes its old audio
}

TEST_F(CartEditingTest, InsertCancelledChangesNothing) {
    loadCart(2, "ANTIGO");
    const Cart before = slot(2);
    editing.insertAudio(2);
    EXPECT_EQ(slot(2), before);
    EXPECT_EQ(dialogs.colourDialogs, 0);
    EXPECT_FALSE(wall.profileChanged);
}

TEST_F(CartEditingTest, FileThatCannotBeOpenedStillLoadsWithZeroLength) {
    slot(3).setDurationMs(9000);
    dialogs.files = {"/srv/audio/ quebrado.wma "};
    editing.insertAudio(3);
    EXPECT_EQ(slot(3).name, "QUEBRADO.WMA");
    EXPECT_EQ(slot(3).toFields().at(6), "0");
    EXPECT_EQ(players.measured, QStringList{"/srv/audio/ quebrado.wma "});
    EXPECT_EQ(slot(3).toFields().at(2), "9818331"); // colour dialog cancelled: default stays
}

TEST_F(CartEditingTest, NewCartRefusesRedAndTakesTheDefault) {
    dialogs.files = {"/a/hino.mp3"};
    dialogs.colours = {255};
    editing.insertAudio(1);
    EXPECT_EQ(messages.shown, QStringList{"Vermelho cor Reservada para o Sistema"});
    EXPECT_EQ(slot(1).toFields().at(2), "9818331");
    EXPECT_EQ(buttons.at(1).faceColour.bgr, 9818331);

    editing.applyNewCartColour(1, Colour{16711680}); // a colour preset by the search window
    EXPECT_EQ(slot(1).toFields().at(2), "16711680");
}

TEST_F(CartEditingTest, FaceColourCommandKeepsTheOldColourOnRedOrCancel) {
    loadCart(6, "SPOT");
    dialogs.colours = {255, std::nullopt, 4210752};

    editing.chooseFaceColour(6);
    EXPECT_EQ(messages.shown, QStringList{"Vermelho cor Reservada para o Sistema"});
    editing.chooseFaceColour(6);
    EXPECT_EQ(slot(6).toFields().at(2), "65280");
    EXPECT_FALSE(wall.profileChanged);

    editing.chooseFaceColour(6);
    EXPECT_EQ(slot(6).toFields().at(2), "4210752");
    EXPECT_EQ(buttons.at(6).faceColour.bgr, 4210752);
    EXPECT_TRUE(wall.profileChanged);
}

TEST_F(CartEditingTest, CaptionColourTakesAnyColourAndDefaultColoursResetBoth) {
    loadCart(8, "SPOT");
    dialogs.colours = {255};
    editing.chooseCaptionColour(8);
    EXPECT_EQ(slot(8).toFields().at(5), "255");
    EXPECT_EQ(buttons.at(8).captionColour.bgr, 255);
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_TRUE(wall.profileChanged);

    wall.profileChanged = false;
    editing.resetFaceColour(8);
    EXPECT_EQ(slot(8).toFields().at(2), "9818331");
    EXPECT_EQ(slot(8).toFields().at(5), "0");
    EXPECT_EQ(buttons.at(8).faceColour.bgr, 9818331);
    EXPECT_EQ(buttons.at(8).captionColour.bgr, 0);
    EXPECT_TRUE(wall.profileChanged);
}

TEST_F(CartEditingTest, DeleteResetsSlotAndButtonAndUnloadsThePlayer) {
    loadCart(10, "SPOT");
    players.playing.insert(10);
    buttons.at(10) = {10, "SPOT", kHint, 65280, 16777215};

    editing.deleteAudio(10);

    EXPECT_EQ(slot(10), (Cart{"", "", "9818331", "0", "0", "0", "0"}));
    EXPECT_EQ(buttons.at(10).caption, "");
    EXPECT_EQ(buttons.at(10).faceColour.bgr, 9818331);
    EXPECT_EQ(buttons.at(10).captionColour.bgr, 0);
    EXPECT_EQ(players.unloaded, QList<int>{10});
    EXPECT_TRUE(messages.asked.isEmpty());
    EXPECT_TRUE(wall.profileChanged);
}

TEST_F(CartEditingTest, PropertiesShowsThePath) {
    loadCart(11, "SPOT", "/srv/ARQUIVOS/spot 1.mp3");
    editing.showProperties(11);
    EXPECT_EQ(messages.shown, QStringList{"/srv/ARQUIVOS/spot 1.mp3"});
}

TEST_F(CartEditingTest, RenameShowsTheWholeNameUntilTheNextWallRefresh) {
    loadCart(12, "VINHETA");
    const QString thirty = "ABERTURA DO PROGRAMA DA MANHA!";
    ASSERT_EQ(thirty.size(), 30);
    dialogs.names = {thirty};

    editing.renameCart(12);

    EXPECT_EQ(dialogs.renamedCart, 12);
    EXPECT_EQ(dialogs.renameShown, "VINHETA");
    EXPECT_EQ(slot(12).name, thirty);
    EXPECT_EQ(buttons.at(12).caption, thirty);
    EXPECT_TRUE(wall.profileChanged);
    refreshWall(wall.table, buttons);
    EXPECT_EQ(buttons.at(12).caption, "ABERTURA DO P");
}

TEST_F(CartEditingTest, CancelledRenameStillShowsWholeNameAndMarksTheProfile) {
    const QString longName = "NOME COM MAIS DE TREZE LETRAS";
    loadCart(13, longName);
    buttons.at(13).caption = "NOME COM MAIS";
    dialogs.names = {std::nullopt};
    editing.renameCart(13);
    EXPECT_EQ(slot(13).name, longName);
    EXPECT_EQ(buttons.at(13).caption, longName);
    EXPECT_TRUE(wall.profileChanged);
}

TEST_F(CartEditingTest, PasteOntoEmptyCartAsksNothingAndCopiesAllFields) {
    loadCart(1, "ORIGEM", "/a/origem.wav");
    editing.copyCart(1);
    editing.pasteCart(2);
    EXPECT_TRUE(messages.asked.isEmpty());
    EXPECT_EQ(slot(2), slot(1));
    EXPECT_EQ(buttons.facesApplied, 96);
    EXPECT_EQ(buttons.at(2).tag, 2);
    EXPECT_EQ(buttons.at(2).caption, "ORIGEM");
    EXPECT_EQ(buttons.at(2).hint, kHint);
    EXPECT_EQ(buttons.at(2).faceColour.bgr, 65280);
    EXPECT_TRUE(wall.profileChanged) << "a pasted cart is stored with the profile";
    EXPECT_TRUE(players.unloaded.isEmpty());
}

TEST_F(CartEditingTest, PasteOntoLoadedCartAsksAndCancelStillRefreshesTheWall) {
    loadCart(1, "ORIGEM");
    loadCart(2, "DESTINO", "/a/destino.mp3");
    buttons.at(2).caption = "DESTINO COM NOME INTEIRO"; // as after a rename
    editing.copyCart(1);

    messages.answer = false;
    editing.pasteCart(2);
    EXPECT_EQ(messages.asked, QStringList{"Cartucho já está carregado, Deseja substitui-lo ??"});
    EXPECT_EQ(slot(2).name, "DESTINO");
    EXPECT_EQ(buttons.facesApplied, 96);
    EXPECT_EQ(buttons.at(2).caption, "DESTINO");
    EXPECT_FALSE(wall.profileChanged) << "nothing was pasted";

    messages.answer = true;
    editing.pasteCart(2);
    EXPECT_EQ(slot(2), slot(1));
    EXPECT_EQ(buttons.facesApplied, 192);
    EXPECT_TRUE(wall.profileChanged);
}

TEST_F(CartEditingTest, CopyDeletePasteRestoresTheDeletedCart) {
    loadCart(20, "JINGLE", "/a/jingle.mp3");
    const Cart original = slot(20);
    editing.copyCart(20);
    editing.deleteAudio(20);
    EXPECT_FALSE(slot(20).isLoaded());
    auto state = editing.menuState(20);
    EXPECT_TRUE(state && state->paste);
    editing.pasteCart(20);
    EXPECT_EQ(slot(20), original);
    EXPECT_TRUE(messages.asked.isEmpty());
}

TEST_F(CartEditingTest, DropLoadsTheFirstLocalFileWithTheWholeName) {
    slot(30) = {"", "", "", "0", "1", "16777215", ""};
    const QString path = "/srv/ARQUIVOS/abertura do jornal.wav";
    players.lengths[path] = 61000;
    dialogs.colours = {32768};

    editing.dropFiles({QUrl::fromLocalFile(path), QUrl::fromLocalFile("/srv/outro.mp3")}, 30);

    EXPECT_EQ(slot(30),
              (Cart{"ABERTURA DO JORNAL.WAV", path, "32768", "0", "1", "16777215", "61000"}));
    EXPECT_EQ(buttons.at(30).caption, "ABERTURA DO JORNAL.WAV");
    EXPECT_EQ(buttons.at(30).faceColour.bgr, 32768);
    EXPECT_EQ(players.measured, QStringList{path});
    EXPECT_FALSE(slot(5).isLoaded());
    EXPECT_TRUE(wall.profileChanged);

    const QString longPath = "/srv/" + QString(300, u'p') + "/longo.mp3"; // kept whole
    editing.dropFiles({QUrl::fromLocalFile(longPath)}, 30);
    EXPECT_EQ(slot(30).path, longPath);
    EXPECT_EQ(slot(30).name, "LONGO.MP3");
}

// Every way a file goes into a cart queues its loudness: the file dialog, the file-manager
// drop, the search window's drop (through measureDuration) and a paste that is accepted.
TEST_F(CartEditingTest, EveryFilePutIntoACartIsQueuedForItsLoudness) {
    dialogs.files = {"/a/aberta.mp3"};
    editing.insertAudio(1);
    editing.dropFiles({QUrl::fromLocalFile("/a/solta.wav")}, 2);
    slot(3).path = "/a/pesquisa.wma";
    editing.measureDuration(3);
    editing.copyCart(1);
    editing.pasteCart(4);
    EXPECT_EQ(players.loudnessQueued,
              (QStringList{"/a/aberta.mp3", "/a/solta.wav", "/a/pesquisa.wma", "/a/aberta.mp3"}));

    messages.answer = false; // the paste over a loaded cart is refused
    editing.pasteCart(4);
    EXPECT_EQ(players.loudnessQueued.size(), 4);
}

TEST_F(CartEditingTest, DropTestsTheExtensionAnywhereInThePath) {
    editing.dropFiles({QUrl::fromLocalFile("/home/op/notes.txt")}, 9);
    EXPECT_EQ(messages.shown, QStringList{"Arquivo de áudio Inválido: /home/op/notes.txt"});
    EXPECT_FALSE(slot(9).isLoaded());
    EXPECT_FALSE(wall.profileChanged);

    editing.dropFiles({QUrl::fromLocalFile("/mnt/D/X.WAVES/notes.txt")}, 9);
    EXPECT_EQ(slot(9).name, "NOTES.TXT");
    EXPECT_EQ(slot(9).path, "/mnt/D/X.WAVES/notes.txt");
}

TEST_F(CartEditingTest, DropRefusesWhatIsNotALocalFile) {
    loadCart(9, "FICA");
    const Cart before = slot(9);
    editing.dropFiles({QUrl("http://radio.example/stream.mp3")}, 9);
    editing.dropFiles({QUrl::fromLocalFile("/srv/audio.mp3/")}, 9); // a folder: no name
    EXPECT_EQ(messages.shown, (QStringList{"Arquivo de áudio Inválido: "
                                           "http://radio.example/stream.mp3",
                                           "Arquivo de áudio Inválido: /srv/audio.mp3/"}));
    EXPECT_EQ(slot(9), before);
    EXPECT_TRUE(players.measured.isEmpty());
    editing.dropFiles({}, 9);
    EXPECT_EQ(messages.shown.size(), 2);

    players.playing.insert(9);
    editing.dropFiles({QUrl::fromLocalFile("/a/novo.mp3")}, 9);
    EXPECT_EQ(messages.shown.last(), "Cartucho em Execução - Aguarde o Término");
    EXPECT_EQ(slot(9), before);
}

TEST(CartNames, NameIsTheUpperCasedTrimmedFileNamePart) {
    EXPECT_EQ(cartNameFromPath("C:\\AUDIO\\vinheta 01.mp3"), "VINHETA 01.MP3");
    EXPECT_EQ(cartNameFromPath("/srv/a\\b/  canção.wav  "), "CANÇÃO.WAV");
    EXPECT_EQ(cartNameFromPath("sem pasta.wma"), "SEM PASTA.WMA");
    EXPECT_EQ(cartNameFromPath("/x/" + QString(300, u'a')).size(), 255);
    EXPECT_TRUE(looksLikeAudioPath("/a/B.Mp3"));
    EXPECT_TRUE(looksLikeAudioPath("/a/b.wma.bak"));
    EXPECT_TRUE(looksLikeAudioPath("/srv/x.mp3s/leia-me"));
    EXPECT_FALSE(looksLikeAudioPath("/a/mp3/b.ogg"));
}

namespace {
struct RecordingSparePlayer {
    void unload() { calls.append("Unload"); }
    void load(const QString& path) { calls.append("Load " + path); }
    quint32 lengthMs() {
        calls.append("LengthMs");
        return length;
    }
    QStringList calls;
    quint32 length = 0;
};
} // namespace

TEST(MeasureWithSparePlayer, OpensTheFileOnlyWhileMeasuring) {
    RecordingSparePlayer spare;
    spare.length = 4321;
    EXPECT_EQ(measureWithSparePlayer(spare, "/a/b.mp3"), 4321u);
    EXPECT_EQ(spare.calls, (QStringList{"Unload", "Load /a/b.mp3", "LengthMs", "Unload"}));
}
