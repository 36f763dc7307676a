#include "statusitem/PanelColors.h"

#include "desktop/XdgDirs.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

#include <algorithm>
#include <cmath>

namespace kalvix {
namespace {

// Breeze's light look, which a Plasma panel shows while neither a Plasma theme nor a colour scheme says
// otherwise (a fresh home): its Window text and the Window and Header grounds.
constexpr char kBreezeLight[] = "[Colors:Window]\n"
                                "BackgroundNormal=239,240,241\n"
                                "ForegroundNormal=35,38,41\n"
                                "[Colors:Header]\n"
                                "BackgroundNormal=222,224,226\n";

// The Plasma theme that follows the colour scheme; the one in use when plasmarc names none.
constexpr char kDefaultPlasmaTheme[] = "default";

// Where each answer was looked for, files that are missing too: creating one may change the answer.
struct Reads {
    QStringList* sources = nullptr;
};

QString readSmallFile(const QString& path, Reads& reads)
{
    if (reads.sources && !reads.sources->contains(path))
        reads.sources->append(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(256 * 1024)); // configuration, never large: the rest is not needed
}

QString firstExisting(std::initializer_list<QString> paths, Reads& reads)
{
    for (const QString& path : paths) {
        const QString text = readSmallFile(path, reads);
        if (!text.isEmpty())
            return text;
    }
    return {};
}

// The text of `relative` in the first of `dirs` that has it, empty when none does.
QString firstInDirs(const QStringList& dirs, const QString& relative, Reads& reads)
{
    for (const QString& dir : dirs) {
        if (dir.isEmpty())
            continue;
        const QString text = readSmallFile(dir + u'/' + relative, reads);
        if (!text.isEmpty())
            return text;
    }
    return {};
}

// Every `relative` file in `dirs`, the most important first, as one text in which a key's first value is
// the one KDE's configuration takes: the user's file overrides key by key, and the files of the folders
// below it (a global theme's defaults, the system's) give what it does not say. Each file's groups end
// with it.
QString cascadedInDirs(const QStringList& dirs, const QString& relative, Reads& reads)
{
    QString text;
    for (const QString& dir : dirs) {
        if (dir.isEmpty())
            continue;
        if (const QString part = readSmallFile(dir + u'/' + relative, reads); !part.isEmpty())
            text += part + u"\n[]\n";
    }
    return text;
}

// A theme name that stays one folder name, whatever a settings file holds.
bool isPlainName(const QString& name)
{
    return !name.isEmpty() && !name.contains(u'/') && name != u"." && name != u"..";
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

// A KDE colour: "r,g,b" (a fourth number, alpha, is ignored), each 0-255.
QColor kdeColour(const QString& value)
{
    const QStringList parts = value.split(u',');
    if (parts.size() < 3)
        return {};
    int channel[3] = {};
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        channel[i] = parts[i].trimmed().toInt(&ok);
        if (!ok || channel[i] < 0 || channel[i] > 255)
            return {};
    }
    return QColor(channel[0], channel[1], channel[2]);
}

// A colour seen through: over the darkest and the lightest desktop it may cover.
QList<QColor> seenThrough(const QColor& colour, double alpha)
{
    if (alpha >= 1.0)
        return {colour};
    const auto over = [&](int below) {
        const auto mix = [&](int c) { return static_cast<int>(std::lround(c * alpha + below * (1.0 - alpha))); };
        return QColor(mix(colour.red()), mix(colour.green()), mix(colour.blue()));
    };
    return {over(0), over(255)};
}

double relativeLuminance(const QColor& c)
{
    const auto linear = [](double channel) {
        return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

std::optional<ItemInk> inkFromKdeColours(const KdeColours& colours)
{
    if (!colours.grounds.isEmpty()) {
        const bool textReads =
            colours.text.isValid() && std::all_of(colours.grounds.begin(), colours.grounds.end(), [&](const QColor& g) {
                return contrastRatio(colours.text, g) >= kLeastContrast;
            });
        return textReads ? ItemInk(colours.text) : inkOnGrounds(colours.grounds);
    }
    if (colours.text.isValid())
        return ItemInk(colours.text);
    return std::nullopt;
}

// A Plasma panel draws with its Plasma theme's own colours where the theme has them, else with the
// colour sets in kdeglobals. Both files are read as KDE reads them, through every config folder: a global
// theme writes its choices as defaults into a folder of its own that a Plasma session puts below the
// user's (Breeze Twilight's dark Plasma theme is only there), and the user's plasmarc often holds other
// settings only. A colour scheme that kdeglobals names without its colours does not colour the panel:
// Plasma 5.27 keeps Breeze's light look then.
ItemInk plasmaInk(const PanelFiles& files, Reads& reads)
{
    const QStringList configs = QStringList{files.configHome} + files.configDirs;
    QString theme = iniValue(
        cascadedInDirs(configs, QStringLiteral("plasmarc"), reads), QStringLiteral("Theme"), QStringLiteral("name"));
    if (!isPlainName(theme))
        theme = QString::fromLatin1(kDefaultPlasmaTheme);
    if (auto ink = inkFromKdeColours(
            kdeColours(firstInDirs(files.dataDirs, u"plasma/desktoptheme/" + theme + u"/colors", reads))))
        return *ink;
    if (auto ink = inkFromKdeColours(kdeColours(cascadedInDirs(configs, QStringLiteral("kdeglobals"), reads))))
        return *ink;
    return *inkFromKdeColours(kdeColours(QString::fromLatin1(kBreezeLight)));
}

// An LXQt panel draws its ground from the colour chosen in its own settings where there is one, else
// from the theme lxqt.conf names.
std::optional<ItemInk> lxqtInk(const PanelFiles& files, Reads& reads)
{
    const QStringList dirs = QStringList{files.configHome} + files.configDirs + files.dataDirs;
    QString panelConf;
    for (const QString& dir : dirs) {
        if (dir.isEmpty())
            continue;
        const QString path = dir + u"/lxqt/panel.conf";
        if (!readSmallFile(path, reads).isEmpty()) {
            panelConf = path;
            break;
        }
    }
    if (const auto custom = lxqtCustomGrounds(panelConf))
        return inkOnGrounds(*custom);
    const QString conf = firstInDirs(dirs, QStringLiteral("lxqt/lxqt.conf"), reads);
    const QString theme = iniValue(conf, QStringLiteral("General"), QStringLiteral("theme"));
    if (!isPlainName(theme))
        return std::nullopt;
    const QList<QColor> grounds =
        lxqtPanelGrounds(firstInDirs(files.dataDirs, u"lxqt/themes/" + theme + u"/lxqt-panel.qss", reads));
    if (grounds.isEmpty())
        return std::nullopt;
    return inkOnGrounds(grounds);
}

} // namespace

PanelFiles PanelFiles::fromEnvironment()
{
    const auto list = [](const char* variable, const QString& fallback) {
        QStringList dirs;
        for (const QString& dir : qEnvironmentVariable(variable, fallback).split(u':', Qt::SkipEmptyParts))
            if (dir.startsWith(u'/')) // relative entries are invalid by the XDG rules
                dirs << dir;
        return dirs;
    };
    PanelFiles files;
    files.configHome = kalvix::configHome();
    files.configDirs = list("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    const QString data = dataHome();
    files.dataDirs = (data.isEmpty() ? QStringList() : QStringList{data}) +
                     list("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
    return files;
}

QColor lightInk()
{
    return QColor(0xf2, 0xf2, 0xf2);
}

QColor darkInk()
{
    return QColor(0x1e, 0x1e, 0x1e);
}

double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

ItemInk inkOnGrounds(const QList<QColor>& grounds)
{
    if (grounds.isEmpty())
        return ItemInk(lightInk(), darkInk());
    const auto worst = [&](const QColor& ink) {
        double least = 21.0;
        for (const QColor& ground : grounds)
            least = std::min(least, contrastRatio(ink, ground));
        return least;
    };
    const bool light = worst(lightInk()) > worst(darkInk());
    const QColor ink = light ? lightInk() : darkInk();
    if (worst(ink) >= kLeastContrast)
        return ItemInk(ink);
    return ItemInk(ink, light ? darkInk() : lightInk());
}

std::optional<QColor> parseCssColour(const QString& value, double* alpha)
{
    if (alpha)
        *alpha = 1.0;
    const QString v = value.trimmed().toLower();
    static const QRegularExpression hex(QStringLiteral("^#([0-9a-f]{3}|[0-9a-f]{6})$"));
    if (hex.match(v).hasMatch()) {
        QColor c(v);
        return c.isValid() ? std::optional<QColor>(c) : std::nullopt;
    }
    static const QRegularExpression rgb(
        QStringLiteral("^rgba?\\(\\s*(\\d+)\\s*,\\s*(\\d+)\\s*,\\s*(\\d+)\\s*(?:,\\s*([0-9.]+)\\s*(%?)\\s*)?\\)$"));
    if (const auto m = rgb.match(v); m.hasMatch()) {
        const auto channel = [&](int i) { return std::clamp(m.captured(i).toInt(), 0, 255); };
        if (alpha && m.hasCaptured(4) && !m.captured(4).isEmpty()) {
            double a = m.captured(4).toDouble();
            if (!m.captured(5).isEmpty())
                a /= 100.0;
            else if (a > 1.0)
                a /= 255.0; // Qt style sheets write alpha as 0-255
            *alpha = std::clamp(a, 0.0, 1.0);
        }
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
        return inkOnGrounds({*background}).fill;
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

KdeColours kdeColours(const QString& schemeText)
{
    KdeColours colours;
    colours.text = kdeColour(iniValue(schemeText, QStringLiteral("Colors:Window"), QStringLiteral("ForegroundNormal")));
    for (const char* set : {"Colors:Window", "Colors:Header"})
        if (const QColor ground =
                kdeColour(iniValue(schemeText, QString::fromLatin1(set), QStringLiteral("BackgroundNormal")));
            ground.isValid())
            colours.grounds << ground;
    return colours;
}

QList<QColor> lxqtPanelGrounds(const QString& panelStyleSheet)
{
    QString qss = panelStyleSheet;
    qss.remove(QRegularExpression(QStringLiteral("/\\*.*?\\*/"), QRegularExpression::DotMatchesEverythingOption));
    static const QRegularExpression rule(QStringLiteral("([^{}]+)\\{([^}]*)\\}"));
    static const QRegularExpression spaces(QStringLiteral("\\s+"));
    QString value;
    for (auto it = rule.globalMatch(qss); it.hasNext();) {
        const auto m = it.next();
        // The panel's own ground in every position; rules for one position only draw its border.
        bool panel = false;
        for (const QString& selector : m.captured(1).split(u','))
            panel =
                panel || QStringList{QStringLiteral("LXQtPanel #BackgroundWidget"), QStringLiteral("#BackgroundWidget")}
                             .contains(selector.trimmed().replace(spaces, QStringLiteral(" ")));
        if (!panel)
            continue;
        for (const QString& declaration : m.captured(2).split(u';')) {
            const QString name = declaration.section(u':', 0, 0).trimmed().toLower();
            if (name == u"background-color" || name == u"background")
                value = declaration.section(u':', 1).trimmed();
        }
    }
    // A plain colour, or a gradient's stops: every colour the panel may show.
    static const QRegularExpression colour(QStringLiteral("#[0-9a-fA-F]{3,6}\\b|rgba?\\([^)]*\\)|^\\s*[a-z]+\\s*$"));
    QList<QColor> grounds;
    if (value.contains(u"palette("))
        return grounds;
    for (auto it = colour.globalMatch(value); it.hasNext();) {
        double alpha = 1.0;
        if (const auto c = parseCssColour(it.next().captured(0), &alpha))
            grounds << seenThrough(*c, alpha);
    }
    return grounds;
}

std::optional<QList<QColor>> lxqtCustomGrounds(const QString& panelConfPath)
{
    if (panelConfPath.isEmpty() || !QFileInfo(panelConfPath).isFile())
        return std::nullopt;
    const QSettings conf(panelConfPath, QSettings::IniFormat);
    if (conf.status() != QSettings::NoError)
        return std::nullopt;
    // The panel that holds the tray: the first with a status notifier or a tray, else the first.
    const QStringList panels = conf.value(QStringLiteral("panels")).toStringList();
    QString panel = panels.value(0);
    for (const QString& name : panels) {
        const QStringList plugins = conf.value(name + u"/plugins").toStringList();
        const bool holdsTray = std::any_of(plugins.cbegin(), plugins.cend(), [&](const QString& plugin) {
            const QString type = conf.value(plugin.trimmed() + u"/type").toString();
            return type == u"statusnotifier" || type == u"tray";
        });
        if (holdsTray) {
            panel = name;
            break;
        }
    }
    if (panel.isEmpty() || panel.contains(u'/'))
        return std::nullopt;
    // The settings dialog writes the colour as a QColor; a hand-written name reads as well.
    const QVariant value = conf.value(panel + u"/background-color");
    const QColor colour =
        value.typeId() == QMetaType::QColor ? value.value<QColor>() : QColor::fromString(value.toString().trimmed());
    if (!colour.isValid())
        return std::nullopt;
    // A picture over the colour: its colours are not known.
    if (const QString image = conf.value(panel + u"/background-image").toString();
        !image.isEmpty() && QFileInfo(image).isFile())
        return QList<QColor>{};
    bool ok = false;
    const int opacity = conf.value(panel + u"/opacity", 100).toInt(&ok);
    return seenThrough(QColor(colour.red(), colour.green(), colour.blue()),
                       ok ? std::clamp(opacity, 0, 100) / 100.0 : 1.0);
}

ItemInk panelInk(const StatusHost& host, const PanelFiles& files, QStringList* sources)
{
    Reads reads{sources};
    const QString& p = host.process;
    const QString& configHome = files.configHome;
    if (p == u"waybar") {
        if (auto ink = waybarInk(
                firstExisting({configHome + u"/waybar/style.css", QStringLiteral("/etc/xdg/waybar/style.css")}, reads)))
            return ItemInk(*ink);
    } else if (p == u"xfce4-panel" || p == u"wrapper-2.0" || p.startsWith(u"panel-")) {
        const QString channels = configHome + u"/xfce4/xfconf/xfce-perchannel-xml/";
        if (auto dark = xfcePanelIsDark(readSmallFile(channels + u"xfce4-panel.xml", reads),
                                        readSmallFile(channels + u"xsettings.xml", reads)))
            return ItemInk(inkFor(*dark));
    } else if (p == u"plasmashell" || p.startsWith(u"kded")) {
        return plasmaInk(files, reads);
    } else if (p == u"lxqt-panel") {
        if (auto ink = lxqtInk(files, reads))
            return *ink;
    }
    if (host.look == ItemLook::label)
        return ItemInk(lightInk()); // GNOME's top bar is dark whatever the GTK theme
    if (auto dark = gtkThemeIsDark(readSmallFile(configHome + u"/gtk-3.0/settings.ini", reads)))
        return ItemInk(inkFor(*dark));
    return inkOnGrounds({});
}

} // namespace kalvix
