// The profile commands on a real profile folder, with the wall, players and dialogs faked.
#include "session/block_sequencer.h"
#include "session/profile_commands.h"
#include "carts/editing_fakes.h"
#include "carts/profile_format.h"
#include "support/file_size_limit.h"
#include "support/recording_messages.h"
#include "wall_fakes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <deque>

namespace {

class FakeProfileView : public session::ProfileView {
public:
    void setProfileNames(const QStringList& n) override {
        names = n;
        selected = n.isEmpty() ? -1 : 0;
    }
    QStringList profileNames() const override { return names; }
    int selectedProfile() const override { return selected; }
    void selectProfile(int index) override { selected = index; }
    void setProfileButtonsEnabled(bool enabled) override { buttonsEnabled = enabled; }
    void showCurrentProfile(const QString& text) override { label = text; }

    QStringList names;
    int selected = -1;
    bool buttonsEnabled = true;
    QString label;
};

class FakePrompt : public session::ProfileNamePrompt {
public:
    std::optional<QString> askProfileName() override {
        ++asked;
        if (answers.empty()) {
            return std::nullopt;
        }
        std::optional<QString> next = answers.front();
        answers.pop_front();
        return next;
    }
    std::deque<std::optional<QString>> answers;
    int asked = 0;
};

class ProfileCommandsTest : public ::testing::Test {
protected:
    QByteArray bytesOf(const QString& fileName) const {
        QFile f(dir.filePath(fileName));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void writeProfile(const QString& name, const carts::CartTable& table) {
        ASSERT_TRUE(folder.write(name, carts::profileLines(table)));
    }
    static carts::CartTable tableWith(int n, const QString& name) {
        carts::CartTable table;
        table[n] = carts::Cart{name,
                               QStringLiteral("/a/%1.mp3").arg(name),
                               QStringLiteral("255"),
                               QStringLiteral("1"),
                               QStringLiteral("1"),
                               QStringLiteral("65535"),
                               QStringLiteral("3000")};
        return table;
    }
    // The operator edited cart n of the wall shown now.
    void editWall(int n, const QString& name) {
        wall.table[n].name = name;
        wall.profileChanged = true;
    }
    void listAndSelect(const QString& name) {
        commands.listProfiles();
        view.selected = static_cast<int>(view.names.indexOf(name));
    }

    QTemporaryDir dir;
    carts::ProfileFolder folder{dir.path()};
    carts::Wall wall;
    FakeBank bank;
    FakeView wallView;
    carts::testing::FakeButtons buttons;
    FakeFiles files;
    RecordingMessages messages;
    config::DeviceSettings settings;
    session::BlockSequencer block{wall, bank, wallView, messages, files, settings};
    FakeProfileView view;
    FakePrompt prompt;
    session::ProfileCommands commands{
        session::ProfileDeps{wall, folder, bank, wallView, buttons, block, view, prompt, messages}};
};

} // namespace

TEST_F(ProfileCommandsTest, WithoutProfilesTheBoxIsEmptyAndItsButtonsOff) {
    commands.listProfiles();
    EXPECT_TRUE(view.names.isEmpty());
    EXPECT_FALSE(view.buttonsEnabled);
    EXPECT_EQ(view.selected, -1);

    writeProfile(QStringLiteral("manha"), {});
    writeProfile(QStringLiteral("Ensaio"), {});
    commands.listProfiles();
    EXPECT_EQ(view.names, (QStringList{"Ensaio", "manha"}));
    EXPECT_TRUE(view.buttonsEnabled);
    EXPECT_EQ(view.selected, 0);
}

TEST_F(ProfileCommandsTest, SwitchingLoadsTheWallStopsItsCartsAndEmptiesTheBlock) {
    writeProfile(QStringLiteral("SHOW"), tableWith(5, QStringLiteral("VINHETA")));
    editWall(1, QStringLiteral("OLD"));
    bank.carts[1].loaded = bank.carts[1].playing = true;
    files.present.insert(wall.table[1].path);
    block.queueCart(1, true);
    ASSERT_FALSE(block.isEmpty());
    listAndSelect(QStringLiteral("SHOW"));

    messages.answer = false; // the changed wall is offered for saving and declined
    commands.activateSelected();
    EXPECT_EQ(messages.asked, QStringList{session::profileChangedQuestion()});
    EXPECT_EQ(wall.table[5].name, QStringLiteral("VINHETA"));
    EXPECT_EQ(wall.table[1], carts::Cart{});
    EXPECT_EQ(buttons.at(5).caption, QStringLiteral("VINHETA"));
    EXPECT_EQ(buttons.at(5).faceColour.bgr, 255);
    EXPECT_EQ(buttons.at(5).captionColour.bgr, 65535);
    EXPECT_EQ(buttons.at(1).faceColour, carts::kDefaultFaceColour);
    for (int n = 1; n <= carts::kCartCount; ++n) {
        ASSERT_FALSE(bank.carts[n].isPlaying()) << n;
    }
    EXPECT_TRUE(block.isEmpty());
    EXPECT_EQ(wallView.count, 0);
    EXPECT_EQ(wallView.meters, std::make_pair(0, 0));
    EXPECT_FALSE(wall.profileChanged);
    EXPECT_EQ(wall.currentProfile, QStringLiteral("SHOW"));
    EXPECT_EQ(view.label, QStringLiteral("Perfil Atual: SHOW"));
}

TEST_F(ProfileCommandsTest, ChangedWallIsOfferedForSavingUnderTheCurrentProfile) {
    writeProfile(QStringLiteral("A"), tableWith(1, QStringLiteral("ONE")));
    writeProfile(QStringLiteral("B"), tableWith(2, QStringLiteral("TWO")));
    listAndSelect(QStringLiteral("A"));
    commands.selectProfile(0);
    editWall(3, QStringLiteral("NEW"));

    messages.answer = false;
    commands.selectProfile(1);
    EXPECT_EQ(messages.asked, QStringList{session::profileChangedQuestion()});
    EXPECT_EQ(folder.read(QStringLiteral("A"))->slot(3), carts::Cart{}); // not saved
    EXPECT_EQ(wall.currentProfile, QStringLiteral("B"));
    EXPECT_EQ(view.selected, 1);

    editWall(4, QStringLiteral("KEEP"));
    messages.answer = true;
    commands.selectProfile(0);
    EXPECT_EQ(folder.read(QStringLiteral("B"))->slot(4).name, QStringLiteral("KEEP"));
    EXPECT_EQ(wall.table[1].name, QStringLiteral("ONE"));
}

// The operator wants the changed wall saved but gives it no name: nothing may be lost, so the
// wall stays and no profile is loaded.
TEST_F(ProfileCommandsTest, ChangedWallWithoutANameStaysWhenTheOperatorWantsItSaved) {
    writeProfile(QStringLiteral("SHOW"), tableWith(5, QStringLiteral("VINHETA")));
    editWall(1, QStringLiteral("OLD"));
    listAndSelect(QStringLiteral("SHOW"));
    messages.answer = true;
    commands.activateSelected();
    EXPECT_EQ(prompt.asked, 1);
    EXPECT_EQ(wall.table[1].name, QStringLiteral("OLD"));
    EXPECT_TRUE(wall.table[5].name.isEmpty());
    EXPECT_TRUE(wall.currentProfile.isEmpty());
    EXPECT_TRUE(wall.profileChanged);
}

TEST_F(ProfileCommandsTest, ProfileThatCannotBeReadLeavesTheWallAsItWas) {
    writeProfile(QStringLiteral("GONE"), {});
    listAndSelect(QStringLiteral("GONE"));
    QFile::remove(dir.filePath(QStringLiteral("GONE.PFL")));
    editWall(2, QStringLiteral("STAYS"));
    bank.carts[2].loaded = bank.carts[2].playing = true;

    messages.answer = false; // not saved: the switch goes on, and fails
    commands.activateSelected();
    EXPECT_EQ(messages.shown, QStringList{session::invalidProfileMessage()});
    EXPECT_EQ(wall.table[2].name, QStringLiteral("STAYS"));
    EXPECT_TRUE(bank.carts[2].isPlaying());
    EXPECT_TRUE(wall.currentProfile.isEmpty());

    view.selected = -1; // nothing selected in the box
    messages.shown.clear();
    commands.activateSelected();
    EXPECT_EQ(messages.shown, QStringList{session::invalidProfileMessage()});
}

TEST_F(ProfileCommandsTest, SaveGoesToTheCurrentProfileElseTheSelectedOne) {
    messages.answer = true;
    editWall(1, QStringLiteral("X"));
    commands.saveWall(); // neither a current nor a selected profile
    EXPECT_EQ(messages.shown, QStringList{session::invalidProfileNameMessage()});
    EXPECT_TRUE(wall.profileChanged);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());

