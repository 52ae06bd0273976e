#include "platform/kernel/kernel_process.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <cstdlib>
#include <thread>

#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_thread.h"
#include "platform/kernel/kernel_utf.h"

extern char** environ;

namespace {

int ExitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// Collects the status of our child pid if it has ended: 1 ended (code in
// *exitCode), 0 still running, -1 not our child.
int Reap(int pid, int* exitCode) {
  int status = 0;
  pid_t r;
  do {
    r = ::waitpid(pid, &status, WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == 0) return 0;
  if (r < 0) return -1;
  if (exitCode) *exitCode = ExitCodeOf(status);
  return 1;
}

bool Exists(int pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

std::string BaseName(std::string path) {
  const std::string deleted = " (deleted)";
  if (path.size() > deleted.size() && path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
    path.resize(path.size() - deleted.size());
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The reaper: one thread per process watching the children we started (a
// pidfd each) and collecting them as they end, keeping the exit codes for
// WaitProcess.
struct Reaper {
  std::mutex lock;
  std::condition_variable ended;
  std::map<int, int> pidFds;     // running children: pid -> pidfd
  std::map<int, int> exitCodes;  // ended children nobody waited for yet
  int wakeFd = -1;
  bool started = false;

  void Add(int pid) {
    int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    std::lock_guard<std::mutex> g(lock);
    if (!started) {
      wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
      started = true;
      std::thread([this] { Run(); }).detach();
    }
    if (fd >= 0) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    pidFds[pid] = fd;
    uint64_t one = 1;
    if (wakeFd >= 0) (void)!::write(wakeFd, &one, sizeof one);
  }

  bool Owns(int pid) {
    std::lock_guard<std::mutex> g(lock);
    return pidFds.count(pid) || exitCodes.count(pid);
  }

  // Collects every ended child; called with the lock held.
  void CollectLocked() {
    for (auto it = pidFds.begin(); it != pidFds.end();) {
      int code = 0;
      if (Reap(it->first, &code) != 0) {
        exitCodes[it->first] = code;
        if (it->second >= 0) ::close(it->second);
        it = pidFds.erase(it);
        ended.notify_all();
      } else {
        ++it;
      }
    }
  }

  [[noreturn]] void Run() {
    std::vector<struct pollfd> fds;
    for (;;) {
      {
        std::lock_guard<std::mutex> g(lock);
        CollectLocked();
        fds.clear();
        fds.push_back({wakeFd, POLLIN, 0});
        for (auto& [pid, fd] : pidFds)
          if (fd >= 0) fds.push_back({fd, POLLIN, 0});
      }
      // Children without a pidfd (old kernels) are looked at every 50 ms.
      ::poll(fds.data(), fds.size(), 50);
      if (fds[0].revents & POLLIN) {
        uint64_t count;
        (void)!::read(wakeFd, &count, sizeof count);
      }
    }
  }

  // 1 ended (code in *exitCode, record dropped), 0 time-out.
  bool Wait(int pid, DWORD timeoutMs, int* exitCode) {
    std::unique_lock<std::mutex> g(lock);
    auto done = [&] {
      CollectLocked();
      return exitCodes.count(pid) != 0;
    };
    if (timeoutMs == INFINITE) {
      while (!done()) ended.wait_for(g, std::chrono::milliseconds(50));
    } else {
      auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
      while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        ended.wait_until(g, std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(50)));
      }
    }
    if (exitCode) *exitCode = exitCodes[pid];
    exitCodes.erase(pid);
    return true;
  }
};

Reaper& TheReaper() {
  static Reaper* reaper = new Reaper;
  return *reaper;
}

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

bool StartProcess(const ProcessStart& start, int* pid) {
  if (start.exe.empty()) return false;
  std::vector<char*> argv;
  std::string program = NativePath(start.exe);
  argv.push_back(program.data());
  std::vector<std::string> args = start.args;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  // The environment: ours, with the extra entries replacing same-named ones.
  std::vector<std::string> envStrings;
  auto nameOf = [](const std::string& e) { return e.substr(0, e.find('=')); };
  for (char** e = environ; e && *e; ++e) {
    std::string entry = *e;
    bool replaced = std::any_of(start.env.begin(), start.env.end(),
                                [&](const std::string& x) { return nameOf(x) == nameOf(entry); });
    if (!replaced) envStrings.push_back(entry);
  }
  for (const std::string& x : start.env)
    if (x.find('=') != std::string::npos && x.find('=') > 0) envStrings.push_back(x);
  std::vector<char*> envp;
  for (std::string& e : envStrings) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attr);
  std::string folder = NativePath(start.workDir);
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  int passFd = -1;
  if (start.passFd >= 0) {
    // dup2 onto 3 clears close-on-exec; the source must not be 3 itself.
    passFd = ::fcntl(start.passFd, F_DUPFD_CLOEXEC, 10);
    if (passFd >= 0) posix_spawn_file_actions_adddup2(&actions, passFd, 3);
  }
  // The child starts with no signal blocked and every signal at its default.
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t child = 0;
  int rc = (start.passFd >= 0 && passFd < 0) ? EBADF
           : program.find('/') == std::string::npos
               ? ::posix_spawnp(&child, program.c_str(), &actions, &attr, argv.data(), envp.data())
               : ::posix_spawn(&child, program.c_str(), &actions, &attr, argv.data(), envp.data());
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  if (passFd >= 0) ::close(passFd);
  if (rc != 0) return false;
  TheReaper().Add(child);
  if (pid) *pid = child;
  return true;
}

bool SpawnProcess(const std::string& exe, const std::vector<std::string>& args, const std::string& workDir, int* pid) {
  return StartProcess(ProcessStart{exe, args, workDir, {}, -1}, pid);
}

bool WaitProcess(int pid, DWORD timeoutMs, int* exitCode) {
  if (pid <= 0) return false;
  if (TheReaper().Owns(pid)) return TheReaper().Wait(pid, timeoutMs, exitCode);
  bool unlimited = timeoutMs == INFINITE;
  ULONGLONG deadline = RealTickCount64() + (unlimited ? 0 : timeoutMs);
  // A descriptor that becomes readable when the process ends.
  int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  if (pidFd < 0 && errno == ESRCH) return false;
  bool ended = false;
  for (;;) {
    if (pidFd < 0 && !Exists(pid)) {
      ended = true;  // without a pidfd to watch
      break;
    }
    ULONGLONG now = RealTickCount64();
    if (!unlimited && now >= deadline) break;
    int slice = unlimited ? 1000 : static_cast<int>(std::min<ULONGLONG>(deadline - now, 1000));
    if (pidFd < 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::min(slice, 5)));
      continue;
    }
    struct pollfd pfd {pidFd, POLLIN, 0};
    if (::poll(&pfd, 1, slice) == 1) {
      ended = true;
      break;
    }
  }
  if (pidFd >= 0) ::close(pidFd);
  return ended;
}

bool TerminateProcessById(int pid) {
  if (pid <= 0) return false;
  return ::kill(pid, SIGKILL) == 0;
}

std::vector<ProcessInfo> ListProcesses() {
  std::vector<ProcessInfo> list;
  DIR* proc = ::opendir("/proc");
  if (!proc) return list;
  while (struct dirent* entry = ::readdir(proc)) {
    const char* name = entry->d_name;
    if (*name < '1' || *name > '9' || std::string_view(name).find_first_not_of("0123456789") != std::string_view::npos)
      continue;
    std::string base = std::string("/proc/") + name;
    std::string stat;
    if (!ReadWholeFile(base + "/stat", &stat)) continue;  // ended meanwhile
    // "pid (comm) state ppid ...": comm may hold spaces and parentheses.
    size_t open = stat.find('('), close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) continue;
    ProcessInfo info{std::atoi(name), 0, stat.substr(open + 1, close - open - 1)};
    if (close + 4 < stat.size()) info.parentPid = std::atoi(stat.c_str() + close + 4);
    char target[4096];
    ssize_t n = ::readlink((base + "/exe").c_str(), target, sizeof target - 1);
    if (n > 0) info.exeName = BaseName(std::string(target, static_cast<size_t>(n)));
    list.push_back(std::move(info));
  }
  ::closedir(proc);
  std::sort(list.begin(), list.end(), [](const ProcessInfo& a, const ProcessInfo& b) { return a.pid < b.pid; });
  return list;
}

