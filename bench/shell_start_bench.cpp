// What a user feels first: from process start until the frame has painted
// with the user logged in and the folder list loaded ("pl32.exe demo secret
// /NOBMP" on the demo data directory; the frame takes its "Pelmora:demo"
// title after its first paint), against a bare program that registers a
// class, creates a window and paints it once, started the same way in the
// same run. The best of five rounds counts.
// Usage: shell_start_bench <demo program directory> <bare_window.exe>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Seconds from the start until the window appears, or a negative value.
double TimeToWindow(const std::string& command, const std::string& directory, const char* className,
                    const char* title) {
  std::vector<char> line(command.begin(), command.end());
  line.push_back(0);
  STARTUPINFOA start = {sizeof start};
  PROCESS_INFORMATION process = {};
  Clock::time_point begin = Clock::now();
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      directory.empty() ? nullptr : directory.c_str(), &start, &process))
    return -1;
  double seconds = -1;
  HWND window = nullptr;
  while (std::chrono::duration<double>(Clock::now() - begin).count() < 60) {
    window = FindWindowA(className, title);
    if (window) {
      seconds = std::chrono::duration<double>(Clock::now() - begin).count();
      break;
    }
    if (WaitForSingleObject(process.hProcess, 0) != WAIT_TIMEOUT) break;
    Sleep(1);
  }
  if (window) PostMessageA(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: shell_start_bench <demo program directory> <bare_window.exe>\n");
    return 2;
  }
  std::string programDir = argv[1];
  if (programDir.back() != '\\') programDir += '\\';
  std::string program = "\"" + programDir + "pl32.exe\" demo secret /NOBMP";
  std::string bare = std::string("\"") + argv[2] + "\"";
  double bestProgram = 1e9, bestBare = 1e9;
  for (int round = 0; round < 5; ++round) {
    double b = TimeToWindow(bare, "", "PelmoraBare", "painted");
    double p = TimeToWindow(program, programDir, "PL", "Pelmora:demo");
    if (b < 0 || p < 0) {
      std::fprintf(stderr, "shell_start_bench: %s did not come up\n", b < 0 ? "the bare program" : "pl32.exe");
      return 1;
    }
    if (b < bestBare) bestBare = b;
    if (p < bestProgram) bestProgram = p;
  }
  std::printf("bare program, start to first paint: %.1f ms\n", bestBare * 1000);
  std::printf("pl32.exe demo secret /NOBMP, start to logged-in frame: %.1f ms\n", bestProgram * 1000);
  std::printf("ratio: %.2f (goal: within 3)\n", bestProgram / bestBare);
  return 0;
}
