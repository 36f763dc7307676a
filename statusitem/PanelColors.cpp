#include "statusitem/PanelColors.h"

#include <QFile>
#include <QRegularExpression>

#include <algorithm>

namespace kalvix {
namespace {

QString readSmallFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(256 * 1024)); // configuration, never large: the rest is not needed
}

QString firstExisting(std::initializer_list<QString> paths)
{
    for (const QString& path : paths) {
        const QString text = readSmallFile(path);
        if (!text.isEmpty())
            return text;
    }
    return {};
}

QColor inkFor(bool darkPanel)
{
    return darkPanel ? lightInk() : darkInk();
}

// The value of `key` in a `[section]` of an INI-like text.
QString iniValue(const QString& text, const QString& section, const QString& key)
{
    bool inSection = false;
    for (const QString& raw : text.split(u'\n')) {
        const QString line = raw.trimmed();
        if (line.startsWith(u'['))
            inSection = line == u'[' + section + u']';
        else if (inSection && line.section(u'=', 0, 0).trimmed() == key)
            return line.section(u'=', 1).trimmed();
    }
    return {};
}

// The value of an xfconf property by name in a channel's XML.
QString xfconfValue(const QString& xml, const QString& name)
{
    const QRegularExpression property(u"<property\\s+name=\"" + QRegularExpression::escape(name) +
                                      u"\"[^>]*\\svalue=\"([^\"]*)\"");
    return property.match(xml).captured(1);
}

} // namespace

QColor lightInk()
{
    return QColor(0xf2, 0xf2, 0xf2);
}

QColor darkInk()
{
    return QColor(0x1e, 0x1e, 0x1e);
}

std::optional<QColor> parseCssColour(const QString& value)
{
    const QString v = value.trimmed().toLower();
    static const QRegularExpression hex(QStringLiteral("^#([0-9a-f]{3}|[0-9a-f]{6})$"));
    if (hex.match(v).hasMatch()) {
        QColor c(v);
        return c.isValid() ? std::optional<QColor>(c) : std::nullopt;
    }
    static const QRegularExpression rgb(
        QStringLiteral("^rgba?\\(\\s*(\\d+)\\s*,\\s*(\\d+)\\s*,\\s*(\\d+)\\s*(?:,\\s*([0-9.]+)\\s*)?\\)$"));
    if (const auto m = rgb.match(v); m.hasMatch()) {
        const auto channel = [&](int i) { return std::clamp(m.captured(i).toInt(), 0, 255); };
        return QColor(channel(1), channel(2), channel(3));
    }
    if (v == u"white")
        return QColor(Qt::white);
    if (v == u"black")
        return QColor(Qt::black);
    return std::nullopt;
}

std::optional<QColor> waybarInk(const QString& styleSheet)
{
    QString css = styleSheet;
    css.remove(QRegularExpression(QStringLiteral("/\\*.*?\\*/"), QRegularExpression::DotMatchesEverythingOption));
    static const QRegularExpression rule(QStringLiteral("([^{}]+)\\{([^}]*)\\}"));
    std::optional<QColor> text;
    std::optional<QColor> background;
    for (auto it = rule.globalMatch(css); it.hasNext();) {
        const auto m = it.next();
        const QString selector = m.captured(1).trimmed();
        // The bar itself, or a rule for everything; states such as .hidden are not the bar's colours.
        const bool bar = selector == u"*" || selector == u"window#waybar" || selector == u"#waybar";
        if (!bar)
            continue;
        for (const QString& declaration : m.captured(2).split(u';')) {
            const QString name = declaration.section(u':', 0, 0).trimmed().toLower();
            const QString value = declaration.section(u':', 1).trimmed();
            if (name == u"color")
                text = parseCssColour(value) ? parseCssColour(value) : text;
            else if (name == u"background-color" || name == u"background")
                background = parseCssColour(value) ? parseCssColour(value) : background;
        }
    }
    if (text)
        return text;
    if (background)
        return inkFor(background->lightness() < 128);
    return std::nullopt;
}

std::optional<bool> xfcePanelIsDark(const QString& panelChannel, const QString& xsettingsChannel)
{
    const QString darkMode = xfconfValue(panelChannel, QStringLiteral("dark-mode"));
    if (darkMode == u"true")
        return true;
    const QString theme = xfconfValue(xsettingsChannel, QStringLiteral("ThemeName"));
    if (!theme.isEmpty())
        return theme.contains(u"dark", Qt::CaseInsensitive);
    if (darkMode == u"false")
        return false;
    return std::nullopt;
}

std::optional<QColor> kdeInk(const QString& kdeglobals)
{
    const QStringList rgb =
        iniValue(kdeglobals, QStringLiteral("Colors:Window"), QStringLiteral("ForegroundNormal")).split(u',');
    if (rgb.size() < 3)
        return std::nullopt;
    bool ok[3] = {};
    const QColor c(rgb[0].toInt(&ok[0]), rgb[1].toInt(&ok[1]), rgb[2].toInt(&ok[2]));
    return ok[0] && ok[1] && ok[2] && c.isValid() ? std::optional<QColor>(c) : std::nullopt;
}

std::optional<bool> gtkThemeIsDark(const QString& settingsIni)
{
    const QString prefer =
        iniValue(settingsIni, QStringLiteral("Settings"), QStringLiteral("gtk-application-prefer-dark-theme"));
    if (prefer == u"1" || prefer == u"true")
        return true;
    const QString theme = iniValue(settingsIni, QStringLiteral("Settings"), QStringLiteral("gtk-theme-name"));
    if (!theme.isEmpty())
        return theme.contains(u"dark", Qt::CaseInsensitive);
    return std::nullopt;
}

QColor panelInk(const StatusHost& host, const QString& configHome)
{
    const QString& p = host.process;
    if (p == u"waybar") {
        if (auto ink = waybarInk(
                firstExisting({configHome + u"/waybar/style.css", QStringLiteral("/etc/xdg/waybar/style.css")})))
            return *ink;
    } else if (p == u"xfce4-panel" || p == u"wrapper-2.0" || p.startsWith(u"panel-")) {
        const QString channels = configHome + u"/xfce4/xfconf/xfce-perchannel-xml/";
        if (auto dark = xfcePanelIsDark(readSmallFile(channels + u"xfce4-panel.xml"),
                                        readSmallFile(channels + u"xsettings.xml")))
            return inkFor(*dark);
    } else if (p == u"plasmashell" || p.startsWith(u"kded")) {
        if (auto ink = kdeInk(readSmallFile(configHome + u"/kdeglobals")))
            return *ink;
    }
    if (host.look != ItemLook::label) // GNOME's top bar is dark whatever the GTK theme
        if (auto dark = gtkThemeIsDark(readSmallFile(configHome + u"/gtk-3.0/settings.ini")))
            return inkFor(*dark);
    return lightInk();
}

} // namespace kalvix
