// The pictures of the clock: the square face must stay legible at panel icon sizes, and the time it
// shows must be found in titles of every form the preferences and locales make.
#include "statusitem/TitleImage.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/TestApplication.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <vector>

using namespace kalvix;

namespace kalvix {
void PrintTo(const SquareFace& face, std::ostream* os)
{
    static const char* const periods[] = {"", " am", " pm"};
    *os << '"' << face.top.toStdString() << '/' << face.bottom.toStdString() << periods[static_cast<int>(face.period)]
        << '"';
}
} // namespace kalvix

namespace {

QFont pinnedFont()
{
    test::testApplication<QGuiApplication>();
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(14.5);
    font.setWeight(QFont::Medium);
    return font;
}

// Runs of rows that hold ink (alpha above half), as (first row, height).
std::vector<std::pair<int, int>> inkBands(const QImage& image)
{
    std::vector<std::pair<int, int>> bands;
    for (int y = 0; y < image.height(); ++y) {
        bool ink = false;
        for (int x = 0; x < image.width() && !ink; ++x)
            ink = qAlpha(image.pixel(x, y)) > 128;
        if (ink && (bands.empty() || bands.back().first + bands.back().second != y))
            bands.emplace_back(y, 1);
        else if (ink)
            ++bands.back().second;
    }
    return bands;
}

int inkWidth(const QImage& image)
{
    int left = image.width(), right = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 128) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    return right < left ? 0 : right - left + 1;
}

} // namespace

struct FaceRow {
    const char* name;
    const char* title;
    const char* top;
    const char* bottom;
    DayPeriod period = DayPeriod::none;
    const char* locale = "en_GB"; // the locale that wrote the title
};

class SquareFaces : public ::testing::TestWithParam<FaceRow> {};

TEST_P(SquareFaces, hoursOverMinutesFromTheTitle)
{
    const FaceRow& row = GetParam();
    EXPECT_EQ(squareFaceOf(QString::fromUtf8(row.title), QLocale(QString::fromLatin1(row.locale))),
              (SquareFace{QString::fromUtf8(row.top), QString::fromUtf8(row.bottom), row.period}));
}

INSTANTIATE_TEST_SUITE_P(
    Titles,
    SquareFaces,
    ::testing::Values(FaceRow{"en_gb_default", "Sun, 5 Jul 2026 14:05", "14", "05"},
                      FaceRow{"seconds_shown", "Sun, 5 Jul 2026 14:05:09", "14", "05"},
                      FaceRow{"twelve_hour", "Sun, Jul 5, 2026 2:05\u202fPM", "2", "05", DayPeriod::afternoon, "en_US"},
                      FaceRow{"twelve_hour_morning", "Jul 5 9:28 AM", "9", "28", DayPeriod::morning, "en_US"},
                      FaceRow{"twelve_hour_seconds", "Sun 9:28:41 pm", "9", "28", DayPeriod::afternoon, "en_US"},
                      // Periods written before the time, in the locale's own words.
                      FaceRow{"japanese_afternoon", "7月5日(日) 午後9:28", "9", "28", DayPeriod::afternoon, "ja_JP"},
                      FaceRow{"japanese_morning", "7月5日(日) 午前9:28", "9", "28", DayPeriod::morning, "ja_JP"},
                      FaceRow{"korean_afternoon", "7월 5일 (일) 오후 9:28", "9", "28", DayPeriod::afternoon, "ko_KR"},
                      // Letters next to a time are no period unless they are one, and whole.
                      FaceRow{"month_before_time", "5 Jul 14:05", "14", "05"},
                      FaceRow{"word_starting_with_pm", "14:05 PMX", "14", "05"},
                      FaceRow{"word_ending_in_am", "Sam 14:05", "14", "05", DayPeriod::none, "fr_FR"},
                      FaceRow{"numeric_date_first", "Sun 05-07 14:05", "14", "05"},
                      // Finnish writes times with dots, and dates too: the date is not a time.
                      FaceRow{"finnish_dots", "su 5.7.2026 14.05", "14", "05"},
                      FaceRow{"german_numeric_date", "So. 05.07. 14:05", "14", "05"},
                      FaceRow{"arabic_indic_digits", "\u0661\u0664:\u0660\u0665", "\u0661\u0664", "\u0660\u0665"},
                      FaceRow{"no_time_in_title", "Sun, 5 Jul 2026", "", ""},
                      FaceRow{"empty_title", "", "", ""}),
    [](const auto& row) { return std::string(row.param.name); });

