#include "app/CommandLine.h"

namespace kalvix {

CommandLine CommandLine::parse(const QStringList& arguments)
{
    CommandLine cl;
    bool sawSnapshot = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (a == u"--help" || a == u"-h")
            cl.help = true;
        else if (a == u"--version")
            cl.version = true;
        else if (a == u"--print-title")
            cl.printTitle = true;
        else if (a == u"--follow")
            cl.follow = true;
        else if (a == u"--toggle")
            cl.toggle = true;
        else if (a == u"--open-settings")
            cl.openSettings = true;
        else if (a == u"--agenda")
            cl.agenda = true;
        else if (a == u"--json")
            cl.json = true;
        else if (a == u"--snapshot") {
            // Only the first occurrence and the argument after it count; later ones are skipped whole.
            if (i + 1 < arguments.size()) {
                if (!sawSnapshot)
                    cl.snapshotFolder = arguments.at(i + 1);
                ++i;
            }
            sawSnapshot = true;
        } else
            cl.unrecognised << a;
    }
    return cl;
}

QString CommandLine::usage()
{
    return QStringLiteral(
        "Usage: kalvix [option...]\n"
        "A clock and calendar for the desktop's status area.\n"
        "\n"
        "Without options Kalvix puts its clock into the status area and runs until you quit it.\n"
        "If Kalvix is already running, a new start passes its request to the running one.\n"
        "\n"
        "Options:\n"
        "  --open-settings   open the Settings window as well\n"
        "  --toggle          open or close the popover of the running Kalvix\n"
        "  --print-title     print the current clock title once and exit (no display needed)\n"
        "  --follow          print the clock title, and again each time it changes\n"
        "  --agenda          print the upcoming events and the agenda, and exit\n"
        "  --json            with --agenda: print JSON instead of text\n"
        "  --snapshot DIR    draw the popover into DIR/standard.png and DIR/compact.png, then quit\n"
        "  --version         print the version and exit\n"
        "  -h, --help        print this help and exit\n"
        "\n"
        "Settings live in $XDG_CONFIG_HOME/kalvix/kalvix.conf (default ~/.config/kalvix/kalvix.conf).\n");
}

QString CommandLine::versionText(const QString& version, const QString& commit, bool modified)
{
    QString text = QStringLiteral("kalvix ") + version;
    if (!commit.isEmpty())
        text += QStringLiteral(" (commit ") + commit + (modified ? QStringLiteral(", modified") : QString()) + u')';
    return text;
}

} // namespace kalvix
