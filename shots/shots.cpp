#include "shots/shots.h"

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "os/files.h"
#include "os/threads.h"
#include "render/any_size.h"
#include "scenes/scene_picture.h"
#include "shots/png.h"
#include "util/switches.h"

namespace lumek {

namespace {

std::string pngNameFor(const std::string& rawName) {
    return rawName.substr(0, rawName.size() - 4) + ".png";
}

// One picture's files, written while the next picture renders. The job
// holds the rendered frame's own pixel buffer: the screenshot loop gives the
// image a spare one, so the conversion to RGB happens on the writer's thread
// too and nothing but rendering stays on the loop's path.
struct PictureJob {
    std::string rawName;
    Bytes rgba;
    bool png = false;
    int width = 0, height = 0;
};

// What writing one file gave: its report line, on stdout or stderr.
struct FileResult {
    std::string line;
    bool written = false;
};

// `rgb` holds the raw file's bytes, kept by the writing thread from picture
// to picture.
std::vector<FileResult> writePictureFiles(const PictureJob& job, ScratchBytes& rgb) {
    const size_t size = static_cast<size_t>(job.width) * job.height * 3;
    char* data = reinterpret_cast<char*>(rgb.atLeast(size));
    rgbFromRgba(job.rgba.get(), size / 3, data);
    std::vector<FileResult> results;
    results.reserve(2);
    auto write = [&results](const std::string& name, const char* bytes, size_t n,
                            std::string error) {
        const bool ok = n != 0 && os::replaceFile(name, bytes, n, error);
        results.push_back({ok ? name + "  " + std::to_string(n) + " bytes\n"
                              : "lumek: cannot write " + name + ": " + error + "\n",
                           ok});
    };
    write(job.rawName, data, size, "");
    if (job.png) {
        const std::string png =
            encodePngRgb(reinterpret_cast<const uint8_t*>(data), job.width, job.height);
        write(pngNameFor(job.rawName), png.data(), png.size(),
              "not enough memory to encode the picture");
    }
    return results;
}

// The same, with a failed allocation reported as the picture's failure:
// the other pictures are still written.
std::vector<FileResult> writePicture(const PictureJob& job, ScratchBytes& rgb) {
    try {
        return writePictureFiles(job, rgb);
    } catch (const std::bad_alloc& e) {
        std::vector<FileResult> failed(1);
        failed[0].line = "lumek: cannot write " + job.rawName + (job.png ? " or its PNG" : "") +
                         ": " + memoryText(e) + "\n";
        return failed;
    }
}

// Writes the pictures it is given on threads of its own, while the caller
// renders the next ones; reports every file in the order of the pictures,
// as a one-thread run would.
class PictureWriter {
  public:
    // The caller writes what no thread takes.
    PictureWriter(ShotEnvironment& env, int threads) : env_(env) {
        free_.reserve(kShotCount + 1);  // so giving back never allocates
        threads_.start(0, threads, [this](int) { work(); });
    }

    void add(PictureJob job) {
        if (threads_.size() == 0) {
            report(writePicture(job, callerRgb_));
            giveBack(std::move(job.rgba));
            return;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        // The result's place first: a job is only taken once it has one.
        results_.emplace_back();
        jobs_.push_back(std::move(job));
        wake_.notify_one();
    }

    // A pixel buffer of `bytes` for the next frame: one whose picture has
    // been written (its pages are already mapped), or a new one.
    Bytes spare(size_t bytes) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!free_.empty()) {
                auto buffer = std::move(free_.back());
                free_.pop_back();
                return buffer;
            }
        }
        return zeroedBytes(bytes);
    }

    // Waits for every file; true when all were written.
    bool finish() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closing_ = true;
        }
        wake_.notify_all();
        threads_.join();
        return allWritten_;
    }

    ~PictureWriter() { finish(); }

  private:
    void giveBack(Bytes buffer) {
        std::lock_guard<std::mutex> lock(mutex_);
        free_.push_back(std::move(buffer));
    }

    void work() {
        ScratchBytes rgb;
        for (;;) {
            size_t index;
            PictureJob* job;  // a deque keeps its elements where they are
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [this] { return closing_ || taken_ < jobs_.size(); });
                if (taken_ == jobs_.size()) return;
                index = taken_++;
                job = &jobs_[index];
            }
            std::vector<FileResult> results = writePicture(*job, rgb);
            std::lock_guard<std::mutex> lock(mutex_);
            free_.push_back(std::move(job->rgba));  // written: the next frame can use it
            results_[index] = std::move(results);
            // Reports go out in picture order, as soon as the next is done.
            while (reported_ < results_.size() && !results_[reported_].empty())
                report(results_[reported_++]);
        }
    }

    void report(const std::vector<FileResult>& results) {
        for (const FileResult& r : results) {
            (r.written ? env_.out : env_.err) << r.line << std::flush;
            allWritten_ &= r.written;
        }
    }

    ShotEnvironment& env_;
    os::ThreadGroup threads_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<PictureJob> jobs_;
    std::vector<Bytes> free_;
    ScratchBytes callerRgb_;  // when no writing thread could be started
    std::deque<std::vector<FileResult>> results_;
    size_t taken_ = 0, reported_ = 0;
    bool closing_ = false;
    bool allWritten_ = true;
};

}  // namespace

