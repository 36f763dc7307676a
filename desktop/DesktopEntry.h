#pragma once
// An installed application as a freedesktop desktop entry, and how to find the one that handles a type.
//
// Only what is needed to start an application is kept. Commands are argument lists that are run without a
// shell: quoting in Exec decides where one argument ends, and no character in a value (quotes, spaces,
// `$`, `;`, backquotes) ever has a meaning beyond being part of its argument.
#include <QString>
#include <QStringList>

#include <optional>

namespace kalvix {

struct DesktopEntry {
    QString id;       // the desktop file id, "org.gnome.Calendar.desktop"
    QString filePath; // where it was read from
    QString name;
    QString icon;
    QString exec;             // Exec with the string-value escapes (\s, \\, ...) already undone
    QString workingDirectory; // Path, empty for "inherit"

    // Reads the [Desktop Entry] group. Nothing when the file cannot be read, is not of Type=Application,
    // is Hidden=true (a deleted entry), or has no Exec.
    static std::optional<DesktopEntry> load(const QString& filePath, const QString& id);

    // The command to start the application with `targets` (files or URIs) in place of the field codes
    // %f/%u (the first target) and %F/%U (all of them); with no targets those codes vanish. %i, %c, %k
    // expand as specified, %% is a percent sign, deprecated codes vanish. Nothing when Exec is empty or its
    // quoting is unbalanced.
    std::optional<QStringList> command(const QStringList& targets = {}) const;

    // The command with `options` (not files) placed where the file field code stands, or at the end when
    // there is none. Flatpak's file-forwarding markers (@@, @@u, @@f) are dropped so the options reach the
    // application itself.
    std::optional<QStringList> commandWithOptions(const QStringList& options) const;

    // The Exec program's file name without its folder ("gnome-calendar"), after a leading "env VAR=x".
    QString programName() const;
};

// Splits a command line into arguments the way a POSIX shell would quote, but runs nothing and expands
// nothing: blanks separate arguments; '...' is literal; inside "..." a backslash escapes one of " ` $ \ and
// is kept before any other character; outside quotes a backslash escapes the next character. Adjacent
// pieces join ("a"'b'c is one argument). Nothing for an unterminated quote or a trailing backslash.
std::optional<QStringList> splitArguments(const QString& text);

// $XDG_DATA_HOME/applications (default ~/.local/share), then each $XDG_DATA_DIRS entry's applications
// folder (default /usr/local/share:/usr/share), earliest first; relative paths are ignored.
QStringList applicationDirs();

// The file for a desktop file id in the first folder that has it. An id "vendor-app.desktop" may also be
// the file vendor/app.desktop. Empty when none has it or the id is not a plain file name.
QString findDesktopFile(const QString& id, const QStringList& dirs);

// The desktop file id of the user's default application for a MIME type, as `xdg-mime query default`
// reports it (that tool knows each desktop's own rules). Nothing when there is none, the tool is missing,
// or it does not answer within a few seconds. Blocks: call it off the main thread.
std::optional<QString> defaultApplication(const QString& mimeType);

} // namespace kalvix
