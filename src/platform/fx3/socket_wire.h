#pragma once
// The simulator daemon's socket protocol, shared by the socket backend
// (client) and the daemon (server). One stream connection per open handle.
// Every message starts with a 16-byte little-endian frame of four words
// {operation, a, b, c}; some carry a payload after it:
//
//   client -> server                         server -> client
//   Control  {1, 0, 0, 0} + 102-byte request  {1, ok, dataBytes, 0} + 64 data bytes
//   Bulk     {2, endpoint, length, timeout}   {2, error, bytes, 0} + `bytes` bytes
//   ResetPipe{3, endpoint, 0, 0}              {3, ok, 0, 0}
//   ResetPort{4, 0, 0, 0}                     {4, ok, 0, 0}
//   Speed    {5, 0, 0, 0}                     {5, speed, 0, 0}
//   Abort    {6, endpoint, 0, 0}              (no reply)
//   Attach   {7, 0, 0, 0}                     {7, bytes, 0, 0} + a memfd (SCM_RIGHTS)
//   Claim    {8, 0, 0, 0}                     {8, granted, holder pid, 0}
//   Query    {9, 0, 0, 0}                     {9, holder pid (0: free), 0, 0}
//
// Bulk data follows its reply frame in one stream write, so a frame costs a
// handful of system calls however it is split. Faster still: once a client
// has attached the server's shared buffer (a sealed memfd of `bytes` bytes,
// sent once per connection), the server reads bulk data straight into it and
// answers {2, error, bytes, 1}; the client copies the data out. That is one
// copy on each side and no data through the socket at all. Requests on one connection
// are answered in order; only Abort may overtake a pending Bulk (the server
// watches the connection while a read waits and ends the read when anything
// arrives). Socket files are named <vid>_<pid>_<instance>.sock.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace lumvek::fx3::wire {

// Claim or Query is the first request of every connection. Claim: the camera
// is used by one process at a time; the reply's word a says whether this one
// may (1), word b names the process that holds it when not. Query asks who
// holds the camera without claiming it (the daemon answers and closes the
// connection): it tells that the daemon answers at all, and who is using it.
enum class Op : uint32_t {
    Control = 1,
    Bulk = 2,
    ResetPipe = 3,
    ResetPort = 4,
    Speed = 5,
    Abort = 6,
    Attach = 7,
    Claim = 8,
    Query = 9,
};

// Marks a bulk reply whose data sits in the shared buffer.
inline constexpr uint32_t kDataInSharedBuffer = 1;
// Size of the shared bulk buffer: one transfer at most.
inline constexpr uint32_t kSharedBufferBytes = 0x4000000;

inline constexpr size_t kFrameBytes = 16;

struct Frame {
    uint32_t op = 0;
    uint32_t a = 0;
    uint32_t b = 0;
    uint32_t c = 0;
};

void encodeFrame(const Frame& frame, uint8_t* out);  // writes kFrameBytes
[[nodiscard]] Frame decodeFrame(const uint8_t* in);

// Socket file name for a camera, and the inverse (nullopt for other files).
struct SocketName {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string instance;
};
[[nodiscard]] std::string socketFileName(uint16_t vendorId, uint16_t productId, const std::string& instance);
[[nodiscard]] std::optional<SocketName> parseSocketFileName(const std::string& fileName);
// Instance names must be usable in a file name and a device path.
[[nodiscard]] bool isValidInstanceName(const std::string& name);

// The device directory: $LUMVEK_DEVICE_DIR, else ${XDG_RUNTIME_DIR:-/tmp}/lumvek-devices.
[[nodiscard]] std::string deviceDirectory();

} // namespace lumvek::fx3::wire
