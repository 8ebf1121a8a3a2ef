// The ten built-in scenes as scene files, the same text wherever they are
// made (the program's --save-scenes, the web page's editor).
#pragma once

#include <string>
#include <vector>

namespace lumek {

struct NamedText {
    std::string name;  // "Lumeklogo.json"
    std::string text;
};

// The eight of the screenshots posed and viewed as their pictures, each
// with the generator's state where its picture starts in the run of all
// eight as its seed; FarLights and WhiteDisc as the show shows them (at
// 5:04 and 5:06). Each, at its size with its seed, renders exactly that
// picture.
std::vector<NamedText> builtInSceneFiles(int threads = 1);

}  // namespace lumek
