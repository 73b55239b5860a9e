#include "carts/cart_table.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace carts;

TEST(TCartucho, NumbersAreReadLeniently) {
    TCartucho c;
    EXPECT_EQ(c.faceColour(), 9818331); // fields are empty at start
    EXPECT_EQ(c.captionColour(), 0);
    EXPECT_EQ(c.durationMs(), 0);

    c.Cor = "verde";
    c.CorFonte = "preto";
    c.Duracao = "12000ms";
    EXPECT_EQ(c.faceColour(), 9818331);
    EXPECT_EQ(c.captionColour(), 0);
    EXPECT_EQ(c.durationMs(), 0);

    c.Cor = " 65280";
    EXPECT_EQ(c.faceColour(), 9818331);
    c.Cor = "65280";
    c.CorFonte = "16777215";
    c.Duracao = "12000";
    EXPECT_EQ(c.faceColour(), 65280);
    EXPECT_EQ(c.captionColour(), 16777215);
    EXPECT_EQ(c.durationMs(), 12000);
}

TEST(TCartucho, LoadedByNameOnly) {
    TCartucho c;
    c.Arquivo = "/radio/ARQUIVOS/vinheta.mp3";
    c.Duracao = "5000";
    EXPECT_FALSE(c.isLoaded());
    c.Nome = "Vinheta";
    EXPECT_TRUE(c.isLoaded());
}

TEST(TCartucho, StopModeAndLoopFlags) {
    TCartucho c;
    EXPECT_FALSE(c.stopsWithFade()); // never set counts as cut
    EXPECT_FALSE(c.loops());
    c.Parada = "0";
    c.Loop = "1";
    EXPECT_TRUE(c.stopsWithFade());
    EXPECT_TRUE(c.loops());
    c.Parada = "2";
    c.Loop = "01";
    EXPECT_FALSE(c.stopsWithFade());
    EXPECT_FALSE(c.loops());
}

TEST(TCartucho, CaptionIsFirstThirteenCharacters) {
    TCartucho c;
    c.Nome = "ABERTURA DO JORNAL 1"; // 20 characters
    EXPECT_EQ(c.caption(), "ABERTURA DO J");
    c.Nome = QString::fromUtf8("Canção curta");
    EXPECT_EQ(c.caption(), c.Nome);
}

TEST(TCartucho, ResetGivesTheDeleteValues) {
    TCartucho c{"Nome", "/a.mp3", "255", "1", "1", "99", "7000"};
    c.reset();
    EXPECT_EQ(c, (TCartucho{"", "", "9818331", "0", "0", "0", "0"}));
}

TEST(TCartucho, FieldsKeepProfileOrder) {
    const TCartucho c{"N", "A", "1", "0", "1", "2", "300"};
    EXPECT_EQ(c.toFields(), (QStringList{"N", "A", "1", "0", "1", "2", "300"}));
    EXPECT_EQ(TCartucho::fromFields(c.toFields()), c);
    EXPECT_EQ(TCartucho::fromFields({"N", "A"}), (TCartucho{"N", "A", "", "", "", "", ""}));
}

TEST(CartTable, IndexedOneToNinetySix) {
    CartTable table;
    table[1].Nome = "primeiro";
    table[96].Nome = "ultimo";
    EXPECT_EQ(table.slot(1).Nome, "primeiro");
    EXPECT_EQ(table.slot(96).Nome, "ultimo");
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

TEST(CartWall, SharedStateStartsEmptyAndTracksTheMouse) {
    CartWall wall;
    EXPECT_EQ(wall.CartuchoAtual(), 0);
    EXPECT_EQ(wall.CartuchoMouse(), 0);
    EXPECT_FALSE(wall.PerfilAlterado);
    EXPECT_TRUE(wall.PerfilAtual.isEmpty());
    EXPECT_EQ(wall.CopiaCartucho, TCartucho{});
    EXPECT_THROW(wall.atual(), std::out_of_range);

    wall.mouseMovedOver(12);
    EXPECT_EQ(wall.CartuchoAtual(), 12);
    EXPECT_EQ(wall.CartuchoMouse(), 12);
    wall.atual().Nome = "doze";
    EXPECT_EQ(wall.Cartuchos[12].Nome, "doze");

    wall.setCartuchoAtual(3);
    EXPECT_EQ(wall.CartuchoMouse(), 12);
    EXPECT_THROW(wall.setCartuchoAtual(0), std::out_of_range);
    EXPECT_THROW(wall.mouseMovedOver(97), std::out_of_range);
    EXPECT_EQ(wall.CartuchoAtual(), 3);
    EXPECT_EQ(wall.CartuchoMouse(), 12);
}
