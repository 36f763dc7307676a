#pragma once
// The one-time advice to hide the desktop's own clock now that Kalvix shows the time: said in the popover's
// tip banner and in the Settings window's General footer.
//
// Linux desktops hide their clocks in different places, so the advice names the way of the desktop in use
// (XDG_CURRENT_DESKTOP, a colon-separated list, first known entry wins) and stays general elsewhere.
#include <QString>

namespace kalvix::ui {

// What to do about the system clock on `currentDesktop` (a value of XDG_CURRENT_DESKTOP), as one sentence.
QString hideSystemClockAdvice(const QString& currentDesktop);

// The popover banner's text and the General section's footer, for the desktop in use now.
QString clockTipText();
QString generalFooterText();

} // namespace kalvix::ui
