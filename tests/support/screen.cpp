#include "support/screen.h"

#include <filesystem>
#include <thread>

namespace lumek::test {

namespace {

std::string withDisplay(const std::string& display, const std::string& command) {
    return "DISPLAY=" + shellQuote(display) + " " + command;
}

}  // namespace

Screenshot takeScreenshot(const std::string& display) {
    TempDir dir;
    const ProcessResult size = runCommand(
        withDisplay(display, "xwininfo -root | sed -n 's/^ *\\(Width\\|Height\\): //p'"),
        dir.path());
    Screenshot shot;
    std::sscanf(size.out.c_str(), "%d %d", &shot.width, &shot.height);
    runCommand(withDisplay(display, "import -window root -depth 8 rgb:shot.rgb"), dir.path());
    const std::string bytes = readFile(dir.file("shot.rgb"));
    shot.rgb.assign(bytes.begin(), bytes.end());
    if (shot.rgb.size() != size_t(shot.width) * shot.height * 3) shot = Screenshot{};
    return shot;
}

std::string screenshotDir() {
    const std::string dir = LUMEK_SCREENSHOT_DIR;
    std::filesystem::create_directories(dir);
    return dir;
}

void saveScreenshot(const Screenshot& shot, const std::string& name) {
    TempDir dir;
    writeFile(dir.file("shot.rgb"),
              std::string(reinterpret_cast<const char*>(shot.rgb.data()), shot.rgb.size()));
    runCommand("convert -size " + std::to_string(shot.width) + "x" + std::to_string(shot.height) +
                   " -depth 8 rgb:shot.rgb " + shellQuote(screenshotDir() + "/" + name),
               dir.path());
}

Box litBox(const Screenshot& shot) {
    Box box{shot.width, shot.height, -1, -1};
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) {
            const uint8_t* p = shot.at(x, y);
            if ((p[0] | p[1] | p[2]) == 0) continue;
            box.left = std::min(box.left, x);
            box.right = std::max(box.right, x);
            box.top = std::min(box.top, y);
            box.bottom = std::max(box.bottom, y);
        }
    return box;
}

double litShare(const Screenshot& shot, const Box& box) {
    long lit = 0, all = 0;
    for (int y = box.top; y <= box.bottom; ++y)
        for (int x = box.left; x <= box.right; ++x) {
            const uint8_t* p = shot.at(x, y);
            lit += (p[0] | p[1] | p[2]) != 0;
            ++all;
        }
    return all ? double(lit) / all : 0.0;
}

double meanBrightness(const Screenshot& shot, int left, int top, int right, int bottom) {
    double sum = 0;
    long count = 0;
    for (int y = std::max(top, 0); y <= std::min(bottom, shot.height - 1); ++y)
        for (int x = std::max(left, 0); x <= std::min(right, shot.width - 1); ++x) {
            const uint8_t* p = shot.at(x, y);
            sum += (p[0] + p[1] + p[2]) / 3.0;
            ++count;
        }
    return count ? sum / count : 0.0;
}

double equalNeighbourShare(const Screenshot& shot, const Box& box) {
    long same = 0, pairs = 0;
    for (int y = box.top + 10; y <= box.bottom - 10; ++y)
        for (int x = box.left + 10; x < box.right - 10; ++x) {
            const uint8_t *a = shot.at(x, y), *b = shot.at(x + 1, y);
            same += a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
            ++pairs;
        }
    return pairs ? double(same) / pairs : 0.0;
}

ProcessResult xTool(const std::string& display, const std::string& args) {
    return runCommand(withDisplay(display, shellQuote(X_TOOL_EXE) + " " + args), ".");
}

bool waitForWindow(const std::string& display, const std::string& title,
                   std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (xTool(display, "find " + shellQuote(title)).status == 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

void pressKey(const std::string& display, const std::string& title, const std::string& key) {
    xTool(display, "focus " + shellQuote(title));
    runCommand(withDisplay(display, "xdotool key " + shellQuote(key)), ".");
}

}  // namespace lumek::test
