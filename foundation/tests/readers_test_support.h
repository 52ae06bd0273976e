// Temporary program and application-data folders for the tests of the
// configuration, server directory, board configuration and per-user folders.
// Nothing here touches the real home folder: both roots are overridden
// before anything is read or written.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "foundation/board_config.h"
#include "foundation/config_store.h"
#include "foundation/server_directory.h"
#include "foundation/user_folders.h"
#include "platform/kernel/kernel_files.h"

namespace readers_test {

inline std::string FixturePath(const std::string& name) {
  return std::string(ORV_SOURCE_DIR) + "/foundation/tests/fixtures/readers/" + name;
}

inline std::string ReadText(const std::string& path) {
  std::string text;
  if (!ReadWholeFile(path, &text)) return "<missing>";
  return text;
}

inline void WriteText(const std::string& path, const std::string& text) {
  ASSERT_TRUE(WriteWholeFile(path, text.data(), text.size())) << path;
}

// A program folder whose res/ holds the delivered defaults, and an empty
// application-data folder, both in a fresh temporary folder.
class ReaderFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orv-readers-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    top_ = pattern;
    program_ = top_ + "/program/";
    appData_ = top_ + "/appdata/";
    ASSERT_TRUE(CreateFolderTree(program_ + "res"));
    ASSERT_TRUE(CreateFolderTree(appData_));
    for (const char* name : {"config.data", "server.data", "boardconfig.json", "indexhelp.data"})
      WriteText(program_ + "res/" + name, ReadText(FixturePath(name)));
    WriteText(program_ + "res/own.data", "own-default");
    WriteText(program_ + "res/indexParameter.data", "param-default");
    WriteText(program_ + "res/qver.data", "qver-default");
    SetInstallFolderForTesting(program_);
    SetAppDataFolderForTesting(appData_);
  }

  void TearDown() override {
    FreeServerList();
    FreeBoardConfig();
    FreeIndexHelp();
    SetServerRandomSourceForTesting(nullptr);
    SetClientVersion(nullptr);
    SetInstallFolderForTesting("");
    SetAppDataFolderForTesting("");
    DeleteFolderTree(top_);
  }

  // The per-user data root that InitAppFolders sets up.
  std::string DataRootPath() const { return appData_ + "pellune/Tamsel/"; }
  std::string UserFile(const std::string& relative) const { return DataRootPath() + relative; }

  std::string top_;
  std::string program_;
  std::string appData_;
};

}  // namespace readers_test
