#include "audio/audio_error_text.h"

#include <algorithm>
#include <iterator>

namespace audio {

namespace {

struct ErrorEntry {
    std::int16_t code;
    const char16_t* text;
};

// Codes 0, 28 and 36 are deliberately absent; 6 and 41 share one text.
constexpr ErrorEntry kErrorTexts[] = {
    {1, u" - Erro de Memória"},
    {2, u" - Erro ao Abrir Arquivo"},
    {3, u" - Não encontrado Driver de Som"},
    {4, u" - Buffer Perdido"},
    {5, u" - Handle inválido"},
    {6, u" - Formato não suportado"},
    {7, u" - Posição de Play inválida"},
    {8, u" - Erro na Inicialização"},
    {9, u" - Erro no Start"},
    {10, u" - Não inicializado CD"},
    {11, u" - CDINIT Não inicializado CD"},
    {12, u" - Não há CD no Drive"},
    {13, u" - Não foi possível encontrar Trilha do CD"},
    {14, u" - Sistema Já inicializado"},
    {15, u" - Não há controle de volume (cd)"},
    {16, u" - Não Pausado"},
    {17, u" - Faixa Sem áudio"},
    {18, u" - Não foi possível descarregar o canal (free)"},
    {19, u" - Tipo especificado Ilegal"},
    {20, u" - Parametro especificado Ilegal"},
    {21, u" - 3D não suportado"},
    {22, u" - EAX não suportado"},
    {23, u" - Número inválido para Device"},
    {24, u" - Não está tocando"},
    {25, u" - Sample Rate inválido"},
    {26, u" - A3D.DLL não intalado"},
    {27, u" - O Stream não é um arquivo Stream (WAV/MP3)"},
    {29, u" - Não há hardware Disponível"},
    {30, u" - Sincronismo desativado"},
    {31, u" - O MOD MUSIC não está com os dados na sequencia"},
    {32, u" - Não foi encontrato conexão de Internet"},
    {33, u" - Não foi possível criar o Arquivo"},
    {34, u" - Efeito não está disponível"},
    {35, u" - Canal está tocando"},
    {37, u" - Dados requeridos não disponíveis"},
    {38, u" - O canal -  DECODIFICANDO CANAL"},
    {39, u" - Versão atual do Directx não suporta"},
    {40, u" - Tempo de conexão espirou"},
    {41, u" - Formato não suportado"},
    {42, u" - SPEAK indisponivel"},
    {1000, u" - Arquivo com Proteção (licença)"},
    {1001, u" - Windows Media 9 ou Superior não instalado"},
    {1002, u" - Acesso não permitido / usuário ou senha inválido"},
};

const char16_t* findText(std::int16_t code) {
    const auto* end = std::end(kErrorTexts);
    const auto* it = std::find_if(std::begin(kErrorTexts), end,
                                  [code](const ErrorEntry& e) { return e.code == code; });
    return it == end ? nullptr : it->text;
}

} // namespace

std::int16_t errorCodeOf(engine::EngineError error) {
    using engine::EngineError;
    switch (error) {
    case EngineError::OutOfMemory:
        return 1;
    case EngineError::FileOpen:
        return 2;
    case EngineError::DeviceFailed:
        return 3;
    case EngineError::BadPosition:
        return 7;
    case EngineError::DeviceNotOpen:
        return 8;
    case EngineError::DeviceGone:
        return 9;
    case EngineError::AlreadyOpen:
        return 14;
    case EngineError::NotAudio:
        return 17;
    case EngineError::NoFreeStream:
        return 18;
    case EngineError::BadParameter:
        return 20;
    case EngineError::NoSuchDevice:
        return 23;
    case EngineError::NoNetwork:
        return 32;
    case EngineError::NetworkTimeout:
        return 40;
    case EngineError::UnsupportedFormat:
        return 41;
    case EngineError::EngineStalled:
        break;
    }
    return -1;
}

QString audioErrorText(std::int16_t code) {
    if (const char16_t* text = findText(code)) {
        return QStringLiteral("Cod:BS") + QString::number(code) + QString::fromUtf16(text);
    }
    return QStringLiteral("CODIGO: BS(") + QString::number(code) +
           QStringLiteral(") Erro Indefinido");
}

} // namespace audio
