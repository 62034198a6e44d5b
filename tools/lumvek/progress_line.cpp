#include "progress_line.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace lumvek::tool {

namespace {
constexpr int kBarWidth = 30;
}

ProgressLine::ProgressLine() : terminal_(isatty(STDERR_FILENO) == 1) {}

ProgressLine::~ProgressLine() {
    finish();
}

void ProgressLine::update(double fraction, const std::string& text) {
    if (!terminal_) return;
    const int filled = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * kBarWidth + 0.5);
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kBarWidth - filled), '-');
    // \033[K clears what a longer earlier line left behind.
    std::fprintf(stderr, "\r[%s] %s\033[K", bar.c_str(), text.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressLine::finish() {
    if (drawn_) {
        std::fputc('\n', stderr);
        drawn_ = false;
    }
}

} // namespace lumvek::tool
