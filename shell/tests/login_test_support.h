// What the shell's tests share: a temporary program folder and data root
// pointed at a simulated brokerage on a free loopback port, and a window-
// less view of the login chain that records what the chain shows.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "controls/tests/resource_fixture.h"
#include "shell/login_chain.h"
#include "tools/simbroker/http/sim_http_services.h"

namespace shelltest {

// A program folder (seeds of the demo, pictures of the build, update.ini)
// and a data root of the test's own, and the brokerage's HTTP side on a
// free port that res\server.data names. The chain's server-list port and
// the transport's time-outs follow the object; everything is restored when
// it goes.
class BrokerageFolders {
 public:
  BrokerageFolders();
  ~BrokerageFolders();
  BrokerageFolders(const BrokerageFolders&) = delete;
  BrokerageFolders& operator=(const BrokerageFolders&) = delete;

  bool Ok() const { return ok_; }
  simhttp::SimHttpServer& Server() { return *server_; }
  void Scenario(const std::function<void(simhttp::SimHttpScenario&)>& change);
  std::vector<std::string> Services() const;  // the request log's service names, in order

  const std::string& Program() const { return program_; }  // ends in '/'
  std::string Data() const;                               // the data root, ends in '/'
  std::string ReadData(const std::string& relative) const;  // "" when missing
  bool DataExists(const std::string& relative) const;
  void WriteData(const std::string& relative, const std::string& content);
  void WriteProgram(const std::string& relative, const std::string& content);
  // Short HTTP time-outs for the scenarios that hold their replies.
  void ShortTimeouts(int httpMs = 400);

 private:
  orvtest::TempFolder temp_;
  std::string program_;
  std::unique_ptr<simhttp::SimHttpServer> server_;
  std::unique_ptr<orvtest::ScopedWorkingFolder> working_;
  bool ok_ = false;
};

// A LoginView without a window: records what the chain shows and answers
// its boxes from a script.
class RecordingView : public LoginView {
 public:
  void WakeUp() override { ++wakeUps; }
  void ShowStatus(const WString& text) override { statuses.push_back(text); }
  void EnableLogin(bool enable) override { loginEnabled = enable; }
  void SetCodeAddress(const char* address) override { codeAddress = address ? address : ""; }
  void RefreshCode() override { ++codeRefreshes; }
  int Ask(const WString& text, const WString& caption, UINT type, bool ownerless) override;
  bool RememberAccount() override { return rememberAccount; }
  bool RememberPassword() override { return rememberPassword; }
  void CloseForUpdate() override { closedForUpdate = true; }
  void Finish() override { finished = true; }

  WString LastStatus() const { return statuses.empty() ? WString() : statuses.back(); }
  // Back to a fresh view (the chain using it must be gone).
  void Reset() {
    wakeUps = 0;
    statuses.clear();
    loginEnabled = true;
    codeAddress.clear();
    codeRefreshes = 0;
    boxes.clear();
    boxAnswer = 1;
    rememberAccount = true;
    rememberPassword = false;
    closedForUpdate = false;
    finished = false;
  }

  struct Box {
    WString text, caption;
    UINT type;
    bool ownerless;
  };
  std::atomic<int> wakeUps{0};
  std::vector<WString> statuses;
  bool loginEnabled = true;
  std::string codeAddress;
  int codeRefreshes = 0;
  std::vector<Box> boxes;
  int boxAnswer = 1;  // IDOK / IDYES = 6
  bool rememberAccount = true;
  bool rememberPassword = false;
  bool closedForUpdate = false;
  bool finished = false;
};

// Runs the chain's queued steps until pred holds or timeoutMs pass (real
// time). Returns pred's last value.
bool RunChainUntil(LoginChain& chain, const std::function<bool()>& pred, int timeoutMs = 20000);

// The chain of a recording view from the start to waiting for the user
// (server list handled, update check done). False when it did not get there.
bool ReachLoginReady(LoginChain& chain, RecordingView& view);

WString Wide(const std::string& utf8);
std::string Narrow(const WString& wide);

}  // namespace shelltest
