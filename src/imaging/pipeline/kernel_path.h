#pragma once
// Which body a kernel runs: the plain scalar reference or the optimised one
// (wider vectors where the processor has them, row bands over the workers).
// Both give bit-identical results; the choice is made once per pipeline.

namespace lumvek {

enum class KernelPath { Reference, Optimised };

// LUMVEK_FORCE_SCALAR=1 (any value but empty or "0") forces the reference.
[[nodiscard]] KernelPath kernelPathFromEnvironment();

// Processor features checked once at run time. LUMVEK_CPU_BASELINE=1
// hides the wider vectors, so that the baseline optimised bodies can be
// tested on any machine; LUMVEK_CPU_BASELINE=avx2 hides only AVX-512, so
// that the AVX2 bodies are tested on machines that have both;
// LUMVEK_CPU_BASELINE=sse4.1 hides AVX2 and AVX-512, for the 128-bit
// bodies that machines without AVX2 run.
struct CpuFeatures {
    bool sse41 = false;  // with SSSE3's byte shuffles
    bool avx2 = false;
    bool avx512bw = false;
    bool avx512vbmi = false;  // byte permutes across a whole register (with avx512bw)
};
[[nodiscard]] const CpuFeatures& cpuFeatures();

} // namespace lumvek
