// The main program: the application object and the framework's entry.
//
// Test switch (tests only, no effect without it): ORV_TEST_SERVER_LIST_PORT
// replaces the server list's port 8889, so a test's own brokerage, or a
// port nobody listens on, answers.
#include <cstdio>
#include <cstdlib>

#include "shell/korvane_app.h"
#include "shell/login_chain.h"

CKorvaneApp theApp;

int main(int argc, char** argv) {
  const SnapshotSwitch snapshot = ParseSnapshotSwitch(argc, argv);
  if (!snapshot.error.empty()) {
    std::fprintf(stderr, "Korvane: %s\n", snapshot.error.c_str());
    return 1;
  }
  if (const char* port = std::getenv("ORV_TEST_SERVER_LIST_PORT")) {
    LoginChainSettings settings = GetLoginChainSettings();
    settings.serverListPort = std::atoi(port);
    SetLoginChainSettingsForTesting(settings);
  }
  theApp.SetSnapshot(snapshot);
  return AfxWinMain(argc, argv);
}
