#pragma once
// Test isolation helpers: a private temporary folder per test process and
// scoped environment variables.
#include <filesystem>
#include <optional>
#include <string>

namespace lumvek::test {

// The folder this test process owns; removed at exit. The test main points
// LUMVEK_REGISTRY_FILE, LUMVEK_SHM_NAME and LUMVEK_DEVICE_DIR into it.
const std::filesystem::path& processTempDir();

// A fresh, empty folder below processTempDir().
std::filesystem::path makeTempDir(const std::string& stem);

// True when this Windows build runs under Wine (whose ntdll exports
// wine_get_version), false elsewhere. Wine keeps every wait and wake-up in
// one server process: on a busy machine a thread can be late by a frame
// period, which a real-time expectation must allow for there.
[[nodiscard]] bool runningUnderWine();

// Sets (or, with nullopt, unsets) an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(std::string name, std::optional<std::string> value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

} // namespace lumvek::test
