#pragma once
// Kalvix's launch arguments. Options match whole arguments exactly: "--open-settings=1" or
// "--Open-Settings" are not --open-settings; they are reported as unrecognised and have no effect.
#include <QString>
#include <QStringList>

#include <optional>

namespace kalvix {

struct CommandLine {
    bool help = false;
    bool version = false;
    bool printTitle = false;
    bool follow = false;
    bool toggle = false;
    bool openSettings = false;
    bool agenda = false;
    bool json = false;
    // The folder after the first "--snapshot"; none when it is the last argument.
    std::optional<QString> snapshotFolder;
    QStringList unrecognised;

    // `arguments` as the process got them, the program name first.
    static CommandLine parse(const QStringList& arguments);
    static QString usage();
    // What --version prints: "kalvix VERSION", then the commit of a build from a git checkout, marked
    // when the checkout had changes that were not committed.
    static QString versionText(const QString& version, const QString& commit, bool modified);
};

} // namespace kalvix
