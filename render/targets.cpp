#include "render/targets.h"

namespace lumek::fast {

namespace {

bool always() { return true; }

#if defined(__x86_64__) || defined(__i386__)
bool hasAvx2() { return __builtin_cpu_supports("avx2"); }
bool hasAvx512() {
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
           __builtin_cpu_supports("avx512vl");
}
#endif

}  // namespace

const std::vector<RowShaderTarget>& rowShaderTargets() {
    static const std::vector<RowShaderTarget> targets = {
        {"portable", shadeRowPortable, always},
#if defined(__x86_64__) || defined(__i386__)
        {"sse2", shadeRowSse2, always},
        {"avx2", shadeRowAvx2, hasAvx2},
        {"avx2x2", shadeRowAvx2x2, hasAvx2},
        {"avx512", shadeRowAvx512, hasAvx512},
        {"avx512x2", shadeRowAvx512x2, hasAvx512},
#endif
    };
    return targets;
}

std::vector<RowShaderTarget> supportedRowShaders() {
    std::vector<RowShaderTarget> out;
    for (const RowShaderTarget& t : rowShaderTargets())
        if (t.supported()) out.push_back(t);
    return out;
}

RowShader bestRowShader() {
    RowShader best = shadeRowPortable;
    for (const RowShaderTarget& t : rowShaderTargets())
        if (t.supported()) best = t.shade;
    return best;
}

const RowShaderTarget* findRowShader(const std::string& name) {
    for (const RowShaderTarget& t : rowShaderTargets())
        if (name == t.name && t.supported()) return &t;
    return nullptr;
}

}  // namespace lumek::fast
