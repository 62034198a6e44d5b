#include "support/test_env.h"

#include <atomic>
#include <cstdlib>
#include <random>
#include <unistd.h>

#ifdef _WIN32
#include <windows.h>
#endif

namespace lumvek::test {

namespace {
std::filesystem::path createProcessDir() {
    auto base = std::filesystem::temp_directory_path();
#ifdef _WIN32
    // No mkdtemp: a random name, made with create_directory (false when taken).
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto dir = base / ("lumvek-test-" + std::to_string(entropy()));
        std::error_code error;
        if (std::filesystem::create_directory(dir, error)) {
            return dir;
        }
    }
    std::abort();
#else
    std::string pattern = (base / "lumvek-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    return pattern;
#endif
}
} // namespace

bool runningUnderWine() {
#ifdef _WIN32
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

const std::filesystem::path& processTempDir() {
    static const std::filesystem::path dir = createProcessDir();
    return dir;
}

std::filesystem::path makeTempDir(const std::string& stem) {
    static std::atomic<int> counter{0};
    auto dir = processTempDir() / (stem + "-" + std::to_string(counter++));
    std::filesystem::create_directories(dir);
    return dir;
}

ScopedEnv::ScopedEnv(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) {
        previous_ = old;
    }
    if (value) {
        setenv(name_.c_str(), value->c_str(), 1);
    } else {
        unsetenv(name_.c_str());
    }
}

ScopedEnv::~ScopedEnv() {
    if (previous_) {
        setenv(name_.c_str(), previous_->c_str(), 1);
    } else {
        unsetenv(name_.c_str());
    }
}

} // namespace lumvek::test
