#pragma once
// The one application object a test executable needs for event loops, timers and widgets. Made on
// first use and kept to the end of the process (Qt keeps references to argc and argv).
#include <QCoreApplication>

namespace kalvix::test {

template <typename App = QCoreApplication> App& testApplication()
{
    static int argc = 1;
    static char name[] = "kalvix-test";
    static char* argv[] = {name, nullptr};
    static App* app =
        QCoreApplication::instance() ? static_cast<App*>(QCoreApplication::instance()) : new App(argc, argv);
    return *app;
}

} // namespace kalvix::test
