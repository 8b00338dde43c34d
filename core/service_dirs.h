// Which services are installed: the service directories of the message
// directory, scanned once per run; and the chunked file copy of the service
// set-up and the backups.
#pragma once
#include <cstdio>

// Which Simple MAPI bindings are in force; the mail layer sets them.
struct MapiBindings {
  bool first = false;   // MAPI32.DLL: the "msmail" directory counts
  bool second = false;  // MAPIVI32.DLL: the "ccmail" directory counts
};
extern MapiBindings g_mapiBindings;

bool IsServiceDir(const char* name);
void ScanServiceDirs();
bool HaveQuorl();
bool HaveDvn();
bool HaveNet();
bool HaveLocal();
// Forgets the scan, so the next Have* scans again (tests; a new data directory).
void ForgetServiceDirScan();

// True after copying the whole file; false after a message, and then no
// partial target is left behind.
bool CopyFileChunked(const char* source, const char* target);

// The write of each piece of a copy (fwrite by default); tests make it fail.
struct ServiceDirsHooks {
  size_t (*copyFileWrite)(const void* data, size_t size, size_t count, FILE* file);
};
extern ServiceDirsHooks g_serviceDirsHooks;
extern const ServiceDirsHooks kDefaultServiceDirsHooks;

// String ids of the messages.
#include "resources/resource.h"