void rgbFromRgba(const uint8_t* rgba, size_t count, char* rgb) {
    for (size_t i = 0; i < count; ++i, rgba += 4, rgb += 3) {
        rgb[0] = static_cast<char>(rgba[0]);
        rgb[1] = static_cast<char>(rgba[1]);
        rgb[2] = static_cast<char>(rgba[2]);
    }
}

std::string rawImageBytes(const FrameImage& image) {
    const size_t count = static_cast<size_t>(image.getWidth()) * image.getHeight();
    std::string bytes(count * 3, '\0');
    rgbFromRgba(image.pixels.get(), count, bytes.data());
    return bytes;
}

bool writeRawImage(const char* fileName, const FrameImage& image, std::string& error) {
    return os::replaceFile(fileName, rawImageBytes(image), error);
}

namespace {

// The picture files of rows that were asked for but not handed to the
// writer, as "A.raw, B.raw".
std::string unwrittenNames(const std::vector<int>& rows, bool png, const ShotEnvironment& env) {
    std::string names;
    for (int row : rows) {
        const std::string raw =
            env.output ? rawNameForOutput(*env.output) : std::string(shotRow(row).fileName);
        names += (names.empty() ? "" : ", ") + raw + (png ? ", " + pngNameFor(raw) : "");
    }
    return names;
}

// The picture switches with their files, for a usage message.
std::string pictureSwitches() {
    std::string text;
    for (int row = 1; row <= kShotCount; ++row)
        text += std::string(row == 1 ? "" : " ") + shotRow(row).switchText + " (" +
                shotRow(row).fileName + ")";
    return text;
}

}  // namespace

std::vector<ShotWord> shotWords(const char* text) {
    const size_t length = std::strlen(switches::kShot);
    std::vector<ShotWord> words;
    for (const char* at = std::strstr(text, switches::kShot); at != nullptr;
         at = std::strstr(at + length, switches::kShot)) {
        const char* digits = at + length;
        const bool rowDigit = *digits >= '1' && *digits <= '0' + kShotCount;
        const bool moreDigits = rowDigit && digits[1] >= '0' && digits[1] <= '9';
        if (rowDigit && !moreDigits) continue;
        // The word runs to the next blank, control character or switch; a
        // very long one is cut, it is only named.
        const char* end = digits;
        while (static_cast<unsigned char>(*end) > ' ' && *end != 0x7f && *end != '-' &&
               end - at < 40)
            ++end;
        words.push_back({std::string(at, end), moreDigits ? digits[0] - '0' : 0});
    }
    return words;
}

bool reportShotWords(const char* text, std::ostream& err) {
    const std::vector<ShotWord> words = shotWords(text);
    for (const ShotWord& word : words) {
        err << "lumek: usage error: " << word.text;
        if (word.row == 0)
            err << " names no picture\n";
        else
            err << " is no switch; the " << shotRow(word.row).switchText << " in it still writes "
                << shotRow(word.row).fileName << "\n";
    }
    if (!words.empty()) err << "lumek: the picture switches are " << pictureSwitches() << "\n";
    return !words.empty();
}

std::string rawNameForOutput(const std::string& output) {
    const size_t n = output.size();
    if (n > 4 && (output.compare(n - 4, 4, ".png") == 0 || output.compare(n - 4, 4, ".raw") == 0))
        return output.substr(0, n - 4) + ".raw";
    return output + ".raw";
}

