// The settings store as a user meets it through the tool: a store that
// cannot be written fails `set` with the reason and keeps the old value,
// doctor tries a write, and values the SDK would refuse are named by doctor
// and read back by `get` as the SDK uses them.
#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <string>

#include "settings/registry_key.h"
#include "settings/settings_store.h"
#include "support/scratch_mount.h"
#include "support/test_env.h"
#include "file_checks.h"
#include "tool_process.h"

namespace lumvek::test {
namespace {

constexpr const char* kCannotBeWritten = " cannot be written: ";

// `set exposure 77` on a store that cannot take it: exit 1, the reason,
// no success line.
void expectSetRefused(const ToolEnv& env, const std::string& store, const std::string& why) {
    const ProcessResult set = lumvek({"--simulate", "set", "exposure", "77"}, env);
    EXPECT_EQ(set.exitCode, 1) << why << ": " << set.out << set.err;
    EXPECT_NE(set.err.find("settings store " + store + kCannotBeWritten), std::string::npos) << why << ": " << set.err;
    EXPECT_EQ(set.out.find("exposure = 77"), std::string::npos) << why << ": " << set.out;
    EXPECT_EQ(set.errLines(), 1) << set.err;
    const ProcessResult doctor = lumvek({"doctor"}, env);
    EXPECT_EQ(doctor.exitCode, 1);
    EXPECT_NE(doctor.out.find("problem  settings store"), std::string::npos) << why << ": " << doctor.out;
}

TEST(ToolSettingsStore, AStoreThatIsNoStoreFailsTheSetWithTheReason) {
    ToolEnv env("store-kinds");
    const auto folder = env.dir() / "folder.sqlite3";
    std::filesystem::create_directories(folder);
    const auto corrupt = env.dir() / "corrupt.sqlite3";
    {
        std::ofstream out(corrupt, std::ios::binary);
        for (int i = 0; i < 6000; ++i) out.put(static_cast<char>(i * 29 + 3));
    }
    const struct {
        std::string path;
        const char* reason;
    } stores[] = {
        {folder.string(), "it is a folder"},
        {"/dev/null", "not a regular file"},
        {corrupt.string(), "not a Lumvek settings store"},
    };
    for (const auto& store : stores) {
        env.set("LUMVEK_REGISTRY_FILE", store.path);
        expectSetRefused(env, store.path, store.reason);
        const ProcessResult set = lumvek({"--simulate", "set", "gamma", "150"}, env);
        EXPECT_NE(set.err.find(store.reason), std::string::npos) << set.err;
    }
    EXPECT_EQ(std::filesystem::file_size(corrupt), 6000u) << "the corrupt file was left as it was";
}

TEST(ToolSettingsStore, SimulatedRunsCheckTheStoreTheyUse) {
    // Without LUMVEK_REGISTRY_FILE a --simulate run keeps its own store
    // beside the default one: that is the store set checks and names.
    ToolEnv env("store-simulated");
    env.unset("LUMVEK_REGISTRY_FILE");
    const auto folder = env.dir() / "home" / ".config" / "lumvek";
    std::filesystem::create_directories(folder / "simulated-registry.sqlite3");
    std::filesystem::create_directories(folder / "registry.sqlite3");  // the real cameras' store, unused here
    const std::string simulated = (folder / "simulated-registry.sqlite3").string();
    const ProcessResult set = lumvek({"--simulate", "set", "exposure", "77"}, env);
    EXPECT_EQ(set.exitCode, 1);
    EXPECT_NE(set.err.find("settings store " + simulated + kCannotBeWritten + "it is a folder"), std::string::npos)
        << set.err;
    std::filesystem::remove(folder / "simulated-registry.sqlite3");
    const ProcessResult again = lumvek({"--simulate", "set", "exposure", "77"}, env);
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.out, "exposure = 77\n");
}

TEST(ToolSettingsStore, AReadOnlyStoreKeepsItsValueAndSaysSo) {
    ToolEnv env("store-readonly");
    ScratchMount mount(env.dir() / "ro", 1024 * 1024);
    const std::string store = (mount.ok() ? mount.dir() : env.dir()) / "registry.sqlite3";
    env.set("LUMVEK_REGISTRY_FILE", store);
    ASSERT_EQ(lumvek({"--simulate", "set", "exposure", "50"}, env).exitCode, 0);
    if (mount.ok()) {
        ASSERT_TRUE(mount.makeReadOnly());
    } else if (geteuid() != 0) {
        std::filesystem::permissions(store, std::filesystem::perms::owner_read);
    } else {
        GTEST_SKIP() << "root may write any file: a read-only store needs a read-only mount";
    }
    expectSetRefused(env, store, "read-only");
    const ProcessResult set = lumvek({"--simulate", "set", "exposure", "77"}, env);
    EXPECT_NE(set.err.find("read-only"), std::string::npos) << set.err;
    const ProcessResult get = lumvek({"--simulate", "get", "exposure"}, env);
    ASSERT_EQ(get.exitCode, 0) << get.err;
    EXPECT_EQ(get.out, "50\n");
}

TEST(ToolSettingsStore, AFullDiskFailsTheSetWithTheReason) {
    ToolEnv env("store-full");
    ScratchMount mount(env.dir() / "full", 256 * 1024);
    if (!mount.ok()) GTEST_SKIP() << "a full disk is made with a small tmpfs, which needs root";
    const std::string store = mount.dir() / "registry.sqlite3";
    env.set("LUMVEK_REGISTRY_FILE", store);
    ASSERT_EQ(lumvek({"--simulate", "set", "exposure", "50"}, env).exitCode, 0);
    fillUp(mount.dir() / "filler");
    expectSetRefused(env, store, "disk full");
    const ProcessResult set = lumvek({"--simulate", "set", "exposure", "77"}, env);
    EXPECT_NE(set.err.find("the disk is full"), std::string::npos) << set.err;
    EXPECT_EQ(lumvek({"--simulate", "get", "exposure"}, env).out, "50\n");
}

TEST(ToolSettingsStore, HostileStoredValuesAreNamedByDoctorAndReadAsTheSdkUsesThem) {
    ToolEnv env("store-hostile");
    ASSERT_EQ(lumvek({"--simulate", "set", "gamma", "150"}, env).exitCode, 0);
    const ProcessResult healthy = lumvek({"doctor"}, env);
    EXPECT_NE(healthy.out.find("ok       settings store  " + env.registryFile().string() + " opens and can be written"),
              std::string::npos)
        << healthy.out;
    {
        ScopedEnv file("LUMVEK_REGISTRY_FILE", env.registryFile().string());
        const auto put = [](const std::string& key, const char* name, uint32_t value) {
            RegistryKey handle;
            ASSERT_TRUE(RegistryKey::openWrite(std::string(kSettingsRoot) + "\\" + key, handle));
            ASSERT_TRUE(handle.writeDword(name, value));
        };
        put("Camera_00\\Filter", "Gamma", 0x7FFFFFFF);
        put("Camera_00\\Filter", "BayerMode", 7);
        put("Camera_00\\Gray", "GainG1", static_cast<uint32_t>(INT_MIN));
        put("Camera_00\\Size_00", "EV", 0);
        put("Camera_00", "WaitTime", 0x7FFFFFFF);
    }
    const ProcessResult doctor = lumvek({"doctor"}, env);
    EXPECT_EQ(doctor.exitCode, 1);
    for (const char* named : {"Camera_00\\Filter\\Gamma = 2147483647 is outside 0..200: the SDK uses 100",
                              "Camera_00\\Filter\\BayerMode = 7 is outside 0..3", "Camera_00\\Gray\\GainG1 = -2147483648",
                              "Camera_00\\Size_00\\EV = 0 is outside 1..1752",
                              "Camera_00\\WaitTime = 2147483647 is outside 0..60000"}) {
        EXPECT_NE(doctor.out.find(std::string("problem  stored value    ") + named), std::string::npos)
            << named << "\n" << doctor.out;
    }

    const ProcessResult gamma = lumvek({"--simulate", "get", "gamma"}, env);
    ASSERT_EQ(gamma.exitCode, 0) << gamma.err;
    EXPECT_EQ(gamma.out, "100\n");
    const ProcessResult info = lumvek({"--simulate", "info", "--json"}, env);
    EXPECT_EQ(jsonField(info.out, "waitTimeMs"), "1") << info.out;
    const std::string picture = (env.dir() / "s.bmp").string();
    const ProcessResult snap = lumvek({"--simulate", "snap", "-o", picture, "--mode", "8"}, env);
    EXPECT_EQ(snap.exitCode, 0) << snap.err;
}

} // namespace
} // namespace lumvek::test
