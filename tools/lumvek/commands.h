#pragma once
// The subcommands of `lumvek`. Each takes the words after its name, prints
// its own --help, and returns the exit code; errors are thrown as Failure.
#include <string>
#include <vector>

namespace lumvek::tool {

using Args = std::vector<std::string>;

int runList(const Args& args);
int runInfo(const Args& args);
int runSnap(const Args& args);
int runRecord(const Args& args);
int runStream(const Args& args);
int runGet(const Args& args);
int runSet(const Args& args);
int runMask(const Args& args);
int runRegs(const Args& args);
int runReg(const Args& args);
int runDoctor(const Args& args);
int runView(const Args& args);
int runDialog(const Args& args);

} // namespace lumvek::tool
