// A fresh temporary folder holding a program folder (program/, with an empty
// res/) and an application-data folder (appdata/), installed as the process's
// two folders for one test, so that nothing a test does reaches the real home
// folder. Both overrides are undone and the folder removed when the object
// goes.
#pragma once

#include <stdlib.h>

#include <string>

#include "foundation/user_folders.h"
#include "platform/kernel/kernel_files.h"

class TempUserFolders {
 public:
  explicit TempUserFolders(const std::string& tag) {
    std::string pattern = "/tmp/orv-" + tag + "-XXXXXX";
    if (!::mkdtemp(pattern.data())) return;
    top_ = pattern;
    ok_ = CreateFolderTree(top_ + "/program/res") && CreateFolderTree(top_ + "/appdata");
    SetInstallFolderForTesting(top_ + "/program/");
    SetAppDataFolderForTesting(top_ + "/appdata/");
  }
  ~TempUserFolders() {
    SetInstallFolderForTesting("");
    SetAppDataFolderForTesting("");
    if (!top_.empty()) DeleteFolderTree(top_);
  }
  TempUserFolders(const TempUserFolders&) = delete;
  TempUserFolders& operator=(const TempUserFolders&) = delete;

  // True when both folders were made.
  bool Ok() const { return ok_; }
  // The temporary folder, without a trailing '/'.
  const std::string& Top() const { return top_; }

 private:
  std::string top_;
  bool ok_ = false;
};
