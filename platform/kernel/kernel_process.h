// Processes: start, wait, terminate, list.
#pragma once

#include <string>
#include <vector>

#include "platform/kernel/win_types.h"

// Starts exe with args (argv[1] onwards; argv[0] is exe) in workDir (empty:
// the caller's folder), inheriting the environment. exe without a '/' is
// searched in $PATH. *pid receives the new process's id. False, with *pid
// untouched, when the program cannot be started (missing, not executable,
// bad workDir).
bool SpawnProcess(const std::string& exe, const std::vector<std::string>& args, const std::string& workDir, int* pid);

// Waits at most timeoutMs of real time (INFINITE: no limit) for the process
// to end. True when it has ended; for a process this one started,
// *exitCode (optional) then receives its exit status, or 128 + the signal
// number when a signal ended it, and the process is reaped (so a second wait
// for it fails). For another process *exitCode is left untouched. False on
// time-out or when there is no such process.
bool WaitProcess(int pid, DWORD timeoutMs, int* exitCode);

// Ends the process at once (SIGKILL). False for pid <= 0 (never a group or
// every process) or when the signal cannot be sent.
bool TerminateProcessById(int pid);

struct ProcessInfo {
  int pid;
  int parentPid;
  std::string exeName;  // the program file's name without its folder (for a process whose
                        // file cannot be read: the kernel's command name, at most 15 bytes)
};

// Every process visible in /proc, in ascending pid order.
std::vector<ProcessInfo> ListProcesses();
