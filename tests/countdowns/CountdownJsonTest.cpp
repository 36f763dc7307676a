#include "countdowns/CountdownJson.h"

#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>

using namespace kalvix;

namespace kalvix {
void PrintTo(const Countdown& c, std::ostream* os)
{
    *os << '{' << c.id.toString().toStdString() << ", \"" << c.title.toStdString() << "\", " << std::fixed
        << c.date.seconds << '}';
}
} // namespace kalvix

namespace {

const QUuid kLaunchId = QUuid::fromString(u"6f1c2a9e-0b7d-4c3e-9a51-d2e4f8b7c601");
const QUuid kBirthdayId = QUuid::fromString(u"0a2b4c6d-8e0f-4a1b-8c3d-5e7f9a1b3c5d");
constexpr double kRef = CountdownJson::kReferenceDateOffset;

QList<Countdown> decoded(const char* json)
{
    return CountdownJson::decode(QByteArray(json)).value_or(QList<Countdown>{{QUuid(), QStringLiteral("<none>"), {}}});
}

} // namespace

TEST(CountdownJson, writerUsesMemberOrderUpperCaseIdsAndNoWhitespace)
{
    const QList<Countdown> items{
        {kLaunchId, QStringLiteral("Launch \"day\"\n\\ / \u00E9"), Instant{kRef + 740000000.5}},
        {kBirthdayId, QString(), Instant{kRef - 86400.0}},
    };
    EXPECT_EQ(CountdownJson::encode(items),
              QByteArray("[{\"id\":\"6F1C2A9E-0B7D-4C3E-9A51-D2E4F8B7C601\",\"title\":\"Launch \\\"day\\\"\\n\\\\ / "
                         "\xC3\xA9\",\"date\":740000000.5},"
                         "{\"id\":\"0A2B4C6D-8E0F-4A1B-8C3D-5E7F9A1B3C5D\",\"title\":\"\",\"date\":-86400}]"));
    EXPECT_EQ(CountdownJson::encode({}), QByteArray("[]"));
}

TEST(CountdownJson, roundTripKeepsEveryFieldAndTheOrder)
{
    const QList<Countdown> items{
        {kLaunchId, QStringLiteral("Launch"), Instant{1718971200.25}},
        Countdown::create(QStringLiteral("Tab\there, bell\a, nul\u0001 and \U0001F389"), Instant{1893456000.0}),
        {kBirthdayId, QString(), Instant{kRef}},
        Countdown::create(QStringLiteral("Far future"), Instant{1e300}),
        Countdown::create(QStringLiteral("Before 2001"), Instant{946684800.0}),
    };
    const auto bytes = CountdownJson::encode(items);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(CountdownJson::decode(*bytes), items);
}

TEST(CountdownJson, freshIdsAreRandomVersion4)
{
    const Countdown a = Countdown::create(QStringLiteral("New countdown"), Instant{0});
    const Countdown b = Countdown::create(QStringLiteral("New countdown"), Instant{0});
    EXPECT_EQ(a.id.version(), QUuid::Random);
    EXPECT_NE(a.id, b.id);
    EXPECT_NE(a, b);
}

TEST(CountdownJson, datesThatJsonCannotHoldFailTheEncoding)
{
    for (const double bad : {std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity()}) {
        const QList<Countdown> items{{kLaunchId, QStringLiteral("ok"), Instant{1e9}}, {kBirthdayId, {}, Instant{bad}}};
        EXPECT_FALSE(CountdownJson::encode(items).has_value()) << bad;
    }
}

struct AcceptRow {
    const char* name;
    const char* json;
};

class ReaderAccepts : public ::testing::TestWithParam<AcceptRow> {};

