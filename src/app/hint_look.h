#pragma once
class QApplication;

namespace app {

// Every hint of the program: Segoe UI bold 13 px (fontconfig picks a stand-in when the family is
// missing), at most 800 px wide, on a gradient from white towards orange (4227327 as 00BBGGRR).
// It wraps the application's style; call it before the first window is made.
void applyHintLook(QApplication& application);

} // namespace app
