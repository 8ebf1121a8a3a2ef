// Looking at a virtual X screen: screenshots, the lit part of the picture,
// finding windows and pressing keys.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "support/files.h"

namespace lumek::test {

struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* at(int x, int y) const { return &rgb[3 * (size_t(y) * width + x)]; }
};

// Inclusive pixel bounds.
struct Box {
    int left = 0, top = 0, right = -1, bottom = -1;
};

Screenshot takeScreenshot(const std::string& display);
// Saved as PNG in the folder the tests keep their screenshots in.
void saveScreenshot(const Screenshot& shot, const std::string& name);
std::string screenshotDir();

// The smallest box holding every pixel that is not pure black.
Box litBox(const Screenshot& shot);
// Share of the box's pixels that are not pure black.
double litShare(const Screenshot& shot, const Box& box);
double meanBrightness(const Screenshot& shot, int left, int top, int right, int bottom);
// Share of horizontally neighbouring pixels inside the box with equal colour.
double equalNeighbourShare(const Screenshot& shot, const Box& box);

ProcessResult xTool(const std::string& display, const std::string& args);
bool waitForWindow(const std::string& display, const std::string& title,
                   std::chrono::milliseconds timeout);
// Focuses the window with that title and presses the key there.
void pressKey(const std::string& display, const std::string& title, const std::string& key);

}  // namespace lumek::test
