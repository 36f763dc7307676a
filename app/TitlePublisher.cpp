#include "app/TitlePublisher.h"

#include "app/TitleCache.h"
#include "clock/ClockModel.h"

#include <cmath>
#include <unistd.h>

namespace kalvix {

TitlePublisher::TitlePublisher(ClockModel& clock, std::string path, QObject* parent)
    : QObject(parent)
    , m_clock(clock)
    , m_path(std::move(path))
    , m_environment(titlecache::environmentKey())
{
    connect(&m_clock, &ClockModel::menuBarTitleChanged, this, &TitlePublisher::publish);
    publish(m_clock.menuBarTitle());
}

TitlePublisher::~TitlePublisher()
{
    if (!m_path.empty())
        ::unlink(m_path.c_str());
}

void TitlePublisher::publish(const QString& title)
{
    const std::int64_t now = m_clock.now().toMSecs();
    // A failed write leaves readers to compute the title themselves: nothing else depends on it.
    titlecache::write(m_path,
                      {title.toStdString(), titlecache::validUntil(now, m_clock.showsSeconds()), m_environment});
}

} // namespace kalvix
