#pragma once
// Portuguese text for an error code of the sound layer, as shown to the operator.
#include "audio/engine/engine_types.h"

#include <QString>
#include <cstdint>

namespace audio {

// The operator's error code of an engine failure, as the error texts number them.
std::int16_t errorCodeOf(engine::EngineError error);

// The code is taken as a signed 16-bit value: wider codes keep only their low 16 bits.
QString audioErrorText(std::int16_t code);

} // namespace audio
