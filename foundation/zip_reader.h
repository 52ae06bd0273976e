// Zip archive reader of the update step: opens an archive by name, lists
// its items with sanitised names, attributes and times, and unpacks one item
// to a file below a base folder, creating the folders on its path.
// A handle-based layer over Debian's minizip unzip functions and zlib.
// Nothing for writing archives, nothing for memory buffers, no passwords.
//
// Item names are sanitised so that they cannot leave the base folder: a
// drive prefix, leading separators and '..' steps are dropped. An item is
// unpacked into a temporary file beside its target and renamed over it only
// when the whole item was unpacked and its CRC matched, so a failed unpack
// leaves no partial file and keeps a file that was already there.
//
// A handle is used by one thread at a time.
#pragma once

#include "platform/kernel/win_types.h"

// Result codes (0 = success).
constexpr DWORD kZipOk = 0;
constexpr DWORD kZipCannotOpen = 0x200;          // archive not opened / not an archive; output not created
constexpr DWORD kZipWriteFailed = 0x400;         // writing an output file failed
constexpr DWORD kZipHeaderMismatch = 0x700;      // local header disagrees with the directory
constexpr DWORD kZipExtraUnreadable = 0x800;     // the local extra field cannot be read
constexpr DWORD kZipEncrypted = 0x1000;          // encryption check byte does not match
constexpr DWORD kZipBadArgument = 0x10000;       // null handle or entry, index out of range
constexpr DWORD kZipNotUnzipHandle = 0x80000;    // the handle is not an unzip handle
constexpr DWORD kZipDataError = 0x5000000;       // inflate or CRC error, data ended early

constexpr DWORD kZipHandleUnzip = 1;
constexpr int kZipNameUnits = 260;

// Platform file-attribute flags of ZipEntry::attributes.
constexpr DWORD kZipAttrReadOnly = 0x01;
constexpr DWORD kZipAttrHidden = 0x02;
constexpr DWORD kZipAttrSystem = 0x04;
constexpr DWORD kZipAttrFolder = 0x10;
constexpr DWORD kZipAttrArchive = 0x20;

// One item; times are FILETIME values (100-ns units since 1601-01-01 UTC).
struct ZipEntry {
  LONG index;                   // the item's index; for the request -1 the item count
  WCHAR name[kZipNameUnits];    // sanitised path inside the archive, zero-terminated
  DWORD attributes;             // kZipAttr* flags
  ULONGLONG lastAccessTime;
  ULONGLONG creationTime;
  ULONGLONG lastWriteTime;
  DWORD compressedSize;
  DWORD uncompressedSize;
  BOOL nameChanged;             // the archive's own name had a drive, a leading separator or a '..' step
};

struct ZipArchive;  // the archive object, private to the reader

struct ZipHandle {
  DWORD kind;            // kZipHandleUnzip
  ZipArchive* archive;   // owned; freed by CloseZip
};

// Opens the archive at `path` (UTF-16; '\' and '/' both separate). Returns
// a new handle, freed by CloseZip, or null when the file cannot be opened or
// is not an archive. The base folder starts as the current working folder.
ZipHandle* OpenZipFile(const WCHAR* path);

// Sets the base folder for relative targets, appending '\' when the folder
// ends in neither '\' nor '/'. 0, or kZipBadArgument for a null folder or
// one longer than the platform's path limit, kZipNotUnzipHandle.
DWORD SetUnzipBaseDir(ZipHandle* handle, const WCHAR* folder);

// Fills `entry` for item `index` (from 0), or with index = item count and an
// empty name for index -1. The entry's index, first two name units and
// uncompressed size are cleared before anything else. Asking again for the
// index filled last returns the same entry without reading the archive.
// Results: 0, kZipBadArgument (null handle or entry, index below -1 or not
// below the count), kZipNotUnzipHandle, kZipHeaderMismatch (also for an item
// whose compression method minizip does not know), kZipExtraUnreadable.
DWORD GetZipItem(ZipHandle* handle, int index, ZipEntry* entry);

// Unpacks item `index` to `target` (UTF-16): below the base folder for a
// relative target, at the target itself for an absolute one (starting with
// '\' or '/', or with ':' as second unit). Creates the folders on the path;
// a folder item only creates its folders. On success the file gets the
// item's write and access times and read-only flag. An index not below the
// item count does nothing and gives 0. A relative target with a '..' step
// is refused with kZipCannotOpen. Results: 0, kZipBadArgument,
// kZipNotUnzipHandle, kZipCannotOpen, kZipWriteFailed, kZipHeaderMismatch,
// kZipExtraUnreadable, kZipEncrypted, kZipDataError; on any failure no
// partial file is left and an existing target is unchanged.
DWORD UnzipItemToFile(ZipHandle* handle, int index, const WCHAR* target);

// Closes the archive and frees the archive object and the handle.
// 0, kZipBadArgument, or kZipNotUnzipHandle (nothing freed).
DWORD CloseZip(ZipHandle* handle);
