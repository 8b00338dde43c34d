// The scheduler program's stand-in: records its command line in
// plschd32.log beside itself and ends.
#include <windows.h>

#include <cstdio>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, sizeof path);
  char* slash = std::strrchr(path, '\\');
  if (!slash) return 1;
  std::strcpy(slash + 1, "plschd32.log");
  FILE* log = std::fopen(path, "a");
  if (!log) return 1;
  std::fprintf(log, "%s\n", commandLine ? commandLine : "");
  return std::fclose(log) == 0 ? 0 : 1;
}
