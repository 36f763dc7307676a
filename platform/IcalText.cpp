#include "platform/IcalText.h"

#include <algorithm>

namespace kalvix::ical {
namespace {

bool startsWithNoCase(QByteArrayView line, QByteArrayView prefix)
{
    return line.size() >= prefix.size() && line.first(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0;
}

std::optional<CalendarColor> colorFromText(QStringView text)
{
    if (auto c = CalendarColor::fromName(text))
        return c;
    // CSS colour names (RFC 7986 COLOR): the common ones.
    static const std::pair<const char*, CalendarColor> names[] = {
        {"black", {0, 0, 0, 255}},        {"white", {255, 255, 255, 255}},    {"red", {255, 0, 0, 255}},
        {"green", {0, 128, 0, 255}},      {"blue", {0, 0, 255, 255}},         {"yellow", {255, 255, 0, 255}},
        {"orange", {255, 165, 0, 255}},   {"purple", {128, 0, 128, 255}},     {"gray", {128, 128, 128, 255}},
        {"grey", {128, 128, 128, 255}},   {"pink", {255, 192, 203, 255}},     {"brown", {165, 42, 42, 255}},
        {"teal", {0, 128, 128, 255}},     {"navy", {0, 0, 128, 255}},         {"olive", {128, 128, 0, 255}},
        {"maroon", {128, 0, 0, 255}},     {"lime", {0, 255, 0, 255}},         {"aqua", {0, 255, 255, 255}},
        {"cyan", {0, 255, 255, 255}},     {"fuchsia", {255, 0, 255, 255}},    {"magenta", {255, 0, 255, 255}},
        {"silver", {192, 192, 192, 255}}, {"turquoise", {64, 224, 208, 255}}, {"violet", {238, 130, 238, 255}},
    };
    const QString lower = text.trimmed().toString().toLower();
    for (const auto& [name, color] : names) {
        if (lower == QLatin1String(name))
            return color;
    }
    return std::nullopt;
}

void readCalendarProperty(QByteArrayView line, CalendarText& out)
{
    const qsizetype colon = line.indexOf(':');
    if (colon < 0)
        return;
    QByteArrayView name = line.first(colon);
    if (const qsizetype semi = name.indexOf(';'); semi >= 0)
        name = name.first(semi);
    const QByteArrayView value = line.sliced(colon + 1);
    if (name.compare("X-WR-CALNAME", Qt::CaseInsensitive) == 0 && out.name.isEmpty()) {
        out.name = unescapeText(value).trimmed();
    } else if (name.compare("COLOR", Qt::CaseInsensitive) == 0 ||
               name.compare("X-APPLE-CALENDAR-COLOR", Qt::CaseInsensitive) == 0) {
        if (!out.color)
            out.color = colorFromText(QString::fromUtf8(value));
    }
}

QByteArray zoneIdOf(QByteArrayView vtimezone)
{
    qsizetype at = 0;
    while (at < vtimezone.size()) {
        qsizetype end = vtimezone.indexOf('\n', at);
        if (end < 0)
            end = vtimezone.size();
        QByteArrayView line = vtimezone.sliced(at, end - at);
        if (line.endsWith('\r'))
            line.chop(1);
        if (startsWithNoCase(line, "TZID")) {
            const qsizetype colon = line.indexOf(':');
            if (colon >= 0)
                return line.sliced(colon + 1).trimmed().toByteArray();
        }
        at = end + 1;
    }
    return {};
}

} // namespace

QString unescapeText(QByteArrayView value)
{
    QByteArray out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char next = value[++i];
            out += (next == 'n' || next == 'N') ? '\n' : next;
        } else {
            out += value[i];
        }
    }
    return QString::fromUtf8(out);
}

CalendarText splitCalendarText(const QByteArray& text, int componentsPerChunk)
{
    static const QByteArray kHead = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Kalvix//EN\r\n";
    static const QByteArray kTail = "END:VCALENDAR\r\n";
    CalendarText out;
    QByteArray chunk;
    int inChunk = 0;
    auto flush = [&] {
        if (inChunk > 0)
            out.chunks.push_back(kHead + chunk + kTail);
        chunk.clear();
        inChunk = 0;
    };

    std::vector<QByteArray> stack; // names of the open components
    bool inCalendar = false;
    qsizetype componentStart = -1;
    bool componentBroken = false;
    QByteArray property; // an unfolded calendar-level property line

    const QByteArrayView all(text);
    qsizetype at = 0;
    while (at < all.size()) {
        qsizetype end = all.indexOf('\n', at);
        const qsizetype next = end < 0 ? all.size() : end + 1;
        QByteArrayView line = all.sliced(at, (end < 0 ? all.size() : end) - at);
        if (line.endsWith('\r'))
            line.chop(1);
        const std::size_t calendarLevel = inCalendar ? 1 : 0;

        if (stack.size() == calendarLevel && inCalendar && !line.isEmpty() && (line[0] == ' ' || line[0] == '\t')) {
            property += line.sliced(1);
            at = next;
            continue;
        }
        if (!property.isEmpty()) {
            readCalendarProperty(property, out);
            property.clear();
        }

        if (startsWithNoCase(line, "BEGIN:")) {
            const QByteArray name = line.sliced(6).trimmed().toByteArray().toUpper();
            if (stack.empty() && name == "VCALENDAR") {
                inCalendar = true;
                stack.push_back(name);
            } else {
                if (stack.size() == (inCalendar ? 1u : 0u)) {
                    componentStart = at;
                    componentBroken = false;
                }
                stack.push_back(name);
            }
        } else if (startsWithNoCase(line, "END:")) {
            const QByteArray name = line.sliced(4).trimmed().toByteArray().toUpper();
            auto open = std::find(stack.rbegin(), stack.rend(), name);
            if (open != stack.rend()) {
                if (open != stack.rbegin())
                    componentBroken = true; // inner components left open: the component is damaged
                stack.erase((open + 1).base(), stack.end());
                if (name == "VCALENDAR" && stack.empty()) {
                    inCalendar = false;
                } else if (stack.size() == (inCalendar ? 1u : 0u) && componentStart >= 0) {
                    QByteArray component = all.sliced(componentStart, next - componentStart).toByteArray();
                    if (!component.endsWith('\n'))
                        component += "\r\n";
                    if (componentBroken) {
                        ++out.truncated;
                    } else if (name == "VTIMEZONE") {
                        const QByteArray id = zoneIdOf(component);
                        if (!id.isEmpty() && !out.zones.contains(id))
                            out.zones.insert(id, component);
                    } else if (name == "VEVENT") {
                        chunk += component;
                        if (++inChunk >= componentsPerChunk)
                            flush();
                    }
                    componentStart = -1;
                }
            }
        } else if (stack.size() == 1 && inCalendar) {
            property = line.toByteArray();
        }
        at = next;
    }
    if (!property.isEmpty())
        readCalendarProperty(property, out);
    if (componentStart >= 0)
        ++out.truncated;
    flush();
    return out;
}

} // namespace kalvix::ical
