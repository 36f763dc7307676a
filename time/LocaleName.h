#pragma once
// The ICU locale for dates, made from a POSIX locale name as LC_ALL, LC_TIME or LANG give it, so that
// ICU is only ever handed a locale it has data for.
//
// A POSIX name is language[_territory][.codeset][@modifier]. The codeset is dropped. A script modifier
// becomes the ICU script (sr_RS@latin is sr_Latn_RS, uz_UZ@cyrillic is uz_Cyrl_UZ, ks_IN@devanagari is
// ks_Deva_IN), @valencia becomes ICU's VALENCIA variant, and other modifiers (@euro) are dropped. "C"
// and "POSIX" are en_US_POSIX.
//
// Fallbacks: where ICU has no data for the whole locale, the same without its script or variant, then
// the language alone; a name of another form (a language of other than 2 or 3 letters, stray
// characters) or a language ICU does not know gives en_US_POSIX, the locale of "C". Left to itself ICU
// would format an unknown locale with its root data ("2026 M12 7, Mon") and crash on a language of 12
// letters or more.
#include <QByteArray>
#include <QString>

namespace kalvix {

inline constexpr char kFallbackLocale[] = "en_US_POSIX";

// The ICU locale id for a POSIX locale name (see above); never empty.
QString icuLocaleId(const QByteArray& posixName);

// Whether `icuId` is a well-formed ICU locale id (language, then optional script, territory and
// variant) for whose language or a more specific form ICU has locale data.
bool isUsableIcuLocale(const QString& icuId);

} // namespace kalvix
