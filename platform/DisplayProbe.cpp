#include "platform/DisplayProbe.h"

#include <xcb/xcb.h>

namespace kalvix::platform {

bool canConnectToX11Display()
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool ok = connection && xcb_connection_has_error(connection) == 0;
    if (connection)
        xcb_disconnect(connection);
    return ok;
}

} // namespace kalvix::platform
