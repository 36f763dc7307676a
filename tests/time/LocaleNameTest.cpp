#include "time/LocaleName.h"
#include "tests/support/TestEnv.h"
#include "time/DateFormat.h"
#include "time/SystemZone.h"

#include <gtest/gtest.h>

using namespace kalvix;
using kalvix::test::ScopedEnv;
using kalvix::test::utcSeconds;

struct LocaleRow {
    const char* name;
    const char* posix;
    const char* icu;
};

class PosixLocaleNames : public ::testing::TestWithParam<LocaleRow> {};

TEST_P(PosixLocaleNames, mapToALocaleIcuHasDataFor)
{
    const LocaleRow& row = GetParam();
    EXPECT_EQ(icuLocaleId(QByteArray(row.posix)), QString::fromLatin1(row.icu));
    EXPECT_TRUE(isUsableIcuLocale(icuLocaleId(QByteArray(row.posix))));
}

INSTANTIATE_TEST_SUITE_P(Names,
                         PosixLocaleNames,
                         ::testing::Values(LocaleRow{"codeset_dropped", "en_GB.UTF-8", "en_GB"},
                                           LocaleRow{"euro_modifier_dropped", "de_DE@euro", "de_DE"},
                                           LocaleRow{"codeset_and_modifier", "de_AT.ISO-8859-15@euro", "de_AT"},
                                           LocaleRow{"serbian_latin", "sr_RS.UTF-8@latin", "sr_Latn_RS"},
                                           LocaleRow{"serbian_cyrillic", "sr_RS.UTF-8", "sr_RS"},
                                           LocaleRow{"uzbek_cyrillic", "uz_UZ.UTF-8@cyrillic", "uz_Cyrl_UZ"},
                                           LocaleRow{"kashmiri_devanagari", "ks_IN@devanagari", "ks_Deva_IN"},
                                           LocaleRow{"valencian", "ca_ES.UTF-8@valencia", "ca_ES_VALENCIA"},
                                           // ICU has no Latin Belarusian: the territory's locale, without the script.
                                           LocaleRow{"script_without_data", "be_BY@latin", "be_BY"},
                                           LocaleRow{"three_letter_language", "fil_PH.UTF-8", "fil_PH"},
                                           LocaleRow{"numeric_territory", "es_419.UTF-8", "es_419"},
                                           LocaleRow{"case_normalised", "EN_gb.utf8", "en_GB"},
                                           // ICU falls back to the language's own data for a territory it has none for.
                                           LocaleRow{"unknown_territory", "de_XX.UTF-8", "de_XX"},
                                           LocaleRow{"c_locale", "C", "en_US_POSIX"},
                                           LocaleRow{"c_utf8", "C.UTF-8", "en_US_POSIX"},
                                           LocaleRow{"posix_locale", "POSIX", "en_US_POSIX"},
                                           LocaleRow{"unknown_language", "xx_YY.UTF-8", "en_US_POSIX"},
                                           LocaleRow{"language_of_twelve_letters", "abcdefghijkl", "en_US_POSIX"},
                                           LocaleRow{"language_of_eleven_letters", "abcdefghijk", "en_US_POSIX"},
                                           LocaleRow{"one_letter", "e", "en_US_POSIX"},
                                           LocaleRow{"stray_characters", "en_GB;rm -rf", "en_US_POSIX"},
                                           LocaleRow{"path", "../../etc/passwd", "en_US_POSIX"},
                                           LocaleRow{"territory_too_long", "en_GBR", "en_US_POSIX"}),
                         [](const auto& row) { return std::string(row.param.name); });

struct EnvRow {
    const char* name;
    const char* lcAll;
    const char* lcTime;
    const char* lang;
    const char* expectedLocale; // the dates must read as this locale's
};

class LocaleFromEnvironment : public ::testing::TestWithParam<EnvRow> {};

// The locale variables reach ICU only through the mapping: every mode formats readable dates.
TEST_P(LocaleFromEnvironment, formatsDatesAsTheMappedLocale)
{
    const EnvRow& row = GetParam();
    ScopedEnv all("LC_ALL", row.lcAll);
    ScopedEnv time("LC_TIME", row.lcTime);
    ScopedEnv lang("LANG", row.lang);
    const QString expected = QString::fromLatin1(row.expectedLocale);
    EXPECT_EQ(currentLocaleId(), expected);
    const Instant t{utcSeconds(2026, 12, 7, 12)};
    const QString skeleton = QStringLiteral("dMMMEEEyyyy");
    const QString text = formatSkeleton(t, skeleton);
    EXPECT_EQ(text, DateFormatter(bestPattern(skeleton, expected), expected).format(t, QTimeZone::utc()));
    EXPECT_FALSE(text.contains(QStringLiteral("M12"))) << "ICU's root data: " << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("2026")));
}

INSTANTIATE_TEST_SUITE_P(
    Environments,
    LocaleFromEnvironment,
    ::testing::Values(EnvRow{"long_language_in_lang", nullptr, nullptr, "abcdefghijkl", "en_US_POSIX"},
                      EnvRow{"long_language_in_lc_all", "abcdefghijkl.UTF-8", nullptr, "de_DE.UTF-8", "en_US_POSIX"},
                      // LC_TIME decides even when it is unusable, as it does for the C library.
                      EnvRow{"long_language_in_lc_time", nullptr, "abcdefghijkl", "de_DE.UTF-8", "en_US_POSIX"},
                      EnvRow{"unknown_locale", nullptr, nullptr, "xx_YY.UTF-8", "en_US_POSIX"},
                      EnvRow{"serbian_latin", "sr_RS.UTF-8@latin", nullptr, nullptr, "sr_Latn_RS"},
                      EnvRow{"nothing_set", nullptr, nullptr, nullptr, "en_US_POSIX"},
                      EnvRow{"empty_values_skipped", "", "", "fr_FR.UTF-8", "fr_FR"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(LocaleName, serbianLatinIsWrittenInLatinLetters)
{
    ScopedEnv all("LC_ALL", "sr_RS.UTF-8@latin");
    const QString text = formatSkeleton(Instant{utcSeconds(2026, 12, 7, 12)}, QStringLiteral("MMMMEEEE"));
    ASSERT_FALSE(text.isEmpty());
    for (QChar c : text)
        EXPECT_FALSE(c.script() == QChar::Script_Cyrillic) << text.toStdString();
}

TEST(LocaleName, idsThatIcuCannotUseNeverReachIt)
{
    for (const char* bad : {"abcdefghijkl", "xx_YY", "", "en_GB@calendar=", "sr_RS@latin", "de DE"})
        EXPECT_FALSE(isUsableIcuLocale(QString::fromLatin1(bad))) << bad;
    // Handed straight to the formatting calls, such an id formats as en_US_POSIX instead of crashing.
    const QString bogus = QStringLiteral("abcdefghijkl");
    EXPECT_EQ(bestPattern(QStringLiteral("dMMMEEEyyyy"), bogus),
              bestPattern(QStringLiteral("dMMMEEEyyyy"), QStringLiteral("en_US_POSIX")));
    EXPECT_EQ(shortTimePattern(bogus), shortTimePattern(QStringLiteral("en_US_POSIX")));
    EXPECT_EQ(firstWeekday(bogus), 1);
    EXPECT_TRUE(DateFormatter(QStringLiteral("d MMM"), bogus).isValid());
}
