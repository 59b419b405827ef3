#include "store/Preferences.h"

const CPreferences& CPreferences::Defaults() {
    static const CPreferences defaults;
    return defaults;
}
