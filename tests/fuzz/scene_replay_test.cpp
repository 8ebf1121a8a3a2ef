#include <gtest/gtest.h>

#include "fuzz/scene_reader.h"
#include "support/files.h"

namespace lumek {
namespace {

bool holds(const std::string& text, std::string& why) {
    return fuzz::sceneReaderHolds(reinterpret_cast<const uint8_t*>(text.data()), text.size(), why);
}

// The fuzzer's promises on the example scenes, on every one of their
// beginnings (each cut short somewhere) and with each byte changed in turn
// to a few that matter to JSON.
TEST(SceneReaderReplay, ExamplesAndTheirBrokenCopiesKeepThePromises) {
    for (const char* name : {"lanterns.json", "crystal.json", "orbit.json"}) {
        const std::string text = test::readFile(LUMEK_EXAMPLES_DIR "/" + std::string(name));
        ASSERT_FALSE(text.empty()) << name;
        std::string why;
        EXPECT_TRUE(holds(text, why)) << name << ": " << why;
        size_t broken = 0;
        for (size_t cut = 0; cut < text.size(); ++cut) broken += !holds(text.substr(0, cut), why);
        for (size_t at = 0; at < text.size(); ++at)
            for (const char c : {'"', '9'}) {
                std::string changed = text;
                changed[at] = c;
                broken += !holds(changed, why);
            }
        EXPECT_EQ(broken, 0u) << name << ": " << why;
    }
}

}  // namespace
}  // namespace lumek
