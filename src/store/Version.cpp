#include "store/Version.h"

namespace brindle {

const char* Version() {
    return BRINDLE_VERSION;
}

} // namespace brindle