    writeProfile(QStringLiteral("SEL"), {});
    listAndSelect(QStringLiteral("SEL"));
    commands.saveWall();
    EXPECT_EQ(folder.read(QStringLiteral("SEL"))->slot(1).name, QStringLiteral("X"));
    EXPECT_FALSE(wall.profileChanged);
    EXPECT_EQ(wall.currentProfile, QStringLiteral("SEL"));

    wall.currentProfile = QStringLiteral("CUR");
    editWall(1, QStringLiteral("Y"));
    commands.saveWall();
    EXPECT_EQ(folder.read(QStringLiteral("CUR"))->slot(1).name, QStringLiteral("Y"));
    EXPECT_EQ(folder.read(QStringLiteral("SEL"))->slot(1).name, QStringLiteral("X"));
}

TEST_F(ProfileCommandsTest, FailedSaveSaysSoAndKeepsTheChangeFlag) {
    wall.currentProfile = QStringLiteral("SHOW");
    editWall(1, QStringLiteral("X"));
    {
        FileSizeLimit diskFull(10);
        EXPECT_FALSE(commands.saveProfile(QStringLiteral("SHOW")));
    }
    EXPECT_EQ(messages.shown, QStringList{session::profileWriteErrorMessage()});
    EXPECT_TRUE(wall.profileChanged);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("SHOW.PFL"))));
}

