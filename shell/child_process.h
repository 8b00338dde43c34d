// Outside programs started and waited for while the windows stay alive, and
// the scheduler program.
#pragma once

// 1 when the program was started and has ended (or a quit message ended the
// wait), 0 when it could not be started. With an output file, the child's
// error output goes into it and its other standard handles are none.
int RunAndWaitToFile(const char* commandLine, int showState, const char* outputFile);
int RunAndWait(const char* commandLine, int showState);
void StartScheduler();
// The scheduler's command line; out holds at least 1024 bytes.
void SchedulerCommandLine(char* out, unsigned size);

// WinExec, so tests can see the scheduler's command line.
struct ChildProcessHooks {
  unsigned (*winExec)(const char* commandLine, unsigned show);
};
extern ChildProcessHooks g_childProcessHooks;
