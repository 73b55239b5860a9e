#pragma once
// Component setters act or repaint only when the value changes.

namespace widgets {

// Stores `value` in `field`; true when that changed it.
template <typename T, typename U> bool assignIfChanged(T& field, const U& value) {
    if (field == value) {
        return false;
    }
    field = value;
    return true;
}

} // namespace widgets
