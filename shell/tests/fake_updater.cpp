// A stand-in for the updater: records how it was started.
#include <unistd.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  char folder[4096] = {};
  if (!getcwd(folder, sizeof folder - 1)) return 1;
  std::string line;
  for (int i = 1; i < argc; ++i) line += std::string(i > 1 ? "|" : "") + argv[i];
  FILE* out = std::fopen((std::string(folder) + "/update-args.txt").c_str(), "w");
  if (!out) return 1;
  std::fprintf(out, "%s\n%s\n", line.c_str(), folder);
  std::fclose(out);
  return 0;
}
