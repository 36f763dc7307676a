#pragma once
// The city catalog: 46 constant entries in the order every picker shows them. Nothing outside the
// catalog can be chosen; cities are referred to everywhere by their display name.
#include "clock/City.h"

#include <QList>
#include <QString>

#include <optional>

namespace kalvix::Cities {

// Built once on first use and never changed.
const QList<City>& all();

// The first entry, in catalog order, whose name equals `name`: exact and case-sensitive, but under
// canonical equivalence, so "São Paulo" typed with a combining tilde finds the precomposed entry.
std::optional<City> named(const QString& name);

} // namespace kalvix::Cities
