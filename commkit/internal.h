// What the toolbox's own files share and no client sees.
#pragma once
#include "commkit.h"

extern HINSTANCE g_commkitInstance;

// Points the B-protocol code at the toolbox's ports, files, notices, clock,
// heap and texts; the library does it on start-up.
void BpUseToolbox();
// Gives the QVX link the toolbox's message loop, yield and debugger output.
void QvxUseToolbox();
// Gives the connection session the toolbox's ports, dranet.ini and delays.
void SessionUseToolbox();

// A deadline `units` × 100 ms ahead, for waits whose length in units does
// not fit the 16 bits of TimeoutStart (seconds × 10 of a long wait).
uint32_t DeadlineIn(uint32_t units);

// Lets a polling wait give the core away until the next tick or message.
void WaitYield();

char* LoadStrDup(unsigned id);
uint16_t ChoiceIndex(PortObject* port, const char* text, int kind, uint16_t limit);
int DunEntryCount();
void ServiceDir(char* buffer, int size);
int WinsockErrorToId(int winsockError);
int WinsockIdToError(int id);

void PlatformCode(char out[4]);
void PathDirectory(char* destination, const char* path);
char* PathWithDir(const char* path);
// The script directory of a connection joined with the name part of `name`;
// a 261-byte block, or none with *error set to 768 when memory runs out.
char* SessionScriptPath(const char* scriptDirectory, const char* name, uint32_t* error);

// snprintf that always terminates and never overruns `size`.
int FormatBounded(char* buffer, size_t size, const char* format, ...);
void CopyBounded(char* destination, size_t size, const char* text);
