// What the updater's tests share: a temporary program folder holding the
// installed release (the demo's update.ini, old files of known contents,
// the generated pictures) and the simulated brokerage's HTTP side on a free
// loopback port.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "controls/tests/resource_fixture.h"
#include "tools/simbroker/http/sim_http_services.h"

namespace updatetest {

// The old contents of the two updatable files of the demo release.
extern const char kOldHelp[];
extern const char kOldLog[];

class TestInstall {
 public:
  TestInstall();
  ~TestInstall();
  TestInstall(const TestInstall&) = delete;
  TestInstall& operator=(const TestInstall&) = delete;

  bool Ok() const { return ok_; }
  simhttp::SimHttpServer& Server() { return *server_; }
  void Scenario(const std::function<void(simhttp::SimHttpScenario&)>& change);
  // The description's address on the test's server.
  std::string DescriptionAddress() const;
  std::string Base() const;  // "http://127.0.0.1:port"
  // Paths of the files fetched from /update/files/, in order.
  std::vector<std::string> FileRequests() const;

  const std::string& Path() const { return program_; }  // ends in '/'
  std::string Read(const std::string& relative) const;   // "" when missing
  bool Exists(const std::string& relative) const;         // anything at that path
  void Write(const std::string& relative, const std::string& content);
  // Every file below the folder (relative path -> content), pictures left
  // out; for the checks that nothing changed.
  std::map<std::string, std::string> Files() const;
  // Names below the folder that end in ".upg" or ".old", and the journal.
  std::vector<std::string> Leftovers() const;
  // A private folder for the description the version check fetches.
  std::string TempPath() const { return temp_.Path() + "check/"; }

 private:
  orvtest::TempFolder temp_;
  std::string program_;
  std::unique_ptr<simhttp::SimHttpServer> server_;
  std::unique_ptr<orvtest::ScopedWorkingFolder> working_;
  bool ok_ = false;
};

// The simulated brokerage's content of one update file.
std::string ServerFile(const std::string& name);

}  // namespace updatetest
