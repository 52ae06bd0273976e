// A second (third, ...) process for the token store's tests.
//
//   tokenstore_helper <library path>
//
// Loads the library, creates one DataSaver, prints "ready" and then answers
// one line per command line read from standard input:
//   set <code> <type> <token|->     -> <hr>            ('-' is the empty token)
//   get <code>                      -> <hr> <type> <token|->
//   active                          -> <hr> <code> <type> <token|->
//   fill <first code> <count>       -> <count of S_OK> <last hr>
//   lock                            -> locked   (then holds the lock until killed)
//   stress <threads> <iterations> <codes>  -> ok | torn <what>
//   check                           -> ok | torn <what>   (walks every record)
//   exit                            -> (releases everything and ends, exit code 0)
#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tokenstore/data_saver.h"
#include "tokenstore/tests/token_text.h"

namespace {

DllGetClassObjectFn g_getClassObject = nullptr;

IDataSaver* NewSaver() {
  IClassFactory* factory = nullptr;
  if (FAILED(g_getClassObject(CLSID_DataSaver, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) {
    return nullptr;
  }
  IDataSaver* saver = nullptr;
  factory->CreateInstance(nullptr, IID_IDataSaver, reinterpret_cast<void**>(&saver));
  factory->Release();
  return saver;
}

std::string Shown(const std::string& token) { return token.empty() ? "-" : token; }

// Checks one record as a reader sees it; empty string when it is whole. A
// release of a code without a record stores the empty token with type 0.
std::string CheckRecord(LONGLONG code, LONG type, const std::string& token) {
  if (type == 0 && token.empty()) return "";
  if (!StressTokenIsWhole(code, type, token)) {
    return "code " + std::to_string(code) + " type " + std::to_string(type) + " token " + token;
  }
  return "";
}

std::string WalkAndCheck(IDataSaver* saver) {
  LONG pos = 0;
  for (;;) {
    LONGLONG code = 0;
    LONG type = 0;
    BSTR text = nullptr;
    if (saver->GetNextUser(&pos, &code, &type, &text) != S_OK) return "GetNextUser failed";
    std::string token = TokenTextFromBstr(text);
    SysFreeString(text);
    if (code == 0) return "";
    std::string fault = CheckRecord(code, type, token);
    if (!fault.empty()) return fault;
  }
}

// One stress thread: stores, releases and reads codes 1..codes with tokens
// whose type is a checksum of the text, so a torn record shows.
void StressThread(int seed, int iterations, int codes, std::atomic<bool>* torn, std::string* what) {
  IDataSaver* saver = NewSaver();
  if (!saver) {
    *torn = true;
    *what = "no object";
    return;
  }
  std::mt19937 random(static_cast<unsigned>(seed));
  for (int i = 0; i < iterations && !*torn; ++i) {
    LONGLONG code = 1 + static_cast<LONGLONG>(random() % static_cast<unsigned>(codes));
    unsigned op = random() % 20;
    std::string fault;
    if (op < 11) {
      std::string token = MakeStressToken(code, seed, i);
      BSTR text = BstrFromTokenText(token);
      saver->SetToken(code, StressTokenType(token), text);
      SysFreeString(text);
    } else if (op < 14) {
      saver->SetToken(code, 0, nullptr);
    } else if (op < 18) {
      LONG type = -1;
      BSTR text = nullptr;
      saver->GetToken(code, &type, &text);
      std::string token = TokenTextFromBstr(text);
      SysFreeString(text);
      fault = CheckRecord(code, type, token);
    } else if (op < 19) {
      LONGLONG active = 0;
      LONG type = -1;
      BSTR text = nullptr;
      saver->GetActiveUser(&active, &type, &text);
      std::string token = TokenTextFromBstr(text);
      SysFreeString(text);
      fault = CheckRecord(active, type, token);
    } else {
      fault = WalkAndCheck(saver);
    }
    if (!fault.empty() && !torn->exchange(true)) *what = fault;
  }
  saver->Release();
}

std::string Stress(int threads, int iterations, int codes) {
  std::atomic<bool> torn{false};
  std::vector<std::string> what(static_cast<size_t>(threads));
  std::vector<std::thread> workers;
  int base = static_cast<int>(getpid()) * 16;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back(StressThread, base + t, iterations, codes, &torn, &what[static_cast<size_t>(t)]);
  }
  for (auto& w : workers) w.join();
  if (!torn) return "ok";
  for (const auto& w : what) {
    if (!w.empty()) return "torn " + w;
  }
  return "torn";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tokenstore_helper <library>\n");
    return 2;
  }
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    std::fprintf(stderr, "cannot load %s: %s\n", argv[1], dlerror());
    return 2;
  }
  g_getClassObject = reinterpret_cast<DllGetClassObjectFn>(dlsym(library, "DllGetClassObject"));
  auto holdLock = reinterpret_cast<HRESULT (*)()>(dlsym(library, "TokenStoreHoldLockForTesting"));
  IDataSaver* saver = g_getClassObject && holdLock ? NewSaver() : nullptr;
  if (!saver) {
    std::fprintf(stderr, "no DataSaver\n");
    return 2;
  }
  std::cout << "ready" << std::endl;

  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream in(line);
    std::string command;
    in >> command;
    std::ostringstream out;
    if (command == "set") {
      LONGLONG code = 0;
      LONG type = 0;
      std::string token;
      in >> code >> type >> token;
      BSTR text = BstrFromTokenText(token == "-" ? "" : token);
      out << saver->SetToken(code, type, text);
      SysFreeString(text);
    } else if (command == "get") {
      LONGLONG code = 0;
      in >> code;
      LONG type = -1;
      BSTR text = nullptr;
      HRESULT hr = saver->GetToken(code, &type, &text);
      out << hr << ' ' << type << ' ' << Shown(TokenTextFromBstr(text));
      SysFreeString(text);
    } else if (command == "active") {
      LONGLONG code = -1;
      LONG type = -1;
      BSTR text = nullptr;
      HRESULT hr = saver->GetActiveUser(&code, &type, &text);
      out << hr << ' ' << code << ' ' << type << ' ' << Shown(TokenTextFromBstr(text));
      SysFreeString(text);
    } else if (command == "fill") {
      LONGLONG first = 0;
      int count = 0;
      in >> first >> count;
      int stored = 0;
      HRESULT last = S_OK;
      for (int i = 0; i < count; ++i) {
        BSTR text = BstrFromTokenText("t" + std::to_string(first + i));
        last = saver->SetToken(first + i, 1, text);
        SysFreeString(text);
        if (last == S_OK) ++stored;
      }
      out << stored << ' ' << last;
    } else if (command == "lock") {
      if (holdLock() != S_OK) {
        std::cout << "failed" << std::endl;
        continue;
      }
      std::cout << "locked" << std::endl;
      for (;;) pause();  // until killed
    } else if (command == "stress") {
      int threads = 0, iterations = 0, codes = 0;
      in >> threads >> iterations >> codes;
      out << Stress(threads, iterations, codes);
    } else if (command == "check") {
      std::string fault = WalkAndCheck(saver);
      out << (fault.empty() ? "ok" : "torn " + fault);
    } else if (command == "exit") {
      break;
    } else {
      out << "unknown";
    }
    std::cout << out.str() << std::endl;
  }
  saver->Release();
  dlclose(library);
  return 0;
}
