#include "ui/ClockTip.h"

#include <QStringList>

namespace kalvix::ui {

QString hideSystemClockAdvice(const QString& currentDesktop)
{
    for (const QString& entry : currentDesktop.split(u':', Qt::SkipEmptyParts)) {
        const QString desktop = entry.trimmed().toUpper();
        if (desktop == u"GNOME")
            return QStringLiteral("Shrink the system clock: Tweaks \u2192 Top Bar \u2192 turn off Weekday and Date.");
        if (desktop == u"KDE")
            return QStringLiteral("Remove the system clock: right-click the panel\u2019s Digital Clock \u2192 "
                                  "Remove Digital Clock.");
        if (desktop == u"XFCE")
            return QStringLiteral("Remove the system clock: right-click the panel\u2019s clock \u2192 Remove.");
        if (desktop == u"MATE")
            return QStringLiteral("Remove the system clock: right-click the panel\u2019s clock \u2192 Remove From "
                                  "Panel.");
    }
    return QStringLiteral("Hide the system clock in your panel\u2019s settings, or remove it from the panel.");
}

QString clockTipText()
{
    return QStringLiteral("Kalvix is your clock now. ") +
           hideSystemClockAdvice(qEnvironmentVariable("XDG_CURRENT_DESKTOP"));
}

QString generalFooterText()
{
    return QStringLiteral("Home city drives the sunrise and sunset times. Tip: ") +
           hideSystemClockAdvice(qEnvironmentVariable("XDG_CURRENT_DESKTOP"));
}

} // namespace kalvix::ui
