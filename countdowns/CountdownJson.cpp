#include "countdowns/CountdownJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <charconv>
#include <cmath>

namespace kalvix::CountdownJson {
namespace {

void appendString(QByteArray& out, const QString& text)
{
    static constexpr char hex[] = "0123456789abcdef";
    out += '"';
    for (const char c : text.toUtf8()) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            if (byte < 0x20) {
                out += "\\u00";
                out += hex[byte >> 4];
                out += hex[byte & 0xF];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

// The shortest text that reads back as the same double: plain decimals in the usual range, exponent
// form for the extremes (both are JSON numbers).
void appendNumber(QByteArray& out, double value)
{
    char buf[128];
    const double magnitude = std::fabs(value);
    const auto format = (magnitude == 0.0 || (magnitude >= 1e-6 && magnitude < 1e16)) ? std::chars_format::fixed
                                                                                      : std::chars_format::scientific;
    const auto result = std::to_chars(buf, buf + sizeof(buf), value, format);
    out.append(buf, result.ptr - buf);
}

bool isCanonicalUuidText(const QString& text)
{
    if (text.size() != 36)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != u'-')
                return false;
        } else if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'))) {
            return false;
        }
    }
    return true;
}

std::optional<Countdown> decodeOne(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const QJsonValue id = object.value(u"id");
    const QJsonValue title = object.value(u"title");
    const QJsonValue date = object.value(u"date");
    if (!id.isString() || !title.isString() || !date.isDouble())
        return std::nullopt;
    const QString idText = id.toString();
    if (!isCanonicalUuidText(idText))
        return std::nullopt;
    // A number beyond the range of a double arrives as infinity: it has no instant.
    const double sinceReference = date.toDouble();
    if (!std::isfinite(sinceReference))
        return std::nullopt;
    return Countdown{QUuid::fromString(idText), title.toString(), Instant{sinceReference + kReferenceDateOffset}};
}

} // namespace

std::optional<QByteArray> encode(const QList<Countdown>& items)
{
    QByteArray out;
    out.reserve(items.size() * 96 + 2);
    out += '[';
    for (qsizetype i = 0; i < items.size(); ++i) {
        const Countdown& item = items[i];
        const double sinceReference = item.date.seconds - kReferenceDateOffset;
        if (!std::isfinite(sinceReference))
            return std::nullopt;
        if (i > 0)
            out += ',';
        out += "{\"id\":\"";
        out += item.id.toByteArray(QUuid::WithoutBraces).toUpper();
        out += "\",\"title\":";
        appendString(out, item.title);
        out += ",\"date\":";
        appendNumber(out, sinceReference);
        out += '}';
    }
    out += ']';
    return out;
}

std::optional<QList<Countdown>> decode(const QByteArray& json)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    const QJsonArray array = document.array();
    QList<Countdown> items;
    items.reserve(array.size());
    for (const QJsonValue& value : array) {
        auto item = decodeOne(value);
        if (!item)
            return std::nullopt;
        items.append(std::move(*item));
    }
    return items;
}

} // namespace kalvix::CountdownJson
