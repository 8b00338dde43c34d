// Our stand-in for the notes program: it records the command line it was
// given in "polyed.log" beside the notes file it names (or in the current
// directory), which is all the program expects of it.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The first argument, quoted or not.
std::string FirstArgument(const char* line) {
  while (*line == ' ') ++line;
  if (*line == '"') {
    const char* end = std::strchr(line + 1, '"');
    return end ? std::string(line + 1, end) : std::string(line + 1);
  }
  return std::string(line, std::strcspn(line, " "));
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  std::string notes = FirstArgument(commandLine ? commandLine : "");
  std::string log = "polyed.log";
  size_t slash = notes.find_last_of("\\/");
  if (slash != std::string::npos) log = notes.substr(0, slash + 1) + log;
  FILE* f = std::fopen(log.c_str(), "ab");
  if (!f) return 1;
  std::fprintf(f, "%s\r\n", GetCommandLineA());
  return std::fclose(f) == 0 ? 0 : 1;
}
