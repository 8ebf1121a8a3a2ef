// The window system on SDL2 (Linux): the steps of opening and closing the
// window mapped onto SDL video, GL attributes and contexts, SDL message
// boxes, SDL's event queue and SDL_GetTicks.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "display/window_system.h"

namespace lumek::display {

namespace {

class SdlWindowSystem final : public WindowSystem {
  public:
    // Decided before SDL starts: its drivers would each try a display that
    // is not there, and the window system's libraries complain on stderr.
    const char* missingDisplay() override {
        if (isSet("SDL_VIDEODRIVER") || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY"))
            return nullptr;
        return "there is no display to show it on (DISPLAY and WAYLAND_DISPLAY are unset)";
    }

    bool registerClass() override {
        // Only the window systems the environment names are tried: one that
        // is not there only adds its library's complaints (libwayland's
        // about XDG_RUNTIME_DIR when the X display could not be reached).
        const bool x11 = isSet("DISPLAY"), wayland = isSet("WAYLAND_DISPLAY");
        if (!isSet("SDL_VIDEODRIVER") && x11 != wayland)
            SDL_SetHint(SDL_HINT_VIDEODRIVER, x11 ? "x11" : "wayland");
        if (SDL_Init(SDL_INIT_VIDEO) != 0) {
            failure_ = "Cannot open the display";
            if (x11) failure_ += std::string(" DISPLAY=") + std::getenv("DISPLAY");
            if (x11 && wayland) failure_ += " or";
            if (wayland)
                failure_ += std::string(" WAYLAND_DISPLAY=") + std::getenv("WAYLAND_DISPLAY");
            failure_ += std::string(": ") + SDL_GetError();
            return false;
        }
        // Without a display SDL falls back to drivers that show nothing;
        // only take them when asked for by name.
        const char* driver = SDL_GetCurrentVideoDriver();
        const bool invisible = driver != nullptr && (SDL_strcmp(driver, "offscreen") == 0 ||
                                                     SDL_strcmp(driver, "dummy") == 0);
        if (invisible && !isSet("SDL_VIDEODRIVER")) {
            failure_ = "Cannot reach the display named by DISPLAY or WAYLAND_DISPLAY.";
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            return false;
        }
        quitEvent_ = SDL_RegisterEvents(1);
        // The show keeps the screen saver and monitor power-down away.
        SDL_DisableScreenSaver();
        return true;
    }

    const char* registerClassFailure() override { return failure_.c_str(); }

    // Looks for a mode of exactly this size and depth: 32 bits is 24 colour
    // bits stored in 4 bytes, 16 bits a 2-byte mode. The switch itself
    // happens when the fullscreen window is shown.
    bool changeDisplayMode(int width, int height, int colourBits) override {
        const int count = SDL_GetNumDisplayModes(0);
        for (int i = 0; i < count; ++i) {
            SDL_DisplayMode mode;
            if (SDL_GetDisplayMode(0, i, &mode) != 0) continue;
            if (mode.w != width || mode.h != height) continue;
            const int bytes = SDL_BYTESPERPIXEL(mode.format);
            const int bits = static_cast<int>(SDL_BITSPERPIXEL(mode.format));
            const bool depthMatches =
                colourBits == 32 ? (bits == 24 && bytes == 4) || bits == 32 : bytes == 2;
            if (!depthMatches) continue;
            mode_ = mode;
            haveMode_ = true;
            return true;
        }
        return false;
    }

    void restoreDisplayMode() override {
        if (window_ != nullptr) SDL_SetWindowFullscreen(window_, 0);
    }

    void showCursor(bool show) override { SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE); }

