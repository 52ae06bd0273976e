// A fresh temporary folder for one test, removed with everything in it when
// the object goes.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvskins-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path_ = pattern + "/";
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};