TEST_F(ProfileCommandsTest, NewProfileIsBlankAndReplacesOnlyAfterOk) {
    editWall(1, QStringLiteral("WALL"));
    prompt.answers = {QStringLiteral(" NOITE ")};
    commands.createProfile();
    EXPECT_EQ(bytesOf(QStringLiteral("NOITE.PFL")).left(11), "001#$$%%%\r\n");
    EXPECT_EQ(view.names, QStringList{"NOITE"});
    EXPECT_TRUE(wall.profileChanged); // the wall is not touched
    EXPECT_TRUE(wall.currentProfile.isEmpty());

    writeProfile(QStringLiteral("NOITE"), tableWith(1, QStringLiteral("KEEP")));
    const QByteArray before = bytesOf(QStringLiteral("NOITE.PFL"));
    messages.answer = false;
    prompt.answers = {QStringLiteral("NOITE")};
    commands.createProfile();
    EXPECT_EQ(messages.asked, QStringList{session::replaceProfileQuestion()});
    EXPECT_EQ(bytesOf(QStringLiteral("NOITE.PFL")), before);

    messages.answer = true;
    prompt.answers = {QStringLiteral("NOITE")};
    commands.createProfile();
    EXPECT_TRUE(bytesOf(QStringLiteral("NOITE.PFL")).startsWith("001#$$%%%"));
}

TEST_F(ProfileCommandsTest, NamesThatAreNoFileNameWriteNothing) {
    for (const char* bad : {"../ESCAPE", "A\\B", "  ", ".."}) {
        messages.shown.clear();
        prompt.answers = {QString::fromLatin1(bad)};
        commands.createProfile();
        EXPECT_EQ(messages.shown, QStringList{session::invalidProfileNameMessage()}) << bad;
    }
    EXPECT_FALSE(commands.saveProfile(QStringLiteral("x/y")));
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    EXPECT_FALSE(QFile::exists(QDir(dir.path()).filePath(QStringLiteral("../ESCAPE.PFL"))));
}

TEST_F(ProfileCommandsTest, DeletingAsksFirstAndListsAgain) {
    writeProfile(QStringLiteral("A"), {});
    writeProfile(QStringLiteral("B"), {});
    wall.currentProfile = QStringLiteral("A");
    listAndSelect(QStringLiteral("A"));

    messages.answer = false;
    commands.deleteSelected();
    EXPECT_EQ(messages.asked, QStringList{session::deleteProfileQuestion()});
    EXPECT_TRUE(folder.exists(QStringLiteral("A")));

    messages.answer = true;
    commands.deleteSelected();
    EXPECT_FALSE(folder.exists(QStringLiteral("A")));
    EXPECT_EQ(view.names, QStringList{"B"});
    EXPECT_EQ(wall.currentProfile, QStringLiteral("A")); // the current name stays

    QFile::remove(dir.filePath(QStringLiteral("B.PFL"))); // gone behind the list's back
    messages.asked.clear();
    commands.deleteSelected();
    EXPECT_TRUE(messages.asked.isEmpty());
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(ProfileCommandsTest, ClosingWithAChangedWallAsksBeforeSaving) {
    EXPECT_TRUE(commands.mayClose()); // unchanged: nothing asked
    EXPECT_TRUE(messages.asked.isEmpty());

    editWall(1, QStringLiteral("LIVE"));
    messages.answer = false;
    EXPECT_TRUE(commands.mayClose());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());

    messages.answer = true;
    wall.currentProfile = QStringLiteral("SHOW");
    EXPECT_TRUE(commands.mayClose());
    EXPECT_EQ(folder.read(QStringLiteral("SHOW"))->slot(1).name, QStringLiteral("LIVE"));
}

TEST_F(ProfileCommandsTest, ClosingWithoutACurrentProfileAsksForAName) {
    editWall(1, QStringLiteral("LIVE"));
    messages.answer = true;
    EXPECT_FALSE(commands.mayClose()); // the name dialog was cancelled: stay, nothing lost
    EXPECT_EQ(prompt.asked, 1);

    prompt.answers = {QStringLiteral("FIM")};
    EXPECT_TRUE(commands.mayClose());
    EXPECT_EQ(folder.read(QStringLiteral("FIM"))->slot(1).name, QStringLiteral("LIVE"));

    editWall(1, QStringLiteral("AGAIN"));
    wall.currentProfile.clear();
    prompt.answers = {QStringLiteral("FIM")};
    {
        FileSizeLimit diskFull(10);
        EXPECT_FALSE(commands.mayClose()); // a save that failed keeps the program open
    }
    EXPECT_EQ(folder.read(QStringLiteral("FIM"))->slot(1).name, QStringLiteral("LIVE"));
}
