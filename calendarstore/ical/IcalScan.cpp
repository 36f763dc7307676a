#include "calendarstore/ical/IcalScan.h"

#include "calendarstore/ical/IcalText.h"
#include "calendarstore/ical/IcalZones.h"

#include <array>

namespace kalvix::ical {
namespace {

enum class Kind { event, zone, other };

struct Open {
    Kind kind = Kind::other;
    QByteArray name;
    qsizetype begin = 0;                     // where its lines begin
    std::array<QByteArray, kMaxDepth> inner; // names of the components open inside it
    int depth = 0;                           // how many are open inside it (may pass kMaxDepth)
    bool damaged = false;
    QByteArray tzid;
};

bool isTopLevel(const QByteArray& name)
{
    return name == "VEVENT" || name == "VTODO" || name == "VJOURNAL" || name == "VFREEBUSY" || name == "VTIMEZONE" ||
           name == "VCALENDAR";
}

// Properties of an event that Kalvix reads: an over-long one makes the event unreadable.
bool isReadProperty(const ContentLine& line)
{
    static const char* const kRead[] = {
        "DTSTART", "DTEND", "DURATION", "SUMMARY", "UID", "RRULE", "RDATE", "EXDATE", "RECURRENCE-ID"};
    for (const char* name : kRead) {
        if (line.is(name))
            return true;
    }
    return false;
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

class Scanner {
public:
    explicit Scanner(QByteArrayView text)
        : m_text(text)
        , m_reader(text)
    {
    }

    CalendarText run()
    {
        ContentLine line;
        while (m_reader.next(line)) {
            if (line.is("BEGIN"))
                begin(componentName(line));
            else if (line.is("END"))
                end(componentName(line));
            else
                property(line);
        }
        if (m_open)
            close(true);
        return std::move(m_out);
    }

private:
    // Upper case; the common names are shared, not made anew for every line.
    static QByteArray componentName(const ContentLine& line)
    {
        static const QByteArray kKnown[] = {
            "VEVENT", "VALARM", "VTIMEZONE", "STANDARD", "DAYLIGHT", "VCALENDAR", "VTODO", "VJOURNAL"};
        const QByteArrayView name = line.value.trimmed();
        for (const QByteArray& known : kKnown) {
            if (equalsNoCase(name, known))
                return known;
        }
        return name.toByteArray().toUpper();
    }

    void begin(const QByteArray& name)
    {
        if (m_open && !isTopLevel(name)) {
            if (m_open->depth < kMaxDepth)
                m_open->inner[std::size_t(m_open->depth)] = name;
            else
                m_open->damaged = true; // nested too deeply to be an event anyone wrote
            ++m_open->depth;
            return;
        }
        if (m_open)
            close(true); // its END never came
        if (name == "VCALENDAR")
            return;
        m_open.emplace();
        m_open->kind = name == "VEVENT" ? Kind::event : name == "VTIMEZONE" ? Kind::zone : Kind::other;
        m_open->name = name;
        m_open->begin = m_reader.position();
    }

    void end(const QByteArray& name)
    {
        if (!m_open)
            return;
        Open& o = *m_open;
        if (o.depth > kMaxDepth) {
            --o.depth; // past the names kept: any END closes one level
            return;
        }
        for (int i = o.depth - 1; i >= 0; --i) {
            if (o.inner[std::size_t(i)] == name) {
                o.depth = i; // inner ones left open close with it
                return;
            }
        }
        if (name == o.name)
            close(false);
        else if (name == "VCALENDAR")
            close(true);
        // else: an END that matches nothing open (END:VTOOD) is passed over
    }

    void property(const ContentLine& line)
    {
        if (!m_open) {
            calendarProperty(line);
            return;
        }
        Open& o = *m_open;
        if (line.hasNul || (line.tooLong && (o.kind == Kind::zone || (o.depth == 0 && isReadProperty(line)))))
            o.damaged = true;
        if (o.kind == Kind::zone && o.depth == 0 && line.is("TZID") && o.tzid.isEmpty())
            o.tzid = line.value.trimmed().toByteArray();
    }

    void calendarProperty(const ContentLine& line)
    {
        if (line.hasNul || line.tooLong)
            return;
        if (line.is("X-WR-CALNAME") && m_out.name.isEmpty())
            m_out.name = unescapeText(line.value).trimmed();
        else if ((line.is("COLOR") || line.is("X-APPLE-CALENDAR-COLOR")) && !m_out.color)
            m_out.color = colorFromText(QString::fromUtf8(line.value));
    }

    void close(bool damaged)
    {
        const Open& o = *m_open;
        const qsizetype end = m_reader.lineStart(); // the END line, when there is one
        if (o.kind == Kind::event) {
            if (damaged || o.damaged)
                ++m_out.skipped;
            else
                m_out.events.emplace_back(o.begin, end);
        } else if (o.kind == Kind::zone) {
            // A zone that cannot be kept is counted: the times in it are read as floating.
            if (!m_out.zones)
                m_out.zones = std::make_shared<ZoneSet>();
            if (damaged || o.damaged || !m_out.zones->add(o.tzid, m_text.sliced(o.begin, end - o.begin).toByteArray()))
                ++m_out.skipped;
        }
        m_open.reset();
    }

    QByteArrayView m_text;
    LineReader m_reader;
    std::optional<Open> m_open;
    CalendarText m_out;
};

} // namespace

CalendarText scanCalendar(QByteArrayView text)
{
    return Scanner(text).run();
}

} // namespace kalvix::ical
