// The eight screenshot pictures as pinned when they were first looked at:
// SHA-256 of each raw file. Every build on every platform must give these.
#pragma once

#include <cstdint>
#include <string>
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

// The PNG files "-png" writes beside them, the same bytes from every build.
inline constexpr std::pair<const char*, const char*> kGoldenPngs[] = {
    {"Lumeklogo", "8661b46ad85b5af32f63a47f1fa7d4fbf8c3dde052de983587f101cbf37ec080"},
    {"ColorCircles", "d7ab3d59689bc25c71ddb3a905bb37e5e806abedbb5f720b34f65921786ca6b0"},
    {"Boxes", "073098297ce9d14f419f323ce532b82fc2d1a9745d95d24c381a4ea5e12bf10b"},
    {"Spotlight", "2ccc92ae95221f56e28b01961513ef8a114deb7f2eca2e0de5d441c1441dbdd5"},
    {"Shadow1", "d740a668bba026b908a4f0aa098f5d1f2c356290307ef9bf4e513bf689e481cc"},
    {"Shadow2", "5b47c77cf7e4904121a04f988b3bbf8b80242e2b8ee9226eed4659f23a74da56"},
    {"Shadow3", "aeb502089f2c48a06c081e7cc3cadf7de59959f5f04f5bb28dd1c79b89476059"},
    {"XMas", "f0e70187041d99b4622f99b9abc19fbf5974ba609771c50556236012111077c3"},
};

inline std::string goldenPngHash(const std::string& name) {
    for (const auto& [n, hash] : kGoldenPngs)
        if (name == n) return hash;
    return {};
}

struct ExampleFrame {
    const char* file;
    int64_t frame;
    const char* sha256;  // of the raw RGB picture, as pinned when looked at
};

// The example scenes' frames (examples/) at the file's size: the same bytes
// from every build.
inline constexpr ExampleFrame kExampleFrames[] = {
    {"lanterns.json", 0, "dbccb44c44d2248be7279fc6dda134662b9c1b7f6be322836eba971c207f6a81"},
    {"crystal.json", 0, "82b1d35214f7b184e103f24ace8135880fbba81e601ba372db1d8131b8a36559"},
    {"orbit.json", 0, "9e25593909260b52b25274aa4f6a9ce1a09504ca372ebe1010f07854c0a00589"},
    {"orbit.json", 45, "156696d7f75ab661f79e332f1d984ccc9b11add2895ef1aaeea11aee4f5e6f59"},
    {"orbit.json", 179, "be05782839fb2d31a183fc35db4ee0611f5ae53fcbccf4b0f5045d8ad5551941"},
};

}  // namespace lumek::test
