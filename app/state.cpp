#include "app/state.h"

namespace lumek {

Settings settings;

}  // namespace lumek
