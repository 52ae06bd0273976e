#include "updater/update_run.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <set>

#include "foundation/debug_trace.h"
#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_process.h"
#include "updater/update_file.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxJournalBytes = 1 << 20;

fs::path PathOf(const std::string& folder, const std::string& relative, const char* suffix = "") {
  return fs::path(NativePath(folder + relative + suffix));
}

bool IsPlainFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(fs::symlink_status(p, ec));
}

bool Exists(const fs::path& p) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(p, ec));
}

void RemoveFile(const fs::path& p) {
  std::error_code ec;
  fs::remove(p, ec);
}

bool Rename(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::rename(from, to, ec);
  if (ec) DebugPrintf("update: rename %s failed: %s\n", from.c_str(), ec.message().c_str());
  return !ec;
}

struct JournalEntry {
  bool hadOld = false;
  std::string relative;
};

bool WriteJournal(const std::string& folder, const std::vector<JournalEntry>& entries) {
  std::string text;
  for (const JournalEntry& e : entries) text += (e.hadOld ? "1 " : "0 ") + e.relative + "\n";
  const std::string path = NativePath(folder + kSwapJournalName);
  const std::string temporary = path + ".tmp";
  FILE* f = std::fopen(temporary.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = std::fflush(f) == 0 && ok;
  ok = ::fsync(fileno(f)) == 0 && ok;
  ok = std::fclose(f) == 0 && ok;
  if (ok && std::rename(temporary.c_str(), path.c_str()) == 0) return true;
  std::remove(temporary.c_str());
  return false;
}

// Puts entries [0, count) back, last first.
void PutBack(const std::string& folder, const std::vector<JournalEntry>& entries, size_t count) {
  for (size_t i = count; i-- > 0;) {
    const JournalEntry& e = entries[i];
    const fs::path target = PathOf(folder, e.relative);
    const fs::path kept = PathOf(folder, e.relative, kKeptSuffix);
    if (e.hadOld) {
      if (Exists(kept)) Rename(kept, target);
    } else if (!Exists(PathOf(folder, e.relative, kStagedSuffix)) && IsPlainFile(target)) {
      RemoveFile(target);  // the new file had been moved in where none was
    }
  }
}

bool ReadJournal(const std::string& folder, std::vector<JournalEntry>* entries) {
  std::string text;
  const std::string path = folder + kSwapJournalName;
  if (!FileExists(path)) return false;
  FILE* f = std::fopen(NativePath(path).c_str(), "rb");
  if (!f) return false;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0 && text.size() <= kMaxJournalBytes) text.append(buffer, n);
  std::fclose(f);
  size_t at = 0;
  while (at < text.size() && at <= kMaxJournalBytes) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    at = end + 1;
    std::string relative;
    if (line.size() < 3 || (line[0] != '0' && line[0] != '1') || line[1] != ' ') continue;
    if (!UpdateTargetName(line.substr(2), &relative)) continue;  // never a path outside the folder
    entries->push_back({line[0] == '1', relative});
  }
  return true;
}

// ------------------------------------------------------------ downloads

struct FileSink {
  FILE* file = nullptr;
  const std::atomic<bool>* cancel = nullptr;
  UpdateRunListener* listener = nullptr;
  long long maxBytes = 0;
  long long received = 0;
  int lastPercent = -1;
  bool writeFailed = false;
  bool tooLarge = false;
};

bool WriteBlock(void* user, const char* data, size_t size) {
  FileSink* s = static_cast<FileSink*>(user);
  if (s->cancel->load()) return false;
  s->received += static_cast<long long>(size);
  if (s->received > s->maxBytes) {
    s->tooLarge = true;
    return false;
  }
  if (std::fwrite(data, 1, size, s->file) != size) {
    s->writeFailed = true;
    return false;
  }
  return true;
}

