// The connection run: a service's actions leave through an outside engine
// program, what it confirms leaves the outbasket, and its report goes to the
// import program. Win32.
#pragma once
#include <windows.h>

enum : int {
  ConnectInteractive = 1103,
  ConnectManual = 1171,
  ConnectActionsOnly = 1173,
};

// Runs the services ("*": the pending service list) one after the other.
void Connect(int mode, const char* services, long connectionNumber);

// Service keys separated by ";" ("close" ends the program after the run);
// Connect takes each from its head as it is done.
extern char g_pendingServices[4096];
// Set from a service's reply.bsc to the end of its clean-up.
extern bool g_connectionRunning;

// "<data><svc>\reply.bsc" to "reply.ebs" and the body files. 0 when no
// script could be written (a stale success.log that cannot be erased
// included).
int BuildReplyScript(const char* service, int withWaitingMessages);
// Sorts a success log's numbers in place (through a new file).
int SortSuccessLog(const char* path);
// Drops the actions the engine confirmed from "<data><svc>.bsc". 0 when
// there was no log or a file could not be read or written: nothing changed.
int ApplySuccessLog(const char* service);
// Finishes what a run killed part-way left: a success log applied or half
// applied, held actions set aside, the engine's input. Connect calls it
// before a service's actions are touched.
void RecoverConnectFiles(const char* service);

// Numbered copies "<data>backup\<stem>NNN<ext>", 001 the newest.
void BackupGeneration(const char* path);
// Erases the Internet service's old spool files.
void DeleteOldDatFiles(const char* service);

// What a run calls in parts built elsewhere, and where tests look in.
struct ConnectHooks {
  // Starts the engine and waits; 1 when it ran.
  int (*runAndWait)(const char* commandLine, int showState);
  // The add-ons' hooks: true when one aborts the connection.
  bool (*callPreProcess)(const char* service);
  bool (*callPostProcess)(const char* service);
  // The outbasket review before a connection: true when it ended with OK.
  bool (*review)(const char* service);
  // Folder-information requests and due scheduler jobs of the service.
  void (*addShowAndJobs)(const char* service);
  void (*refreshFolderInfo)(const char* service);
  // Called at each named point of a service's run; tests end the process here.
  void (*step)(const char* name);
};
extern ConnectHooks g_connectHooks;

// Puts Connect into the shell's hooks.
void InstallConnectHooks();

// The dial-up networking functions, bound when first loaded.
struct CRasApi {
  using StatusProc = DWORD(WINAPI*)(void*, void*);
  using EnumConnectionsProc = DWORD(WINAPI*)(void*, DWORD*, DWORD*);
  using EnumEntriesProc = DWORD(WINAPI*)(const char*, const char*, void*, DWORD*, DWORD*);
  using DialParamsProc = DWORD(WINAPI*)(const char*, void*, BOOL*);
  HMODULE module = nullptr;
  FARPROC dial = nullptr;
  FARPROC hangUp = nullptr;
  StatusProc getConnectStatus = nullptr;
  FARPROC getErrorString = nullptr;
  EnumConnectionsProc enumConnections = nullptr;
  EnumEntriesProc enumEntries = nullptr;
  DialParamsProc getEntryDialParams = nullptr;  // may be missing
  // 1 when loaded with the first six found.
  int Load();
  void Release();
  DWORD GetConnectStatus(void* connection, void* status);
  DWORD EnumConnections(void* buffer, DWORD* size, DWORD* count);
  DWORD EnumEntries(const char* reserved, const char* phonebook, void* buffer, DWORD* size, DWORD* count);
  // 635 when the function is missing.
  DWORD GetEntryDialParams(const char* phonebook, void* params, BOOL* passwordFound);
};
extern CRasApi g_rasApi;

// 1 when a dial-up connection is up.
int AlreadyConnected();
// Orders a pending service list in place so services dialling alike follow
// each other, and allows sharing the line when none is up yet.
void OptimiseDials(char* list);
// " /nodisconnect", " /disconnect" or "" for the service's engine.
void DialShareSuffix(char* out, const char* service, const char* list);
// Writes the entry and the dial-up entry's remembered user and password
// into the service's settings.
void SyncRasDialParams(const char* service, const char* entry);
