#pragma once
// Runs this test program again under `lumvek-camsim usb-run`, so that the
// named inner tests meet the cameras as USB devices, and small helpers the
// inner tests share (the usb-run control folder, running a program).
#include <string>
#include <vector>

namespace lumvek::test {

// True inside usb-run (umockdev's testbed is set).
[[nodiscard]] bool underUsbRun();

// Runs the inner tests matching `filter` under usb-run with `cameras`
// (camera descriptions) and --dir `controlDir`; returns the exit status.
int runUnderUsbRun(const std::vector<std::string>& cameras, const std::string& filter, const std::string& controlDir);

// The --dir folder of the usb-run this inner test runs under.
[[nodiscard]] std::string usbRunControlDir();

// Runs a program to its end with this process's environment; its exit status
// (-1 when it could not run or was killed).
int runProgram(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment = {});

// This test program's own path.
[[nodiscard]] std::string selfPath();

} // namespace lumvek::test
