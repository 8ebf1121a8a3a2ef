#include "shots/shots.h"

#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "shots/files.h"
#include "shots/png.h"

namespace lumek {

namespace {

std::string pngNameFor(const std::string& rawName) {
    return rawName.substr(0, rawName.size() - 4) + ".png";
}

// One picture's files, written while the next picture renders.
struct PictureJob {
    std::string rawName;
    std::string rgb;  // the raw file's bytes
    bool png = false;
    int width = 0, height = 0;
};

// What writing one file gave: its report line, on stdout or stderr.
struct FileResult {
    std::string line;
    bool written = false;
};

std::vector<FileResult> writePicture(const PictureJob& job) {
    std::vector<FileResult> results;
    auto write = [&results](const std::string& name, const std::string& bytes, std::string error) {
        const bool ok = !bytes.empty() && replaceFile(name, bytes, error);
        results.push_back({ok ? name + "  " + std::to_string(bytes.size()) + " bytes\n"
                              : "lumek: cannot write " + name + ": " + error + "\n",
                           ok});
    };
    write(job.rawName, job.rgb, "");
    if (job.png) {
        const std::string png =
            encodePngRgb(reinterpret_cast<const uint8_t*>(job.rgb.data()), job.width, job.height);
        write(pngNameFor(job.rawName), png, "the picture could not be encoded");
    }
    return results;
}

// Writes the pictures it is given on threads of its own, while the caller
// renders the next ones; reports every file in the order of the pictures,
// as a one-thread run would.
class PictureWriter {
  public:
    PictureWriter(ShotEnvironment& env, int threads) : env_(env) {
        for (int i = 0; i < threads; ++i) {
            try {
                threads_.emplace_back([this] { work(); });
            } catch (const std::system_error&) {
                break;  // the caller writes what no thread takes
            }
        }
    }

    void add(PictureJob job) {
        if (threads_.empty()) {
            report(writePicture(job));
            return;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(std::move(job));
        results_.emplace_back();
        wake_.notify_one();
    }

    // Waits for every file; true when all were written.
    bool finish() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closing_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : threads_) t.join();
        threads_.clear();
        return allWritten_;
    }

    ~PictureWriter() { finish(); }

  private:
    void work() {
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
            std::vector<FileResult> results = writePicture(*job);
            std::lock_guard<std::mutex> lock(mutex_);
            job->rgb = std::string();  // written: its memory can go
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
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<PictureJob> jobs_;
    std::deque<std::vector<FileResult>> results_;
    size_t taken_ = 0, reported_ = 0;
    bool closing_ = false;
    bool allWritten_ = true;
};

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
    bool stopped = false;
    int requested = 0;
    PictureWriter writer(env, alsoPng ? env.threads : 1);
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
        writer.add(
            {shot.fileName, rawImageBytes(image), alsoPng, image.getWidth(), image.getHeight()});
    }
    // Every file is complete before anything else is said or released.
    const bool allWritten = writer.finish();

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