std::optional<int> ScreenshotRun(const char* commandLine, ShotEnvironment& env) {
    if (!switches::asks(commandLine, switches::kShot)) return std::nullopt;
    const bool alsoPng = switches::asks(commandLine, switches::kPng);

    std::vector<int> rows;  // asked for and not yet handed to the writer
    for (int row = 1; row <= kShotCount; ++row)
        if (switches::asks(commandLine, shotRow(row).switchText)) rows.push_back(row);
    // The rows found still render: a mistyped word beside them should not
    // cost the pictures that were asked for, only the status.
    const bool usageError = reportShotWords(commandLine, env.err);
    if (env.output && rows.size() > 1) {
        env.err << "lumek: --output names one picture, but " << rows.size()
                << " rows were asked for\n";
        return 1;
    }
    const int width = env.size ? env.size->width : kShotWidth;
    const int height = env.size ? env.size->height : kShotHeight;
    auto rawName = [&env](int row) {
        return env.output ? rawNameForOutput(*env.output) : std::string(shotRow(row).fileName);
    };

    auto stopping = [&env] { return env.stopRequested && env.stopRequested(); };
    bool stopped = false;
    // Kept without allocating: memory is short when it is set.
    char memoryShort[96] = "";
    bool allWritten = true;
    try {
        buildSceneLibrary(env.library);
        // Every usable processor works on each picture.
        AnySizeRenderer picture(env.slots, width, height, 1.0f, env.random, env.threads);
        PictureWriter writer(env, alsoPng ? env.threads : 1);
        try {
            while (!rows.empty()) {
                if (stopping()) {
                    stopped = true;
                    break;
                }
                const int row = rows.front();
                poseShot(row, env.library);
                picture.render(env.library[shotRow(row).list], shotView(row));
                FrameImage& image = picture.frame();
                PictureJob job{rawName(row), writer.spare(image.byteCount()), alsoPng, width,
                               height};
                std::swap(job.rgba, image.pixels);
                writer.add(std::move(job));
                rows.erase(rows.begin());
            }
        } catch (const std::bad_alloc& e) {
            std::snprintf(memoryShort, sizeof memoryShort, "%s", memoryText(e));
        }
        // Every file is complete before anything else is said or released.
        allWritten = writer.finish();
    } catch (const std::bad_alloc& e) {
        std::snprintf(memoryShort, sizeof memoryShort, "%s", memoryText(e));
    }

    if (memoryShort[0] != '\0')
        env.err << "lumek: " << memoryShort
                << (rows.empty() ? "" : "; not written: " + unwrittenNames(rows, alsoPng, env)) << "\n";
    else if (stopped)
        env.err << "lumek: stopped before every picture was written; not written: "
                << unwrittenNames(rows, alsoPng, env) << "\n";

    deleteSceneShapes(env.library);
    env.slots.release();
    if (memoryShort[0] != '\0') return 1;
    if (stopped) return kStoppedStatus;
    return allWritten && !usageError ? 0 : 1;
}

std::string pictureBaseName(const std::string& sceneFile, const std::optional<std::string>& output) {
    std::string base = output ? *output : sceneFile;
    if (!output) {
        // The scene's own name, in the current folder.
        const size_t slash = base.find_last_of("/\\");
        if (slash != std::string::npos) base = base.substr(slash + 1);
    }
    const size_t n = base.size();
    for (const char* ending : {".png", ".raw", ".json"}) {
        const size_t e = std::strlen(ending);
        if (n > e && base.compare(n - e, e, ending) == 0) return base.substr(0, n - e);
    }
    return base;
}

int ScenePictureRun(const SceneDocument& scene, const std::string& baseName, double seconds,
                    bool raw, bool png, ShotEnvironment& env) {
    const int width = env.size ? env.size->width : scene.pictureWidth();
    const int height = env.size ? env.size->height : scene.pictureHeight();
    char memoryShort[96] = "";
    bool allWritten = true;
    try {
        std::string rgb;
        {
            AnySizeRenderer picture(env.slots, width, height, 1.0f, env.random, env.threads);
            PosedScene posed;
            renderScenePicture(scene, seconds, sceneFrameAt(scene, seconds), picture, env.random,
                               posed);
            const size_t count = static_cast<size_t>(width) * height;
            rgb.assign(count * 3, '\0');
            rgbFromRgba(picture.pixels(), count, rgb.data());
            env.slots.release();  // the frame's memory, before the PNG is made
        }
        // A stop asked for while the picture was made: nothing is written.
        if (env.stopRequested && env.stopRequested()) {
            env.slots.release();
            env.err << "lumek: stopped; not written: " << (raw ? baseName + ".raw" : "")
                    << (raw && png ? ", " : "") << (png ? baseName + ".png" : "") << "\n"
                    << std::flush;
            return kStoppedStatus;
        }
        auto write = [&](const std::string& name, const std::string& bytes) {
            std::string error;
            if (os::replaceFile(name, bytes, error)) {
                env.out << name << "  " << bytes.size() << " bytes\n" << std::flush;
            } else {
                env.err << "lumek: cannot write " << name << ": " << error << "\n" << std::flush;
                allWritten = false;
            }
        };
        if (raw) write(baseName + ".raw", rgb);
        if (png) write(baseName + ".png", encodePngRgb(reinterpret_cast<const uint8_t*>(rgb.data()),
                                                     width, height));
    } catch (const std::bad_alloc& e) {
        std::snprintf(memoryShort, sizeof memoryShort, "%s", memoryText(e));
    }
    env.slots.release();
    if (memoryShort[0] != '\0') {
        env.err << "lumek: " << memoryShort << "; the picture of " << width << " x " << height
                << " was not written\n";
        return 1;
    }
    return allWritten ? 0 : 1;
}

}  // namespace lumek
