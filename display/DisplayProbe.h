#pragma once
// Whether a display can be opened, asked before Qt is: Qt's own failure to open one aborts the process.
namespace kalvix {

// Connects to the X server named by DISPLAY; false when that fails. The connection is kept open until
// releaseDisplayProbe(): an X server resets when its last client leaves, and a server with no other
// client (a fresh Xvfb, a session started for Kalvix alone) would refuse the toolkit's own connection
// during that reset.
bool canConnectToX11Display();

// Closes the probe's connection; call it once the toolkit has its own.
void releaseDisplayProbe();

} // namespace kalvix
