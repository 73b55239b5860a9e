#include "audio/audio_error_text.h"

#include <gtest/gtest.h>

using audio::audioErrorText;

TEST(audioErrorText, KnownCodesGiveTheirTableText) {
    EXPECT_EQ(audioErrorText(1), QStringLiteral("Cod:BS1 - Erro de Memória"));
    EXPECT_EQ(audioErrorText(2), QStringLiteral("Cod:BS2 - Erro ao Abrir Arquivo"));
    EXPECT_EQ(audioErrorText(1002),
              QStringLiteral("Cod:BS1002 - Acesso não permitido / usuário ou senha inválido"));
    EXPECT_EQ(audioErrorText(42), QStringLiteral("Cod:BS42 - SPEAK indisponivel"));
}

TEST(audioErrorText, CodeWithTwoBlanksAfterItsSecondHyphen) {
    EXPECT_EQ(audioErrorText(38), QStringLiteral("Cod:BS38 - O canal -  DECODIFICANDO CANAL"));
}

TEST(audioErrorText, TextsAreWindowsLatin1Characters) {
    const QString text = audioErrorText(8);
    EXPECT_EQ(text, QStringLiteral("Cod:BS8 - Erro na Inicialização"));
    EXPECT_TRUE(QStringView(text).toLatin1().contains("\xE7\xE3o")); // ç ã o as single bytes
}

TEST(audioErrorText, CodesOutsideTheTableAreUndefined) {
    for (const int code : {0, 28, 36, 43, 999, 1003}) {
        EXPECT_EQ(audioErrorText(static_cast<std::int16_t>(code)),
                  QStringLiteral("CODIGO: BS(%1) Erro Indefinido").arg(code));
    }
    EXPECT_EQ(audioErrorText(-1), QStringLiteral("CODIGO: BS(-1) Erro Indefinido"));
}

TEST(audioErrorText, SixAndFortyOneShareTheirText) {
    EXPECT_EQ(audioErrorText(6).mid(7), audioErrorText(41).mid(8));
    EXPECT_EQ(audioErrorText(6), QStringLiteral("Cod:BS6 - Formato não suportado"));
}

TEST(audioErrorText, WideCodesKeepTheirLowSixteenBits) {
    // The sound layer reports -1 as a 32-bit value; 0x10002 is code 2 once cut.
    EXPECT_EQ(audioErrorText(static_cast<std::int16_t>(0xFFFFFFFF)),
              QStringLiteral("CODIGO: BS(-1) Erro Indefinido"));
    EXPECT_EQ(audioErrorText(static_cast<std::int16_t>(0x10002)), audioErrorText(2));
}
