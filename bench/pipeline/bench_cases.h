#pragma once
// The timed cases of lumvek-bench: each is a named callable run on frames
// made once at full sensor size.
#include <functional>
#include <string>
#include <vector>

#include "imaging/pipeline/kernel_path.h"

namespace lumvek::bench {

inline constexpr int kWidth = 2336;
inline constexpr int kHeight = 1752;

struct Case {
    std::string name;
    std::function<void()> run;
};

// Our kernels on the given path and number of threads.
std::vector<Case> pipelineCases(KernelPath path, int threads);
// The whole chain, colour mode 24 or 48, every tone control on.
Case chainCase(int colourMode, KernelPath path, int threads);
// The whole chain of a 24-bit frame with default settings (interpolation only).
Case defaultChainCase(KernelPath path, int threads);
Case interpolationCase(int rawBits, int outputBits, KernelPath path, int threads);
// OpenCV and plain-memory peers (memcpy always; OpenCV when built with it).
std::vector<Case> peerCases(int threads);

} // namespace lumvek::bench
