// Folder names ("service:conference/topic"), the file names that belong to a
// folder, and the service tests built on them. Portable: no Windows headers.
#pragma once
#include <cstddef>

// Settings the name rules read. The settings layer points these at its
// variables after reading them; null means unset.
struct FolderNameSettings {
  const char* serviceAliases = nullptr;  // "name=key" entries separated by ";" or ","
  const char* localDirName = nullptr;    // directory of local folders; "local" when empty
};
extern FolderNameSettings g_folderNameSettings;

// The open folder's name, or null when no folder is open. The message base
// sets it; by default no folder is open.
struct FolderNameHooks {
  const char* (*openFolderName)();
};
extern FolderNameHooks g_folderNameHooks;
const char* OpenFolderNameOrNull();

bool sameservice(const char* nameOrKey, const char* key);
bool iscurservice(const char* key);
bool ismailfolder(const char* name);
bool isnewsfolder(const char* name);
bool IsDvnLibraryFolder(const char* name);
char* firstpart(char* name);
char* droppart(char* name);
char* FixNameCase(char* name);
// The stored name of a local folder: local directory, first and second part.
// size is the size of the name's buffer; the result is cut to fit.
char* MakeLocalFolderName(char* name, size_t size);

// The last "." after the last backslash, or the terminating zero.
char* fileext(char* name);
const char* fileext(const char* name);
// Replaces or appends the extension (with its dot); size bounds the buffer.
char* setext(char* name, const char* extension, size_t size = 260);
char* setindext(char* name, size_t size = 260);
// A copy without the extension, in a static buffer the next call overwrites.
const char* stripext(const char* name);

// Swaps the two halves of every byte up to the terminating zero.
char* nibbleswap(char* text);
