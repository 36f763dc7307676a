#pragma once
// Where this build of Kalvix comes from. Only the program itself links this, so a new commit relinks
// the program and rebuilds nothing else.
#include <QString>

namespace kalvix::BuildInfo {

// The abbreviated commit of the git checkout the program was built from; empty for a build from a
// source tree that is not a git checkout.
QString commit();
// Whether tracked files of that checkout differed from the commit when the program was built.
bool modified();

} // namespace kalvix::BuildInfo
