#pragma once
// Where the program finds the files it ships (help page, icons) in a build tree or an install.

#include <QString>

namespace brindle {

// The folder holding "help/contexthelp.htm" and the other shipped files: next to the program,
// else the installed data folder, else the source tree's res/ folder.
QString ResourceDir();
// Full path of the help page.
QString HelpPagePath();

} // namespace brindle
