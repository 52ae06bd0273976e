// A stand-in for the main program: records how it was started in
// korvane-run.txt of its working folder (arguments joined by '|', then the
// folder), and with the first argument "--stay" keeps running until ended.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  char folder[4096] = {};
  if (!getcwd(folder, sizeof folder - 1)) return 1;
  std::string line;
  for (int i = 1; i < argc; ++i) line += std::string(i > 1 ? "|" : "") + argv[i];
  const std::string path = std::string(folder) + "/korvane-run.txt";
  const std::string temporary = path + ".tmp";
  FILE* out = std::fopen(temporary.c_str(), "w");
  if (!out) return 1;
  std::fprintf(out, "%s\n%s\n", line.c_str(), folder);
  std::fclose(out);
  std::rename(temporary.c_str(), path.c_str());
  if (argc > 1 && std::strcmp(argv[1], "--stay") == 0)
    for (;;) pause();
  return 0;
}
