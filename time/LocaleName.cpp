#include "time/LocaleName.h"

#include <QHash>

#include <unicode/ures.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace kalvix {
namespace {

struct LocaleParts {
    QByteArray language;  // "sr"
    QByteArray script;    // "Latn", or empty
    QByteArray territory; // "RS", or empty
    QByteArray variant;   // "VALENCIA", or empty
};

bool isAsciiLetters(const QByteArray& s, qsizetype min, qsizetype max)
{
    return s.size() >= min && s.size() <= max &&
           std::all_of(s.begin(), s.end(), [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); });
}

bool isTerritory(const QByteArray& s)
{
    const bool digits = s.size() == 3 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    return digits || isAsciiLetters(s, 2, 2);
}

// The glibc modifiers that name a script or an ICU variant; others (@euro) carry nothing for dates.
void applyModifier(const QByteArray& modifier, LocaleParts& parts)
{
    static const QHash<QByteArray, QByteArray> scripts{
        {"latin", "Latn"}, {"cyrillic", "Cyrl"}, {"devanagari", "Deva"}, {"iqtelif", "Latn"}};
    if (auto it = scripts.constFind(modifier); it != scripts.constEnd())
        parts.script = *it;
    else if (modifier == "valencia")
        parts.variant = "VALENCIA";
}

std::optional<LocaleParts> parsePosixName(QByteArray name)
{
    QByteArray modifier;
    if (const qsizetype at = name.indexOf('@'); at >= 0) {
        modifier = name.mid(at + 1).toLower();
        name.truncate(at);
    }
    if (const qsizetype dot = name.indexOf('.'); dot >= 0)
        name.truncate(dot);
    LocaleParts parts;
    const qsizetype underscore = name.indexOf('_');
    parts.language = underscore < 0 ? name : name.left(underscore);
    if (underscore >= 0)
        parts.territory = name.mid(underscore + 1).toUpper();
    if (!isAsciiLetters(parts.language, 2, 3) || (underscore >= 0 && !isTerritory(parts.territory)))
        return std::nullopt;
    parts.language = parts.language.toLower();
    applyModifier(modifier, parts);
    return parts;
}

QByteArray join(const LocaleParts& p)
{
    QByteArray id = p.language;
    for (const QByteArray* part : {&p.script, &p.territory, &p.variant}) {
        if (!part->isEmpty())
            id += '_' + *part;
    }
    return id;
}

// ICU has data for the locale itself or a parent of it other than root (de_XX falls back to de); a
// lookup that ends at the root or at ICU's default locale found nothing.
bool hasLocaleData(const QByteArray& id)
{
    UErrorCode status = U_ZERO_ERROR;
    UResourceBundle* bundle = ures_open(nullptr, id.constData(), &status);
    bool found = U_SUCCESS(status) && status != U_USING_DEFAULT_WARNING;
    if (found) {
        UErrorCode actualStatus = U_ZERO_ERROR;
        const char* actual = ures_getLocaleByType(bundle, ULOC_ACTUAL_LOCALE, &actualStatus);
        found = U_SUCCESS(actualStatus) && actual && *actual && std::strcmp(actual, "root") != 0;
    }
    ures_close(bundle);
    return found;
}

bool isWellFormedIcuId(const QByteArray& id)
{
    const QList<QByteArray> parts = id.split('_');
    if (parts.size() > 4 || !isAsciiLetters(parts.first(), 2, 3))
        return false;
    qsizetype i = 1;
    if (i < parts.size() && isAsciiLetters(parts.at(i), 4, 4))
        ++i;
    if (i < parts.size() && isTerritory(parts.at(i)))
        ++i;
    if (i < parts.size() && isAsciiLetters(parts.at(i), 4, 8))
        ++i;
    return i == parts.size();
}

} // namespace

QString icuLocaleId(const QByteArray& posixName)
{
    const QByteArray name = posixName.trimmed();
    if (name == "C" || name == "POSIX" || name.startsWith("C.") || name.startsWith("C@"))
        return QString::fromLatin1(kFallbackLocale);
    const std::optional<LocaleParts> parts = parsePosixName(name);
    if (!parts)
        return QString::fromLatin1(kFallbackLocale);
    const LocaleParts plain{parts->language, {}, parts->territory, {}};
    for (const QByteArray& candidate : {join(*parts), join(plain), parts->language}) {
        if (hasLocaleData(candidate))
            return QString::fromLatin1(candidate);
    }
    return QString::fromLatin1(kFallbackLocale);
}

bool isUsableIcuLocale(const QString& icuId)
{
    thread_local QHash<QString, bool> known;
    if (auto it = known.constFind(icuId); it != known.constEnd())
        return *it;
    const QByteArray id = icuId.toLatin1();
    const bool usable = icuId.size() < 64 && isWellFormedIcuId(id) && hasLocaleData(id);
    if (known.size() > 64)
        known.clear();
    known.insert(icuId, usable);
    return usable;
}

} // namespace kalvix
