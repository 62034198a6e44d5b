#pragma once
// A progress bar redrawn in place on a terminal (standard error); nothing
// at all when standard error is not a terminal.
#include <string>

namespace lumvek::tool {

class ProgressLine {
public:
    ProgressLine();
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // fraction 0..1; text follows the bar.
    void update(double fraction, const std::string& text);
    // Ends the line so that what follows starts on a fresh one.
    void finish();

private:
    bool terminal_;
    bool drawn_ = false;
};

} // namespace lumvek::tool
