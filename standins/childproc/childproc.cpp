// A child program for the waiting start: writes its arguments' text to its
// error output, waits as long as asked, and exits with the code it is given.
// Usage: childproc <exit code> <milliseconds> <text...>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  int code = argc > 1 ? std::atoi(argv[1]) : 0;
  int wait = argc > 2 ? std::atoi(argv[2]) : 0;
  std::string text;
  for (int i = 3; i < argc; ++i) text += std::string(i > 3 ? " " : "") + argv[i];
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
  if (wait > 0) Sleep(static_cast<DWORD>(wait));
  return code;
}
