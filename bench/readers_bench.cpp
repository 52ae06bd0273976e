// The JSON reader on a 1 MB news-list reply and a 300 KB menu-like document,
// each next to RapidJSON's DOM parse of the same bytes (the ratio is printed
// at the end), and the XML reader on a 200 KB server-list reply.
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "foundation/json_reader.h"
#include "foundation/xml_reader.h"

namespace {

std::string NewsList(size_t target) {
  std::string text = "{\"result\":\"true\",\"count\":12345,\"data\":[";
  for (int i = 0; text.size() < target; ++i) {
    std::string n = std::to_string(i);
    if (i > 0) text += ",";
    text += "{\"id\":\"";
    text += std::to_string(1000000 + i);
    text += "\",\"title\":\"\\u6caa\\u6307\\u4eca\\u65e5 沪深两市早盘震荡走高 创业板指涨";
    text += std::to_string(i % 100);
    text += ".5%\",\"url\":\"http://news.example/article/";
    text += n;
    text += ".html?from=pc&type=1\",\"time\":\"2016-05-1";
    text += std::to_string(i % 10);
    text += " 10:30:00\",\"source\":\"证券日报\",\"stock\":[\"600000\",\"000001\"],\"hot\":";
    text += std::to_string(i % 7);
    text += ",\"score\":-0.";
    text += std::to_string(i % 97);
    text += "e+2,\"top\":";
    text += i % 2 != 0 ? "true" : "false";
    text += ",\"img\":null}";
  }
  return text + "]}";
}

std::string Menus(size_t target) {
  std::string text = "{\"result\":\"true\",\"menus\":[";
  for (int i = 0; text.size() < target; ++i) {
    if (i > 0) text += ",";
    text += "{\"name\":\"菜单" + std::to_string(i) + "\",\"id\":" + std::to_string(i) +
            ",\"cmd\":\"goto::info::http://m.example/p" + std::to_string(i) +
            "::userid,sessionid\",\"children\":[";
    for (int j = 0; j < 6; ++j) {
      if (j > 0) text += ",";
      text += "{\"name\":\"子菜单" + std::to_string(j) + "\",\"id\":" + std::to_string(i * 10 + j) +
              ",\"cmd\":\"open::" + std::to_string(j) + "\",\"children\":[{\"name\":\"x\",\"id\":1}]}";
    }
    text += "]}";
  }
  return text + "]}";
}

std::string ServerList(size_t target) {
  std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?><root><result>1</result><PCSevList>";
  for (int i = 0; text.size() < target; ++i) {
    text += "<PCQuote" + std::to_string(i) + ">站点" + std::to_string(i) + "|http://q" +
            std::to_string(i) + ".example:8110/q|http://l" + std::to_string(i) +
            ".example:8110/q</PCQuote" + std::to_string(i) + "><PCLogin>http://login.example/pc?a=1&amp;b=" +
            std::to_string(i) + "</PCLogin><item id=\"" + std::to_string(i) + "\" kind='s'/>";
  }
  return text + "</PCSevList></root>";
}

const std::string& NewsText() {
  static const std::string text = NewsList(1 << 20);
  return text;
}
const std::string& MenuText() {
  static const std::string text = Menus(300 * 1024);
  return text;
}
const std::string& ServerText() {
  static const std::string text = ServerList(200 * 1024);
  return text;
}

bool ParseOurs(const std::string& text) {
  JsonNode* root = nullptr;
  int result = ParseJsonText(&root, text.c_str());
  FreeJsonTree(&root);
  return result == kJsonDone;
}

bool ParseRapid(const std::string& text) {
  rapidjson::Document document;
  document.Parse(text.c_str());
  return !document.HasParseError();
}

void SetBytes(benchmark::State& state, const std::string& text) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_JsonNewsList(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ParseOurs(NewsText()));
  SetBytes(state, NewsText());
}
void BM_RapidJsonNewsList(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ParseRapid(NewsText()));
  SetBytes(state, NewsText());
}
void BM_JsonMenus(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ParseOurs(MenuText()));
  SetBytes(state, MenuText());
}
void BM_RapidJsonMenus(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ParseRapid(MenuText()));
  SetBytes(state, MenuText());
}
void BM_XmlServerList(benchmark::State& state) {
  for (auto _ : state) {
    const char* cursor = ServerText().c_str();
    XmlNode* root = ParseXmlNode(&cursor);
    benchmark::DoNotOptimize(root);
    FreeXmlTree(root);
  }
  SetBytes(state, ServerText());
  state.counters["ns_per_byte"] = benchmark::Counter(
      static_cast<double>(state.iterations() * ServerText().size()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_JsonNewsList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RapidJsonNewsList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JsonMenus)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RapidJsonMenus)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XmlServerList)->Unit(benchmark::kMillisecond);

double Seconds(bool (*parse)(const std::string&), const std::string& text) {
  auto start = std::chrono::steady_clock::now();
  if (!parse(text)) return -1;
  std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  return took.count();
}

// Best of 40 runs of each parser, first one parser's runs and then the
// other's (each warm), then alternating (each after the other's frees).
void PrintRatio(const char* name, const std::string& text) {
  double ours = 1e9;
  double rapid = 1e9;
  for (int i = 0; i < 40; ++i) ours = std::min(ours, Seconds(ParseOurs, text));
  for (int i = 0; i < 40; ++i) rapid = std::min(rapid, Seconds(ParseRapid, text));
  printf("%-20s %8zu bytes  in turn:     ours %7.3f ms  RapidJSON %7.3f ms  ratio %.2f (goal <= 1.5)\n",
         name, text.size(), ours * 1e3, rapid * 1e3, ours / rapid);
  ours = rapid = 1e9;
  for (int i = 0; i < 40; ++i) {
    ours = std::min(ours, Seconds(ParseOurs, text));
    rapid = std::min(rapid, Seconds(ParseRapid, text));
  }
  printf("%-20s %8zu bytes  alternating: ours %7.3f ms  RapidJSON %7.3f ms  ratio %.2f\n", name,
         text.size(), ours * 1e3, rapid * 1e3, ours / rapid);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintRatio("JSON news list", NewsText());
  PrintRatio("JSON menu document", MenuText());
  const char* cursor = ServerText().c_str();
  double best = 1e9;
  for (int i = 0; i < 15; ++i) {
    cursor = ServerText().c_str();
    auto start = std::chrono::steady_clock::now();
    XmlNode* root = ParseXmlNode(&cursor);
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    FreeXmlTree(root);
    if (took.count() < best) best = took.count();
  }
  printf("%-22s %8zu bytes  %.2f ns per byte (parse only)\n", "XML server list", ServerText().size(),
         best * 1e9 / static_cast<double>(ServerText().size()));
  return 0;
}
