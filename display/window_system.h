// What a platform provides to the shared window code: one primitive per
// step of opening and closing the window, message boxes, the event queue,
// buffer swaps and the clock. Steps that a platform does not have succeed
// without doing anything.
#pragma once

#include <cstdint>

#include "display/platform.h"

namespace lumek::display {

// One window-system message, as the window procedure sees it.
struct WindowEvent {
    enum class Type {
        Activate,    // the minimised state may have changed
        SysCommand,  // a system command
        Close,       // the window is being closed
        KeyDown,     // a plain key press
        SysKeyDown,  // a key with Alt held, or F10
        Size,        // the client area changed size
        Quit,        // the quit message posted by the window procedure
        Other,
    };
    Type type = Type::Other;
    bool minimised = false;  // Activate
    uint32_t command = 0;    // SysCommand, as the system sent it (low bits included)
    int width = 0;           // Size
    int height = 0;          // Size
    int quitCode = 0;        // Quit
};

// System commands the window procedure refuses while the show runs.
constexpr uint32_t kScreenSaveCommand = 0xF140;
constexpr uint32_t kMonitorPowerCommand = 0xF170;

class WindowSystem {
  public:
    virtual ~WindowSystem() = default;

    // Why no window can be opened at all (no display to open it on), asked
    // before the first step; null when one may be.
    virtual const char* missingDisplay() { return nullptr; }
    virtual bool registerClass() = 0;
    // What the person is told when registerClass failed.
    virtual const char* registerClassFailure() { return "Failed To Register The Window Class."; }
    virtual bool changeDisplayMode(int width, int height, int colourBits) = 0;
    virtual void restoreDisplayMode() = 0;
    virtual void showCursor(bool show) = 0;
    virtual bool createWindow(const char* title, int width, int height, int colourBits,
                              bool fullscreen) = 0;
    virtual bool getDeviceContext() = 0;
    virtual bool choosePixelFormat(int colourBits) = 0;
    virtual bool setPixelFormat() = 0;
    virtual bool createContext() = 0;
    virtual bool makeCurrent() = 0;
    virtual void showWindow() = 0;  // show, bring to the front, focus

    virtual bool releaseCurrent() = 0;
    // What the person is told when releaseCurrent failed.
    virtual const char* releaseCurrentFailure() { return "Release Of DC And RC Failed."; }
    virtual bool deleteContext() = 0;
    virtual bool releaseDeviceContext() = 0;
    virtual bool destroyWindow() = 0;
    virtual bool unregisterClass() = 0;

    virtual MessageAnswer messageBox(const char* text, const char* caption, MessageButtons buttons,
                                     MessageIcon icon) = 0;

    // Takes one waiting message without blocking and, unless it is the quit
    // message, dispatches it to the window procedure (windowProcedure below).
    virtual Pumped pumpOne(int& quitCode) = 0;
    virtual void postQuit(int code) = 0;
    // Delivers a close message to the window procedure, synchronously.
    virtual void sendClose() = 0;
    virtual void swapBuffers() = 0;
    virtual uint32_t clockMs() = 0;
};

// The platform's own implementation.
WindowSystem& systemWindowSystem();

// Replaces the window system (tests); null restores the platform's own.
void useWindowSystem(WindowSystem* system);

// The window procedure: true when the event was handled, false when the
// platform's default handling should run.
bool windowProcedure(const WindowEvent& event);

}  // namespace lumek::display
