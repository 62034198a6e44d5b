// The shared library exports exactly the SDK's names and nothing else.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <set>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

#ifdef _WIN32
// The names in the export directory of the DLL as the loader maps it (the
// export table of the PE image; every name, data or function).
std::set<std::string> definedDynamicSymbols(const std::string& library) {
    std::set<std::string> names;
    HMODULE module = LoadLibraryA(library.c_str());
    if (module == nullptr) {
        return names;
    }
    const auto* base = reinterpret_cast<const uint8_t*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (dos->e_magic == IMAGE_DOS_SIGNATURE && nt->Signature == IMAGE_NT_SIGNATURE && entry.Size != 0) {
        const auto* directory = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
        const auto* nameRvas = reinterpret_cast<const DWORD*>(base + directory->AddressOfNames);
        for (DWORD i = 0; i < directory->NumberOfNames; ++i) {
            names.insert(reinterpret_cast<const char*>(base + nameRvas[i]));
        }
    }
    FreeLibrary(module);
    return names;
}
#else
std::set<std::string> definedDynamicSymbols(const std::string& library) {
    std::set<std::string> names;
    const std::string command = "nm -D --defined-only '" + library + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) {
        return names;
    }
    char line[512];
    while (std::fgets(line, sizeof line, pipe.get()) != nullptr) {
        char address[64], type[8], name[400];
        if (std::sscanf(line, "%63s %7s %399s", address, type, name) == 3) {
            names.insert(name);
        }
    }
    return names;
}
#endif

const char* const kSdkNames[] = {
    "Lumvek_CallBackPreview", "Lumvek_Capture", "Lumvek_Close", "Lumvek_EnumDevice", "Lumvek_EnumDeviceW",
    "Lumvek_Fpga_ReadRegister", "Lumvek_Fpga_WriteRegister", "Lumvek_Fps", "Lumvek_GetAutoIris",
    "Lumvek_GetBayerGainAuto", "Lumvek_GetBayerGainBlue", "Lumvek_GetBayerGainGreen", "Lumvek_GetBayerGainRGB",
    "Lumvek_GetBayerGainRed", "Lumvek_GetBayerMode", "Lumvek_GetBrightness", "Lumvek_GetCameraInfo",
    "Lumvek_GetCaptureWindowEx", "Lumvek_GetChannelGain", "Lumvek_GetChannelOffset", "Lumvek_GetColorGainBlue",
    "Lumvek_GetColorGainGreen1", "Lumvek_GetColorGainGreen2", "Lumvek_GetColorGainRed", "Lumvek_GetColorMode",
    "Lumvek_GetConfigFilter", "Lumvek_GetContrast", "Lumvek_GetDeviceName", "Lumvek_GetDeviceNameW",
    "Lumvek_GetDllVersion", "Lumvek_GetDotFilter", "Lumvek_GetExposureTime", "Lumvek_GetExposureTimeEx",
    "Lumvek_GetFilterValue", "Lumvek_GetGamma", "Lumvek_GetGlobalGain", "Lumvek_GetGrayGainB",
    "Lumvek_GetGrayGainG1", "Lumvek_GetGrayGainG2", "Lumvek_GetGrayGainR", "Lumvek_GetGrayMode",
    "Lumvek_GetGrayOffsetB", "Lumvek_GetGrayOffsetG1", "Lumvek_GetGrayOffsetG2", "Lumvek_GetGrayOffsetR",
    "Lumvek_GetHalfClock", "Lumvek_GetHue", "Lumvek_GetIOPort", "Lumvek_GetImage", "Lumvek_GetInternalCorrection",
    "Lumvek_GetLastError", "Lumvek_GetMaskFilter", "Lumvek_GetMirrorH", "Lumvek_GetMirrorV", "Lumvek_GetPeltier",
    "Lumvek_GetRealExposureTime", "Lumvek_GetSamplingRate", "Lumvek_GetSaturation", "Lumvek_GetSharpness",
    "Lumvek_GetStatus", "Lumvek_GetSubSample", "Lumvek_GetTemperature", "Lumvek_GetTemperatureEx",
    "Lumvek_GetVideoFormat", "Lumvek_GetWaitTime", "Lumvek_Height", "Lumvek_Initialize", "Lumvek_LoadConfigFileA",
    "Lumvek_LoadConfigFileW", "Lumvek_LoadMaskFile", "Lumvek_LoadMaskFileW", "Lumvek_Preview",
    "Lumvek_ReadRegister", "Lumvek_ReadRegisterEx", "Lumvek_ReadSromID", "Lumvek_ReceiveText", "Lumvek_Record",
    "Lumvek_RecordW", "Lumvek_Release", "Lumvek_SaveImage", "Lumvek_SaveImageW", "Lumvek_SaveMaskFile",
    "Lumvek_SaveMaskFileW", "Lumvek_SendText", "Lumvek_SetAnalogDlg", "Lumvek_SetAutoIris",
    "Lumvek_SetBayerGainAuto", "Lumvek_SetBayerGainBlue", "Lumvek_SetBayerGainGreen", "Lumvek_SetBayerGainRGB",
    "Lumvek_SetBayerGainRed", "Lumvek_SetBayerMode", "Lumvek_SetBrightness", "Lumvek_SetCameraDlg",
    "Lumvek_SetCaptureWindow", "Lumvek_SetCaptureWindowEx", "Lumvek_SetChannelGain", "Lumvek_SetChannelOffset",
    "Lumvek_SetColorGainBlue", "Lumvek_SetColorGainGreen1", "Lumvek_SetColorGainGreen2", "Lumvek_SetColorGainRed",
    "Lumvek_SetColorMode", "Lumvek_SetConfigFilter", "Lumvek_SetContrast", "Lumvek_SetCrossbar",
    "Lumvek_SetDeviceNumber", "Lumvek_SetDotFilter", "Lumvek_SetExposureTime", "Lumvek_SetExposureTimeEx",
    "Lumvek_SetFilterValue", "Lumvek_SetGamma", "Lumvek_SetGlobalGain", "Lumvek_SetGrayGainB",
    "Lumvek_SetGrayGainG1", "Lumvek_SetGrayGainG2", "Lumvek_SetGrayGainR", "Lumvek_SetGrayMode",
    "Lumvek_SetGrayOffsetB", "Lumvek_SetGrayOffsetG1", "Lumvek_SetGrayOffsetG2", "Lumvek_SetGrayOffsetR",
    "Lumvek_SetHalfClock", "Lumvek_SetHue", "Lumvek_SetIOPort", "Lumvek_SetImageDlg",
    "Lumvek_SetInternalCorrection", "Lumvek_SetMaskFilter", "Lumvek_SetMirrorH", "Lumvek_SetMirrorV",
    "Lumvek_SetPeltier", "Lumvek_SetPreviewWindow", "Lumvek_SetRealExposureTime", "Lumvek_SetSamplingRate",
    "Lumvek_SetSaturation", "Lumvek_SetSharpness", "Lumvek_SetSubSample", "Lumvek_SetWaitTime", "Lumvek_SnapShot",
    "Lumvek_StartPreview", "Lumvek_StopPreview", "Lumvek_Trigger", "Lumvek_UpdateMaskData", "Lumvek_Width",
    "Lumvek_WriteRegister", "Lumvek_WriteRegisterEx", "Lumvek_WriteSromID",
};

