#include "app/BuildInfo.h"

#include "BuildCommit.h" // written by the build

namespace kalvix::BuildInfo {

QString commit()
{
    return QStringLiteral(KALVIX_BUILD_COMMIT);
}

bool modified()
{
    return KALVIX_BUILD_MODIFIED;
}

} // namespace kalvix::BuildInfo
