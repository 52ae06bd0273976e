#include "platform/kernel/kernel_process.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <thread>

#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/kernel_files.h"

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

}  // namespace

bool SpawnProcess(const std::string& exe, const std::vector<std::string>& args, const std::string& workDir, int* pid) {
  if (exe.empty()) return false;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(exe.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attr);
  std::string folder = NativePath(workDir);
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  // The child starts with no signal blocked and every signal at its default.
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t child = 0;
  std::string program = NativePath(exe);
  argv[0] = const_cast<char*>(program.c_str());
  int rc = program.find('/') == std::string::npos
               ? ::posix_spawnp(&child, program.c_str(), &actions, &attr, argv.data(), environ)
               : ::posix_spawn(&child, program.c_str(), &actions, &attr, argv.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  if (pid) *pid = child;
  return true;
}

bool WaitProcess(int pid, DWORD timeoutMs, int* exitCode) {
  if (pid <= 0) return false;
  bool unlimited = timeoutMs == INFINITE;
  ULONGLONG deadline = RealTickCount64() + (unlimited ? 0 : timeoutMs);
  // A descriptor that becomes readable when the process ends, ours or not.
  int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  if (pidFd < 0 && errno == ESRCH) return false;
  bool ended = false;
  for (;;) {
    int reaped = Reap(pid, exitCode);
    if (reaped == 1) {
      ended = true;
      break;
    }
    if (reaped < 0 && pidFd < 0 && !Exists(pid)) {
      ended = true;  // another process's, without a pidfd to watch
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
    if (::poll(&pfd, 1, slice) == 1 && reaped < 0) {
      ended = true;  // not our child: its pidfd says it ended
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
