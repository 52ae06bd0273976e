#include "platform/kernel/kernel_files.h"

#include <dirent.h>
#include <errno.h>
#include <signal.h>
#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>

#include "platform/kernel/debug_sink.h"

namespace {

std::mutex g_appDataLock;
std::string g_appDataOverride;  // guarded by g_appDataLock

std::string WithSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool ReadAll(int fd, std::string* out) {
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    out->append(buffer, static_cast<size_t>(n));
  }
}

// The folder part (with its '/', or empty) and the name part of path.
void SplitPath(const std::string& path, std::string* folder, std::string* name) {
  size_t slash = path.rfind('/');
  *folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  *name = slash == std::string::npos ? path : path.substr(slash + 1);
}

// The start of every temporary name beside the file called name.
std::string TempPrefix(const std::string& name) { return "." + name + ".tmp"; }

// A name for a temporary file beside path, unique within the process and,
// with the process id, across processes: ".<name>.tmp<pid>-<n>".
std::string TempNameBeside(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  std::string folder, name;
  SplitPath(path, &folder, &name);
  return folder + TempPrefix(name) + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
}

// The process that made a temporary name, or 0 when entry is not one of
// ".<name>.tmp<pid>-<n>".
pid_t TempWriter(const std::string& entry, const std::string& prefix) {
  if (entry.compare(0, prefix.size(), prefix) != 0) return 0;
  size_t at = prefix.size();
  long long pid = 0;
  size_t digits = 0;
  while (at < entry.size() && entry[at] >= '0' && entry[at] <= '9' && digits < 10) {
    pid = pid * 10 + (entry[at++] - '0');
    ++digits;
  }
  if (digits == 0 || at >= entry.size() || entry[at] != '-' || at + 1 == entry.size()) return 0;
  for (size_t i = at + 1; i < entry.size(); ++i)
    if (entry[i] < '0' || entry[i] > '9') return 0;
  return pid > 0 && pid <= 0x3FFFFFFF ? static_cast<pid_t>(pid) : 0;
}

// Removes the temporary files beside path that writers which died left
// behind. A temporary file of this process or of any process that still
// exists (or that this one may not signal) is kept: it may be being written.
void RemoveStaleTemps(const std::string& path) {
  std::string folder, name;
  SplitPath(path, &folder, &name);
  std::string prefix = TempPrefix(name);
  int dirFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) return;
  DIR* dir = ::fdopendir(dirFd);
  if (!dir) {
    ::close(dirFd);
    return;
  }
  std::vector<std::string> stale;
  pid_t self = ::getpid();
  while (struct dirent* entry = ::readdir(dir)) {
    pid_t writer = TempWriter(entry->d_name, prefix);
    if (writer == 0 || writer == self) continue;
    if (::kill(writer, 0) == 0 || errno != ESRCH) continue;
    stale.push_back(entry->d_name);
  }
  for (const std::string& entry : stale) {
    struct stat info {};
    if (::fstatat(dirFd, entry.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode))
      ::unlinkat(dirFd, entry.c_str(), 0);
  }
  ::closedir(dir);
}

// Opens a new temporary file beside path; -1 on failure, else the descriptor
// and *tempPath its name. An OwnerOnly file is 0600 whatever the umask; a
// Shared one replacing an existing file takes over that file's permission
// bits, so a file the user narrowed stays narrowed.
int CreateTempBeside(const std::string& path, FileAccess access, std::string* tempPath) {
  mode_t mode = access == FileAccess::OwnerOnly ? 0600 : 0666;
  for (int attempt = 0; attempt < 16; ++attempt) {
    *tempPath = TempNameBeside(path);
    int fd = ::open(tempPath->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return fd;
    struct stat old {};
    if (access == FileAccess::OwnerOnly) {
      ::fchmod(fd, 0600);
    } else if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
      ::fchmod(fd, old.st_mode & 0777);
    }
    return fd;
  }
  return -1;
}

