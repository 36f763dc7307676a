#include "display/DisplayProbe.h"

#include <xcb/xcb.h>

#include <unistd.h>

namespace kalvix {
namespace {
xcb_connection_t* g_probe = nullptr;
constexpr int kAttempts = 10;
constexpr useconds_t kRetryMicroseconds = 100 * 1000;
} // namespace

bool canConnectToX11Display()
{
    if (g_probe)
        return true;
    // A server whose last client just left (the Kalvix being replaced, in a session of its own) refuses
    // connections while it resets: tried again for up to a second before the display counts as absent.
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (attempt > 0)
            ::usleep(kRetryMicroseconds);
        xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
        if (connection && xcb_connection_has_error(connection) == 0) {
            g_probe = connection;
            return true;
        }
        if (connection)
            xcb_disconnect(connection);
    }
    return false;
}

void releaseDisplayProbe()
{
    if (g_probe)
        xcb_disconnect(g_probe);
    g_probe = nullptr;
}

} // namespace kalvix
