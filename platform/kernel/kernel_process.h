// Processes: start, wait, terminate, list.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/kernel/win_types.h"

// Starts exe with args (argv[1] onwards; argv[0] is exe) in workDir (empty:
// the caller's folder), inheriting the environment. exe without a '/' is
// searched in $PATH. *pid receives the new process's id. False, with *pid
// untouched, when the program cannot be started (missing, not executable,
// bad workDir).
bool SpawnProcess(const std::string& exe, const std::vector<std::string>& args, const std::string& workDir, int* pid);

// A program start with everything SpawnProcess takes and more.
struct ProcessStart {
  std::string exe;                // as for SpawnProcess
  std::vector<std::string> args;  // argv[1] onwards
  std::string workDir;            // empty: the caller's folder
  std::vector<std::string> env;   // "NAME=value" entries added to (or replacing) the inherited ones
  int passFd = -1;                // when >= 0: this descriptor becomes the child's descriptor 3
};
bool StartProcess(const ProcessStart& start, int* pid);

// Every child started by SpawnProcess/StartProcess is reaped by the kernel
// when it ends, whether or not anyone waits for it (no zombie stays); its
// exit code is kept for one later WaitProcess.
//
// Waits at most timeoutMs of real time (INFINITE: no limit) for the process
// to end. True when it has ended; for a process this one started,
// *exitCode (optional) then receives its exit status, or 128 + the signal
// number when a signal ended it, and the process is reaped (so a second wait
// for it fails). For another process *exitCode is left untouched. False on
// time-out or when there is no such process.
bool WaitProcess(int pid, DWORD timeoutMs, int* exitCode);

// Ends the process at once (SIGKILL); a child of ours is then reaped
// without blocking the caller. False for pid <= 0 (never a group or
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

// Splits a command line by the platform's rules: blanks separate arguments,
// double quotes group (and are removed), a backslash before a double quote
// makes it literal.
std::vector<std::string> SplitCommandLine(const std::string& line);

// ShellExecuteExW: the subset the system uses. lpFile names a program
// (absolute, relative to lpDirectory when given, or searched in $PATH);
// lpParameters is split with SplitCommandLine; lpDirectory is the working
// folder (null: the caller's); nShow is accepted and not interpreted; with
// SEE_MASK_NOCLOSEPROCESS hProcess receives the process id (as a handle) for
// WaitProcess / TerminateProcessById. hInstApp is 33 on success. False with
// GetLastError() ERROR_FILE_NOT_FOUND (missing or not executable program,
// bad folder) or ERROR_INVALID_PARAMETER (null info or lpFile).
constexpr ULONG SEE_MASK_NOCLOSEPROCESS = 0x40;
struct SHELLEXECUTEINFOW {
  DWORD cbSize = sizeof(SHELLEXECUTEINFOW);
  ULONG fMask = 0;
  void* hwnd = nullptr;
  const WCHAR* lpVerb = nullptr;
  const WCHAR* lpFile = nullptr;
  const WCHAR* lpParameters = nullptr;
  const WCHAR* lpDirectory = nullptr;
  int nShow = 0;
  void* hInstApp = nullptr;
  void* hProcess = nullptr;
};
BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info);
// The shell's "open" of a web address: an "http://" or "https://" address
// goes to the user's web browser through "xdg-open" (searched in $PATH),
// started without waiting. FALSE for a null address, another scheme, or an
// opener that cannot start. With a test opener installed the address goes to
// it instead (its result is the result); null removes it.
BOOL ShellOpenWebAddress(const WCHAR* address);
void SetWebAddressOpenerForTesting(std::function<bool(const std::u16string&)> opener);

// The process id a SEE_MASK_NOCLOSEPROCESS handle names.
inline int ProcessIdOfHandle(void* process) { return static_cast<int>(reinterpret_cast<std::intptr_t>(process)); }