// Narrows a folder of the caller's to 0700; true when it is a folder (not a
// link) owned by the caller with no group or other bits afterwards.
bool NarrowOwnFolder(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) return false;
  if ((info.st_mode & 077) == 0) return true;
  return ::chmod(path.c_str(), info.st_mode & 0700) == 0;
}

// mkdir with the access's mode; an OwnerOnly folder it made is set to 0700
// exactly (the umask could have taken owner bits away).
bool MakeFolder(const std::string& path, FileAccess access) {
  if (access == FileAccess::Shared) return ::mkdir(path.c_str(), 0777) == 0;
  if (::mkdir(path.c_str(), 0700) != 0) return false;
  ::chmod(path.c_str(), 0700);
  return true;
}

// Deletes everything inside the open folder dirFd (which this closes).
// Never follows a symbolic link: entries are examined and opened relative to
// their folder without following links.
void EmptyFolderAt(int dirFd) {
  DIR* dir = ::fdopendir(dirFd);
  if (!dir) {
    ::close(dirFd);
    return;
  }
  std::vector<std::string> names;
  while (struct dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(std::move(name));
  }
  for (const std::string& name : names) {
    struct stat info {};
    if (::fstatat(dirFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(info.st_mode)) {
      int child = ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (child >= 0) EmptyFolderAt(child);
      ::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR);
      continue;
    }
    ::unlinkat(dirFd, name.c_str(), 0);
  }
  ::closedir(dir);
}

// True when a path component is "." or "..": such a root could name a
// folder other than the one its text seems to name.
bool HasDotComponent(const std::string& path) {
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string_view part(path.data() + start, end - start);
    if (part == "." || part == "..") return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

std::string NativePath(std::string_view path) {
  std::string native(path);
  std::replace(native.begin(), native.end(), '\\', '/');
  return native;
}

std::string ProgramFolder() {
  char buffer[4096];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return std::string();
  std::string path(buffer, static_cast<size_t>(n));
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return std::string();
  return path.substr(0, slash + 1);
}

bool EnterProgramFolder() {
  StartingFolder();  // keep the starting folder before leaving it
  const std::string folder = ProgramFolder();
  return !folder.empty() && ::chdir(folder.c_str()) == 0;
}

std::string StartingFolder() {
  static const std::string folder = [] {
    char buffer[4096];
    if (!::getcwd(buffer, sizeof buffer)) return std::string();
    return WithSlash(buffer);
  }();
  return folder;
}

std::string PathFromStartingFolder(std::string_view path) {
  std::string native = NativePath(path);
  if (native.empty() || native[0] == '/') return native;
  return StartingFolder() + native;
}

namespace {
// Read while the process starts, before anything can change the folder.
[[maybe_unused]] const bool g_startingFolderKept = !StartingFolder().empty();
}  // namespace

std::string AppDataFolder() {
  {
    std::lock_guard<std::mutex> guard(g_appDataLock);
    if (!g_appDataOverride.empty()) return g_appDataOverride;
  }
  const char* xdg = ::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') return WithSlash(xdg);
  std::string home;
  const char* env = ::getenv("HOME");
  if (env && env[0] == '/') {
    home = env;
  } else {
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir &&
        found->pw_dir[0] == '/')
      home = found->pw_dir;
  }
  if (home.empty()) return std::string();
  return WithSlash(home) + ".local/share/";
}

void SetAppDataFolderForTesting(std::string folder) {
  std::lock_guard<std::mutex> guard(g_appDataLock);
  g_appDataOverride = WithSlash(NativePath(folder));
}

