#include "desktop/SettingsPortal.h"

#include <QDBusVariant>

#include <gtest/gtest.h>

using namespace kalvix;

namespace {

struct ValueRow {
    const char* name;
    QVariant reply;
    uint want;
};

void PrintTo(const ValueRow& row, std::ostream* os)
{
    *os << row.name;
}

class PortalValue : public ::testing::TestWithParam<ValueRow> {};

TEST_P(PortalValue, unwrapsTheAnswer)
{
    EXPECT_EQ(SettingsPortal::colorSchemeValue(GetParam().reply), GetParam().want);
}

// Read() answers v(v(u)); SettingChanged and older portals carry v(u) or the number itself.
INSTANTIATE_TEST_SUITE_P(
    SettingsPortal,
    PortalValue,
    ::testing::Values(
        ValueRow{"read_answer_variant_in_variant",
                 QVariant::fromValue(QDBusVariant(QVariant::fromValue(QDBusVariant(QVariant(1u))))),
                 1},
        ValueRow{"signal_value_one_variant", QVariant::fromValue(QDBusVariant(QVariant(2u))), 2},
        ValueRow{"bare_number", QVariant(1u), 1},
        ValueRow{"newer_value_passed_on", QVariant(5u), 5},
        ValueRow{"not_a_number_is_no_preference", QVariant::fromValue(QDBusVariant(QStringLiteral("dark"))), 0},
        ValueRow{"empty_answer_is_no_preference", QVariant(), 0}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
