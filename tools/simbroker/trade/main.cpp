// simbroker_trade: the simulated trade service on its own, for the demo.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <pthread.h>

#include "tools/simbroker/trade/trade_service.h"

namespace {

constexpr int kDefaultPort = 8890;

void PrintHelp(const simtrade::TradeServiceOptions& options) {
  printf(
      "Usage: simbroker_trade [--port N] [--path /trade] [--page-size N] [--no-token-check]\n"
      "Serves the simulated trade service on 127.0.0.1 (default port %d).\n"
      "Account 880001 (type 0 普通账号), trade password 135790, fund password 246810,\n"
      "bank password 888888.\n"
      "Account 880002 (type 0, 沪A only), trade password 112233, fund password 445566,\n"
      "bank password 666666.\n"
      "Put this line in res\\server.data:\n  %s\n",
      kDefaultPort, simtrade::TradeServiceServerDataLine(options, options.port).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  simtrade::TradeServiceOptions options;
  options.port = kDefaultPort;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      PrintHelp(options);
      return 0;
    }
    if (arg == "--port" && hasValue) {
      options.port = atoi(argv[++i]);
    } else if (arg == "--path" && hasValue) {
      options.path = argv[++i];
    } else if (arg == "--page-size" && hasValue) {
      options.pageSize = atoi(argv[++i]);
    } else if (arg == "--no-token-check") {
      options.checkToken = false;
    } else {
      fprintf(stderr, "simbroker_trade: unknown argument %s (see --help)\n", arg.c_str());
      return 2;
    }
  }
  // The service's threads inherit the blocked signals, so that only sigwait
  // below takes them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  simtrade::TradeService* service = simtrade::RunTradeService(options);
  if (service == nullptr) {
    fprintf(stderr, "simbroker_trade: cannot listen on 127.0.0.1:%d\n", options.port);
    return 1;
  }
  printf("simbroker_trade serving %s\n%s\n", simtrade::TradeServiceAddress(service).c_str(),
         simtrade::TradeServiceServerDataLine(options, simtrade::TradeServicePort(service)).c_str());
  fflush(stdout);
  int received = 0;
  sigwait(&signals, &received);
  simtrade::StopTradeService(service);
  return 0;
}
