// The interactive demo: the show on screen, with its millisecond clock.
#pragma once

namespace lumek {

// Plays the show until its end, a key press or the window's closing, then
// shuts down in order. Returns the exit status.
int runInteractive();

}  // namespace lumek