struct LegibilityRow {
    const char* name;
    int size;
    int minimumLineHeight; // the height of each line's digits, in pixels
};

class SquareLegibility : public ::testing::TestWithParam<LegibilityRow> {};

TEST_P(SquareLegibility, twoSeparateLinesOfTallDigitsInsideTheSquare)
{
    const LegibilityRow& row = GetParam();
    const QImage image =
        renderSquareImage({QStringLiteral("14"), QStringLiteral("05")}, pinnedFont(), row.size, Qt::white);
    ASSERT_EQ(image.size(), QSize(row.size, row.size));
    const auto bands = inkBands(image);
    ASSERT_EQ(bands.size(), 2u) << "the two lines must not touch";
    for (const auto& [top, height] : bands)
        EXPECT_GE(height, row.minimumLineHeight) << "line at row " << top;
    EXPECT_GE(bands[1].first - (bands[0].first + bands[0].second), 1);
    // The digits use the square's width rather than shrinking to a dot in its middle.
    EXPECT_GE(inkWidth(image), row.size * 6 / 10);
}

INSTANTIATE_TEST_SUITE_P(Sizes,
                         SquareLegibility,
                         ::testing::Values(LegibilityRow{"panel_16px", 16, 6},
                                           LegibilityRow{"panel_22px", 22, 9},
                                           LegibilityRow{"panel_24px", 24, 10},
                                           LegibilityRow{"scaled_48px", 48, 20}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(SquareImage, oneDigitHoursAreAsTallAsTwoAndTheInkIsTheCallers)
{
    const QFont font = pinnedFont();
    const auto one = inkBands(renderSquareImage({QStringLiteral("9"), QStringLiteral("05")}, font, 22, Qt::white));
    const auto two = inkBands(renderSquareImage({QStringLiteral("19"), QStringLiteral("05")}, font, 22, Qt::white));
    ASSERT_EQ(one.size(), 2u);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(one[0].second, two[0].second);
    const QImage dark =
        renderSquareImage({QStringLiteral("14"), QStringLiteral("05")}, font, 22, QColor(0x1e, 0x1e, 0x1e));
    int inked = 0;
    for (int y = 0; y < dark.height(); ++y)
        for (int x = 0; x < dark.width(); ++x)
            if (qAlpha(dark.pixel(x, y)) == 255) {
                ++inked;
                EXPECT_LT(qGray(dark.pixel(x, y)), 40);
            }
    EXPECT_GT(inked, 20);
}

TEST(SquareImage, aTitleWithoutTimeGetsTheSymbolNotAnEmptySquare)
{
    const QImage face = renderSquareImage(SquareFace{}, pinnedFont(), 22, Qt::white);
    EXPECT_EQ(face, renderSymbolImage(22, Qt::white));
    EXPECT_FALSE(inkBands(face).empty());
}

// The ink's pixels of one colour (alpha above half, within a small distance of `colour`).
int pixelsOf(const QImage& image, const QColor& colour, QRect area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() > 128 && std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                                           std::abs(c.blue() - colour.blue()) <
                                       60)
                ++count;
        }
    return count;
}

class AfternoonDot : public ::testing::TestWithParam<int> {};

