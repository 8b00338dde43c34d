// Log-in: who the user is, the user's files and lock, and the hand-off of a
// second start to the instance already running for the user.
#pragma once
#include <windows.h>

// Each fails by throwing the fatal-error guard after its messages.
void LoginUser(const char* userName, const char* password);
int LoginNamedUser(const char* userName, const char* password, int checkPassword);
void InteractiveLogin(const char* userName);
// Brings the user's running instance forward and hands it this start's
// switches. True when that instance was closing and this start has taken the
// user's lock after it: the log-in goes on here.
bool ActivateRunningInstance();
BOOL CALLBACK MatchRunningFrame(HWND window, LPARAM lParam);

bool UserLoggedIn();
// Closes the user's lock file (the file layer deletes it on close).
void ReleaseUserLock();
// The frame title this instance has for its user ("%PROGRAM%" and ":name").
void MainTitleFor(const char* userName, char* out, size_t size);
// True when the title is exactly the wanted one or that with the text a
// maximised MDI child adds (" - [...]").
bool FrameTitleMatches(const char* title, const char* wanted);
extern bool g_loginFailed;
