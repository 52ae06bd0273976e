// simbroker: the simulated brokerage on loopback, for demos and manual tests.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "tools/simbroker/dictionary_service.h"
#include "tools/simbroker/history_server.h"
#include "tools/simbroker/market_server.h"
#include "tools/simbroker/stock_dataset.h"

namespace {

volatile std::sig_atomic_t gStop = 0;

void OnSignal(int) { gStop = 1; }

void PrintHelp() {
  std::printf(
      "simbroker: the simulated brokerage, serving on 127.0.0.1 only.\n"
      "\n"
      "Servers and ports:\n"
      "  market data (framed TCP, challenge and every request type)   --quote-port N   (default 8110)\n"
      "  dictionary repair (HTTP POST /quote, own endpoint)           --dict-port N    (default 0: off)\n"
      "  history data \"DownCenter\" (framed TCP)                      --history-port N (default 8111; 0: off)\n"
      "\n"
      "Data:\n"
      "  --stocks FILE       the stock data set (default: the committed data/stocks.txt)\n"
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
      "  --help              this text\n");
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
    } else {
      std::fprintf(stderr, "simbroker: unknown or incomplete option %s (see --help)\n", arg.c_str());
      return 2;
    }
  }
  simbroker::StockDataset stocks;
  std::string error;
  if (!simbroker::LoadStockDataset(stocksPath, &stocks, &error)) {
    std::fprintf(stderr, "simbroker: %s\n", error.c_str());
    return 1;
  }
  simbroker::InstallDictionaryService(stocks);
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
  std::fflush(stdout);
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  while (!gStop) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  history.Stop();
  dictionary.Stop();
  market.Stop();
  return 0;
}
