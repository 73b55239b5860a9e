#pragma once
// Portuguese text for an error code of the sound layer, as shown to the operator.
#include <QString>
#include <cstdint>

namespace audio {

// The code is taken as a signed 16-bit value: wider codes keep only their low 16 bits.
QString audioErrorText(std::int16_t code);

} // namespace audio