bool ReportProgress(void* user, long long received, long long total) {
  FileSink* s = static_cast<FileSink*>(user);
  if (s->cancel->load()) return false;
  if (total > s->maxBytes) {
    s->tooLarge = true;
    return false;
  }
  if (total > 0) {
    const int percent = static_cast<int>(received * 100 / total);  // 64-bit: no overflow for large files
    if (percent != s->lastPercent) {
      s->lastPercent = percent;
      if (s->listener) s->listener->FileProgress(percent);
    }
  }
  return true;
}

bool MakeParentFolders(const fs::path& target) {
  std::error_code ec;
  const fs::path parent = target.parent_path();
  if (parent.empty() || fs::is_directory(parent, ec)) return true;
  return fs::create_directories(parent, ec);
}

}  // namespace

bool ParseHttpAddress(const std::string& address, HttpAddress* out) {
  static const std::string kScheme = "http://";
  if (address.size() <= kScheme.size()) return false;
  for (size_t i = 0; i < kScheme.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(address[i])) != kScheme[i]) return false;
  const std::string rest = address.substr(kScheme.size());
  const size_t slash = rest.find_first_of("/?");
  const std::string authority = rest.substr(0, slash);
  HttpAddress a;
  a.object = slash == std::string::npos ? "/" : rest.substr(slash);
  if (!a.object.empty() && a.object[0] == '?') a.object = "/" + a.object;
  const size_t colon = authority.rfind(':');
  a.host = authority.substr(0, colon);
  if (colon != std::string::npos) {
    const std::string port = authority.substr(colon + 1);
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) return false;
    a.port = std::stoi(port);
    if (a.port < 1 || a.port > 65535) return false;
  }
  if (a.host.empty() || a.host.find('@') != std::string::npos) return false;
  *out = a;
  return true;
}

std::string FileObject(const std::string& address) {
  HttpAddress a;
  return ParseHttpAddress(address, &a) ? a.object : address;
}

bool UpdateTargetName(const std::string& section, std::string* relative) {
  std::string name = section;
  for (char& c : name)
    if (c == '\\') c = '/';
  if (name.empty() || name[0] == '/') return false;
  if (name.size() >= 2 && name[1] == ':') return false;  // a drive letter
  if (name.find('\0') != std::string::npos) return false;
  size_t at = 0;
  while (at <= name.size()) {
    size_t end = name.find('/', at);
    if (end == std::string::npos) end = name.size();
    const std::string step = name.substr(at, end - at);
    if (step.empty() || step == "..") return false;
    at = end + 1;
  }
  *relative = name;
  return true;
}

void DeleteStagedFiles(const std::string& folder, const std::vector<std::string>& relatives) {
  for (const std::string& r : relatives) {
    const fs::path staged = PathOf(folder, r, kStagedSuffix);
    if (IsPlainFile(staged)) RemoveFile(staged);
  }
}

bool SwapStagedFiles(const std::string& folder, const std::vector<std::string>& relatives, std::string* failed) {
  std::vector<JournalEntry> entries;
  for (const std::string& r : relatives) entries.push_back({IsPlainFile(PathOf(folder, r)), r});
  if (!WriteJournal(folder, entries)) {
    if (failed) *failed = kSwapJournalName;
    DeleteStagedFiles(folder, relatives);
    return false;
  }
  for (size_t i = 0; i < entries.size(); ++i) {
    const JournalEntry& e = entries[i];
    const fs::path target = PathOf(folder, e.relative);
    const fs::path kept = PathOf(folder, e.relative, kKeptSuffix);
    bool ok = IsPlainFile(PathOf(folder, e.relative, kStagedSuffix));
    if (ok && !e.hadOld && Exists(target)) ok = false;  // a folder or other thing in the way
    if (ok && e.hadOld) {
      if (Exists(kept)) RemoveFile(kept);
      ok = Rename(target, kept);
    }
    if (ok && !Rename(PathOf(folder, e.relative, kStagedSuffix), target)) {
      ok = false;
      if (e.hadOld) Rename(kept, target);
    }
    if (!ok) {
      if (failed) *failed = e.relative;
      PutBack(folder, entries, i);
      DeleteStagedFiles(folder, relatives);
      RemoveFile(PathOf(folder, kSwapJournalName));
      return false;
    }
  }
  // The journal's removal is the moment the new release stands.
  RemoveFile(PathOf(folder, kSwapJournalName));
  for (const JournalEntry& e : entries)
    if (e.hadOld) RemoveFile(PathOf(folder, e.relative, kKeptSuffix));
  return true;
}

