#include "shell/pending_update.h"

#include "foundation/debug_trace.h"
#include "foundation/zip_reader.h"
#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_utf.h"
#include "updater/update_file.h"

namespace {

constexpr char kPackageName[] = "ZipPack.zip";

// Names that would leave the program folder: absolute ones and those with
// a ".." step (the reader already cut them; they are skipped, not moved).
bool NameLeavesFolder(const WString& name, bool changedByReader) {
  if (changedByReader) return true;
  if (name.empty()) return false;
  if (name[0] == u'/' || name[0] == u'\\' || (name.size() > 1 && name[1] == u':')) return true;
  size_t start = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && name[i] != u'/' && name[i] != u'\\') continue;
    if (name.compare(start, i - start, u"..") == 0) return true;
    start = i + 1;
  }
  return false;
}

}  // namespace

PendingUpdateReport UnpackPendingUpdate(const std::string& folder) {
  PendingUpdateReport report;
  const std::string package = folder + kPackageName;
  ZipHandle* zip = OpenZipFile(Utf8ToWide(package).c_str());
  if (!zip) return report;
  report.opened = true;
  UpdateDescription installed;
  ReadUpdateDescription(folder + kUpdateFileName, &installed);
  const std::string packageVersion = ReadPackageVersion(installed);
  SetUnzipBaseDir(zip, Utf8ToWide(folder).c_str());
  ZipEntry count = {};
  GetZipItem(zip, -1, &count);
  for (int i = 0; i < count.index; ++i) {
    ZipEntry entry = {};
    if (GetZipItem(zip, i, &entry) != kZipOk) {
      DebugPrintf("update package: item %d cannot be read\n", i);
      continue;
    }
    const WString name(entry.name);
    const std::string item = WideToUtf8(name);
    if (NameLeavesFolder(name, entry.nameChanged != FALSE)) {
      DebugPrintf("update package: item %d (%s) would leave the program folder; skipped\n", i, item.c_str());
      ++report.refused;
      continue;
    }
    if (!PackageItemWanted(packageVersion, ReadPackageItemVersion(installed, item))) {
      ++report.skipped;
      continue;
    }
    const DWORD result = UnzipItemToFile(zip, i, entry.name);
    if (result != kZipOk) {
      DebugPrintf("update package: %s not unpacked (0x%X)\n", item.c_str(), static_cast<unsigned>(result));
      continue;
    }
    ++report.unpacked;
  }
  CloseZip(zip);
  DeleteFileAt(package);
  return report;
}