TEST_P(ReaderAccepts, theSameCountdown)
{
    const QList<Countdown> expected{{kLaunchId, QStringLiteral("Launch"), Instant{kRef + 740000000.0}}};
    EXPECT_EQ(decoded(GetParam().json), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Variations,
    ReaderAccepts,
    ::testing::Values(
        AcceptRow{"canonical", R"([{"id":"6F1C2A9E-0B7D-4C3E-9A51-D2E4F8B7C601","title":"Launch","date":740000000}])"},
        AcceptRow{"members_reversed",
                  R"([{"date":740000000,"title":"Launch","id":"6F1C2A9E-0B7D-4C3E-9A51-D2E4F8B7C601"}])"},
        AcceptRow{"whitespace_everywhere",
                  "\n [ {\r\n\t\"id\" : \"6F1C2A9E-0B7D-4C3E-9A51-D2E4F8B7C601\" ,\n \"title\":\"Launch\", "
                  "\"date\" : 740000000.0 } ]\n"},
        AcceptRow{"lower_case_id",
                  R"([{"id":"6f1c2a9e-0b7d-4c3e-9a51-d2e4f8b7c601","title":"Launch","date":740000000}])"},
        AcceptRow{"mixed_case_id",
                  R"([{"id":"6f1C2a9E-0b7d-4c3e-9A51-d2e4f8b7c601","title":"Launch","date":740000000}])"},
        AcceptRow{"exponent_date", R"([{"id":"6F1C2A9E-0B7D-4C3E-9A51-D2E4F8B7C601","title":"Launch","date":7.4e8}])"},
        AcceptRow{"escaped_title",
                  R"([{"id":"6F1C2A9E-0B7D-4C3E-9A51-D2E4F8B7C601","title":"L\u0061unch","date":740000000}])"},
        AcceptRow{"extra_members",
                  R"([{"pinned":true,"id":"6F1C2A9E-0B7D-4C3E-9A51-D2E4F8B7C601","colour":{"r":1},"title":"Launch",)"
                  R"("date":740000000,"notes":null}])"}),
    [](const auto& row) { return std::string(row.param.name); });

struct RejectRow {
    const char* name;
    const char* json;
};

class ReaderRejects : public ::testing::TestWithParam<RejectRow> {};

TEST_P(ReaderRejects, theWholeArray)
{
    EXPECT_FALSE(CountdownJson::decode(QByteArray(GetParam().json)).has_value());
}

#define KALVIX_GOOD R"({"id":"6F1C2A9E-0B7D-4C3E-9A51-D2E4F8B7C601","title":"Launch","date":740000000})"
#define KALVIX_ID R"("id":"0A2B4C6D-8E0F-4A1B-8C3D-5E7F9A1B3C5D")"

INSTANTIATE_TEST_SUITE_P(
    Faults,
    ReaderRejects,
    ::testing::Values(
        RejectRow{"missing_title", "[" KALVIX_GOOD ",{" KALVIX_ID ",\"date\":1}]"},
        RejectRow{"missing_id", R"([{"title":"x","date":1}])"},
        RejectRow{"missing_date", "[" KALVIX_GOOD ",{" KALVIX_ID ",\"title\":\"x\"}]"},
        RejectRow{"title_is_number", "[{" KALVIX_ID ",\"title\":5,\"date\":1}]"},
        RejectRow{"title_is_null", "[{" KALVIX_ID ",\"title\":null,\"date\":1}]"},
        RejectRow{"date_is_string", "[{" KALVIX_ID ",\"title\":\"x\",\"date\":\"740000000\"}]"},
        RejectRow{"date_is_null", "[{" KALVIX_ID ",\"title\":\"x\",\"date\":null}]"},
        RejectRow{"date_beyond_double", "[{" KALVIX_ID ",\"title\":\"x\",\"date\":1e400}]"},
        RejectRow{"date_nan_literal", "[{" KALVIX_ID ",\"title\":\"x\",\"date\":NaN}]"},
        RejectRow{"date_infinity_literal", "[{" KALVIX_ID ",\"title\":\"x\",\"date\":Infinity}]"},
        RejectRow{"id_is_number", R"([{"id":7,"title":"x","date":1}])"},
        RejectRow{"id_not_a_uuid", R"([{"id":"launch","title":"x","date":1}])"},
        RejectRow{"id_braced", R"([{"id":"{6F1C2A9E-0B7D-4C3E-9A51-D2E4F8B7C601}","title":"x","date":1}])"},
        RejectRow{"id_without_hyphens", R"([{"id":"6F1C2A9E0B7D4C3E9A51D2E4F8B7C601","title":"x","date":1}])"},
        RejectRow{"id_non_hex", R"([{"id":"6F1C2A9E-0B7D-4C3E-9A51-D2E4F8B7C60G","title":"x","date":1}])"},
        RejectRow{"element_not_object", "[" KALVIX_GOOD ",42]"},
        RejectRow{"top_level_object", KALVIX_GOOD},
        RejectRow{"top_level_null", "null"},
        RejectRow{"truncated", "[" KALVIX_GOOD},
        RejectRow{"trailing_garbage", "[" KALVIX_GOOD "]x"},
        RejectRow{"not_json", "countdowns=please"},
        RejectRow{"empty", ""}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(CountdownJson, emptyArrayIsAnEmptyList)
{
    EXPECT_EQ(CountdownJson::decode(" [ ] "), QList<Countdown>{});
}

TEST(CountdownJson, finiteDatesOutsideTheCalendarAreKept)
{
    const auto items =
        CountdownJson::decode(R"([{"id":"6F1C2A9E-0B7D-4C3E-9A51-D2E4F8B7C601","title":"x","date":1e300},)"
                              R"({"id":"0A2B4C6D-8E0F-4A1B-8C3D-5E7F9A1B3C5D","title":"y","date":-1.7e308}])");
    ASSERT_TRUE(items.has_value());
    ASSERT_EQ(items->size(), 2);
    EXPECT_EQ((*items)[0].date.seconds, 1e300 + kRef);
    EXPECT_FALSE((*items)[0].date.isCivil());
    EXPECT_EQ(CountdownJson::decode(*CountdownJson::encode(*items)), items);
}

TEST(CountdownJson, deepNestingIsRejectedNotRecursedInto)
{
    const QByteArray deep = QByteArray(200000, '[') + QByteArray(200000, ']');
    EXPECT_FALSE(CountdownJson::decode(deep).has_value());
}
