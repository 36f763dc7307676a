#pragma once
// The freedesktop settings portal (org.freedesktop.portal.Settings on the session bus), for the one
// setting Kalvix follows: the desktop's colour scheme (org.freedesktop.appearance color-scheme: 0 no
// preference, 1 dark, 2 light; other numbers may come from newer portals and are passed on as they are).
//
// Made, it asks once and listens for changes; both arrive through colorSchemeChanged. Start-up does not
// wait for the answer, nor does anything fail when the portal is missing or slow: then no answer comes.
// Main thread only.
#include <QObject>
#include <QVariant>

class QDBusMessage;

namespace kalvix {

class SettingsPortal final : public QObject {
    Q_OBJECT
public:
    explicit SettingsPortal(QObject* parent = nullptr);

    // The number in a Read() answer or a SettingChanged value: Read() answers a variant holding the
    // value's variant, some portal versions the value directly. 0 (no preference) when it holds no number.
    static uint colorSchemeValue(const QVariant& reply);

Q_SIGNALS:
    void colorSchemeChanged(uint value);

private Q_SLOTS:
    // Named for QtDBus, whose signal connections go by name. It takes the whole message: QtDBus finds no
    // slot with a QDBusVariant parameter until that type has been registered by name.
    void settingChanged(const QDBusMessage& message);

private:
    void askColorScheme();
};

} // namespace kalvix
