#pragma once
// The XDG base folders, read at every call: the variable when it holds an absolute path (relative
// values are invalid by the XDG rules and ignored), else the default below the home folder.
#include <QString>

namespace kalvix::platform {

QString configHome(); // $XDG_CONFIG_HOME or ~/.config
QString dataHome();   // $XDG_DATA_HOME or ~/.local/share

} // namespace kalvix::platform
