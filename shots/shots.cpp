#include "shots/shots.h"

#include <cmath>
#include <cstring>

#include "shots/files.h"
#include "shots/png.h"

namespace lumek {

namespace {

void poseBoxes(SceneLibrary& lib) { lib.circle(kBoxes, 0).setCircle(0.1f, 0.0f, 0.0f); }

void poseSpotlight(SceneLibrary& lib) { lib[kSpotlight][0]->setColor(240, 240, 240); }

void poseShadow1(SceneLibrary& lib) {
    lib.circle(kShadow1, 0).setCircle(0.15f, 0.5f, 0.3f);
    lib.circle(kShadow1, 1).setCircle(0.15f, -0.5f, -0.3f);
}

// Two paddles turned 0.55 radians from the vertical in opposite senses,
// between four occluders.
void poseShadow2(SceneLibrary& lib) {
    lib.circle(kShadow2, 0).setCircle(0.05f, 0.3f, 0.24f);
    lib.circle(kShadow2, 1).setCircle(0.05f, 0.3f, -0.24f);
    lib.circle(kShadow2, 2).setCircle(0.05f, -0.3f, 0.24f);
    lib.circle(kShadow2, 3).setCircle(0.05f, -0.3f, -0.24f);

    const double a = static_cast<double>(0.55f);
    const float sa = static_cast<float>(std::sin(a));
    const float ca = static_cast<float>(std::cos(a));
    const float ps = static_cast<float>(static_cast<double>(0.07f) * sa);
    const float qc = static_cast<float>(static_cast<double>(0.07f) * ca);
    const float ns = static_cast<float>(-static_cast<double>(0.07f) * sa);

    SegmentShape& lower = lib.segment(kShadow2, 4);
    lower.setStart(ps, static_cast<float>(-static_cast<double>(0.09f) - qc));
    lower.setEnd(ns, static_cast<float>(static_cast<double>(qc) - 0.09f));
    SegmentShape& upper = lib.segment(kShadow2, 5);
    upper.setStart(ps, static_cast<float>(static_cast<double>(0.09f) + qc));
    upper.setEnd(ns, static_cast<float>(static_cast<double>(0.09f) - qc));
}

void poseShadow3(SceneLibrary& lib) { lib.circle(kShadow3, 0).setCircle(0.8f, 0.0f, 0.8f); }

constexpr ShotRow kShotTable[kShotCount] = {
    {"-shot1", "Lumeklogo.raw", kLumeklogo, nullptr, {1.5f, 0.0f}, 1.1f},
    {"-shot2", "ColorCircles.raw", kColorCircles, nullptr, {0.0f, 0.0f}, 3.0f},
    {"-shot3", "Boxes.raw", kBoxes, poseBoxes, {0.0f, 0.0f}, 1.0f},
    {"-shot4", "Spotlight.raw", kSpotlight, poseSpotlight, {0.0f, 0.0f}, 1.0f},
    {"-shot5", "Shadow1.raw", kShadow1, poseShadow1, {0.0f, 0.0f}, 1.0f},
    {"-shot6", "Shadow2.raw", kShadow2, poseShadow2, {0.0f, 0.0f}, 1.0f},
    {"-shot7", "Shadow3.raw", kShadow3, poseShadow3, {0.0f, -0.3f}, 1.0f},
    {"-shot8", "XMas.raw", kXMas, nullptr, {0.0f, 0.0f}, 4.2f},
};

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

const ShotRow& shotRow(int row) { return kShotTable[row - 1]; }

void poseShot(int row, SceneLibrary& library) {
    const ShotRow& shot = shotRow(row);
    if (shot.pose != nullptr) shot.pose(library);
}

void renderShot(int row, SceneLibrary& library, RayRenderer& renderer) {
    const ShotRow& shot = shotRow(row);
    poseShot(row, library);
    Vec2 viewCentre = shot.viewCentre;
    Vec2 axisX{1.0f, 0.0f};
    Vec2 axisY{0.0f, 1.0f};
    renderer.render(library[shot.list], viewCentre, axisX, axisY, shot.viewHeight);
}

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
