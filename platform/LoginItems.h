#pragma once
// Starting Kalvix when the user logs in.
//
// On Linux this is an XDG autostart entry, $XDG_CONFIG_HOME/autostart/kalvix.desktop. The item counts
// as enabled when that file exists and does not say Hidden=true.
#include <QString>

namespace kalvix {

class LoginItems {
public:
    virtual ~LoginItems() = default;
    // Each returns whether the change took effect; callers that must ignore failure may.
    virtual bool registerApp() = 0;
    virtual bool unregisterApp() = 0;
    virtual bool isEnabled() const = 0;
};

class XdgAutostart final : public LoginItems {
public:
    // `entryPath` is the autostart file; `executable` the program the entry starts.
    XdgAutostart(QString entryPath, QString executable);

    static QString defaultEntryPath();

    bool registerApp() override;
    bool unregisterApp() override;
    bool isEnabled() const override;

    // The Exec value for a program path, quoted as desktop entries require.
    static QString execValue(const QString& executable);

private:
    QString m_entryPath;
    QString m_executable;
};

} // namespace kalvix
