// The fast pixel pass's instruction sets, in one list: the dispatch, the
// tests and the benchmarks all iterate it. The portable shader is always
// there; the x86 ones only in x86 builds.
#pragma once

#include <string>
#include <vector>

#include "render/fast_kernel.h"

namespace lumek::fast {

struct RowShaderTarget {
    const char* name;  // "portable", "sse2", "avx2", "avx2x2", "avx512", "avx512x2"
    RowShader shade;
    bool (*supported)();  // whether this processor runs it
};

// Every row shader of this build, the portable one first, then narrowest to
// widest.
const std::vector<RowShaderTarget>& rowShaderTargets();

// Those this processor runs, in the same order.
std::vector<RowShaderTarget> supportedRowShaders();

// The widest shader this processor runs.
RowShader bestRowShader();

// The named shader if this build has it and this processor runs it.
const RowShaderTarget* findRowShader(const std::string& name);

}  // namespace lumek::fast
