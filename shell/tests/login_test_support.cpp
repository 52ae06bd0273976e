#include "shell/tests/login_test_support.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include "foundation/config_store.h"
#include "foundation/transport_timing.h"
#include "foundation/user_folders.h"
#include "platform/gdi/win_gdi.h"
#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_utf.h"
#include "tools/simbroker/http/sim_http_content.h"

namespace shelltest {

namespace fs = std::filesystem;

BrokerageFolders::BrokerageFolders() {
  if (temp_.Path().empty()) return;
  program_ = temp_.Path() + "program/";
  simhttp::SimHttpOptions options;
  options.port = 0;
  options.holdMs = 60000;
  server_ = std::make_unique<simhttp::SimHttpServer>(options);
  if (server_->Start() != 1) return;
  for (const auto& [path, content] : simhttp::BuildDemoSeedFiles()) WriteProgram(path, content);
  WriteProgram("res/server.data", simhttp::BuildServerDirectory(server_->Layout(), 0));
  // The pictures the generator drew into the build's program folder.
  const std::string build = orvtest::BuildProgramFolder();
  std::error_code error;
  fs::copy(build + "login_res", program_ + "login_res", fs::copy_options::recursive, error);
  fs::create_directories(program_ + "res/icon", error);
  fs::copy_file(build + "res/icon/128.png", program_ + "res/icon/128.png", error);
  fs::copy_file(build + "res/fonts.conf", program_ + "res/fonts.conf", fs::copy_options::overwrite_existing, error);
  // The main window the chain ends in opens the code dictionary, seeded from
  // the program folder, and draws its bars with the generated pictures.
  fs::copy(build + "res", program_ + "res", fs::copy_options::recursive | fs::copy_options::skip_existing, error);
  SetInstallFolderForTesting(program_);
  SetAppDataFolderForTesting(temp_.Path() + "appdata/");
  SetResourceFolder(program_ + "res/");
  working_ = std::make_unique<orvtest::ScopedWorkingFolder>(program_);
  InitAppFolders();
  LoginChainSettings settings;
  settings.serverListPort = server_->Port();
  settings.updateConnectTimeoutMs = 2000;
  settings.updateReceiveTimeoutMs = 600;
  SetLoginChainSettingsForTesting(settings);
  SetClientVersion(nullptr);
  ok_ = working_->Ok() && !DataRoot().empty();
}

BrokerageFolders::~BrokerageFolders() {
  if (server_) server_->Stop();
  SetTransportTimings(TransportTimings());
  SetLoginChainSettingsForTesting(LoginChainSettings());
  SetClientVersion(nullptr);
  working_.reset();
  SetResourceFolder("");
  SetAppDataFolderForTesting("");
  SetInstallFolderForTesting("");
}

void BrokerageFolders::Scenario(const std::function<void(simhttp::SimHttpScenario&)>& change) {
  simhttp::SimHttpScenario s = server_->Scenario();
  change(s);
  server_->SetScenario(s);
}

std::vector<std::string> BrokerageFolders::Services() const {
  std::vector<std::string> out;
  for (const auto& r : server_->Requests()) out.push_back(r.service);
  return out;
}

std::string BrokerageFolders::Data() const { return DataRoot(); }

std::string BrokerageFolders::ReadData(const std::string& relative) const {
  std::string out;
  ReadWholeFile(DataRoot() + relative, &out);
  return out;
}

bool BrokerageFolders::DataExists(const std::string& relative) const { return FileExists(DataRoot() + relative); }

void BrokerageFolders::WriteData(const std::string& relative, const std::string& content) {
  WriteDataFile(relative.c_str(), content.data(), static_cast<int>(content.size()));
}

void BrokerageFolders::WriteProgram(const std::string& relative, const std::string& content) {
  const fs::path path = program_ + relative;
  std::error_code error;
  fs::create_directories(path.parent_path(), error);
  WriteWholeFile(path.string(), content.data(), content.size());
}

void BrokerageFolders::ShortTimeouts(int httpMs) {
  TransportTimings t;
  t.httpTimeoutMs = static_cast<DWORD>(httpMs);
  t.systemHttpTimeoutMs = static_cast<DWORD>(httpMs);
  SetTransportTimings(t);
}

int RecordingView::Ask(const WString& text, const WString& caption, UINT type, bool ownerless) {
  boxes.push_back({text, caption, type, ownerless});
  return boxAnswer;
}

bool RunChainUntil(LoginChain& chain, const std::function<bool()>& pred, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    chain.RunPending();
    if (pred()) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

bool ReachLoginReady(LoginChain& chain, RecordingView& view) {
  chain.RequestServerList();
  return RunChainUntil(chain, [&] { return !chain.Busy() && view.loginEnabled; });
}

WString Wide(const std::string& utf8) { return Utf8ToWide(utf8); }
std::string Narrow(const WString& wide) { return WideToUtf8(wide); }

}  // namespace shelltest
