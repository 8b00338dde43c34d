// The topic log: a text file of messages that the import program appends.
// This layer reads it through one 8192-byte block buffer, recognises and
// parses each message's separator and header lines, and walks a whole log.
// Portable: the log is reached through a small table of read and seek
// functions, so the same code reads a Win32 handle, a stdio file or memory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>

#include "msgbase/records.h"

constexpr size_t kLogBlockSize = 8192;
constexpr long kMaxLineCount = 4095;        // counted characters per line
constexpr size_t kHeaderBufferSize = 8192;  // a whole header block
constexpr long kMaxMessageNumber = 99999999;

// Where the log bytes come from.
struct LogSource {
  void* context = nullptr;
  // Reads up to size bytes at the current position: bytes read, 0 at the end
  // of the file, -1 on a read error.
  long (*read)(void* context, char* buffer, size_t size) = nullptr;
  // Moves to a byte offset from the start: the new position, or -1.
  long (*seek)(void* context, long offset) = nullptr;
};

// How the reader tells the user about trouble. Null entries stay silent.
struct LogReaderNotices {
  void (*status)(const char* text) = nullptr;  // status-bar notice
  void (*box)(const char* text) = nullptr;     // message box captioned with the program name
};

// The parsed separator and header lines of one message.
struct MessageHeader {
  long number = 0;
  long parent = 0;  // message commented on; -1 when the stated parent is 0
  long size = 0;    // body size in characters, CR not counted
  char folder[101] = "";
  char author[201] = "";
  char dateText[100] = "";                                 // as the log gives it (see MessageDateText)
  bool singleLine = false;                                 // the ">>>" form
  int day = 0, month = 0, year = 0, hour = 0, minute = 0;  // single-line form
};

struct LogReader {
  LogSource source;
  LogReaderNotices notices;
  bool open = false;
  bool scrambled = false;              // every block is stored nibble-swapped
  bool suppressHeaderWarning = false;  // the find scan parses quietly

  char block[kLogBlockSize + 1];
  // A larger buffer blocks are read into instead (LogReaderUseBlock), and
  // the size of the blocks read.
  char* largeBlock = nullptr;
  long blockCapacity = static_cast<long>(kLogBlockSize);
  long blockLength = 0;
  long position = 0;      // read position inside the block
  long blockOffset = 0;   // file offset of the block's first byte
  long filePosition = 0;  // where the source stands
  bool blockLoaded = false;
  bool endOrError = false;  // a read error was reported and not yet cleared

  // The current line with its CR and LF, or after a header parse the whole
  // header block. Counted characters stop at 4095 and stored CRs at 4096, so
  // a run of CR characters cannot overrun it.
  char line[kHeaderBufferSize + 1];
  size_t lineLength = 0;  // bytes in line after readmsgline

  char headerScratch[kHeaderBufferSize + 1];  // header block while it is parsed
  char savedLine[kHeaderBufferSize + 1];      // the line a failed parse restores

  long remaining = 0;  // body characters of the current message not yet read
};

// Binds the reader to a log and resets it (offset 0, nothing buffered).
void LogReaderOpen(LogReader& reader, const LogSource& source, bool scrambled);
void LogReaderClose(LogReader& reader);

// Reads blocks of up to capacity bytes into buffer (capacity + 1 bytes) from
// here on, or with buffer null into the reader's own block again. The reader
// goes on from the same offset; the caller keeps the buffer alive meanwhile.
// A walk over a whole log reads it in far fewer calls this way.
void LogReaderUseBlock(LogReader& reader, char* buffer, long capacity);

// The next line into reader.line; its length in characters other than CR, LF
// included. 0 at the end of the file, on a read error or when no log is open.
// The last line of a log without a final LF is returned too.
long readmsgline(LogReader& reader);
// Moves the reader past the lines that readmsgline would return next, as
// long as each lies wholly in the loaded block, is shorter than the line
// limit and begins with none of the bytes of `wanted` (printable characters
// only). Stops before any other line, which the plain reader then takes; with
// remaining given, also once *remaining (less each line's count) is used up.
// Returns the characters passed, counted as readmsgline counts them; the
// line buffer keeps what it held. Callers that look only at the starts of
// the lines they read use it to pass the rest without copying them.
long SkipUnwantedLines(LogReader& reader, const char* wanted, long* remaining);
// Moves the reader past the lines that readmsgline would return next, as
// long as each lies wholly in the loaded block, is shorter than the line
// limit and begins with the byte first; with remaining given, also once
// *remaining (less each line's count) is used up. Returns the characters
// passed, counted as readmsgline counts them. The summary rules pass quoted
// text ("> ...") this way, as no such line is ever a summary.
long SkipLinesStartingWith(LogReader& reader, char first, long* remaining);
// File offset of the next unread byte; 0 when no log is open.
long msgtell(const LogReader& reader);
// Moves the reader to a byte offset: the block's file offset, or -1.
long msgseek(LogReader& reader, long offset);

// When reader.line opens a valid message, parses its header (the line then
// holds the whole header block, and reader.remaining the body size) and
// returns the message number; otherwise 0, with the reader and line restored.
long IsMessageStart(LogReader& reader, MessageHeader* header);
// The parse behind IsMessageStart: message number or 0.
long ParseMessageHeader(LogReader& reader, MessageHeader* header);

// The fields of a header line ("folder #number, from author, size chars,
// date", or the same without "from") as the format's patterns read them: the
// count of fields read, 4 for a complete line. The folder is cut at 100
// characters and the author at 200, or sooner at their buffers' sizes; the
// author keeps its trailing comma.
int ScanHeaderLine(const char* text, char* folder, size_t folderSize, long* number, char* author, size_t authorSize,
                   long* size);

// Moves the reader to a message's separator line at offset (as the index
// gives it) and parses its header: the number found there, or 0 when no
// valid message starts at offset. On success the reader stands on the body.
long ReadMessageStartAt(LogReader& reader, long offset, MessageHeader* header);
