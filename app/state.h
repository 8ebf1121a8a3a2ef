// The program-wide state, in one place. Everything below app/ takes what it
// needs as arguments; only the entry and the interactive loop reach here.
#pragma once

#include "app/command_line.h"

namespace lumek {

extern Settings settings;

}  // namespace lumek
