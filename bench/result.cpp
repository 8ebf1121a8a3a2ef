#include "bench/result.h"

#include <ctime>

namespace lumek {

std::string compilerName() {
#if defined(__clang__)
    return "Clang " + std::to_string(__clang_major__) + "." + std::to_string(__clang_minor__) +
           "." + std::to_string(__clang_patchlevel__);
#elif defined(__GNUC__)
    return "GCC " + std::to_string(__GNUC__) + "." + std::to_string(__GNUC_MINOR__) + "." +
           std::to_string(__GNUC_PATCHLEVEL__);
#else
    return "unknown";
#endif
}

std::string targetName() {
#if defined(_WIN32)
    std::string system = "windows";
#elif defined(__linux__)
    std::string system = "linux";
#elif defined(__APPLE__)
    std::string system = "macos";
#else
    std::string system = "unknown";
#endif
#if defined(__x86_64__)
    return system + "-x86_64";
#elif defined(__aarch64__)
    return system + "-aarch64";
#elif defined(__i386__)
    return system + "-x86";
#else
    return system + "-unknown";
#endif
}

std::string utcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
#ifdef _WIN32
    gmtime_s(&parts, &now);
#else
    gmtime_r(&now, &parts);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

}  // namespace lumek
