#include "imaging/pipeline/kernel_path.h"

#include <cstdlib>
#include <cstring>

namespace lumvek {

KernelPath kernelPathFromEnvironment() {
    const char* value = std::getenv("LUMVEK_FORCE_SCALAR");
    if (value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0) {
        return KernelPath::Reference;
    }
    return KernelPath::Optimised;
}

const CpuFeatures& cpuFeatures() {
    static const CpuFeatures features = [] {
        CpuFeatures f;
#if defined(__x86_64__) || defined(__i386__)
        __builtin_cpu_init();
        f.avx2 = __builtin_cpu_supports("avx2");
        f.avx512bw = __builtin_cpu_supports("avx512bw");
#endif
        const char* baseline = std::getenv("LUMVEK_CPU_BASELINE");
        if (baseline != nullptr && baseline[0] != '\0' && std::strcmp(baseline, "0") != 0) {
            f = CpuFeatures{};
        }
        return f;
    }();
    return features;
}

} // namespace lumvek
