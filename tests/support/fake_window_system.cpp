#include "support/fake_window_system.h"

namespace lumek::test {

using display::MessageAnswer;
using display::MessageButtons;
using display::MessageIcon;
using display::Pumped;
using display::WindowEvent;

MessageAnswer FakeWindowSystem::messageBox(const char* text, const char* caption,
                                           MessageButtons buttons, MessageIcon icon) {
    const char* icons[] = {"exclamation", "stop", "information"};
    log.push_back(std::string("box ") + caption + " [" + text + "] " +
                  (buttons == MessageButtons::Ok ? "ok " : "yes/no ") +
                  icons[static_cast<int>(icon)]);
    if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    if (answers.empty()) return MessageAnswer::No;
    const MessageAnswer a = answers.front();
    answers.pop_front();
    return a;
}

Pumped FakeWindowSystem::pumpOne(int& quitCode) {
    // Posted messages come first, as the quit message would.
    if (!posted_.empty()) {
        const WindowEvent e = posted_.front();
        posted_.pop_front();
        quitCode = e.quitCode;
        return Pumped::Quit;
    }
    if (script.empty()) {
        // Nothing more scripted: close, so a test cannot loop forever.
        scriptRanOut = true;
        sendClose();
        return Pumped::Dispatched;
    }
    const Pass pass = script.front();
    script.pop_front();
    if (pass.idle) {
        clock = pass.clock;
        return Pumped::Nothing;
    }
    display::windowProcedure(pass.event);
    return Pumped::Dispatched;
}

void FakeWindowSystem::postQuit(int code) {
    WindowEvent quit;
    quit.type = WindowEvent::Type::Quit;
    quit.quitCode = code;
    posted_.push_back(quit);
}

void FakeWindowSystem::sendClose() {
    log.push_back("sendClose");
    WindowEvent close;
    close.type = WindowEvent::Type::Close;
    display::windowProcedure(close);
}

void FakeWindowSystem::swapBuffers() {
    ++swaps;
    if (onSwap) onSwap();
}

}  // namespace lumek::test
