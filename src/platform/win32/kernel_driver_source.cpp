#include "platform/win32/kernel_driver_source.h"

#include <windows.h>
#include <setupapi.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "platform/fx3/fx3_driver.h"
#include "platform/fx3/ioctl_device.h"

namespace lumvek::fx3 {

namespace {

// A device path longer than this is no camera interface's.
constexpr DWORD kLongestDetailBytes = 4096;
// How often a pending request looks at its cancel token.
constexpr DWORD kCancelPollMs = CancelToken::kProbeIntervalMs;

GUID cameraInterfaceClass() {
    GUID guid{};
    guid.Data1 = kCameraInterfaceGuid.data1;
    guid.Data2 = kCameraInterfaceGuid.data2;
    guid.Data3 = kCameraInterfaceGuid.data3;
    std::copy(std::begin(kCameraInterfaceGuid.data4), std::end(kCameraInterfaceGuid.data4), guid.Data4);
    return guid;
}

// Windows compares device paths without regard to case; the library's
// form is lower case.
std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// An event handle closed with its owner.
class EventHandle {
public:
    EventHandle() : handle_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~EventHandle() {
        if (handle_ != nullptr) {
            CloseHandle(handle_);
        }
    }
    EventHandle(const EventHandle&) = delete;
    EventHandle& operator=(const EventHandle&) = delete;
    [[nodiscard]] HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

class Win32IoctlPort final : public IoctlPort {
public:
    explicit Win32IoctlPort(HANDLE file) : file_(file) {}
    ~Win32IoctlPort() override {
        (void)CancelIoEx(file_, nullptr);
        CloseHandle(file_);
    }
    Win32IoctlPort(const Win32IoctlPort&) = delete;
    Win32IoctlPort& operator=(const Win32IoctlPort&) = delete;

    uint32_t call(uint32_t code, const void* in, uint32_t inBytes, void* out, uint32_t outBytes, uint32_t* returned,
                  uint32_t timeoutMs, const CancelToken* cancel) override {
        *returned = 0;
        // One event per request: requests come from several threads at once.
        EventHandle event;
        if (event.get() == nullptr) {
            return GetLastError();
        }
        OVERLAPPED overlapped{};
        overlapped.hEvent = event.get();
        DWORD bytes = 0;
        DWORD error = ERROR_SUCCESS;
        if (!DeviceIoControl(file_, code, const_cast<void*>(in), inBytes, out, outBytes, &bytes, &overlapped)) {
            error = GetLastError();
            if (error == ERROR_IO_PENDING) {
                error = waitForCompletion(overlapped, timeoutMs, cancel, &bytes);
            }
        } else if (!GetOverlappedResult(file_, &overlapped, &bytes, FALSE)) {
            error = GetLastError();
        }
        *returned = bytes;
        return error;
    }

private:
    // Waits for a pending request; one ended by the time-out or the token
    // is cancelled and waited for, so that the driver has left the buffers.
    DWORD waitForCompletion(OVERLAPPED& overlapped, uint32_t timeoutMs, const CancelToken* cancel, DWORD* bytes) {
        const ULONGLONG started = GetTickCount64();
        for (;;) {
            if (WaitForSingleObject(overlapped.hEvent, kCancelPollMs) == WAIT_OBJECT_0) {
                return GetOverlappedResult(file_, &overlapped, bytes, FALSE) ? ERROR_SUCCESS : GetLastError();
            }
            const bool cancelled = cancel != nullptr && cancel->cancelled();
            const bool late = timeoutMs != kNoTimeout && GetTickCount64() - started >= timeoutMs;
            if (cancelled || late) {
                (void)CancelIoEx(file_, &overlapped);
                if (GetOverlappedResult(file_, &overlapped, bytes, TRUE)) {
                    return ERROR_SUCCESS;  // it completed before the cancel reached it
                }
                return cancelled ? ERROR_OPERATION_ABORTED : ERROR_SEM_TIMEOUT;
            }
        }
    }

    HANDLE file_;
};

} // namespace

std::vector<std::string> KernelDriverSource::presentPaths() {
    std::vector<std::string> paths;
    const GUID guid = cameraInterfaceClass();
    HDEVINFO set = SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        return paths;
    }
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA entry{};
        entry.cbSize = sizeof entry;
        if (!SetupDiEnumDeviceInterfaces(set, nullptr, &guid, index, &entry)) {
            break;  // ERROR_NO_MORE_ITEMS
        }
        DWORD needed = 0;
        (void)SetupDiGetDeviceInterfaceDetailA(set, &entry, nullptr, 0, &needed, nullptr);
        if (needed < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) || needed > kLongestDetailBytes) {
            continue;
        }
        // DWORD-aligned, as the structure needs.
        std::vector<DWORD> block((needed + sizeof(DWORD) - 1) / sizeof(DWORD));
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        if (!SetupDiGetDeviceInterfaceDetailA(set, &entry, detail, needed, nullptr, nullptr)) {
            continue;
        }
        const std::string path = lowerCase(detail->DevicePath);
        DevicePathParts parts;
        if (parseDevicePath(path, parts)) {
            paths.push_back(path);
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    return paths;
}

std::unique_ptr<UsbDevice> KernelDriverSource::open(const std::string& path) {
    // Only a camera interface's path: anything else could name a file.
    DevicePathParts parts;
    if (!parseDevicePath(lowerCase(path), parts)) {
        return nullptr;
    }
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    return std::make_unique<IoctlDevice>(std::make_unique<Win32IoctlPort>(file));
}

} // namespace lumvek::fx3
