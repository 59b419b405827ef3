// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the program finds the files it ships (the help page): the data folder of its own
// installation, found from where the program is, so an installed copy works under any prefix and
// a build folder works as it is (the build mirrors the installed layout: bin/ and
// share/brindle/).

#include <QString>

namespace brindle {

// The folder holding "help/contexthelp.htm" and the other shipped files: the program's folder
// followed by the relative path from bin/ to share/brindle/, else a "brindle" folder of the
// XDG data folders ($XDG_DATA_HOME, $XDG_DATA_DIRS). The first candidate when none has the
// help page.
QString ResourceDir();
// The same for a program in `programDir` (ResourceDir passes the running program's folder).
QString ResourceDirFor(const QString& programDir);
// Full path of the help page.
QString HelpPagePath();

} // namespace brindle
