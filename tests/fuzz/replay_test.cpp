// The fuzzer's seed corpus and every input that once made two renderers
// disagree, replayed in every build that runs the unit tests.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "fuzz/differential.h"
#include "support/files.h"

namespace lumek {
namespace {

TEST(FuzzCases, EveryRendererAgreesOnTheSeedsAndTheRegressions) {
    int cases = 0;
    for (const char* folder : {"corpus", "regressions"}) {
        const std::filesystem::path dir = std::filesystem::path(LUMEK_FUZZ_DIR) / folder;
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            if (!entry.is_regular_file() || entry.path().filename().string()[0] == '.') continue;
            const std::string bytes = test::readFile(entry.path().string());
            std::string why;
            EXPECT_TRUE(fuzz::renderersAgree(reinterpret_cast<const uint8_t*>(bytes.data()),
                                             bytes.size(), why))
                << entry.path() << ": " << why;
            ++cases;
        }
    }
    EXPECT_GE(cases, 5);
}

}  // namespace
}  // namespace lumek
