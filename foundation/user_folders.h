// Per-user folders and whole-file helpers.
//
// Two process-wide roots, set by InitAppFolders and read-only afterwards:
//   install root  the program's folder ("program folder"), trailing '/';
//                 its res/ sub-folder holds the delivered default files;
//   data root     <application data>/pellune/Tamsel/ (the kernel's
//                 AppDataFolder()), trailing '/'.
// Layout below the data root: data/ (day-bar store), res/ (settings, server
// directory, board configuration, watch list, ...), TradeUser.data and temp/
// (emptied at every start). Relative paths given to the *DataFile helpers
// may use '\' or '/' ("res\config.data"); they are appended to the data root
// and must fit, with the root, in kMaxAppPath - 1 bytes, else the call is
// refused (nothing read, written or deleted).
//
// All paths are zero-terminated UTF-8. The helpers keep no state besides the
// roots and take no lock on files: callers that share a file serialise
// their own access. Files are replaced through a temporary file in the same
// folder and a rename, so a failed write keeps the old file. Everything the
// helpers create below the data root is the user's alone (folders 0700,
// files 0600, whatever the umask), since it holds passwords and session ids.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Size of the path buffers of the system: a path (with its terminator) must
// fit in it.
constexpr size_t kMaxAppPath = 512;

// The build text of this program; the per-user folder remembers it as
// "UserVer" and is reset when it changes.
extern const char kBuildText[];  // "tq_winpc_tqx1_1.0.0.1_016"

// A whole file: size bytes followed by two zero bytes, so the content can be
// used as a zero-terminated text. Freed with FreeFileBlob.
struct FileBlob {
  char* data;    // size + 2 bytes, owned
  int32_t size;  // the file's size in bytes
};

// Start-up: works out both roots, creates pellune/Tamsel with data/ and res/,
// seeds res/own.data, res/config.data, res/boardconfig.json and
// res/indexParameter.data from the install root's res/ when missing, loads the
// configuration; when "UserVer" is absent or not contained in kBuildText
// deletes res/server.data, res/qver.data and res/pellune.db, stores UserVer
// and saves; seeds res/server.data and res/qver.data; empties and recreates
// temp/. Failures of single steps are ignored. Called once by the start-up
// before any other thread runs (tests call it again after changing roots).
void InitAppFolders();

// Copy the data root or the install root (empty before InitAppFolders) into
// buffer, cut to size - 1 bytes and zero-terminated. Nothing with size 0.
void GetDataRoot(char* buffer, size_t size);
void GetInstallRoot(char* buffer, size_t size);
std::string DataRoot();
std::string InstallRoot();

// A new blob with the whole file, or null when it cannot be read (missing,
// a folder, or larger than 2 GB).
FileBlob* ReadFileUtf8Path(const char* path);
// ReadFileUtf8Path of data root + relative path; null when refused.
FileBlob* ReadDataFile(const char* relativePath);
// Frees the data and the blob. Null is allowed.
void FreeFileBlob(FileBlob* blob);

// Replaces the file with exactly count bytes (0 gives an empty file), through
// a temporary file and a rename. False when it cannot be written; the old
// file then stays as it was.
bool WriteFileUtf8Path(const char* path, const void* buffer, int count);
bool WriteDataFile(const char* relativePath, const void* buffer, int count);

// The file's size in bytes, or -1 when it does not exist.
long long GetFileSizeUtf8Path(const char* path);

// Delete a file; failures are ignored.
void DeleteFileUtf8Path(const char* path);
void DeleteDataFile(const char* relativePath);

// Copies source to destination when destination does not exist; an existing
// destination is never overwritten. Failures are ignored.
void CopyFileIfMissing(const char* source, const char* destination);

// Creates the folder when it is not one yet (one level, no parents).
void CreateFolderUtf8(const char* path);

// Deleting a folder with everything in it is the kernel's DeleteFolderTree
// (platform/kernel/kernel_files.h): it refuses empty and relative roots and never
// follows symbolic links.

// Tests only: the folder that stands for the program's folder (with or
// without a trailing '/'); empty returns to the kernel's ProgramFolder().
// The application-data folder is overridden with the kernel's
// SetAppDataFolderForTesting.
void SetInstallFolderForTesting(const std::string& folder);
