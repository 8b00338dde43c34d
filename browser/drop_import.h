// Import text for files dropped on a folder, each file the body of one new
// message. Portable: the Win32 side picks the files and queues the result.
#pragma once
#include <cstdio>

// Whether the block carries "Imported-from: FILE://path": for news, Dravenet
// and mail folders, unless a local folder that is not mail.
bool DropWritesImportedFrom(const char* target);

// The block of a text file: "!start <folder> File", the optional header, the
// file's lines with CR LF line ends, "\r\n!end". False when a write fails.
bool WriteDroppedText(FILE* out, FILE* in, const char* folder, const char* path, bool importedFrom);

// The opening of any other file's block, up to the line with its name; the
// caller appends the file uuencoded and "!end\r\n". False when a write fails.
bool WriteDroppedFileHead(FILE* out, const char* folder, const char* path, bool importedFrom);

// The name after the path's last "\" (or "/").
const char* DroppedFileName(const char* path);
// Whether the path ends in ".txt", in any case.
bool IsDroppedTextFile(const char* path);