    bool createWindow(const char* title, int width, int height, int colourBits,
                      bool fullscreen) override {
        // The pixel format is chosen before the window exists.
        SDL_GL_ResetAttributes();
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
        const bool deep = colourBits != 16;
        SDL_GL_SetAttribute(SDL_GL_RED_SIZE, deep ? 8 : 5);
        SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, deep ? 8 : 6);
        SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, deep ? 8 : 5);
        SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
        SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
        SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, 0);
        SDL_GL_SetAttribute(SDL_GL_ACCUM_GREEN_SIZE, 0);
        SDL_GL_SetAttribute(SDL_GL_ACCUM_BLUE_SIZE, 0);
        SDL_GL_SetAttribute(SDL_GL_ACCUM_ALPHA_SIZE, 0);

        Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
        flags |= fullscreen ? SDL_WINDOW_FULLSCREEN : SDL_WINDOW_RESIZABLE;
        window_ = SDL_CreateWindow(title, 0, 0, width, height, flags);
        if (window_ == nullptr) {
            std::fprintf(stderr, "lumek: %s\n", SDL_GetError());
            return false;
        }
        if (fullscreen && haveMode_ && SDL_SetWindowDisplayMode(window_, &mode_) != 0) {
            std::fprintf(stderr, "lumek: %s\n", SDL_GetError());
            SDL_DestroyWindow(window_);
            window_ = nullptr;
            return false;
        }
        return true;
    }

    bool getDeviceContext() override { return true; }
    bool choosePixelFormat(int) override { return true; }
    bool setPixelFormat() override { return true; }

    bool createContext() override {
        context_ = SDL_GL_CreateContext(window_);
        if (context_ == nullptr) std::fprintf(stderr, "lumek: %s\n", SDL_GetError());
        return context_ != nullptr;
    }

    bool makeCurrent() override { return SDL_GL_MakeCurrent(window_, context_) == 0; }

    void showWindow() override {
        SDL_ShowWindow(window_);
        SDL_RaiseWindow(window_);
        SDL_SetWindowInputFocus(window_);
    }

    bool releaseCurrent() override { return SDL_GL_MakeCurrent(window_, nullptr) == 0; }
    const char* releaseCurrentFailure() override {
        return "Cannot release the OpenGL context from the window.";
    }

    bool deleteContext() override {
        SDL_GL_DeleteContext(context_);
        context_ = nullptr;
        return true;
    }

    bool releaseDeviceContext() override { return true; }

    bool destroyWindow() override {
        SDL_DestroyWindow(window_);
        window_ = nullptr;
        return true;
    }

    bool unregisterClass() override {
        SDL_EnableScreenSaver();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        haveMode_ = false;
        return true;
    }

    MessageAnswer messageBox(const char* text, const char* caption, MessageButtons buttons,
                             MessageIcon icon) override {
        Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
        if (icon == MessageIcon::Exclamation) flags = SDL_MESSAGEBOX_WARNING;
        if (icon == MessageIcon::Stop) flags = SDL_MESSAGEBOX_ERROR;

        const SDL_MessageBoxButtonData ok[] = {
            {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0,
             "OK"}};
        const SDL_MessageBoxButtonData yesNo[] = {
            {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
            {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 2, "No"}};
        SDL_MessageBoxData data{};
        data.flags = flags;
        data.window = nullptr;  // no owner
        data.title = caption;
        data.message = text;
        const bool ask = buttons == MessageButtons::YesNo;
        data.numbuttons = ask ? 2 : 1;
        data.buttons = ask ? yesNo : ok;

        int pressed = -1;
        if (SDL_ShowMessageBox(&data, &pressed) != 0) pressed = -1;
        if (!ask) return MessageAnswer::Ok;
        // A question nobody could see is not an agreement.
        return pressed == 1 ? MessageAnswer::Yes : MessageAnswer::No;
    }

    Pumped pumpOne(int& quitCode) override {
        SDL_Event e;
        if (SDL_PollEvent(&e) == 0) return Pumped::Nothing;
        if (quitEvent_ != static_cast<Uint32>(-1) && e.type == quitEvent_) {
            quitCode = e.user.code;
            return Pumped::Quit;
        }
        windowProcedure(translate(e));
        return Pumped::Dispatched;
    }

    void postQuit(int code) override {
        SDL_Event e{};
        e.type = quitEvent_;
        e.user.code = code;
        SDL_PushEvent(&e);
    }

    void sendClose() override {
        WindowEvent close;
        close.type = WindowEvent::Type::Close;
        windowProcedure(close);
    }

    void swapBuffers() override { SDL_GL_SwapWindow(window_); }

    uint32_t clockMs() override { return SDL_GetTicks(); }

  private:
    static bool isSet(const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && value[0] != '\0';
    }

    WindowEvent translate(const SDL_Event& e) const {
        using Type = WindowEvent::Type;
        WindowEvent out;
        switch (e.type) {
            case SDL_QUIT:
                out.type = Type::Close;
                break;
            case SDL_KEYDOWN: {
                const bool system =
                    (e.key.keysym.mod & KMOD_ALT) != 0 || e.key.keysym.sym == SDLK_F10;
                out.type = system ? Type::SysKeyDown : Type::KeyDown;
                break;
            }
            case SDL_WINDOWEVENT:
                switch (e.window.event) {
                    case SDL_WINDOWEVENT_CLOSE:
                        out.type = Type::Close;
                        break;
                    case SDL_WINDOWEVENT_MINIMIZED:
                        out.type = Type::Activate;
                        out.minimised = true;
                        break;
                    case SDL_WINDOWEVENT_RESTORED:
                    case SDL_WINDOWEVENT_FOCUS_GAINED:
                    case SDL_WINDOWEVENT_FOCUS_LOST:
                        out.type = Type::Activate;
                        out.minimised =
                            window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED) != 0;
                        break;
                    case SDL_WINDOWEVENT_SIZE_CHANGED:
                        out.type = Type::Size;
                        out.width = e.window.data1;
                        out.height = e.window.data2;
                        break;
                    default:
                        break;
                }
                break;
            default:
                break;
        }
        return out;
    }

    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    SDL_DisplayMode mode_{};
    bool haveMode_ = false;
    Uint32 quitEvent_ = static_cast<Uint32>(-1);
    std::string failure_;
};

}  // namespace

WindowSystem& systemWindowSystem() {
    static SdlWindowSystem system;
    return system;
}

}  // namespace lumek::display