TEST_P(AfternoonDot, standsApartAtTheRightOfTheHoursAndOnlyInTheAfternoon)
{
    const int size = GetParam();
    const QFont font = pinnedFont();
    const QImage pm =
        renderSquareImage({QStringLiteral("12"), QStringLiteral("28"), DayPeriod::afternoon}, font, size, Qt::white);
    const QImage am =
        renderSquareImage({QStringLiteral("12"), QStringLiteral("28"), DayPeriod::morning}, font, size, Qt::white);
    EXPECT_EQ(am, renderSquareImage({QStringLiteral("12"), QStringLiteral("28")}, font, size, Qt::white));
    // In the upper half, the columns from the right: ink (the dot), then a column without (the gap),
    // then the hours' ink. The morning's upper half has no such lone mark at its right.
    const auto columnsWithInk = [&](const QImage& image) {
        std::vector<bool> inked(size, false);
        for (int x = 0; x < size; ++x)
            for (int y = 0; y < size / 2; ++y)
                inked[x] = inked[x] || qAlpha(image.pixel(x, y)) > 128;
        return inked;
    };
    const auto columns = columnsWithInk(pm);
    int x = size - 1;
    while (x >= 0 && !columns[x])
        --x;
    const int dotRight = x;
    while (x >= 0 && columns[x])
        --x;
    const int dotWidth = dotRight - x;
    EXPECT_GE(dotWidth, 2) << "the dot is at least two pixels wide";
    EXPECT_LE(dotWidth, size / 5) << "a dot, not the hours' digits";
    EXPECT_TRUE(x >= 0 && !columns[x]) << "a clear column between the hours and the dot";
    while (x >= 0 && !columns[x])
        --x;
    int left = 0;
    while (left < x && !columns[left])
        ++left;
    EXPECT_GE(x - left + 1, size / 2) << "the two digits of the hours keep most of the width";
    EXPECT_GE(pixelsOf(pm, Qt::white, QRect(dotRight - dotWidth + 1, 0, dotWidth, size / 2)), 3);
    // Both lines stay separate bands, as tall as without the dot.
    const auto bands = inkBands(pm);
    ASSERT_EQ(bands.size(), 2u);
    EXPECT_EQ(bands[1], inkBands(am)[1]);
}

INSTANTIATE_TEST_SUITE_P(Sizes, AfternoonDot, ::testing::Values(16, 22, 24, 48));

TEST(SquareImage, anOutlinedInkRingsEveryGlyphInTheOtherTone)
{
    const QFont font = pinnedFont();
    const ItemInk outlined(Qt::white, Qt::black);
    const SquareFace face{QStringLiteral("14"), QStringLiteral("05"), DayPeriod::afternoon};
    for (const QImage& image : {renderSquareImage(face, font, 22, outlined),
                                renderSymbolImage(22, outlined),
                                renderTitleImage(QStringLiteral("14:05"), font, 22, outlined)}) {
        const QRect all = image.rect();
        EXPECT_GT(pixelsOf(image, Qt::white, all), 10);
        EXPECT_GT(pixelsOf(image, Qt::black, all), pixelsOf(image, Qt::white, all) / 2) << "an outline all round";
        // Nothing of the glyphs touches the picture's edge: the outline has its room.
        for (int i = 0; i < image.width(); ++i)
            EXPECT_EQ(pixelsOf(image, Qt::white, QRect(i, 0, 1, 1)) +
                          pixelsOf(image, Qt::white, QRect(i, image.height() - 1, 1, 1)),
                      0);
    }
    // The plain ink has no outline at all.
    EXPECT_EQ(pixelsOf(renderSquareImage(face, font, 22, Qt::white), Qt::black, QRect(0, 0, 22, 22)), 0);
}

TEST(TitleImage, wideImageHoldsTheWholeTitleAtTheAskedHeight)
{
    const QFont font = pinnedFont();
    const QImage image = renderTitleImage(QStringLiteral("Sun, 5 Jul 2026 14:05"), font, 22, Qt::white);
    EXPECT_EQ(image.height(), 22);
    EXPECT_GT(image.width(), 5 * image.height());
    // Tabular digits: every time of day draws the same width.
    EXPECT_EQ(renderTitleImage(QStringLiteral("11:11"), font, 22, Qt::white).width(),
              renderTitleImage(QStringLiteral("08:48"), font, 22, Qt::white).width());
}
