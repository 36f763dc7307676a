#include "platform/LoginItems.h"

#include "platform/XdgDirs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace kalvix {

XdgAutostart::XdgAutostart(QString entryPath, QString executable)
    : m_entryPath(std::move(entryPath))
    , m_executable(std::move(executable))
{
}

QString XdgAutostart::defaultEntryPath()
{
    return platform::configHome() + QStringLiteral("/autostart/kalvix.desktop");
}

QString XdgAutostart::execValue(const QString& executable)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`=%");
    bool needsQuotes = false;
    for (QChar c : executable)
        needsQuotes = needsQuotes || reserved.contains(c);
    QString value;
    for (QChar c : executable) {
        if (needsQuotes && (c == u'"' || c == u'`' || c == u'$' || c == u'\\'))
            value += u'\\';
        value += c;
        if (c == u'%')
            value += u'%'; // a literal percent sign is doubled in Exec
    }
    if (needsQuotes)
        value = u'"' + value + u'"';
    // The desktop-entry format itself escapes backslashes once more in string values.
    value.replace(u'\\', QStringLiteral("\\\\"));
    return value;
}

bool XdgAutostart::registerApp()
{
    if (m_executable.isEmpty())
        return false;
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Kalvix\n"
                                        "Comment=Clock and calendar in the status area\n"
                                        "Exec=") +
                         execValue(m_executable) +
                         QStringLiteral("\n"
                                        "Icon=x-office-calendar\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n");
    if (!QDir().mkpath(QFileInfo(m_entryPath).absolutePath()))
        return false;
    QSaveFile file(m_entryPath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(text.toUtf8());
    return file.commit();
}

bool XdgAutostart::unregisterApp()
{
    if (!QFileInfo::exists(m_entryPath))
        return true;
    return QFile::remove(m_entryPath);
}

bool XdgAutostart::isEnabled() const
{
    QFile file(m_entryPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bool inEntry = false;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.startsWith('[')) {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (inEntry && line.startsWith("Hidden")) {
            const qsizetype eq = line.indexOf('=');
            if (eq > 0 && line.left(eq).trimmed() == "Hidden" && line.mid(eq + 1).trimmed() == "true")
                return false;
        }
    }
    return true;
}

} // namespace kalvix