bool FileExists(std::string_view path) {
  struct stat info {};
  return ::stat(NativePath(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool FolderExists(std::string_view path) {
  struct stat info {};
  return ::stat(NativePath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

long long GetFileSizeOf(std::string_view path) {
  struct stat info {};
  if (::stat(NativePath(path).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  return static_cast<long long>(info.st_size);
}

bool ReadWholeFile(std::string_view path, std::string* out) {
  if (!out) return false;
  out->clear();
  int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  if (ok) {
    out->reserve(static_cast<size_t>(info.st_size));
    ok = ReadAll(fd, out);
  }
  ::close(fd);
  if (!ok) out->clear();
  return ok;
}

bool WriteWholeFile(std::string_view path, const void* data, size_t size, FileAccess access) {
  if (!data && size > 0) return false;
  std::string target = NativePath(path);
  if (target.empty() || target.back() == '/') return false;
  RemoveStaleTemps(target);
  std::string temp;
  int fd = CreateTempBeside(target, access, &temp);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, static_cast<const char*>(data), size);
  ok = ::fdatasync(fd) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

bool DeleteFileAt(std::string_view path) {
  std::string native = NativePath(path);
  struct stat info {};
  if (::lstat(native.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return false;
  return ::unlink(native.c_str()) == 0;
}

bool CopyFileIfAbsent(std::string_view src, std::string_view dst, FileAccess access) {
  std::string target = NativePath(dst);
  struct stat info {};
  if (target.empty() || ::lstat(target.c_str(), &info) == 0) return false;
  std::string bytes;
  if (!ReadWholeFile(src, &bytes)) return false;
  RemoveStaleTemps(target);
  std::string temp;
  int fd = CreateTempBeside(target, access, &temp);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes.data(), bytes.size());
  ok = ::fdatasync(fd) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  // link() never replaces an existing name, so a destination that appeared
  // meanwhile is kept; where the file system has no hard links, a rename
  // that refuses to replace does the same.
  if (ok && ::link(temp.c_str(), target.c_str()) != 0) {
    ok = errno != EEXIST && ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0;
  }
  ::unlink(temp.c_str());
  return ok;
}

bool CreateFolder(std::string_view path, FileAccess access) {
  std::string native = NativePath(path);
  if (native.empty()) return false;
  if (MakeFolder(native, access)) return true;
  if (access == FileAccess::OwnerOnly) NarrowOwnFolder(native);
  return FolderExists(native);
}

bool CreateFolderTree(std::string_view path, FileAccess access) {
  std::string native = NativePath(path);
  if (native.empty()) return false;
  for (size_t at = 1; at < native.size(); ++at) {
    if (native[at] != '/') continue;
    std::string part = native.substr(0, at);
    if (!MakeFolder(part, access) && errno != EEXIST) return false;
  }
  return CreateFolder(native, access);
}

std::string PrivateRuntimeFolder() {
  std::string folder;
  const char* runtime = ::getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0] == '/' && FolderExists(runtime)) {
    folder = WithSlash(runtime) + "orvenna";
  } else {
    const char* temp = ::getenv("TMPDIR");
    folder = WithSlash(temp && temp[0] == '/' ? temp : "/tmp") + "orvenna-" + std::to_string(::geteuid());
  }
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (::mkdir(folder.c_str(), 0700) == 0) ::chmod(folder.c_str(), 0700);
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() ||
      (info.st_mode & 07777) != 0700) {
    std::string line = "kernel: the private runtime folder " + folder +
                       " is not a folder of this user's with mode 0700; it is not used\n";
    OutputDebugStringA(line.c_str());
    return std::string();
  }
  return folder + "/";
}

bool DeleteFolderTree(std::string_view root) {
  std::string native = NativePath(root);
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  if (native.empty() || native[0] != '/' || native == "/" || HasDotComponent(native)) return false;
  struct stat info {};
  if (::lstat(native.c_str(), &info) != 0) return errno == ENOENT;
  if (!S_ISDIR(info.st_mode)) return ::unlink(native.c_str()) == 0;
  int fd = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  EmptyFolderAt(fd);
  return ::rmdir(native.c_str()) == 0;
}

std::vector<FolderEntry> ListFolder(std::string_view path) {
  std::vector<FolderEntry> entries;
  std::string native = NativePath(path);
  int fd = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return entries;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return entries;
  }
  while (struct dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat info {};
    if (::fstatat(fd, name.c_str(), &info, 0) != 0 && ::fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
      continue;
    bool folder = S_ISDIR(info.st_mode);
    entries.push_back({std::move(name), folder, folder ? 0 : static_cast<long long>(info.st_size)});
  }
  ::closedir(dir);
  std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return entries;
}
