#pragma once
// Whether a display can be opened, asked before Qt is: Qt's own failure to open one aborts the process.
namespace kalvix::platform {

// Connects to the X server named by DISPLAY and disconnects again; false when that fails.
bool canConnectToX11Display();

} // namespace kalvix::platform