int RestoreInterruptedSwap(const std::string& folder) {
  std::vector<JournalEntry> entries;
  if (!ReadJournal(folder, &entries)) return 0;
  int restored = 0;
  for (const JournalEntry& e : entries)
    if (e.hadOld && Exists(PathOf(folder, e.relative, kKeptSuffix))) ++restored;
  PutBack(folder, entries, entries.size());
  std::vector<std::string> relatives;
  for (const JournalEntry& e : entries) relatives.push_back(e.relative);
  DeleteStagedFiles(folder, relatives);
  RemoveFile(PathOf(folder, kSwapJournalName));
  DebugPrintf("update: an interrupted swap was put back (%d old files)\n", restored);
  return restored;
}

VersionCheckResult CheckForNewVersion(const std::string& address, const std::string& descriptionPath,
                                      const std::string& installedPath, const std::string& product,
                                      const std::string& currentVersion, const HttpDownloadSettings& settings,
                                      std::string* newVersion) {
  newVersion->clear();
  HttpDownloadInfo info;
  const HttpDownloadResult result = DownloadUrlToFile(address, descriptionPath, settings, nullptr, nullptr, &info);
  if (result != kHttpDownloadDone || info.statusCode != 200) {
    DebugPrintf("update: the description could not be fetched (result %d, status %ld)\n", static_cast<int>(result),
                info.statusCode);
    return VersionCheckResult::kConnectFailed;
  }
  UpdateDescription server, installed;
  ReadUpdateDescription(descriptionPath, &server);
  ReadUpdateDescription(installedPath, &installed);
  const bool newer = UpdaterFindsNewVersion(server, product, currentVersion, newVersion);
  if (newer || UpdaterForcedByMinVersion(server, installed, product)) return VersionCheckResult::kNewer;
  return VersionCheckResult::kUpToDate;
}

