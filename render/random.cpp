#include "render/random.h"

namespace lumek {

RandomStream& programRandom() {
    static RandomStream stream;
    return stream;
}

}  // namespace lumek