std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> out;
  std::string current;
  bool inArg = false, quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == '\\' && i + 1 < line.size() && line[i + 1] == '"') {
      current += '"';
      inArg = true;
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
      inArg = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (inArg) out.push_back(current);
      current.clear();
      inArg = false;
    } else {
      current += c;
      inArg = true;
    }
  }
  if (inArg) out.push_back(current);
  return out;
}

BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info) {
  if (!info || !info->lpFile || !*info->lpFile) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string file = NativePath(WideToUtf8(info->lpFile));
  std::string folder = info->lpDirectory ? NativePath(WideToUtf8(info->lpDirectory)) : std::string();
  std::string params = info->lpParameters ? WideToUtf8(info->lpParameters) : std::string();
  // A relative name with a folder part counts from the working folder.
  std::string checkPath = file;
  if (file.find('/') != std::string::npos && file[0] != '/' && !folder.empty())
    checkPath = (folder.back() == '/' ? folder : folder + "/") + file;
  if (file.find('/') != std::string::npos && !IsExecutableFile(checkPath)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  int pid = 0;
  if (!StartProcess(ProcessStart{checkPath, SplitCommandLine(params), folder, {}, -1}, &pid)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  info->hInstApp = reinterpret_cast<void*>(std::intptr_t{33});
  info->hProcess = (info->fMask & SEE_MASK_NOCLOSEPROCESS) ? reinterpret_cast<void*>(std::intptr_t{pid}) : nullptr;
  return TRUE;
}

namespace {
std::mutex g_openerLock;
std::function<bool(const std::u16string&)> g_opener;
}  // namespace

void SetWebAddressOpenerForTesting(std::function<bool(const std::u16string&)> opener) {
  std::lock_guard<std::mutex> hold(g_openerLock);
  g_opener = std::move(opener);
}

BOOL ShellOpenWebAddress(const WCHAR* address) {
  if (!address) return FALSE;
  const std::u16string text(address);
  if (text.rfind(u"http://", 0) != 0 && text.rfind(u"https://", 0) != 0) return FALSE;
  {
    std::lock_guard<std::mutex> hold(g_openerLock);
    if (g_opener) return g_opener(text) ? TRUE : FALSE;
  }
  int pid = 0;
  return StartProcess(ProcessStart{"xdg-open", {WideToUtf8(text)}, std::string(), {}, -1}, &pid) ? TRUE : FALSE;
}
