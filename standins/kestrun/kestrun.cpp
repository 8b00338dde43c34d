// Our stand-in for the service set-up wizard: it creates the directory of a
// new service in the data directory the program runs in, which is what the
// program notices of a set-up, and says so.
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

// A service key: 1 to 8 letters or digits.
bool ValidKey(const char* key) {
  size_t n = std::strlen(key);
  if (n == 0 || n > 8) return false;
  for (size_t i = 0; i < n; ++i)
    if (!std::isalnum(static_cast<unsigned char>(key[i]))) return false;
  return true;
}

}  // namespace

// kestrun [service key]: without a key it only tells what it would do.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  char key[64] = "";
  std::sscanf(commandLine ? commandLine : "", "%63s", key);
  if (!*key) {
    MessageBoxA(nullptr, "Give a service key (such as local) to set up its directory in the current data directory.",
                "Service set-up", MB_OK | MB_ICONINFORMATION);
    return 0;
  }
  if (!ValidKey(key)) {
    MessageBoxA(nullptr, "A service key has 1 to 8 letters or digits.", "Service set-up", MB_OK | MB_ICONSTOP);
    return 1;
  }
  if (!CreateDirectoryA(key, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    MessageBoxA(nullptr, "The service directory could not be made.", "Service set-up", MB_OK | MB_ICONSTOP);
    return 1;
  }
  char text[128];
  std::snprintf(text, sizeof text, "Service \"%s\" is set up.", key);
  MessageBoxA(nullptr, text, "Service set-up", MB_OK | MB_ICONINFORMATION);
  return 0;
}
