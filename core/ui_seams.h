// The places where the core services meet the screen. The shell (or a test)
// sets these once; by default boxes are real and the status text goes nowhere.
#pragma once
#include <windows.h>

struct UiSeams {
  // Shows a message box; returns the button pressed (IDOK, IDYES, ...).
  int (*messageBox)(HWND owner, const char* text, const char* caption, UINT style);
  // Runs a modal dialog of the string module; returns EndDialog's value.
  INT_PTR (*dialogBox)(HINSTANCE module, const char* templateName, HWND owner, DLGPROC proc, LPARAM param);
  // Replaces the status bar's text (empty text clears it).
  void (*setStatusText)(const char* text);
  // WinHelpA.
  BOOL (*winHelp)(HWND window, const char* file, UINT command, ULONG_PTR data);
  // StatusPrint: a line for the status window; by default it goes to the debug log.
  void (*statusPrint)(const char* text);
};

extern UiSeams g_ui;

// Answers given by a test in place of a person: a prompt seam that bypasses
// the dialog. When set, askstr/paskstr call it instead of showing "Ask"/"PAsk".
struct PromptSeam {
  bool (*answer)(const char* caption, const char* prompt, char* answer, size_t answerSize, bool hidden);
};
extern PromptSeam g_prompt;
