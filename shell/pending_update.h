// The update package the updater leaves for the next start: "ZipPack.zip"
// in the program folder, unpacked item by item before anything else runs.
#pragma once

#include <string>

// What one run did, for traces and tests.
struct PendingUpdateReport {
  bool opened = false;     // the package was there and could be read
  int unpacked = 0;        // items written below the program folder
  int skipped = 0;         // items not newer than the installed copy
  int refused = 0;         // items with an absolute name or a ".." step
};

// Unpacks the package of folder (the program folder, ending in '/'): every
// item whose section of update.ini has an empty VERSION or one that sorts
// before the package's VERSION (UTF-16 order), under its name below the
// folder. Items named absolutely ('/', '\', a drive) or with a ".." step
// are skipped with a trace. The package is deleted afterwards, whether or
// not anything was unpacked; a package that cannot be opened is kept.
PendingUpdateReport UnpackPendingUpdate(const std::string& folder);
