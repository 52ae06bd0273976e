// Command line of the simulated brokerage's HTTP side: the services'
// settings and every scenario switch, shared by the simbroker_http program
// and whatever program starts the HTTP services with the market data.
#pragma once

#include <string>
#include <vector>

#include "tools/simbroker/http/sim_http_services.h"

namespace simhttp {

// What the command line asked for besides serving.
struct SimHttpCommand {
  bool help = false;        // --help: print HttpUsageText and stop
  bool demo = false;        // --demo: standard ports, request lines printed
  std::string seedFolder;   // --write-seeds DIR: write the demo seeds and stop
};

// Parses the arguments (without the program name) into the three records,
// which keep their defaults for what is not given. Returns 1, or 0 with a
// one-line reason in *error for an unknown option or a bad value.
int ParseHttpCommandLine(const std::vector<std::string>& args, SimHttpOptions* options,
                         SimHttpScenario* scenario, SimHttpCommand* command, std::string* error);

// --help text: services, ports, accounts and every switch.
std::string HttpUsageText();

// Writes BuildDemoSeedFiles() below `folder` (folders made as needed).
// Returns 1, or 0 when a file cannot be written.
int WriteDemoSeedFiles(const std::string& folder);

}  // namespace simhttp