UpdateRunResult RunUpdate(const UpdateRunRequest& request, UpdateRunListener* listener,
                          const std::atomic<bool>& cancel) {
  UpdateRunResult result;
  const std::string& folder = request.programFolder;
  UpdateDescription server, installed;
  ReadUpdateDescription(request.serverCopy, &server);
  ReadUpdateDescription(folder + kUpdateFileName, &installed);
  const UpdatePlan plan = BuildUpdatePlan(server, installed, request.product);

  // Every name is checked before anything is written.
  std::vector<std::string> relatives;
  std::set<std::string> seen;
  for (const UpdateDownload& d : plan.downloads) {
    std::string relative;
    if (!UpdateTargetName(d.section, &relative) || relative == kSwapJournalName) {
      result.outcome = UpdateOutcome::kBadName;
      result.section = d.section;
      return result;
    }
    if (seen.insert(relative).second) relatives.push_back(relative);
  }
  if (plan.stoppedAtMissingUrl && plan.newerWithUrlAfterStop) {
    result.outcome = UpdateOutcome::kNoAddress;
    result.section = plan.stopSection;
    return result;
  }

  std::vector<std::string> staged;
  auto fail = [&](UpdateOutcome outcome) {
    DeleteStagedFiles(folder, staged);
    result.outcome = outcome;
    return result;
  };
  for (const UpdateDownload& d : plan.downloads) {
    std::string relative;
    UpdateTargetName(d.section, &relative);
    const fs::path target = PathOf(folder, relative);
    const fs::path stagedPath = PathOf(folder, relative, kStagedSuffix);
    if (cancel.load()) return fail(UpdateOutcome::kCancelled);
    FileSink sink;
    sink.cancel = &cancel;
    sink.listener = listener;
    sink.maxBytes = request.maxFileBytes;
    if (MakeParentFolders(target)) sink.file = std::fopen(stagedPath.c_str(), "wb");
    if (!sink.file) {
      result.path = target.string();
      return fail(UpdateOutcome::kWriteError);
    }
    if (std::find(staged.begin(), staged.end(), relative) == staged.end()) staged.push_back(relative);
    if (listener) listener->FileStarted(d.url);
    HttpDownloadInfo info;
    const HttpDownloadResult got = DownloadUrl(request.serverBase + FileObject(d.url), request.http, WriteBlock, &sink,
                                               ReportProgress, &sink, &info);
    const bool closed = std::fclose(sink.file) == 0;
    result.address = d.url;
    if (cancel.load()) return fail(UpdateOutcome::kCancelled);
    if (sink.writeFailed || !closed) {
      result.path = target.string();
      return fail(UpdateOutcome::kWriteError);
    }
    if (got == kHttpDownloadDone && info.statusCode == 404) return fail(UpdateOutcome::kMissingFile);
    const bool whole = got == kHttpDownloadDone && info.statusCode == 200 && !sink.tooLarge &&
                       (info.contentLength < 0 || info.received == info.contentLength);
    if (!whole) {
      DebugPrintf("update: %s not fetched whole (result %d, status %ld, %lld of %lld bytes)\n", d.url.c_str(),
                  static_cast<int>(got), info.statusCode, info.received, info.contentLength);
      return fail(UpdateOutcome::kFailed);
    }
    if (d.runsInstaller) result.installer = true;
    if (listener) listener->FileArrived(d.url);
  }
  result.address.clear();

  // The server's description goes in with the files, as the last of them.
  {
    std::string description;
    if (!ReadWholeFile(request.serverCopy, &description) ||
        !WriteWholeFile(folder + kUpdateFileName + kStagedSuffix, description.data(), description.size())) {
      result.path = folder + kUpdateFileName;
      return fail(UpdateOutcome::kWriteError);
    }
    if (!seen.count(kUpdateFileName)) {
      relatives.push_back(kUpdateFileName);
      staged.push_back(kUpdateFileName);
    }
  }
  std::string failed;
  if (!SwapStagedFiles(folder, relatives, &failed)) {
    result.path = folder + failed;
    return fail(UpdateOutcome::kSwapFailed);
  }
  if (result.installer) ::chmod(NativePath(folder + kSetupSection).c_str(), 0755);
  result.files = relatives;
  result.outcome = UpdateOutcome::kDone;
  return result;
}

int FindProgramProcess(const std::string& path) {
  std::error_code ec;
  const fs::path wanted = fs::weakly_canonical(fs::path(NativePath(path)), ec);
  const std::string name = wanted.filename().string();
  const uid_t me = ::getuid();
  const int self = static_cast<int>(::getpid());
  for (const ProcessInfo& p : ListProcesses()) {
    if (p.pid == self || p.exeName != name) continue;
    const std::string proc = "/proc/" + std::to_string(p.pid);
    struct stat st;
    if (::stat(proc.c_str(), &st) != 0 || st.st_uid != me) continue;
    const fs::path exe = fs::read_symlink(proc + "/exe", ec);
    if (ec || exe != wanted) continue;
    return p.pid;
  }
  return -1;
}

bool EndProcessAndWait(int pid, unsigned timeoutMs) {
  if (pid <= 0) return false;
  TerminateProcessById(pid);
  if (WaitProcess(pid, timeoutMs, nullptr)) return true;
  return ::kill(pid, 0) != 0;
}
