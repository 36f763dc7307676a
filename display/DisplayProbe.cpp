#include "display/DisplayProbe.h"

#include <xcb/xcb.h>

namespace kalvix {
namespace {
xcb_connection_t* g_probe = nullptr;
} // namespace

bool canConnectToX11Display()
{
    if (g_probe)
        return true;
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (!connection)
        return false;
    if (xcb_connection_has_error(connection) != 0) {
        xcb_disconnect(connection);
        return false;
    }
    g_probe = connection;
    return true;
}

void releaseDisplayProbe()
{
    if (g_probe)
        xcb_disconnect(g_probe);
    g_probe = nullptr;
}

} // namespace kalvix
