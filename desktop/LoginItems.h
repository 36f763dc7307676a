#pragma once
// Starting Kalvix when the user logs in.
//
// On Linux this is an XDG autostart entry, $XDG_CONFIG_HOME/autostart/kalvix.desktop. The item counts
// as enabled when that file exists, has an Exec, and says neither Hidden=true nor
// X-GNOME-Autostart-enabled=false. Once the entry exists it holds the user's choice: Kalvix turns it
// off by marking it Hidden=true (the file stays, so the choice outlives the preferences file), and
// never turns on an entry the user turned off except through the Settings switch.
#include "desktop/UserFile.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace kalvix {

class LoginItems {
public:
    virtual ~LoginItems() = default;
    // The first launch's registration: adds the entry when there is none. An entry that exists, on or
    // off, is left as it is. Returns whether an entry exists afterwards.
    virtual bool registerApp() = 0;
    // Turns the entry off; no entry is already off. Returns whether the entry is off afterwards.
    virtual bool unregisterApp() = 0;
    virtual bool isEnabled() const = 0;
    // The Settings switch. Returns whether the entry is in the asked state afterwards.
    virtual bool setEnabled(bool enabled) { return enabled ? registerApp() : unregisterApp(); }
    // Called at every start: keeps an entry that Kalvix wrote starting a program that exists. Returns
    // false only when something needed fixing and could not be fixed.
    virtual bool refresh() { return true; }
};

class XdgAutostart final : public LoginItems {
public:
    // `entryPath` is the autostart file (empty: there is none, and every change fails);
    // `runningProgram` the absolute path of the running program; `searchPath` the PATH the session
    // will search for a program named in Exec without a folder.
    XdgAutostart(QString entryPath, QString runningProgram, QString searchPath = qEnvironmentVariable("PATH"));

    // Empty when there is no configuration folder (no home).
    static QString defaultEntryPath();

    bool registerApp() override;
    bool unregisterApp() override;
    bool isEnabled() const override;
    // On: removes what turns the entry off and, for Kalvix's own entry, points it at the running
    // program; no entry: a new one. Off: marks the entry Hidden=true.
    bool setEnabled(bool enabled) override;
    // Kalvix's own entry (recognised by an X-Kalvix-Exec line equal to its Exec, or by being exactly
    // the entry earlier versions wrote) whose program is gone is pointed at the running program. An
    // entry that is off, whose Exec the user changed, or that Kalvix did not write is left alone.
    bool refresh() override;

    // The program a new entry starts: the running program's file name when the first program of that
    // name on the search path is the running program (so the entry survives reinstalls), else the
    // running program's absolute path.
    QString launchProgram() const;

    // The Exec value for a program path, quoted as desktop entries require.
    static QString execValue(const QString& executable);

    // Makes the next writes of the entry fail at `fault`'s step, as a full disk would.
    void setWriteFault(std::optional<WriteFault> fault) { m_fault = fault; }

private:
    QByteArray newEntryText() const;
    // `text` with its Exec pointed at the running program when it is Kalvix's own entry and its program
    // is gone; nothing when it stays as it is.
    std::optional<QByteArray> repointed(const QByteArray& text) const;
    bool programExists(const QString& program) const;
    bool write(const QByteArray& text, const FileStamp& expected) const;

    QString m_entryPath;
    QString m_runningProgram;
    QString m_searchPath;
    std::optional<WriteFault> m_fault;
};

} // namespace kalvix
