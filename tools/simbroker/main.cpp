// simbroker: the simulated brokerage on loopback, for demos and manual tests.
// One program serves everything the terminal talks to: market data, history
// data, the HTTP services (sign-in chain, pages, update service) and the
// trade service.
#include <pthread.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tools/simbroker/dictionary_service.h"
#include "tools/simbroker/history_server.h"
#include "tools/simbroker/http/sim_http_cli.h"
#include "tools/simbroker/http/sim_http_services.h"
#include "tools/simbroker/market_server.h"
#include "tools/simbroker/stock_dataset.h"
#include "tools/simbroker/trade/trade_service.h"

namespace {

constexpr int kDefaultTradePort = 8890;

void PrintHelp() {
  std::printf(
      "simbroker: the simulated brokerage, serving on 127.0.0.1 only.\n"
      "\n"
      "Servers and ports:\n"
      "  market data (framed TCP, challenge and every request type)   --quote-port N   (default 8110)\n"
      "                                    --quote-bind ADDRESS  loopback address it listens on (default 127.0.0.1)\n"
      "  dictionary repair (HTTP POST /quote, own endpoint)           --dict-port N    (default 0: off)\n"
      "  history data \"DownCenter\" (framed TCP)                      --history-port N (default 8111; 0: off)\n"
      "\n"
      "Data:\n"
      "  --stocks FILE       the stock data set (default: the committed data/stocks.txt)\n"
      "  Sorted lists (type 40) by list id: 1101/1110 all A shares, 1102 Shanghai A, 1103 Shenzhen A,\n"
      "  1105 002xxx, 1106 300xxx, 1107 all B, 1108 Shanghai B, 1109 Shenzhen B, 1112/1113 上证50/180\n"
      "  and 1114/1115 深证成指/100 (the leading codes of their market), 1116 沪深300, 3108 ETFs,\n"
      "  3107 LOFs; 3103/36/37, 1813/1814, 99992005, 410602-410607 and 440101-440501 are empty;\n"
      "  other ids list every stock.\n"
      "\n"
      "Market-data options:\n"
      "  --result-code N     login result sent after the answer: -1 accepts (default),\n"
      "                      -16/-14 not logged in, -15 no level-2 right, others leave the client waiting\n"
      "  --no-verify         do not check the answer's products against the key\n"
      "  --gzip              gzip every reply\n"
      "  --push-ms N         interval of pushed updates in ms (default 3000; 0: none)\n"
      "  --drop-after N      close a connection after it sent N data frames (0: never)\n"
      "  --reply-type N      send every reply with type N (unknown-type test)\n"
      "  --reply-mode N      send every reply with header byte 0 = N\n"
      "  --split-writes N    write frames in pieces of N bytes (slow delivery)\n"
      "  --truncate N        cut N bytes off the end of every reply body (bounds tests)\n"
      "  --log               print one line per received request\n"
      "  --seed N            seed of the random walk and the key bytes (default 1)\n"
      "  --help              this text\n"
      "\n"
      "Trade service (HTTP POST, \"PCTrade\")                          --trade-port N   (default 8890; 0: off)\n"
      "  account 880001, trade password 135790, fund password 246810, bank password 888888\n"
      "  account 880002 (沪A only), trade password 112233, fund password 445566, bank password 666666\n"
      "\n"
      "HTTP services: every option of simbroker_http below, written with the prefix --http-\n"
      "(for example --http-port 8889, --http-ialogin refuse, --http-three-sites).\n"
      "  --demo              standard ports everywhere; the HTTP side names the trade service\n"
      "  --no-http           do not start the HTTP services\n"
      "\n");
  std::printf("%s", simhttp::HttpUsageText().c_str());
}

bool NumberArg(int argc, char** argv, int* i, long long* out) {
  if (*i + 1 >= argc) return false;
  char* end = nullptr;
  *out = std::strtoll(argv[++*i], &end, 10);
  return end && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
  simbroker::MarketServerOptions options;
  options.port = 8110;
  int dictPort = 0;
  int historyPort = 8111;
  std::string stocksPath = simbroker::DefaultStockDatasetPath();
  int tradePort = kDefaultTradePort;
  bool startHttp = true;
  std::vector<std::string> httpArgs;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    long long value = 0;
    if (arg == "--help" || arg == "-h") {
      PrintHelp();
      return 0;
    }
    if (arg == "--gzip") {
      options.gzip = true;
    } else if (arg == "--log") {
      options.logRequests = true;
    } else if (arg == "--no-verify") {
      options.verifyAnswer = false;
    } else if (arg == "--quote-port" && NumberArg(argc, argv, &i, &value)) {
      options.port = static_cast<int>(value);
    } else if (arg == "--quote-bind" && i + 1 < argc) {
      options.bindAddress = argv[++i];
    } else if (arg == "--result-code" && NumberArg(argc, argv, &i, &value)) {
      options.resultCode = static_cast<int32_t>(value);
    } else if (arg == "--push-ms" && NumberArg(argc, argv, &i, &value)) {
      options.pushIntervalMs = static_cast<int>(value);
    } else if (arg == "--drop-after" && NumberArg(argc, argv, &i, &value)) {
      options.dropAfterFrames = static_cast<int>(value);
    } else if (arg == "--reply-type" && NumberArg(argc, argv, &i, &value)) {
      options.replyTypeOverride = static_cast<int>(value);
    } else if (arg == "--reply-mode" && NumberArg(argc, argv, &i, &value)) {
      options.replyModeOverride = static_cast<int>(value);
    } else if (arg == "--split-writes" && NumberArg(argc, argv, &i, &value)) {
      options.splitWritesBytes = static_cast<int>(value);
    } else if (arg == "--truncate" && NumberArg(argc, argv, &i, &value)) {
      options.truncateReplyBytes = static_cast<int>(value);
    } else if (arg == "--dict-port" && NumberArg(argc, argv, &i, &value)) {
      dictPort = static_cast<int>(value);
    } else if (arg == "--history-port" && NumberArg(argc, argv, &i, &value)) {
      historyPort = static_cast<int>(value);
    } else if (arg == "--stocks" && i + 1 < argc) {
      stocksPath = argv[++i];
    } else if (arg == "--seed" && NumberArg(argc, argv, &i, &value)) {
      options.seed = static_cast<uint64_t>(value);
    } else if (arg == "--trade-port" && NumberArg(argc, argv, &i, &value)) {
      tradePort = static_cast<int>(value);
    } else if (arg == "--demo") {
      httpArgs.push_back("--demo");
    } else if (arg == "--no-http") {
      startHttp = false;
    } else if (arg.rfind("--http-", 0) == 0) {
      // "--http-name[=value] [value]": the HTTP side's own "--name".
      httpArgs.push_back("--" + arg.substr(7));
      if (arg.find('=') == std::string::npos && i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0)
        httpArgs.push_back(argv[++i]);
    } else {
      std::fprintf(stderr, "simbroker: unknown or incomplete option %s (see --help)\n", arg.c_str());
      return 2;
    }
  }
  // The HTTP side names the history and trade services that run here; its
  // own options given after these still win.
  std::vector<std::string> named = {"--history-port", std::to_string(historyPort)};
  if (tradePort != 0) {
    named.push_back("--trade");
    named.push_back("http://127.0.0.1:" + std::to_string(tradePort) + "/trade");
  }
  httpArgs.insert(httpArgs.begin(), named.begin(), named.end());
  simhttp::SimHttpOptions httpOptions;
  simhttp::SimHttpScenario httpScenario;
  simhttp::SimHttpCommand httpCommand;
  std::string httpError;
  if (!simhttp::ParseHttpCommandLine(httpArgs, &httpOptions, &httpScenario, &httpCommand, &httpError)) {
    std::fprintf(stderr, "simbroker: %s (see --help)\n", httpError.c_str());
    return 2;
  }
  // Only the main thread takes SIGINT and SIGTERM (in sigwait below): every
  // service thread inherits the blocked set.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  simbroker::StockDataset stocks;
  std::string error;
  if (!simbroker::LoadStockDataset(stocksPath, &stocks, &error)) {
    std::fprintf(stderr, "simbroker: %s\n", error.c_str());
    return 1;
  }
  simbroker::InstallDictionaryService(stocks);
  // News links of the market data point at the HTTP site that runs here.
  if (startHttp && httpOptions.port != 0 && !httpOptions.sites.empty())
    options.httpBase = "http://" + httpOptions.sites.front().host + ":" + std::to_string(httpOptions.port);
  simbroker::MarketDataServer market(options);
  if (!market.Start()) {
    std::fprintf(stderr, "simbroker: cannot listen on 127.0.0.1:%d\n", options.port);
    return 1;
  }
  std::printf("simbroker: market data on 127.0.0.1:%d\n", market.Port());
  simbroker::DictionaryHttpServer dictionary(stocks, "/quote", dictPort);
  if (dictPort != 0) {
    if (!dictionary.Start()) {
      std::fprintf(stderr, "simbroker: cannot listen on 127.0.0.1:%d\n", dictPort);
      return 1;
    }
    std::printf("simbroker: dictionary repair on http://127.0.0.1:%d/quote\n", dictionary.Port());
  }
  simbroker::HistoryServerOptions historyOptions;
  historyOptions.port = historyPort;
  historyOptions.seed = options.seed;
  simbroker::HistoryServer history(historyOptions, stocks);
  if (historyPort != 0) {
    if (!history.Start()) {
      std::fprintf(stderr, "simbroker: cannot listen on 127.0.0.1:%d\n", historyPort);
      return 1;
    }
    std::printf("simbroker: history data on 127.0.0.1:%d\n", history.Port());
  }
  simtrade::TradeService* trade = nullptr;
  if (tradePort != 0) {
    simtrade::TradeServiceOptions tradeOptions;
    tradeOptions.port = tradePort;
    trade = simtrade::RunTradeService(tradeOptions);
    if (!trade) {
      std::fprintf(stderr, "simbroker: cannot listen on 127.0.0.1:%d\n", tradePort);
      return 1;
    }
    std::printf("simbroker: trade service on %s\n  %s\n", simtrade::TradeServiceAddress(trade).c_str(),
                simtrade::TradeServiceServerDataLine(tradeOptions, simtrade::TradeServicePort(trade)).c_str());
  }
  std::fflush(stdout);
  std::atomic<bool> httpStop{false};
  std::atomic<int> httpResult{0};
  std::thread httpThread;
  if (startHttp) {
    httpOptions.quoteHandler = simbroker::DictionaryRepairHandler(stocks);
    httpThread = std::thread([&] { httpResult = simhttp::RunHttpServices(httpOptions, httpScenario, &httpStop); });
  }
  int received = 0;
  sigwait(&signals, &received);
  httpStop = true;
  if (httpThread.joinable()) httpThread.join();
  if (trade) simtrade::StopTradeService(trade);
  history.Stop();
  dictionary.Stop();
  market.Stop();
  return 0;
}
