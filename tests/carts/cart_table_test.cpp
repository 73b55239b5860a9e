#include "carts/cart_table.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace carts;

// Fields read from a profile line keep their text until they are set: another program's
// profile is written back byte for byte, while the wall reads typed values.
TEST(Cart, FieldsReadAsTextWriteBackAsReadUntilSet) {
    const QStringList odd{"VINHETA", "/v.mp3", " 65280", "2", "01", "preto", "12000ms"};
    Cart c = Cart::fromFields(odd);
    EXPECT_EQ(c.faceColour(), kDefaultFaceColour);
    EXPECT_EQ(c.captionColour(), kDefaultCaptionColour);
    EXPECT_EQ(c.durationMs(), 0);
    EXPECT_EQ(c.stopMode(), StopMode::Unset);
    EXPECT_FALSE(c.stopsWithFade());
    EXPECT_FALSE(c.loops());
    EXPECT_EQ(c.toFields(), odd);

    c.setFaceColour({65280});
    c.setStopMode(StopMode::Fade);
    c.setLoop(true);
    c.setDurationMs(12000);
    EXPECT_EQ(c.toFields(),
              (QStringList{"VINHETA", "/v.mp3", "65280", "0", "1", "preto", "12000"}));

    const Cart read = Cart::fromFields({"A", "/a.mp3", "255", "1", "1", "16777215", "5000"});
    EXPECT_EQ(read.faceColour(), Colour{255});
    EXPECT_EQ(read.captionColour(), Colour{16777215});
    EXPECT_EQ(read.stopMode(), StopMode::Cut);
    EXPECT_TRUE(read.loops());
    EXPECT_EQ(read.durationMs(), 5000);
}

TEST(Cart, AnUnreadSlotWritesEmptyFieldsAndADeletedOneTheDefaults) {
    Cart c;
    EXPECT_FALSE(c.isLoaded());
    EXPECT_EQ(c.toFields(), QStringList(Cart::kFieldCount, QString()));
    c.name = "Vinheta";
    EXPECT_TRUE(c.isLoaded());
    c.reset();
    EXPECT_EQ(c.toFields(), (QStringList{"", "", "9818331", "0", "0", "0", "0"}));

    Cart cleared = Cart::fromFields({"A", "/a.mp3", "255", "1", "1", "0", "abc"});
    cleared.clearKeepingDuration();
    EXPECT_EQ(cleared.toFields(), (QStringList{"", "", "", "", "", "", "abc"}));
}

TEST(Cart, CaptionIsFirstThirteenCharacters) {
    Cart c;
    c.name = "ABERTURA DO JORNAL 1"; // 20 characters
    EXPECT_EQ(c.caption(), "ABERTURA DO J");
    c.name = QString::fromUtf8("Canção curta");
    EXPECT_EQ(c.caption(), c.name);
}

TEST(Cart, ResetGivesTheDeleteValues) {
    Cart c{"Nome", "/a.mp3", "255", "1", "1", "99", "7000"};
    c.reset();
    EXPECT_EQ(c, (Cart{"", "", "9818331", "0", "0", "0", "0"}));
}

TEST(Cart, FieldsKeepProfileOrder) {
    const Cart c{"N", "A", "1", "0", "1", "2", "300"};
    EXPECT_EQ(c.toFields(), (QStringList{"N", "A", "1", "0", "1", "2", "300"}));
    EXPECT_EQ(Cart::fromFields(c.toFields()), c);
    EXPECT_EQ(Cart::fromFields({"N", "A"}), (Cart{"N", "A", "", "", "", "", ""}));
}

TEST(CartTable, IndexedOneToNinetySix) {
    CartTable table;
    table[1].name = "primeiro";
    table[96].name = "ultimo";
    EXPECT_EQ(table.slot(1).name, "primeiro");
    EXPECT_EQ(table.slot(96).name, "ultimo");
    EXPECT_FALSE(table[2].isLoaded());
    EXPECT_THROW(table[0], std::out_of_range);
    EXPECT_THROW(table[97], std::out_of_range);
    EXPECT_THROW(std::as_const(table).slot(-1), std::out_of_range);
}

TEST(CartTable, RowByRowNumbering) {
    EXPECT_EQ(cartNumberAt(0, 0), 1);
    EXPECT_EQ(cartNumberAt(0, 7), 8);
    EXPECT_EQ(cartNumberAt(1, 0), 9);
    EXPECT_EQ(cartNumberAt(11, 7), 96);
}

TEST(CartTable, WallRefreshFace) {
    CartTable table;
    table[9] = Cart::fromFields({"VINHETA DA MANHA", "/v.mp3", "letras", "0", "0", "abc", "1000"});
    table[10] = Cart::fromFields({"Spot", "/s.mp3", "65280", "0", "0", "16777215", "1000"});
    const QString hint = "Clique com o botão direito do Mouse para Listar as funções";
    EXPECT_EQ(table.face(9), (CartFace{9, "VINHETA DA MA", hint, kDefaultFaceColour, {0}}));
    EXPECT_EQ(table.face(10), (CartFace{10, "Spot", hint, {65280}, {16777215}}));
    EXPECT_EQ(table.face(96), (CartFace{96, "", hint, kDefaultFaceColour, {0}}));
}
