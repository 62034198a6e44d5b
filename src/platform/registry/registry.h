#pragma once
// The per-user registry: a hierarchical store of keys and typed values,
// shaped like the Win32 calls so that the settings store reads like code
// written against the Windows registry.
//
// Keys live under one root, HKEY_CURRENT_USER. Key paths use backslashes
// ("Software\\Quelro\\LumvekR13K7Sdk\\Camera_00\\Size_00"); key and value
// names compare case-insensitively (ASCII), and keep the case they were
// created with for enumeration.
//
// On Windows these are the system registry's calls (src/platform/win32/registry.cpp):
// HKEY_CURRENT_USER is the user's hive, or the key below it that
// $LUMVEK_REGISTRY_ROOT names (read afresh by every call naming the root, so
// each test process keeps to a subtree of its own).
//
// Backing store on Linux: one SQLite file, $LUMVEK_REGISTRY_FILE, else
// ${XDG_CONFIG_HOME:-$HOME/.config}/lumvek/registry.sqlite3 (folders are
// created on the first write). The path is read afresh by every call that
// names HKEY_CURRENT_USER, and a connection per file is kept while in use, so
// a test may point the variable elsewhere at any time; a key handle keeps the
// file it was opened on. A file removed or replaced under open handles makes
// those handles fail with ERROR_KEY_DELETED. Handles do not cross fork(): the
// child opens its own connection and its inherited handles fail the same way
// (a child must not fork while another thread is inside a registry call). Every write is one transaction; concurrent threads and
// processes are serialised by SQLite (WAL journal, busy timeout), so the file
// is never left half-written. A corrupt, unreadable or unwritable file makes
// the calls fail with a status code; nothing throws.
//
// Key handles are entries of a handle table: a closed, stale or invented
// handle yields ERROR_INVALID_HANDLE and is never dereferenced. Handles may be
// used from any thread.
#include <cstdint>
#include <string>

namespace lumvek::platform {

struct HKEY__;
using HKEY = HKEY__*;
using LONG = int32_t;
using DWORD = uint32_t;
using REGSAM = uint32_t;

// The predefined root; it needs no open and cannot be closed.
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u));

// Status codes (the Win32 values).
inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_ACCESS_DENIED = 5;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr LONG ERROR_DISK_FULL = 112;     // the store's file system has no room for the write
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_MORE_DATA = 234;
inline constexpr LONG ERROR_NO_MORE_ITEMS = 259;
inline constexpr LONG ERROR_BADDB = 1009;       // the store file is corrupt or not a registry
inline constexpr LONG ERROR_KEY_DELETED = 1018; // the key was deleted while open
inline constexpr LONG ERROR_CANTOPEN = 1011;    // the store file cannot be opened or created
inline constexpr LONG ERROR_CANTREAD = 1012;
inline constexpr LONG ERROR_CANTWRITE = 1013;

// Access rights. KEY_READ handles refuse writes with ERROR_ACCESS_DENIED.
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// Value types.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;

// RegCreateKeyExA disposition.
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Longest key or value name accepted (Win32: 255 characters).
inline constexpr DWORD kRegistryMaxNameChars = 255;
// Largest value accepted.
inline constexpr DWORD kRegistryMaxValueBytes = 1u << 20;

// Opens an existing key below key (subKey may be null or "" to reopen key
// itself). Never creates: a missing key is ERROR_FILE_NOT_FOUND, as is a
// missing store file. options must be 0.
[[nodiscard]] LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM access, HKEY* result);

// Opens subKey below key, creating every missing level in one transaction.
// disposition (may be null) tells whether the last level was new.
[[nodiscard]] LONG RegCreateKeyExA(HKEY key, const char* subKey, REGSAM access, HKEY* result,
                                   DWORD* disposition);

// Closes a handle; the root and unknown handles give ERROR_INVALID_HANDLE.
LONG RegCloseKey(HKEY key);

// Reads a value. type and size may be null. With data null only the type and
// size are reported. When *size is smaller than the value, *size is set to
// the value's size and ERROR_MORE_DATA is returned without copying.
[[nodiscard]] LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type,
                                    uint8_t* data, DWORD* size);

// Writes (creates or replaces) a value. REG_DWORD needs exactly 4 bytes.
// Needs KEY_SET_VALUE.
[[nodiscard]] LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type,
                                  const uint8_t* data, DWORD size);

// Enumerates subkeys in case-insensitive name order. name receives the
// terminated name; *nameChars holds the buffer size in characters on entry
// and the name length (without terminator) on success. ERROR_MORE_DATA when
// the buffer is too small, ERROR_NO_MORE_ITEMS past the last one.
[[nodiscard]] LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameChars);

// Enumerates values in case-insensitive name order; type, data and size as
// for RegQueryValueExA (data and size may be null to skip the data).
[[nodiscard]] LONG RegEnumValueA(HKEY key, DWORD index, char* name, DWORD* nameChars, DWORD* type,
                                 uint8_t* data, DWORD* size);

// Deletes one value (ERROR_FILE_NOT_FOUND when absent).
[[nodiscard]] LONG RegDeleteValueA(HKEY key, const char* valueName);

// Deletes subKey below key with all its subkeys and values (subKey null or
// "": everything below key, keeping key itself). Open handles of deleted keys
// fail afterwards with ERROR_KEY_DELETED.
[[nodiscard]] LONG RegDeleteTreeA(HKEY key, const char* subKey);

// The file the next open will use (for tools and messages); empty when no
// location can be formed (no HOME and no override).
[[nodiscard]] std::string registryFilePath();

// Tries a write to the store file the next open will use: a scratch key
// with one value is made below HKEY_CURRENT_USER and deleted again, each in
// a transaction of its own, so the store is left as it was (a missing file
// is created, as the first write would). ERROR_SUCCESS when the store can be
// written; otherwise the status of the write that failed.
[[nodiscard]] LONG registryProbeWrite();

// Why a call failed, in words, for messages ("read-only: ...").
[[nodiscard]] std::string registryStatusText(LONG status);

} // namespace lumvek::platform
