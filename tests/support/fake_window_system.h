// A scripted window system: records every step it is asked for, fails the
// steps it is told to, answers questions from a list and plays a script of
// events and clock readings to the main loop.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "display/window_system.h"

namespace lumek::test {

class FakeWindowSystem final : public display::WindowSystem {
  public:
    // One pass of the main loop: an event to dispatch, or an idle pass at a
    // clock reading.
    struct Pass {
        bool idle = true;
        uint32_t clock = 0;
        display::WindowEvent event;
    };

    FakeWindowSystem() { display::useWindowSystem(this); }
    ~FakeWindowSystem() override { display::useWindowSystem(nullptr); }

    std::vector<std::string> log;
    std::set<std::string> failing;               // step names that fail
    std::deque<display::MessageAnswer> answers;  // for Yes/No questions
    std::deque<Pass> script;
    uint32_t clock = 0;
    std::function<void()> onSwap;  // called at every swap
    std::function<void()> onUnregister;
    int swaps = 0;
    bool scriptRanOut = false;

    void idleAt(uint32_t t) { script.push_back(Pass{true, t, {}}); }
    void send(display::WindowEvent e) { script.push_back(Pass{false, 0, e}); }
    void sendType(display::WindowEvent::Type type) {
        display::WindowEvent e;
        e.type = type;
        send(e);
    }
    void sendActivate(bool minimised) {
        display::WindowEvent e;
        e.type = display::WindowEvent::Type::Activate;
        e.minimised = minimised;
        send(e);
    }

    bool registerClass() override { return step("registerClass"); }
    bool changeDisplayMode(int w, int h, int bits) override {
        return step("changeDisplayMode " + std::to_string(w) + "x" + std::to_string(h) + "x" +
                    std::to_string(bits));
    }
    void restoreDisplayMode() override { log.push_back("restoreDisplayMode"); }
    void showCursor(bool show) override { log.push_back(show ? "showCursor" : "hideCursor"); }
    bool createWindow(const char* title, int w, int h, int bits, bool fullscreen) override {
        return step(std::string("createWindow ") + title + " " + std::to_string(w) + "x" +
                    std::to_string(h) + "x" + std::to_string(bits) +
                    (fullscreen ? " fullscreen" : " windowed"));
    }
    bool getDeviceContext() override { return step("getDeviceContext"); }
    bool choosePixelFormat(int bits) override {
        return step("choosePixelFormat " + std::to_string(bits));
    }
    bool setPixelFormat() override { return step("setPixelFormat"); }
    bool createContext() override { return step("createContext"); }
    bool makeCurrent() override { return step("makeCurrent"); }
    void showWindow() override { log.push_back("showWindow"); }
    bool releaseCurrent() override { return step("releaseCurrent"); }
    bool deleteContext() override { return step("deleteContext"); }
    bool releaseDeviceContext() override { return step("releaseDeviceContext"); }
    bool destroyWindow() override { return step("destroyWindow"); }
    bool unregisterClass() override {
        if (onUnregister) onUnregister();
        return step("unregisterClass");
    }

    display::MessageAnswer messageBox(const char* text, const char* caption,
                                      display::MessageButtons buttons,
                                      display::MessageIcon icon) override;
    display::Pumped pumpOne(int& quitCode) override;
    void postQuit(int code) override;
    void sendClose() override;
    void swapBuffers() override;
    uint32_t clockMs() override { return clock; }

  private:
    bool step(const std::string& name) {
        log.push_back(name);
        return failing.count(name.substr(0, name.find(' '))) == 0;
    }
    std::deque<display::WindowEvent> posted_;
};

}  // namespace lumek::test
