// Runs another of our programs (the import program, a stand-in) to its end.
// Windows only.
#pragma once
#include <string>

namespace testproc {

// Starts exe with the whole command line (argument 0 included) in dir (null:
// the test's own), waits for its end and gives its exit code; -1 when it
// could not be started.
long RunAndWait(const char* exe, const std::string& commandLine, const char* dir = nullptr);

}  // namespace testproc
