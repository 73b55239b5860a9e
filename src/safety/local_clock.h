#pragma once
#include <QDateTime>

#include <functional>

namespace safety {

// The wall clock in local time; injected so that tests fix the time and the time zone.
// Called on the user-interface thread.
using LocalClock = std::function<QDateTime()>;

} // namespace safety
