// Changes the desktop's calendar service from a script, as a calendar application would:
//   eds_tool add-caldav UID NAME COLOR URL   a CalDAV calendar on a server without a password
//   eds_tool refresh UID                     fetch the server's news now
// Exits 1, with the service's message, when the service refuses.
#include "tests/support/EdsService.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    bool failed = false;
    kalvix::test::EdsService service([&](const std::string& message) {
        std::fprintf(stderr, "eds_tool: %s\n", message.c_str());
        failed = true;
    });
    if (!service.running())
        return 1;
    if (argc == 6 && std::strcmp(argv[1], "add-caldav") == 0)
        service.addCalDav(argv[2], argv[3], argv[4], argv[5]);
    else if (argc == 3 && std::strcmp(argv[1], "refresh") == 0)
        service.refresh(argv[2]);
    else {
        std::fprintf(stderr, "usage: eds_tool add-caldav UID NAME COLOR URL | refresh UID\n");
        return 2;
    }
    return failed ? 1 : 0;
}
