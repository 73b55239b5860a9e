#pragma once
// Clock texts of the wall: count-downs, the block total and cart lengths.
#include <QString>

#include <cstdint>

namespace core {

// "HH:MM:SS"; 0 or less gives "00:00:00". From 24 hours on the hours keep counting
// ("25:00:00"), so a long block total never shows as a wrong small time. Counts beyond the
// 32-bit range (sums of cart lengths) are held at its ends.
QString formatClock(std::int64_t ms);

} // namespace core
