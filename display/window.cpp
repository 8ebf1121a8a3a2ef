// Opening and closing the window, step by step, with every message the
// person may see; and the window procedure. The steps themselves are the
// platform's (WindowSystem).
#include <cstdio>
#include <string>

#include "display/gl_view.h"
#include "display/platform.h"
#include "display/window_system.h"

namespace lumek::display {

namespace {

WindowSystem* activeSystem = nullptr;

// What the window layer holds between openWindow and closeWindow.
struct WindowState {
    bool fullscreen = true;
    bool windowActive = true;
    bool holdsContext = false;
    bool holdsDeviceContext = false;
    bool holdsWindow = false;
};
WindowState state;

WindowSystem& sys() { return activeSystem ? *activeSystem : systemWindowSystem(); }

bool fail(const char* text) {
    showMessage(text, "ERROR", MessageButtons::Ok, MessageIcon::Exclamation);
    return false;
}

// Closes what was made so far, then reports: the display mode is already
// back when the person reads the message.
bool closeAndFail(const char* text) {
    closeWindow();
    return fail(text);
}

void shutdownError(const char* text) {
    showMessage(text, "SHUTDOWN ERROR", MessageButtons::Ok, MessageIcon::Information);
}

bool openSteps(const char* title, int width, int height, int colourBits, bool fullscreen,
               bool linearFiltering, bool& declined) {
    state = WindowState{};
    state.fullscreen = fullscreen;
    WindowSystem& ws = sys();

    if (!ws.registerClass()) return fail(ws.registerClassFailure());

    if (state.fullscreen && !ws.changeDisplayMode(width, height, colourBits)) {
        const MessageAnswer answer = showMessage(
            "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed "
            "Mode Instead?",
            "Lumek", MessageButtons::YesNo, MessageIcon::Exclamation);
        if (answer != MessageAnswer::Yes) {
            showMessage("Program Will Now Close.", "ERROR", MessageButtons::Ok, MessageIcon::Stop);
            declined = true;
            return false;
        }
        state.fullscreen = false;
    }
    if (state.fullscreen) ws.showCursor(false);

    if (!ws.createWindow(title, width, height, colourBits, state.fullscreen))
        return closeAndFail("Window Creation Error.");
    state.holdsWindow = true;
    if (!ws.getDeviceContext()) return closeAndFail("Can't Create A GL Device Context.");
    state.holdsDeviceContext = true;
    if (!ws.choosePixelFormat(colourBits))
        return closeAndFail("Can't Find A Suitable PixelFormat.");
    if (!ws.setPixelFormat()) return closeAndFail("Can't Set The PixelFormat.");
    if (!ws.createContext()) return closeAndFail("Can't Create A GL Rendering Context.");
    state.holdsContext = true;
    if (!ws.makeCurrent()) return closeAndFail("Can't Activate The GL Rendering Context.");

    ws.showWindow();
    resizeView(width, height);
    if (!initGlState(linearFiltering)) return closeAndFail("Initialization Failed.");
    return true;
}

}  // namespace

void useWindowSystem(WindowSystem* system) { activeSystem = system; }

const char* missingDisplay() { return sys().missingDisplay(); }

std::string messageLine(const char* text, const char* caption) {
    // A caption that is only the program's name would repeat the prefix.
    std::string name = caption;
    for (char& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    std::string line = "lumek: ";
    if (name != "lumek") line += std::string(caption) + ": ";
    for (const char* p = text; *p != '\0'; ++p) line += *p == '\n' ? ' ' : *p;
    return line + "\n";
}

MessageAnswer showMessage(const char* text, const char* caption, MessageButtons buttons,
                          MessageIcon icon) {
    // Also on stderr, so a failure without a display still says why.
    std::fputs(messageLine(text, caption).c_str(), stderr);
    std::fflush(stderr);
    return sys().messageBox(text, caption, buttons, icon);
}

WindowOpened openWindow(const char* title, int width, int height, int colourBits, bool fullscreen,
                        bool linearFiltering) {
    bool declined = false;
    if (openSteps(title, width, height, colourBits, fullscreen, linearFiltering, declined))
        return WindowOpened::Yes;
    return declined ? WindowOpened::Declined : WindowOpened::Failed;
}

void closeWindow() {
    WindowSystem& ws = sys();
    if (state.fullscreen) {
        ws.restoreDisplayMode();
        ws.showCursor(true);
    }
    if (state.holdsContext) {
        if (!ws.releaseCurrent()) shutdownError(ws.releaseCurrentFailure());
        if (!ws.deleteContext()) shutdownError("Release Rendering Context Failed.");
        state.holdsContext = false;
    }
    if (state.holdsDeviceContext) {
        if (!ws.releaseDeviceContext()) shutdownError("Release Device Context Failed.");
        state.holdsDeviceContext = false;
    }
    if (state.holdsWindow) {
        if (!ws.destroyWindow()) shutdownError("Could Not Release hWnd.");
        state.holdsWindow = false;
    }
    if (!ws.unregisterClass()) shutdownError("Could Not Unregister Class.");
}

Pumped takeEvent(int& quitCode) { return sys().pumpOne(quitCode); }

bool windowActive() { return state.windowActive; }

void swapBuffers() { sys().swapBuffers(); }

uint32_t clockMs() { return sys().clockMs(); }

bool windowProcedure(const WindowEvent& event) {
    using Type = WindowEvent::Type;
    switch (event.type) {
        case Type::Activate:
            // Only minimising counts: a covered window keeps rendering.
            state.windowActive = !event.minimised;
            return true;
        case Type::SysCommand: {
            // The four low bits are the system's own (Win32 says to mask
            // them off before comparing).
            const uint32_t command = event.command & 0xFFF0u;
            return command == kScreenSaveCommand || command == kMonitorPowerCommand;
        }
        case Type::Close:
            sys().postQuit(0);
            return true;
        case Type::KeyDown:
            // Any key closes the program, the same way the window's close does.
            sys().sendClose();
            return true;
        case Type::Size:
            resizeView(event.width, event.height);
            return true;
        case Type::SysKeyDown:
        case Type::Quit:
        case Type::Other:
            break;
    }
    return false;
}

}  // namespace lumek::display