const char* const kWindowNames[] = {
    "LumvekWnd_CreateMessageWindow", "LumvekWnd_DestroyWindow", "LumvekWnd_PostMessage", "LumvekWnd_GetMessage",
    "LumvekWnd_SetMessageHandler", "LumvekWnd_EnumWindows", "LumvekWnd_GetInfo", "LumvekWnd_ReadSurface",
    "LumvekWnd_Show", "LumvekWnd_Resize", "LumvekWnd_GetScreenSize", "LumvekWnd_FromX11Window",
    "LumvekWnd_X11Window",
};

const char* const kDeviceNames[] = {
    "LumvekDevice_GetId", "LumvekDevice_FindNumber", "LumvekDevice_GetEntryId", "LumvekDevice_CheckCaptureWindow",
    "LumvekDevice_GetRawBayerOrder",
};
const char* const kStreamNames[] = {
    "LumvekStream_GetFrameMetadata",
    "LumvekStream_GetImage",
    "LumvekStream_GetRecordMetadata",
    "LumvekStream_GetStatistics",
    "LumvekStream_ResetStatistics",
};

// The Lumvek names a library exports; any other export is a failure.
std::set<std::string> exportedNames(const std::string& library) {
    const auto symbols = definedDynamicSymbols(library);
    EXPECT_FALSE(symbols.empty()) << "could not read the dynamic symbol table of " << library;
    std::set<std::string> exported;
    for (const auto& name : symbols) {
        // The version node the linker script names is not a function.
        if (name.rfind("Lumvek", 0) == 0) {
            exported.insert(name);
        } else {
            ADD_FAILURE() << "unexpected export of " << library << ": " << name;
        }
    }
    return exported;
}

} // namespace

TEST(ExportedSymbols, ExactlyTheSdkAndWindowNames) {
    const std::set<std::string> sdk(std::begin(kSdkNames), std::end(kSdkNames));
    ASSERT_EQ(sdk.size(), 147u);
    std::set<std::string> companion(std::begin(kWindowNames), std::end(kWindowNames));
    companion.insert(std::begin(kDeviceNames), std::end(kDeviceNames));
    companion.insert(std::begin(kStreamNames), std::end(kStreamNames));
#ifdef _WIN32
    // The DLL the applications were written for exports its 147 names and
    // nothing else; the companion interfaces come from a DLL of their own.
    EXPECT_EQ(exportedNames(LUMVEK_SDK_LIBRARY_PATH), sdk);
    EXPECT_EQ(exportedNames(LUMVEK_COMPANION_LIBRARY_PATH), companion);
#else
    std::set<std::string> expected = sdk;
    expected.insert(companion.begin(), companion.end());
    EXPECT_EQ(exportedNames(LUMVEK_SDK_LIBRARY_PATH), expected);
#endif
}
