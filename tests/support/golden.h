// The eight screenshot pictures as pinned when they were first looked at:
// SHA-256 of each raw file. Every build on every platform must give these.
#pragma once

#include <utility>

namespace lumek::test {

inline constexpr std::pair<const char*, const char*> kGoldenShots[] = {
    {"Lumeklogo", "09c08ab9be6517663a205a7bc9cb9dbdd5ed611b15f397a34e36cb993f642268"},
    {"ColorCircles", "29bd0f4d5049da2d84378fa7e2e8c3bd7032eebe0b344bea0dd82f033cdc3e3e"},
    {"Boxes", "3a690376241e792f384fccb1faba0ad7a7cef6f21aca84970a7c5b72c7563129"},
    {"Spotlight", "3371c28e4e291d2e42d89de9f0ac6800a2c94449978f2960f46c7bd053094081"},
    {"Shadow1", "b5c2198cfc2f186be3e0603711f2ac2eb39396286a51a6ece033d2ff252fcfa5"},
    {"Shadow2", "7e449d630ae8efeadb080b82ebb75b34d995a98012cdd5a13ed0ddd559f34ed3"},
    {"Shadow3", "87ad10cd1a2541a3804151e9e593698c3d3268e94c461d89d405fff61f0e2a8a"},
    {"XMas", "0d9ded3ee5392ac3790382135cedf1b7c4d35eb32734904bdbe8a792a4984188"},
};

}  // namespace lumek::test
