// The commands about scene files that render nothing: writing the built-in
// scenes as files, and checking a file.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "shots/scene_files.h"

namespace lumek {

// Writes them into `dir` (made when missing), one line on `out` per file
// written, one on `err` per file that could not be; 0, or 1 when one could
// not be written.
int saveBuiltInScenes(const std::string& dir, std::ostream& out, std::ostream& err,
                      int threads = 1);

// Reads `file` and reports what it holds and what may be a mistake; writes
// nothing. 0, or 1 (with the reason on `err`) when the file is refused.
int checkSceneFile(const std::string& file, std::ostream& out, std::ostream& err);

// Runs --save-scenes DIR or --scene FILE --check when the command line asks
// for one (nothing else runs then) and returns its status; nothing when it
// asks for neither.
std::optional<int> runSceneCommands(const CommandLine& line, int processors);

}  // namespace lumek
