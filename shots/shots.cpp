#include "shots/shots.h"

#include <cstring>

#include "shots/files.h"
#include "shots/png.h"

namespace lumek {

namespace {

std::string pngNameFor(const std::string& rawName) {
    return rawName.substr(0, rawName.size() - 4) + ".png";
}

// One line per file, on stdout when written and on stderr when not.
bool report(const std::string& name, bool written, size_t size, const std::string& error,
            ShotEnvironment& env) {
    if (written)
        env.out << name << "  " << size << " bytes\n";
    else
        env.err << "lumek: cannot write " << name << ": " << error << "\n";
    return written;
}

bool writePngImage(const std::string& fileName, const FrameImage& image, size_t& size,
                   std::string& error) {
    const std::string bytes = encodePng(image);
    size = bytes.size();
    if (bytes.empty()) {
        error = "the picture could not be encoded";
        return false;
    }
    return replaceFile(fileName, bytes, error);
}

}  // namespace

std::string rawImageBytes(const FrameImage& image) {
    const size_t count = static_cast<size_t>(image.getWidth()) * image.getHeight();
    std::string bytes(count * 3, '\0');
    const uint8_t* src = image.pixels.get();
    for (size_t i = 0; i < count; ++i) {
        bytes[3 * i] = static_cast<char>(src[4 * i]);
        bytes[3 * i + 1] = static_cast<char>(src[4 * i + 1]);
        bytes[3 * i + 2] = static_cast<char>(src[4 * i + 2]);
    }
    return bytes;
}

bool writeRawImage(const char* fileName, const FrameImage& image, std::string& error) {
    return replaceFile(fileName, rawImageBytes(image), error);
}

std::optional<int> ScreenshotRun(const char* commandLine, ShotEnvironment& env) {
    if (std::strstr(commandLine, "-shot") == nullptr) return std::nullopt;
    const bool alsoPng = std::strstr(commandLine, "-png") != nullptr;

    buildSceneLibrary(env.library);
    env.slots.currentImage = std::make_unique<FrameImage>(kShotWidth, kShotHeight, 1.0f);
    // Every usable processor works on each picture.
    env.slots.currentRenderer =
        std::make_unique<RayRenderer>(env.slots.currentImage.get(), env.random, env.threads);

    auto stopping = [&env] { return env.stopRequested && env.stopRequested(); };
    bool allWritten = true, stopped = false;
    int requested = 0;
    for (int row = 1; row <= kShotCount; ++row) {
        const ShotRow& shot = shotRow(row);
        if (std::strstr(commandLine, shot.switchText) == nullptr) continue;
        ++requested;
        if (stopping()) {
            stopped = true;
            break;
        }
        renderShot(row, env.library, *env.slots.currentRenderer);
        const FrameImage& image = *env.slots.currentImage;
        std::string error;
        const size_t rawSize = size_t(image.getWidth()) * image.getHeight() * 3;
        const bool rawWritten = writeRawImage(shot.fileName, image, error);
        allWritten &= report(shot.fileName, rawWritten, rawSize, error, env);
        if (alsoPng) {
            const std::string pngName = pngNameFor(shot.fileName);
            size_t pngSize = 0;
            const bool pngWritten = writePngImage(pngName, image, pngSize, error);
            allWritten &= report(pngName, pngWritten, pngSize, error, env);
        }
    }

    if (requested == 0) {
        env.err << "lumek: no picture was asked for; the switches are";
        for (int row = 1; row <= kShotCount; ++row)
            env.err << " " << shotRow(row).switchText << " (" << shotRow(row).fileName << ")";
        env.err << "\n";
    }
    if (stopped) env.err << "lumek: stopped before every picture was written\n";

    deleteSceneShapes(env.library);
    env.slots.release();
    if (stopped) return kStoppedStatus;
    return allWritten ? 0 : 1;
}

}  // namespace lumek
