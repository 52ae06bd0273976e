#include "updater/update_file.h"

#include <cstddef>
#include <vector>

#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_ini.h"
#include "platform/kernel/kernel_utf.h"

namespace {


// At most maxBytes bytes of text (a byte buffer's cut).
// At most maxBytes of a UTF-8 text, cut between characters (a narrow
// buffer's cut never leaves half a character).
std::string CutBytes(const std::string& text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  size_t end = maxBytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

// At most maxUnits UTF-16 units of a UTF-8 text, cut between characters (a
// wide buffer's cut; a character beyond U+FFFF takes two units).
std::string CutUnits(const std::string& text, size_t maxUnits) {
  size_t units = 0;
  size_t i = 0;
  while (i < text.size()) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    size_t length = b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    size_t width = length == 4 ? 2 : 1;
    if (units + width > maxUnits) break;
    units += width;
    i += length;
  }
  return text.substr(0, i);
}

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

std::string VersionOr(const UpdateDescription& d, const std::string& section, const char* deflt) {
  const UpdateSection* s = FindUpdateSection(d, section);
  return s && s->hasVersion ? s->version : std::string(deflt);
}

std::string MinVersionOr(const UpdateDescription& d, const std::string& section, const char* deflt) {
  const UpdateSection* s = FindUpdateSection(d, section);
  return s && s->hasMinVersion ? s->minVersion : std::string(deflt);
}

// The key names of a section through the profile functions' list form.
std::vector<std::string> KeyNamesOf(const std::string& path, const std::string& section) {
  std::vector<char> buffer(1024);
  DWORD length = 0;
  for (;;) {
    DWORD size = static_cast<DWORD>(buffer.size());
    length = GetPrivateProfileStringA(section.c_str(), nullptr, "", buffer.data(), size, path.c_str());
    if (length + 2 < size || buffer.size() >= (1u << 24)) break;
    buffer.resize(buffer.size() * 4);  // the list was cut
  }
  std::vector<std::string> names;
  for (size_t i = 0; i < length;) {
    std::string name(buffer.data() + i);
    i += name.size() + 1;
    if (!name.empty()) names.push_back(name);
  }
  return names;
}

}  // namespace

bool ReadUpdateDescription(const std::string& path, UpdateDescription* out) {
  *out = UpdateDescription();
  if (!FileExists(path)) return false;
  out->present = true;
  for (const std::string& name : GetProfileSectionNames(path)) {
    UpdateSection section;
    section.name = name;
    for (const std::string& key : KeyNamesOf(path, name)) {
      bool* has = SameNameIgnoringCase(key, "VERSION")  ? &section.hasVersion
                  : SameNameIgnoringCase(key, "MINVER") ? &section.hasMinVersion
                  : SameNameIgnoringCase(key, "URL")    ? &section.hasUrl
                                                        : nullptr;
      if (has) *has = true;
    }
    if (section.hasVersion) section.version = GetProfileText(path, name, "VERSION");
    if (section.hasMinVersion) section.minVersion = GetProfileText(path, name, "MINVER");
    if (section.hasUrl) section.url = GetProfileText(path, name, "URL");
    out->sections.push_back(section);
  }
  return true;
}

bool VersionBefore(const std::string& a, const std::string& b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    unsigned char ca = static_cast<unsigned char>(a[i]);
    unsigned char cb = static_cast<unsigned char>(b[i]);
    if (ca != cb) return ca < cb;
  }
  return a.size() < b.size();
}

bool VersionBeforeUtf16(const std::string& a, const std::string& b) { return Utf8ToWide(a) < Utf8ToWide(b); }

std::string PackageItemSection(const std::string& itemPath) {
  size_t slash = itemPath.find('/');
  if (slash == std::string::npos || slash + 1 == itemPath.size()) return itemPath;
  std::string section = "\\" + itemPath;
  for (char& c : section) {
    if (c == '/') c = '\\';
  }
  return section;
}

const UpdateSection* FindUpdateSection(const UpdateDescription& d, const std::string& name) {
  for (const UpdateSection& s : d.sections) {
    if (SameNameIgnoringCase(s.name, name)) return &s;
  }
  return nullptr;
}

std::string ReadClientVersion(const UpdateDescription& installed) {
  return CutUnits(VersionOr(installed, kProductSection, kDefaultClientVersion), kClientVersionMaxUnits);
}

std::string ReadPackageVersion(const UpdateDescription& installed) {
  return CutUnits(VersionOr(installed, kPackageSection, ""), kPackageVersionMaxUnits);
}

std::string ReadPackageItemVersion(const UpdateDescription& installed, const std::string& itemPath) {
  return CutUnits(VersionOr(installed, PackageItemSection(itemPath), ""), kPackageVersionMaxUnits);
}

bool PackageItemWanted(const std::string& packageVersion, const std::string& itemVersion) {
  return itemVersion.empty() || VersionBeforeUtf16(itemVersion, packageVersion);
}

LoginUpdate CheckUpdateAtLogin(const UpdateDescription& server, const UpdateDescription& installed,
                               const std::string& clientVersion) {
  std::string serverMin = MinVersionOr(server, kProductSection, kDefaultServerMinVersion);
  std::string installedMin = MinVersionOr(installed, kProductSection, kDefaultInstalledMinVersion);
  if (VersionBeforeUtf16(installedMin, serverMin)) return LoginUpdate::kForced;
  std::string serverVersion = VersionOr(server, kProductSection, kDefaultClientVersion);
  if (VersionBeforeUtf16(clientVersion, serverVersion)) return LoginUpdate::kOffered;
  return LoginUpdate::kNone;
}

bool UpdaterFindsNewVersion(const UpdateDescription& server, const std::string& product,
                            const std::string& currentVersion, std::string* newVersion) {
  *newVersion = CutBytes(VersionOr(server, product, ""), kUpdaterNewVersionMaxBytes);
  return VersionBefore(currentVersion, *newVersion);
}

bool UpdaterForcedByMinVersion(const UpdateDescription& server, const UpdateDescription& installed,
                               const std::string& product) {
  return VersionBefore(MinVersionOr(installed, product, kDefaultInstalledMinVersion),
                       MinVersionOr(server, product, kDefaultServerMinVersion));
}

UpdatePlan BuildUpdatePlan(const UpdateDescription& server, const UpdateDescription& installed,
                           const std::string& product) {
  UpdatePlan plan;
  for (const UpdateSection& s : server.sections) {
    if (s.name == product) continue;
    // Keys are looked up by name, so a repeated section reads as its first.
    const UpdateSection& first = *FindUpdateSection(server, s.name);
    std::string serverVersion =
        CutBytes(first.hasVersion ? first.version : std::string(kDefaultServerFileVersion), kUpdaterFileVersionMaxBytes);
    std::string installedVersion = VersionOr(installed, s.name, kDefaultInstalledFileVersion);
    if (!VersionBefore(installedVersion, serverVersion)) continue;
    std::string url = first.hasUrl ? CutBytes(first.url, kUpdaterUrlMaxBytes) : std::string();
    if (plan.stoppedAtMissingUrl) {
      // Past the stop only whether another newer file would have followed.
      if (!url.empty()) {
        plan.newerWithUrlAfterStop = true;
        break;
      }
      continue;
    }
    if (url.empty()) {
      plan.stoppedAtMissingUrl = true;
      plan.stopSection = s.name;
      continue;
    }
    UpdateDownload download;
    download.section = s.name;
    download.url = url;
    download.serverVersion = serverVersion;
    download.installedVersion = installedVersion;
    download.runsInstaller = s.name == kSetupSection;
    plan.downloads.push_back(download);
  }
  return plan;
}
