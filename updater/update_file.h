// update.ini: the update description of one release.
//
// The server publishes one copy; the program folder keeps the copy of the
// installed release. Sections, in the server's order: the product section
// ("Tamsel": VERSION, MINVER), one section per file named by its path below
// the program folder (VERSION, URL), "Setup.exe" (an installer),
// "ZipPack.zip" (an update package unpacked by the main program at its next
// start), then one section per package item (VERSION only).
//
// Reading goes through the kernel's profile functions once
// (ReadUpdateDescription); everything after that is pure functions over the
// read description, shared by the updater and the main program's start-up
// and login. Section and key names are found without regard to case; the
// updater recognises the product section and "Setup.exe" by exact name.
// Version texts compare as strings, never as numbers: "1.0.0.10" sorts
// before "1.0.0.9".
#pragma once

#include <string>
#include <vector>

constexpr char kUpdateFileName[] = "update.ini";
constexpr char kProductSection[] = "Tamsel";
constexpr char kSetupSection[] = "Setup.exe";
constexpr char kPackageSection[] = "ZipPack.zip";

// Defaults of a missing key.
constexpr char kDefaultClientVersion[] = "tq_winpc_tqx1_1.0.0.1_016";
constexpr char kDefaultServerMinVersion[] = "1.0.0.001";
constexpr char kDefaultInstalledMinVersion[] = "1.0.0.000";
constexpr char kDefaultServerFileVersion[] = "1.0.0.001";
constexpr char kDefaultInstalledFileVersion[] = "1.0.0.000";

// What each reader's buffer holds: the main program reads UTF-16 and keeps
// at most this many units, the updater reads bytes.
constexpr size_t kClientVersionMaxUnits = 511;
constexpr size_t kPackageVersionMaxUnits = 127;
constexpr size_t kUpdaterNewVersionMaxBytes = 127;
constexpr size_t kUpdaterFileVersionMaxBytes = 63;
constexpr size_t kUpdaterUrlMaxBytes = 511;

// One section as read; a key that is absent has its has-flag false.
struct UpdateSection {
  std::string name;  // as written in the file
  bool hasVersion = false;
  std::string version;  // VERSION
  bool hasMinVersion = false;
  std::string minVersion;  // MINVER
  bool hasUrl = false;
  std::string url;  // URL
};

struct UpdateDescription {
  bool present = false;                // the file could be read
  std::vector<UpdateSection> sections;  // in file order
};

// Reads the file at path (UTF-8 path, '\' accepted) through the profile
// functions. A missing file gives present == false and no sections, which
// every reader below treats as "all keys missing". Returns present.
bool ReadUpdateDescription(const std::string& path, UpdateDescription* out);

// ---------------------------------------------------------------- rules

// True when version a sorts before b byte by byte (unsigned), a proper
// beginning sorting first. The updater's order.
bool VersionBefore(const std::string& a, const std::string& b);

// The same for UTF-8 texts compared as their UTF-16 code units (the main
// program's order; it differs from byte order only between characters
// beyond U+FFFF and those from U+E000 to U+FFFF).
bool VersionBeforeUtf16(const std::string& a, const std::string& b);

// The section that holds a package item's version: a path with a '/' that is
// not its last character becomes '\' + the path with every '/' turned into
// '\' ("res/a.png" -> "\res\a.png"); other paths ("a.png", "res/") stay.
std::string PackageItemSection(const std::string& itemPath);

// The first section of that name, without regard to ASCII case; null when
// none.
const UpdateSection* FindUpdateSection(const UpdateDescription& d, const std::string& name);

// ---------------------------------------------------------------- main program

// Start-up: the installed copy's product VERSION, default
// kDefaultClientVersion, at most kClientVersionMaxUnits UTF-16 units.
std::string ReadClientVersion(const UpdateDescription& installed);

// Start-up, package unpacking: the VERSION of "ZipPack.zip" and of an item's
// section in the installed copy; empty when missing; at most
// kPackageVersionMaxUnits UTF-16 units.
std::string ReadPackageVersion(const UpdateDescription& installed);
std::string ReadPackageItemVersion(const UpdateDescription& installed, const std::string& itemPath);

// An item is unpacked when its version is empty or sorts before the
// package's (UTF-16 order).
bool PackageItemWanted(const std::string& packageVersion, const std::string& itemVersion);

enum class LoginUpdate {
  kNone,     // up to date: the downloaded copy is deleted
  kOffered,  // the client version sorts before the server's VERSION: ask
  kForced,   // the server's MINVER sorts after the installed one: update
};

// Login's update check (UTF-16 order): the server's product MINVER (default
// "1.0.0.001") against the installed one (default "1.0.0.000") first, then
// the client version against the server's product VERSION (default
// kDefaultClientVersion).
LoginUpdate CheckUpdateAtLogin(const UpdateDescription& server, const UpdateDescription& installed,
                               const std::string& clientVersion);

// ---------------------------------------------------------------- updater

// Version check: the server's VERSION of the product section (default
// empty, at most kUpdaterNewVersionMaxBytes) in *newVersion; true when the
// current version sorts before it.
bool UpdaterFindsNewVersion(const UpdateDescription& server, const std::string& product,
                            const std::string& currentVersion, std::string* newVersion);

// The updater's forced update: the server's product MINVER (default
// "1.0.0.001") sorts after the installed one (default "1.0.0.000"), byte
// order. The version check offers the update then even when VERSION is not
// newer, so that a forced update cannot come back at every login.
bool UpdaterForcedByMinVersion(const UpdateDescription& server, const UpdateDescription& installed,
                               const std::string& product);

struct UpdateDownload {
  std::string section;           // the file's path below the program folder
  std::string url;               // absolute address, at most kUpdaterUrlMaxBytes
  std::string serverVersion;     // at most kUpdaterFileVersionMaxBytes
  std::string installedVersion;  // "1.0.0.000" when the installed copy lacks it
  bool runsInstaller = false;    // section "Setup.exe": run it after the download
};

struct UpdatePlan {
  std::vector<UpdateDownload> downloads;  // in the server file's order
  bool stoppedAtMissingUrl = false;       // a newer section without URL ended the walk
  std::string stopSection;                // that section's name
  bool newerWithUrlAfterStop = false;     // a newer section with a URL follows the stop
};

// The update run's walk over the server copy: every section but the product
// section (exact name) whose server VERSION (default "1.0.0.001") sorts
// after the installed VERSION (default "1.0.0.000") is downloaded from its
// URL; the first such section without a URL ends the walk and is reported,
// with whether a newer section with a URL comes after it. Texts are cut to
// the updater's buffer sizes between characters.
UpdatePlan BuildUpdatePlan(const UpdateDescription& server, const UpdateDescription& installed,
                           const std::string& product);
