// Per-user folders and whole-file helpers over the kernel's file services.
#include "foundation/user_folders.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "foundation/config_store.h"
#include "platform/kernel/kernel_files.h"

const char kBuildText[] = "tq_winpc_tqx1_1.0.0.1_016";

namespace {

// The roots are written by InitAppFolders before other threads start; the
// lock only makes a test's re-initialisation safe to read.
std::mutex gRootLock;
std::string gInstallRoot;         // guarded by gRootLock
std::string gDataRoot;            // guarded by gRootLock
std::string gInstallFolderForTesting;  // guarded by gRootLock

// Folder name with exactly one trailing '/'.
std::string WithSlash(std::string folder) {
  while (!folder.empty() && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  return folder + "/";
}

void CopyCut(const std::string& text, char* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return;
  size_t n = text.size() < size - 1 ? text.size() : size - 1;
  memcpy(buffer, text.data(), n);
  buffer[n] = 0;
}

// Everything below the data root is the user's alone: it holds the
// remembered password and the session ids.
FileAccess AccessFor(const char* path) {
  std::string root = NativePath(DataRoot());
  if (!root.empty() && NativePath(path).compare(0, root.size(), root) == 0) return FileAccess::OwnerOnly;
  return FileAccess::Shared;
}

// data root + relative path, or false when it would not fit a path buffer.
bool DataPath(const char* relativePath, std::string* path) {
  if (relativePath == nullptr) return false;
  std::string root = DataRoot();
  if (root.empty()) return false;
  *path = root + relativePath;
  return path->size() < kMaxAppPath;
}

// Seeds res/<name> of the data root from res/<name> of the install root.
void SeedResFile(const std::string& installRoot, const std::string& dataRoot, const char* name) {
  std::string source = installRoot + "res/" + name;
  std::string destination = dataRoot + "res/" + name;
  if (source.size() >= kMaxAppPath || destination.size() >= kMaxAppPath) return;
  CopyFileIfMissing(source.c_str(), destination.c_str());
}

}  // namespace

void SetInstallFolderForTesting(const std::string& folder) {
  std::lock_guard<std::mutex> guard(gRootLock);
  gInstallFolderForTesting = folder;
}

std::string DataRoot() {
  std::lock_guard<std::mutex> guard(gRootLock);
  return gDataRoot;
}

std::string InstallRoot() {
  std::lock_guard<std::mutex> guard(gRootLock);
  return gInstallRoot;
}

void GetDataRoot(char* buffer, size_t size) { CopyCut(DataRoot(), buffer, size); }

void GetInstallRoot(char* buffer, size_t size) { CopyCut(InstallRoot(), buffer, size); }

void InitAppFolders() {
  std::string installRoot;
  {
    std::lock_guard<std::mutex> guard(gRootLock);
    installRoot = gInstallFolderForTesting.empty() ? ProgramFolder() : gInstallFolderForTesting;
  }
  installRoot = WithSlash(installRoot);
  if (installRoot.size() >= kMaxAppPath) installRoot.clear();  // refused: too long

  // Without an application-data folder the program's own folder takes its place.
  std::string appData = AppDataFolder();
  std::string base = WithSlash(appData.empty() ? installRoot : appData) + "pellune";
  // A fresh account may not have its application-data folder yet.
  CreateFolderTree(base, FileAccess::OwnerOnly);
  std::string tamsel = base + "/Tamsel";
  for (const std::string& folder : {tamsel, tamsel + "/data", tamsel + "/res"})
    CreateFolder(folder, FileAccess::OwnerOnly);
  std::string dataRoot = tamsel + "/";
  if (dataRoot.size() >= kMaxAppPath) dataRoot.clear();  // refused: too long
  {
    std::lock_guard<std::mutex> guard(gRootLock);
    gInstallRoot = installRoot;
    gDataRoot = dataRoot;
  }
  if (dataRoot.empty()) return;

  for (const char* name : {"own.data", "config.data", "boardconfig.json", "indexParameter.data"})
    SeedResFile(installRoot, dataRoot, name);

  // A different build resets the server list and the code dictionary, which
  // are seeded again below from this build's defaults.
  LoadConfig();
  std::string userVer;
  bool known = false;
  if (const char* stored = GetConfig("UserVer")) {
    userVer = stored;
    known = strstr(kBuildText, userVer.c_str()) != nullptr;
  }
  if (!known) {
    DeleteDataFile("res\\server.data");
    DeleteDataFile("res\\qver.data");
    DeleteDataFile("res\\pellune.db");
    SetConfig("UserVer", kBuildText);
    SaveConfig();
  }

  for (const char* name : {"server.data", "qver.data"}) SeedResFile(installRoot, dataRoot, name);

  std::string temp = dataRoot + "temp";
  DeleteFolderTree(temp.c_str());
  CreateFolderUtf8(temp.c_str());
}

FileBlob* ReadFileUtf8Path(const char* path) {
  if (path == nullptr) return nullptr;
  long long size = GetFileSizeOf(path);
  if (size < 0 || size > 0x7FFFFFFF - 2) return nullptr;
  std::string content;
  if (size > 0 && !ReadWholeFile(path, &content)) return nullptr;
  if (content.size() > 0x7FFFFFFF - 2) return nullptr;
  auto* blob = static_cast<FileBlob*>(calloc(1, sizeof(FileBlob)));
  if (blob == nullptr) return nullptr;
  blob->data = static_cast<char*>(calloc(content.size() + 2, 1));
  if (blob->data == nullptr) {
    free(blob);
    return nullptr;
  }
  memcpy(blob->data, content.data(), content.size());
  blob->size = static_cast<int32_t>(content.size());
  return blob;
}

FileBlob* ReadDataFile(const char* relativePath) {
  std::string path;
  if (!DataPath(relativePath, &path)) return nullptr;
  return ReadFileUtf8Path(path.c_str());
}

void FreeFileBlob(FileBlob* blob) {
  if (blob == nullptr) return;
  free(blob->data);
  free(blob);
}

bool WriteFileUtf8Path(const char* path, const void* buffer, int count) {
  if (path == nullptr || count < 0 || (buffer == nullptr && count > 0)) return false;
  static const char kNothing = 0;
  return WriteWholeFile(path, count > 0 ? buffer : &kNothing, static_cast<size_t>(count), AccessFor(path));
}

bool WriteDataFile(const char* relativePath, const void* buffer, int count) {
  std::string path;
  if (!DataPath(relativePath, &path)) return false;
  return WriteFileUtf8Path(path.c_str(), buffer, count);
}

long long GetFileSizeUtf8Path(const char* path) {
  if (path == nullptr || !FileExists(path)) return -1;
  return GetFileSizeOf(path);
}

void DeleteFileUtf8Path(const char* path) {
  if (path != nullptr) DeleteFileAt(path);
}

void DeleteDataFile(const char* relativePath) {
  std::string path;
  if (DataPath(relativePath, &path)) DeleteFileUtf8Path(path.c_str());
}

void CopyFileIfMissing(const char* source, const char* destination) {
  if (source == nullptr || destination == nullptr) return;
  if (FileExists(destination)) return;
  CopyFileIfAbsent(source, destination, AccessFor(destination));
}

void CreateFolderUtf8(const char* path) {
  if (path == nullptr) return;
  FileAccess access = AccessFor(path);
  if (access == FileAccess::Shared && FolderExists(path)) return;
  CreateFolder(path, access);
}
