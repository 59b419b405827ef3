// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/TimeFormat.h"

#include <clocale>
#include <ctime>
#include <locale.h>

namespace brindle {

std::string ExpandTimeFormat(std::string_view format) {
    // Each letter is replaced once; none of the replacements contains a letter that is
    // replaced, so a single left-to-right pass gives the same text as replacing in turn.
    std::string out;
    out.reserve(format.size() * 2);
    for (char c : format) {
        switch (c) {
        case 'Y':
            out += "%Y";
            break;
        case 'y':
            out += "%y";
            break;
        case 'D':
            out += "%d";
            break;
        case 'H':
            out += "%H";
            break;
        case 'I':
            out += "%I";
            break;
        case 'm':
            out += "%m";
            break;
        case 'M':
            out += "%M";
            break;
        case 'S':
            out += "%S";
            break;
        case 'A':
            out += "%p";
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

namespace {
// AM/PM and names must not follow the user's locale (a GUI sets LC_ALL from the environment).
locale_t CLocale() {
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}
} // namespace

std::string FormatTime(BrxTime t, const std::string& pattern) {
    if (t < 0 || pattern.empty())
        return {};
    const std::time_t tt = static_cast<std::time_t>(t);
    std::tm local{};
    if (localtime_r(&tt, &local) == nullptr || local.tm_year < 70)
        return {};
    char buffer[128];
    const size_t n = strftime_l(buffer, sizeof buffer, pattern.c_str(), &local, CLocale());
    return std::string(buffer, n);
}

} // namespace brindle
