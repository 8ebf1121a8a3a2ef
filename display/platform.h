// The platform layer: the few operations the rest of the program needs from
// the window system. One implementation per platform (window_sdl.cpp on
// Linux, window_win32.cpp on Windows) supplies a WindowSystem; the steps of
// opening and closing the window, their messages and the window procedure
// are shared (window.cpp), and the OpenGL side knows no platform
// (gl_view.cpp).
#pragma once

#include <cstdint>
#include <string>

namespace lumek::display {

enum class MessageButtons { Ok, YesNo };
enum class MessageIcon { Exclamation, Stop, Information };
enum class MessageAnswer { Ok, Yes, No };

// The message's line on stderr: "lumek: CAPTION: TEXT" on one line, the
// caption left out where it is only the program's name.
std::string messageLine(const char* text, const char* caption);

// A modal message box without owner; the text also goes to stderr.
MessageAnswer showMessage(const char* text, const char* caption, MessageButtons buttons,
                          MessageIcon icon);

// Why the window cannot be opened at all (there is no display to open it
// on), said before anything is tried; null when a display may be there.
const char* missingDisplay();

enum class WindowOpened { Yes, Failed, Declined };

// Opens the one window with a current OpenGL context and the fixed GL state.
// Falls back to a window (after asking) when the fullscreen mode cannot be
// set. Failed: a reason was shown; Declined: the person chose not to go on.
WindowOpened openWindow(const char* title, int width, int height, int colourBits, bool fullscreen,
                        bool linearFiltering);

// Releases everything openWindow made, reporting each failed step.
void closeWindow();

enum class Pumped { Nothing, Dispatched, Quit };

// Takes at most one waiting event without blocking: the quit event (with
// its code), or any other, which goes to the window procedure.
Pumped takeEvent(int& quitCode);

// False while the window is minimised.
bool windowActive();

void swapBuffers();

// A millisecond counter that wraps at 32 bits.
uint32_t clockMs();

}  // namespace lumek::display
