#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// The registry functions the program needs, with the Windows names, numbers and calling shapes, so that
// a Windows back end can forward them to advapi32 unchanged. On Linux they work on one REGEDIT4 text file
// (a registry editor's UTF-16 export reads as well; changes are written as REGEDIT4), the one
// SettingsStoreLocation picks (StoreLocation.h).
//
// Every call reads the file afresh (a handle only keeps what it read while the file stays the same one),
// and every change rewrites the file whole through a temporary file under an exclusive lock, so several
// processes may use the store at once and a crash leaves either the old or the new file.
namespace kestrun::platform::reg {

using HKEY = std::uintptr_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using LSTATUS = LONG;
using REGSAM = DWORD;
using BYTE = std::uint8_t;

struct FILETIME {
  DWORD dwLowDateTime = 0;
  DWORD dwHighDateTime = 0;
};

// Predefined roots. Each one always exists and needs no opening or closing.
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr HKEY HKEY_USERS = 0x80000003u;
inline constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005u;

// Status codes (the Windows error numbers).
inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_PATH_NOT_FOUND = 3;
inline constexpr LONG ERROR_ACCESS_DENIED = 5;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_DISK_FULL = 112;
inline constexpr LONG ERROR_BAD_PATHNAME = 161;
inline constexpr LONG ERROR_FILENAME_EXCED_RANGE = 206;
inline constexpr LONG ERROR_MORE_DATA = 234;
inline constexpr LONG ERROR_NO_MORE_ITEMS = 259;
inline constexpr LONG ERROR_BADDB = 1009;  // the store file does not parse; it is left untouched
inline constexpr LONG ERROR_REGISTRY_IO_FAILED = 1016;
inline constexpr LONG ERROR_KEY_DELETED = 1018;

// Value types.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
inline constexpr DWORD REG_LINK = 6;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_QWORD = 11;

// Access rights.
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_CREATE_LINK = 0x0020;
inline constexpr REGSAM DELETE = 0x00010000;
inline constexpr REGSAM KEY_READ = 0x00020019;
inline constexpr REGSAM KEY_WRITE = 0x00020006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0x000F003F;

inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Key paths separate their names with "\"; names compare without regard to case and keep the case they
// were created with. A key name holds no control characters and at most 255 bytes; a path at most 512
// names. Value names hold no control characters.

// 0 opened; 2 no such key; 6 unknown root or handle; 1009 store unreadable as a registry; 5 when write
// access is asked for a key that does not exist and the store cannot be written (the reason a create
// would fail, rather than 2).
LSTATUS RegOpenKeyEx(HKEY hKey, std::string_view lpSubKey, DWORD ulOptions, REGSAM samDesired, HKEY* phkResult);

// Opens the key, creating it and every missing key above it first. `lpdwDisposition` (may be null)
// receives REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY.
LSTATUS RegCreateKeyEx(HKEY hKey, std::string_view lpSubKey, DWORD Reserved, const char* lpClass, DWORD dwOptions,
                       REGSAM samDesired, const void* lpSecurityAttributes, HKEY* phkResult, DWORD* lpdwDisposition);

// With `lpData` null: the type and the data size in bytes. With a buffer: the data and the size written,
// or 234 (and the size needed) when the buffer is too small. 2 when the value does not exist.
LSTATUS RegQueryValueEx(HKEY hKey, std::string_view lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                        DWORD* lpcbData);

// Creates or replaces the value; the data is kept byte for byte with its type.
LSTATUS RegSetValueEx(HKEY hKey, std::string_view lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                      DWORD cbData);

// Harmless for 0 and for the predefined roots (6 and 0 are returned).
LSTATUS RegCloseKey(HKEY hKey);

// Values in the order they were created; 259 past the last. `lpcchValueName` is the buffer size in
// characters with room for the terminator and receives the name's length without it; a buffer too small
// for the name or the data gives 234.
LSTATUS RegEnumValue(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName, DWORD* lpReserved,
                     DWORD* lpType, BYTE* lpData, DWORD* lpcbData);

// Sub-keys in name order (without regard to case); 259 past the last. The class is always empty; the
// store keeps no write times, so `lpftLastWriteTime` receives zero.
LSTATUS RegEnumKeyEx(HKEY hKey, DWORD dwIndex, char* lpName, DWORD* lpcchName, DWORD* lpReserved, char* lpClass,
                     DWORD* lpcchClass, FILETIME* lpftLastWriteTime);

// 2 when the value does not exist; a deletion that finds nothing to delete changes and creates nothing.
LSTATUS RegDeleteValue(HKEY hKey, std::string_view lpValueName);

// Deletes a key that has no sub-keys (5 when it still has some, as on Windows); 2 when it does not exist.
// Nor does this one change or create anything when there is nothing it may delete.
LSTATUS RegDeleteKey(HKEY hKey, std::string_view lpSubKey);

// Whether the store's path can serve as a store at all, a question with no Windows counterpart (there
// it is always empty). Empty when it can (a missing file is an empty registry); otherwise a sentence for
// the user that names the path. A path naming a folder, a pipe or a device, directly or through a link,
// is refused by every call above with 5, without waiting on it and without creating anything beside it.
std::string StoreProblem();

// Why the store file cannot be read as a registry, another question with no Windows counterpart. Empty
// when it can, or when there is no file (a missing store is an empty registry; StoreProblem speaks of
// a store that is no file). Otherwise a sentence for the user that names the file, the line and what
// is wrong there. Such a file is left untouched: reads find nothing in it and every change gives 1009.
std::string StoreDamage();

}  // namespace kestrun::platform::reg
