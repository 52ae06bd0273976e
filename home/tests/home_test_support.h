// Shared pieces of the home panel tests: the program folder as working
// folder (relative "res\..." pictures), the program fonts, a window that
// records what reaches it, and a loopback simbroker HTTP site named in a
// temporary data root's server directory.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/config_store.h"
#include "foundation/draw_helpers.h"
#include "foundation/server_directory.h"
#include "foundation/user_folders.h"
#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_utf.h"
#include "platform/mfc/afx.h"
#include "platform/window/win_desktop.h"
#include "tools/simbroker/http/sim_http_services.h"

namespace home_test {

// The build's program folder as working folder and resource folder, and the
// program's fonts, as at start-up. Once per process.
inline void UseProgramFolder() {
  static bool done = false;
  if (done) return;
  const std::string folder = std::string(ORV_BINARY_DIR) + "/";
  EXPECT_EQ(chdir(folder.c_str()), 0);
  SetResourceFolder(folder + "res/");
  LoadFontAliases(folder + "res/fonts.conf");
  HDC dc = GetDC(nullptr);
  ChooseUiFontFace(dc);
  ReleaseDC(nullptr, dc);
  done = true;
}

struct Message {
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};

// A window that records the messages it is asked to record (any thread may
// read the record).
class Recorder : public CWnd {
 public:
  explicit Recorder(std::vector<UINT> wanted) : wanted_(std::move(wanted)) {}
  std::vector<Message> Of(UINT msg) const {
    std::lock_guard<std::mutex> g(lock_);
    std::vector<Message> out;
    for (const Message& m : log_)
      if (m.msg == msg) out.push_back(m);
    return out;
  }
  size_t Count(UINT msg) const { return Of(msg).size(); }
  void Clear() {
    std::lock_guard<std::mutex> g(lock_);
    log_.clear();
  }
  LRESULT answer = 0;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    for (UINT m : wanted_)
      if (m == msg) {
        std::lock_guard<std::mutex> g(lock_);
        log_.push_back({msg, w, l});
        return answer;
      }
    return CWnd::WindowProc(msg, w, l);
  }

 private:
  std::vector<UINT> wanted_;
  mutable std::mutex lock_;
  std::vector<Message> log_;
};

// A loopback simbroker HTTP site and a temporary data root whose
// res\server.data names it.
class ServedRoot {
 public:
  ServedRoot() {
    simhttp::SimHttpOptions options;
    options.port = 0;
    options.holdMs = 1000;
    server = std::make_unique<simhttp::SimHttpServer>(options);
    EXPECT_EQ(1, server->Start());
    char pattern[] = "/tmp/orv-home-XXXXXX";
    EXPECT_NE(mkdtemp(pattern), nullptr);
    top = pattern;
    std::filesystem::create_directories(top + "/program/res");
    std::filesystem::create_directories(top + "/appdata");
    SetInstallFolderForTesting(top + "/program/");
    SetAppDataFolderForTesting(top + "/appdata/");
    InitAppFolders();
    LoadConfig();
    const std::string directory = simhttp::BuildServerDirectory(server->Layout(), 0);
    EXPECT_TRUE(WriteDataFile("res\\server.data", directory.c_str(), static_cast<int>(directory.size())));
    LoadServerList();
  }
  ~ServedRoot() {
    FreeServerList();
    SetInstallFolderForTesting("");
    SetAppDataFolderForTesting("");
    server->Stop();
    std::filesystem::remove_all(top);
  }
  std::string Base() const { return server->BaseUrl(0); }

  std::unique_ptr<simhttp::SimHttpServer> server;
  std::string top;
};

inline std::string U8(const std::u16string& s) { return WideToUtf8(s); }

// The pixel as 0xRRGGBB.
inline uint32_t Rgb(const QImage& img, int x, int y) { return img.pixel(x, y) & 0xFFFFFF; }

inline int CountNear(const QImage& img, uint32_t rgb, int l, int t, int r, int b, int tolerance = 0x30) {
  int n = 0;
  for (int y = std::max(t, 0); y < std::min(b, img.height()); ++y)
    for (int x = std::max(l, 0); x < std::min(r, img.width()); ++x) {
      const uint32_t p = Rgb(img, x, y);
      bool close = true;
      for (int shift : {0, 8, 16})
        close = close && std::abs(int((p >> shift) & 0xFF) - int((rgb >> shift) & 0xFF)) <= tolerance;
      n += close;
    }
  return n;
}

inline std::string SnapshotFolder() {
  const std::string folder = std::string(ORV_BINARY_DIR) + "/home_snapshots";
  std::filesystem::create_directories(folder);
  return folder;
}

}  // namespace home_test
