// The window system on Win32 (Windows): the window class "OpenGL", display
// mode changes, the pixel format and WGL context, message boxes, the
// thread's message queue with its window procedure, SwapBuffers and the
// multimedia timer.
#include <windows.h>
// (after windows.h, whose types it uses)
#include <mmsystem.h>

#include <cstring>
#include <string>

#include "display/platform.h"
#include "display/window_system.h"

namespace lumek::display {

namespace {

constexpr const char* kClassName = "OpenGL";

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class Win32WindowSystem final : public WindowSystem {
  public:
    bool registerClass() override {
        instance_ = GetModuleHandleA(nullptr);
        WNDCLASSA wc;
        std::memset(&wc, 0, sizeof wc);
        wc.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
        wc.lpfnWndProc = windowProc;
        wc.hInstance = instance_;
        // The program's own icon (resource 1, packaging/lumek.rc.in), or
        // the system's in a build without one.
        wc.hIcon = LoadIconA(instance_, MAKEINTRESOURCEA(1));
        if (wc.hIcon == nullptr) wc.hIcon = LoadIcon(nullptr, IDI_WINLOGO);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = nullptr;
        wc.lpszMenuName = nullptr;
        wc.lpszClassName = kClassName;
        return RegisterClassA(&wc) != 0;
    }

    bool changeDisplayMode(int width, int height, int colourBits) override {
        DEVMODEA mode;
        std::memset(&mode, 0, sizeof mode);
        // The structure as the original headers define it; every Windows
        // accepts it.
        static_assert(sizeof(DEVMODEA) >= 148);
        mode.dmSize = 148;
        mode.dmPelsWidth = static_cast<DWORD>(width);
        mode.dmPelsHeight = static_cast<DWORD>(height);
        mode.dmBitsPerPel = static_cast<DWORD>(colourBits);
        mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
        return ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
    }

    void restoreDisplayMode() override { ChangeDisplaySettingsA(nullptr, 0); }

    void showCursor(bool show) override { ShowCursor(show ? TRUE : FALSE); }

    bool createWindow(const char* title, int width, int height, int colourBits,
                      bool fullscreen) override {
        const DWORD exStyle = fullscreen ? WS_EX_APPWINDOW : WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
        const DWORD style = fullscreen ? WS_POPUP : WS_OVERLAPPEDWINDOW;
        RECT rect{0, 0, width, height};
        AdjustWindowRectEx(&rect, style, FALSE, exStyle);
        window_ = CreateWindowExA(
            exStyle, kClassName, title, style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
            rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, instance_, nullptr);
        if (window_ == nullptr) return false;
        if (!descriptorBuilt_) {
            std::memset(&descriptor_, 0, sizeof descriptor_);
            descriptor_.nSize = sizeof descriptor_;  // 40
            descriptor_.nVersion = 1;
            descriptor_.dwFlags = PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;  // 0x21
            descriptor_.iPixelType = PFD_TYPE_RGBA;
            descriptor_.cColorBits = static_cast<BYTE>(colourBits);
            descriptor_.cDepthBits = 16;
            descriptor_.iLayerType = PFD_MAIN_PLANE;
            descriptorBuilt_ = true;
        }
        return true;
    }

    bool getDeviceContext() override {
        deviceContext_ = GetDC(window_);
        return deviceContext_ != nullptr;
    }

    bool choosePixelFormat(int) override {
        pixelFormat_ = ChoosePixelFormat(deviceContext_, &descriptor_);
        return pixelFormat_ != 0;
    }

    bool setPixelFormat() override {
        return SetPixelFormat(deviceContext_, pixelFormat_, &descriptor_) != FALSE;
    }

    bool createContext() override {
        renderingContext_ = wglCreateContext(deviceContext_);
        return renderingContext_ != nullptr;
    }

    bool makeCurrent() override {
        return wglMakeCurrent(deviceContext_, renderingContext_) != FALSE;
    }

    void showWindow() override {
        ShowWindow(window_, SW_SHOW);
        SetForegroundWindow(window_);
        SetFocus(window_);
    }

    bool releaseCurrent() override { return wglMakeCurrent(nullptr, nullptr) != FALSE; }

    bool deleteContext() override {
        const bool ok = wglDeleteContext(renderingContext_) != FALSE;
        renderingContext_ = nullptr;
        return ok;
    }

    bool releaseDeviceContext() override {
        const bool ok = ReleaseDC(window_, deviceContext_) != 0;
        deviceContext_ = nullptr;
        return ok;
    }

    bool destroyWindow() override {
        const bool ok = DestroyWindow(window_) != FALSE;
        window_ = nullptr;
        return ok;
    }

    bool unregisterClass() override {
        const bool ok = UnregisterClassA(kClassName, instance_) != FALSE;
        instance_ = nullptr;
        return ok;
    }

    MessageAnswer messageBox(const char* text, const char* caption, MessageButtons buttons,
                             MessageIcon icon) override {
        UINT type = buttons == MessageButtons::YesNo ? MB_YESNO : MB_OK;
        type |= icon == MessageIcon::Exclamation ? MB_ICONEXCLAMATION
                : icon == MessageIcon::Stop      ? MB_ICONSTOP
                                                 : MB_ICONINFORMATION;
        const int answer = MessageBoxA(nullptr, text, caption, type);
        if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
        return answer == IDYES ? MessageAnswer::Yes : MessageAnswer::No;
    }

    Pumped pumpOne(int& quitCode) override {
        MSG msg;
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return Pumped::Nothing;
        if (msg.message == WM_QUIT) {
            quitCode = static_cast<int>(msg.wParam);
            return Pumped::Quit;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        return Pumped::Dispatched;
    }

    void postQuit(int code) override { PostQuitMessage(code); }

    void sendClose() override { SendMessageA(window_, WM_CLOSE, 0, 0); }

    void swapBuffers() override { SwapBuffers(deviceContext_); }

    uint32_t clockMs() override { return timeGetTime(); }

  private:
    HINSTANCE instance_ = nullptr;
    HWND window_ = nullptr;
    HDC deviceContext_ = nullptr;
    HGLRC renderingContext_ = nullptr;
    PIXELFORMATDESCRIPTOR descriptor_{};
    bool descriptorBuilt_ = false;
    int pixelFormat_ = 0;
};

// Turns the window's messages into the shared window procedure's events;
// what it does not handle gets the default handling.
LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowEvent event;
    switch (message) {
        case WM_ACTIVATE:
            event.type = WindowEvent::Type::Activate;
            event.minimised = HIWORD(wParam) != 0;
            break;
        case WM_SYSCOMMAND:
            event.type = WindowEvent::Type::SysCommand;
            event.command = static_cast<uint32_t>(wParam);
            break;
        case WM_CLOSE:
            event.type = WindowEvent::Type::Close;
            break;
        case WM_KEYDOWN:
            event.type = WindowEvent::Type::KeyDown;
            break;
        case WM_SIZE:
            event.type = WindowEvent::Type::Size;
            event.width = LOWORD(lParam);
            event.height = HIWORD(lParam);
            break;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
    if (windowProcedure(event)) return 0;
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

WindowSystem& systemWindowSystem() {
    static Win32WindowSystem system;
    return system;
}

}  // namespace lumek::display
