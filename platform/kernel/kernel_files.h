// Files and folders by UTF-8 path.
//
// Every path the system builds may use '\' as its separator (it was written
// for a platform where that is the separator); NativePath turns it into '/',
// and every function here applies it first, so callers pass their texts
// unchanged. Names are case-sensitive, as the file system is.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// path with every '\' replaced by '/'.
std::string NativePath(std::string_view path);

// The folder of the running program file, ending in '/'; empty when it
// cannot be found.
std::string ProgramFolder();

// Makes the program folder the working directory, so that the relative
// "res\..." paths of the windows find the files beside the program. False
// (nothing changed) when the folder cannot be found or entered. Called once
// by the program's start; tests choose their own working folder.
bool EnterProgramFolder();

// The working directory the process started in, ending in '/' (kept before
// any change of folder); path arguments of the command line are made
// absolute against it. Empty when it could not be read.
std::string StartingFolder();

// A path given on the command line or in a test switch, as the user meant
// it: absolute paths unchanged, relative ones below StartingFolder() ('\'
// becomes '/'). Empty for an empty path.
std::string PathFromStartingFolder(std::string_view path);

// The per-user application-data folder, ending in '/': $XDG_DATA_HOME when
// it is set to an absolute path, else $HOME/.local/share (home from the
// password database when $HOME is unset); empty when neither exists. The
// folder is not created here.
std::string AppDataFolder();

// Makes AppDataFolder return folder (a '/' is added when missing) until it
// is called again; an empty text restores the normal answer. Tests only.
void SetAppDataFolderForTesting(std::string folder);

bool FileExists(std::string_view path);    // a regular file (links followed)
bool FolderExists(std::string_view path);  // a folder (links followed)

// The size of a regular file in bytes; -1 when it is missing or not a file.
long long GetFileSizeOf(std::string_view path);

// Reads the whole regular file into *out (replacing its content). False,
// with *out emptied, when the file cannot be opened or read.
bool ReadWholeFile(std::string_view path, std::string* out);

// Who may read what the functions below create.
enum class FileAccess {
  // Files 0666 and folders 0777 less the process's umask; a replaced file
  // keeps the permission bits it had.
  Shared,
  // Files 0600 and folders 0700 whatever the umask: per-user data such as
  // settings, remembered passwords and session ids. A folder that exists
  // already and belongs to the caller loses its group and other bits.
  OwnerOnly,
};

// Replaces the file with exactly size bytes of data (size 0 leaves an empty
// file). The bytes go to a temporary file in the same folder, which is then
// renamed over the old one, so a failed write leaves the old file as it was.
// Temporary files of the same file left by writers that died (their process
// is gone) are removed first. False when the folder is missing or not
// writable, or the write failed.
bool WriteWholeFile(std::string_view path, const void* data, size_t size,
                    FileAccess access = FileAccess::Shared);

// Deletes a file (or a symbolic link, never its target). False when nothing
// was deleted.
bool DeleteFileAt(std::string_view path);

// Copies src to dst only when dst does not exist yet (nothing is ever
// overwritten). The copy appears under dst whole or not at all. False when
// dst exists, src cannot be read, or the copy failed.
bool CopyFileIfAbsent(std::string_view src, std::string_view dst, FileAccess access = FileAccess::Shared);

// Creates one folder level (the parent must exist). True when the folder
// exists afterwards.
bool CreateFolder(std::string_view path, FileAccess access = FileAccess::Shared);

// Creates the folder and any missing parents. True when it exists afterwards.
// With OwnerOnly the levels it creates are 0700 and the folder itself is
// narrowed when it existed; parents that existed are left as they are.
bool CreateFolderTree(std::string_view path, FileAccess access = FileAccess::Shared);

// The user's private runtime folder, ending in '/': "orvenna" in
// $XDG_RUNTIME_DIR when that names a folder, else "orvenna-<uid>" in the
// temporary folder ($TMPDIR when absolute, else /tmp). Created 0700 when
// missing. Returned only when it is a real folder (not a link) owned by the
// caller with mode exactly 0700; otherwise empty, with a trace, and nothing
// of the user's may be kept there. Shared objects between the user's own
// processes (message ports, the token table) live here.
std::string PrivateRuntimeFolder();

// Deletes the folder and everything in it, sub-folders first. Refuses (false,
// nothing touched) an empty or relative path, the file-system root, and a
// path with a "." or ".." component.
// Symbolic links met inside are deleted as links; nothing they point to is
// touched. When root itself is a symbolic link only the link is deleted. True
// when nothing remains at root afterwards (also when it was already missing).
bool DeleteFolderTree(std::string_view root);

struct FolderEntry {
  std::string name;    // the entry's name, without the folder
  bool isFolder;       // a folder, or a link to one
  long long size;      // bytes for a file, 0 for a folder
};

// The entries of a folder without "." and "..", sorted by name; empty when
// the folder cannot be read.
std::vector<FolderEntry> ListFolder(std::string_view path);
