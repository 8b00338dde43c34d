// The spell engine's file layer: every lexicon file is opened, read, written
// and locked through here, and every engine message goes to the spell log.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

// Mode index: 0 "rb", 1 "wb", 2 "w+b", 3 "rt", 4 "wt".
FILE* spellOpen(const char* path, int mode);
void spellClose(FILE* file);
size_t spellRead(FILE* file, void* buffer, size_t size);
// A whole line, however long, without its line end (LF or CR LF); false at the end.
bool spellReadLine(FILE* file, std::string& line);
// Writes the text and a newline; the text's length, or -1 on a failed write.
long spellWriteLine(FILE* file, const char* text);
int spellSeek(FILE* file, long offset);
// Length of an open file, -1 when unknown.
long spellFileSize(FILE* file);
// Modification time of a path, 0 when it cannot be read.
uint32_t spellFileTime(const char* path);
bool spellFileExists(const char* path);

// An exclusive lock between processes (and between records in one process)
// on a lexicon file, held on a side file "<path>.lck" so that the lexicon
// itself can be replaced while the lock is held. Waits up to a few seconds.
struct SpellLock {
  int fd = -1;
};
bool spellLock(const char* path, SpellLock& lock);
void spellUnlock(SpellLock& lock);

// Creates a file of a name that no other writer uses, in the directory of
// `path`; the name goes to `tempPath`. Opened for text writing.
FILE* spellCreateTemp(const char* path, std::string& tempPath);
// Puts `tempPath` in place of `path`; the old file is never removed before
// the new one is complete. 0 on success.
int spellReplaceFile(const char* tempPath, const char* path);

// The spell log: with a file name set, each line gets the local time
// ("%02d:%02d:%02d ") and is appended, the file opened and closed each time.
void timelogSetFile(const char* path);
void timelog(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
