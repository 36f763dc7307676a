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
    *os << '"' << face.top.toStdString() << '/' << face.bottom.toStdString() << '"';
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
};

class SquareFaces : public ::testing::TestWithParam<FaceRow> {};

TEST_P(SquareFaces, hoursOverMinutesFromTheTitle)
{
    const FaceRow& row = GetParam();
    EXPECT_EQ(squareFaceOf(QString::fromUtf8(row.title)),
              (SquareFace{QString::fromUtf8(row.top), QString::fromUtf8(row.bottom)}));
}

INSTANTIATE_TEST_SUITE_P(
    Titles,
    SquareFaces,
    ::testing::Values(FaceRow{"en_gb_default", "Sun, 5 Jul 2026 14:05", "14", "05"},
                      FaceRow{"seconds_shown", "Sun, 5 Jul 2026 14:05:09", "14", "05"},
                      FaceRow{"twelve_hour", "Sun, Jul 5, 2026 2:05\u202fPM", "2", "05"},
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
