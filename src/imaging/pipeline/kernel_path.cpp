#include "imaging/pipeline/kernel_path.h"

#include <cstdlib>
#include <cstring>

namespace lumvek {

namespace {

// Set to anything but empty or "0".
bool environmentFlag(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0;
}

} // namespace

KernelPath kernelPathFromEnvironment() {
    if (environmentFlag("LUMVEK_FORCE_SCALAR")) {
        return KernelPath::Reference;
    }
    return KernelPath::Optimised;
}

const CpuFeatures& cpuFeatures() {
    static const CpuFeatures features = [] {
        CpuFeatures f;
#if defined(__x86_64__) || defined(__i386__)
        __builtin_cpu_init();
        f.sse41 = __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("sse4.1");
        f.avx2 = __builtin_cpu_supports("avx2");
        f.avx512bw = __builtin_cpu_supports("avx512bw");
        f.avx512vbmi = f.avx512bw && __builtin_cpu_supports("avx512vbmi");
#endif
        const char* baseline = std::getenv("LUMVEK_CPU_BASELINE");
        if (baseline != nullptr && std::strcmp(baseline, "avx2") == 0) {
            f.avx512bw = false;
            f.avx512vbmi = false;
        } else if (baseline != nullptr && std::strcmp(baseline, "sse4.1") == 0) {
            f = CpuFeatures{.sse41 = f.sse41};
        } else if (environmentFlag("LUMVEK_CPU_BASELINE")) {
            f = CpuFeatures{};
        }
        return f;
    }();
    return features;
}

} // namespace lumvek
