// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Preferences.h"

const CPreferences& CPreferences::Defaults() {
    static const CPreferences defaults;
    return defaults;
}
