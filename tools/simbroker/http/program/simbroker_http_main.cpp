// simbroker_http: runs the simulated brokerage's HTTP services until it is
// interrupted. See --help.
#include <csignal>
#include <cstdio>

#include "tools/simbroker/http/sim_http_cli.h"

using namespace simhttp;

namespace {

std::atomic<bool> stopRequested{false};

void OnSignal(int) { stopRequested.store(true); }

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  SimHttpOptions options;
  SimHttpScenario scenario;
  SimHttpCommand command;
  std::string error;
  if (!ParseHttpCommandLine(args, &options, &scenario, &command, &error)) {
    fprintf(stderr, "simbroker_http: %s (see --help)\n", error.c_str());
    return 2;
  }
  if (command.help) {
    printf("%s", HttpUsageText().c_str());
    return 0;
  }
  if (!command.seedFolder.empty()) {
    if (!WriteDemoSeedFiles(command.seedFolder)) {
      fprintf(stderr, "simbroker_http: cannot write the seed files into %s\n", command.seedFolder.c_str());
      return 1;
    }
    return 0;
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  return RunHttpServices(options, scenario, &stopRequested);
}
