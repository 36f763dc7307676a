#pragma once
// The user's home and the XDG base folders, read at every call.
//
// The home is $HOME when it holds an absolute path, else the home folder of the user's passwd entry
// when that folder exists; "/" counts as none. Without a home nothing is kept under one (never under
// "/.config"): callers get nothing or an empty path and decide what to say. A base folder is its
// variable when that holds an absolute path (relative values are invalid by the XDG rules and
// ignored), else the default below the home, else empty.
#include <QString>

#include <optional>

namespace kalvix {

std::optional<QString> homeDir();
QString configHome(); // $XDG_CONFIG_HOME or ~/.config; empty without either
QString dataHome();   // $XDG_DATA_HOME or ~/.local/share; empty without either

// The rule above for given values of $HOME and of the passwd entry's home, for tests.
std::optional<QString> chooseHome(const QString& homeVariable, const std::optional<QString>& passwdHome);

} // namespace kalvix
