#include "carts/cart_table.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace carts;

TEST(Cart, NumbersAreReadLeniently) {
    Cart c;
    EXPECT_EQ(c.faceColour(), 9818331); // fields are empty at start
    EXPECT_EQ(c.captionColour(), 0);
    EXPECT_EQ(c.durationMs(), 0);

    c.colourText = "verde";
    c.captionColourText = "preto";
    c.durationText = "12000ms";
    EXPECT_EQ(c.faceColour(), 9818331);
    EXPECT_EQ(c.captionColour(), 0);
    EXPECT_EQ(c.durationMs(), 0);

    c.colourText = " 65280";
    EXPECT_EQ(c.faceColour(), 9818331);
    c.colourText = "65280";
    c.captionColourText = "16777215";
    c.durationText = "12000";
    EXPECT_EQ(c.faceColour(), 65280);
    EXPECT_EQ(c.captionColour(), 16777215);
    EXPECT_EQ(c.durationMs(), 12000);
}

TEST(Cart, LoadedByNameOnly) {
    Cart c;
    c.path = "/radio/ARQUIVOS/vinheta.mp3";
    c.durationText = "5000";
    EXPECT_FALSE(c.isLoaded());
    c.name = "Vinheta";
    EXPECT_TRUE(c.isLoaded());
}

TEST(Cart, StopModeAndLoopFlags) {
    Cart c;
    EXPECT_FALSE(c.stopsWithFade()); // never set counts as cut
    EXPECT_FALSE(c.loops());
    c.stopModeText = "0";
    c.loopText = "1";
    EXPECT_TRUE(c.stopsWithFade());
    EXPECT_TRUE(c.loops());
    c.stopModeText = "2";
    c.loopText = "01";
    EXPECT_FALSE(c.stopsWithFade());
    EXPECT_FALSE(c.loops());
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
    table[9] = {"VINHETA DA MANHA", "/v.mp3", "letras", "0", "0", "abc", "1000"};
    table[10] = {"Spot", "/s.mp3", "65280", "0", "0", "16777215", "1000"};
    const QString hint = "Clique com o botão direito do Mouse para Listar as funções";
    EXPECT_EQ(table.face(9), (CartFace{9, "VINHETA DA MA", hint, 9818331, 0}));
    EXPECT_EQ(table.face(10), (CartFace{10, "Spot", hint, 65280, 16777215}));
    EXPECT_EQ(table.face(96), (CartFace{96, "", hint, 9818331, 0}));
}

TEST(Wall, SharedStateStartsEmptyAndTracksTheMouse) {
    Wall wall;
    EXPECT_EQ(wall.currentCart(), 0);
    EXPECT_EQ(wall.mouseCart(), 0);
    EXPECT_FALSE(wall.profileChanged);
    EXPECT_TRUE(wall.currentProfile.isEmpty());
    EXPECT_EQ(wall.copyBuffer, Cart{});
    EXPECT_THROW(wall.current(), std::out_of_range);

    wall.mouseMovedOver(12);
    EXPECT_EQ(wall.currentCart(), 12);
    EXPECT_EQ(wall.mouseCart(), 12);
    wall.current().name = "doze";
    EXPECT_EQ(wall.table[12].name, "doze");

    wall.setCurrentCart(3);
    EXPECT_EQ(wall.mouseCart(), 12);
    EXPECT_THROW(wall.setCurrentCart(0), std::out_of_range);
    EXPECT_THROW(wall.mouseMovedOver(97), std::out_of_range);
    EXPECT_EQ(wall.currentCart(), 3);
    EXPECT_EQ(wall.mouseCart(), 12);
}
