// The updater's work without windows: the version check, the update run
// over the plan of update_file.h, and the staging and swap that keep the
// installed release whole whatever happens to a run.
//
// A run downloads every newer file of the server's description to
// "<target>.upg" beside its target. Only when every one of them has arrived
// whole (status 200, the announced length) are they moved into place, the
// server's description last among them as update.ini:
//   1. the swap journal "update.swap" is written: one line per target,
//      "1 <name>" when an old file is there, "0 <name>" when not;
//   2. per target: the old file becomes "<target>.old", the ".upg" file is
//      renamed over the target;
//   3. the journal is removed (from here on the new release stands), then
//      the ".old" copies.
// When a rename fails the targets already moved are put back from their
// ".old" copies, every ".upg" file is deleted and the run fails. A run cut
// short between 1 and 3 (a crash, a kill) leaves the journal, and the next
// start puts the old files back first (RestoreInterruptedSwap).
//
// Section names are paths below the program folder and are checked before
// any becomes a file name: '\' separates, and an empty name or step, an
// absolute path, a drive letter or a ".." step is refused.
//
// RunUpdate runs on a worker thread; it touches nothing but the files of
// the program folder and calls its listener on that thread.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "foundation/http_download.h"

constexpr char kSwapJournalName[] = "update.swap";
constexpr char kStagedSuffix[] = ".upg";
constexpr char kKeptSuffix[] = ".old";
// The main program the updater stops before a run and starts after it.
constexpr char kMainProgramFile[] = "Korvane";

// "http://host[:port][/object]": the host, the port (80 when none is given)
// and the object (path and query; "/" when none). False for any other
// scheme, an empty host or a bad port.
struct HttpAddress {
  std::string host;
  int port = 80;
  std::string object;
};
bool ParseHttpAddress(const std::string& address, HttpAddress* out);

// The object a file is fetched by from the description's server: the
// object of an HTTP address (its own host and port are not used), the whole
// address otherwise.
std::string FileObject(const std::string& address);

// A section name as a relative path with '/' separators; false when the
// name is empty, absolute ('/', '\', a drive letter), or has an empty or
// ".." step.
bool UpdateTargetName(const std::string& section, std::string* relative);

// Moves each staged file ("<folder><name>.upg") over its target as the
// header describes. relatives are names below folder (ending in '/'), each
// once. False, with the name that could not be moved in *failed and every
// target as before, when a rename fails or a target is not a plain file.
bool SwapStagedFiles(const std::string& folder, const std::vector<std::string>& relatives, std::string* failed);

// Puts back the old files of a swap that was cut short (the journal is
// there): each ".old" copy over its target, a target that had none
// removed, the ".upg" files and the journal deleted. Returns how many old
// files were put back; 0 when there was no journal.
int RestoreInterruptedSwap(const std::string& folder);

// Deletes "<folder><name>.upg" for each name.
void DeleteStagedFiles(const std::string& folder, const std::vector<std::string>& relatives);

// ---------------------------------------------------------------- version check

enum class VersionCheckResult {
  kNewer,          // the server offers a newer version (or forces one by MINVER)
  kUpToDate,       // nothing newer
  kConnectFailed,  // no reply, or a status other than 200
};

// Fetches the description at address into descriptionPath and compares:
// the product's VERSION against currentVersion (byte order), or the
// server's product MINVER against the installed copy's (installedPath).
// *newVersion receives the server's product VERSION (at most 127 bytes).
VersionCheckResult CheckForNewVersion(const std::string& address, const std::string& descriptionPath,
                                      const std::string& installedPath, const std::string& product,
                                      const std::string& currentVersion, const HttpDownloadSettings& settings,
                                      std::string* newVersion);

// ---------------------------------------------------------------- update run

enum class UpdateOutcome {
  kDone,          // every newer file and the description are in place
  kMissingFile,   // a file answered 404 (address)
  kFailed,        // a file could not be fetched whole
  kCancelled,     // the cancel flag was set
  kWriteError,    // a staged file could not be written (path: its target)
  kBadName,       // a newer section's name is no path below the folder (section)
  kNoAddress,     // a newer section without URL before other newer files (section)
  kSwapFailed,    // the files could not be moved into place (path: the target)
};

struct UpdateRunResult {
  UpdateOutcome outcome = UpdateOutcome::kFailed;
  std::string address;           // kMissingFile, kFailed: the file's address
  std::string section;           // kBadName, kNoAddress
  std::string path;              // kWriteError, kSwapFailed: the target's path
  bool installer = false;        // kDone: "Setup.exe" was among the files
  std::vector<std::string> files;  // kDone: the targets moved into place, in order
};

struct UpdateRunRequest {
  std::string programFolder;   // ends in '/'
  std::string serverCopy;      // the description the version check fetched
  std::string serverBase;      // "http://host:port" of the description's server
  std::string product;         // the product section ("Tamsel")
  HttpDownloadSettings http;
  long long maxFileBytes = 1LL << 30;  // a larger announced or received file fails the run
};

// Called on the run's thread.
class UpdateRunListener {
 public:
  virtual ~UpdateRunListener() = default;
  virtual void FileStarted(const std::string& address) = 0;
  // Percent of the current file; only called when its length is known.
  virtual void FileProgress(int percent) = 0;
  virtual void FileArrived(const std::string& address) = 0;
};

// The whole run: plan, checks, downloads into ".upg" files, swap. The
// cancel flag is looked at after every received block and while waiting
// for data. On any outcome but kDone no installed file has changed and no
// ".upg" file is left.
UpdateRunResult RunUpdate(const UpdateRunRequest& request, UpdateRunListener* listener,
                          const std::atomic<bool>& cancel);

// ---------------------------------------------------------------- processes

// The id of a running process of this user whose program file is the file
// at path (the program folder's main program, not any program of that
// name elsewhere), other than this process; -1 when there is none.
int FindProgramProcess(const std::string& path);

// Ends the process and waits at most timeoutMs until it is gone. True when
// it is gone.
bool EndProcessAndWait(int pid, unsigned timeoutMs);
