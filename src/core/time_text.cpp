#include "core/time_text.h"
#include "core/text_helpers.h"

#include <algorithm>
#include <limits>

namespace core {

QString formatClock(std::int64_t ms) {
    ms = std::min<std::int64_t>(ms, std::numeric_limits<std::int32_t>::max());
    if (ms <= 0)
        return QStringLiteral("00:00:00");
    const std::int64_t totalMinutes = ms / 60000;
    const std::int64_t seconds = (ms % 60000) / 1000;
    const QString hh = zeroPad(QString::number(totalMinutes / 60), 2);
    const QString mm = zeroPad(QString::number(totalMinutes % 60), 2);
    const QString ss = zeroPad(QString::number(seconds), 2);
    return hh + u':' + mm + u':' + ss;
}

} // namespace core
