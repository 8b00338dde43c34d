// Small text functions: the message date parser, the reply-subject cleaner,
// one-line escaping, header lines and character replacement. Portable.
#pragma once
#include <cstddef>
#include <ctime>

// Minutes east of Greenwich of the machine's zone now (EST gives -300). The
// date parser uses it for dates that name no zone; tests replace it.
struct ClockHooks {
  int (*localZoneOffset)();
};
extern ClockHooks g_clockHooks;
int LocalZoneOffsetNow();

// Seconds since 1970 (UTC) of a message date in any of the usual forms;
// 0 ("no date") when the text holds no complete, valid date.
time_t ParseDate(const char* text);

// The subject without reply and forward prefixes, in a 200-byte static
// buffer. With replySubject also the subject of a reply to it, "Re: " and the
// subject cut to fit replySize bytes (at most 199 characters).
const char* StripReplyPrefix(const char* subject);
const char* StripReplyPrefix(const char* subject, char* replySubject, size_t replySize);

// Backslash, CR and LF as two-character escapes, so a value fits one line;
// static buffers, the result cut (never mid-escape) when it would not fit.
enum : size_t { ESCAPED_LINE_MAX = 8192 };
const char* EscapeLine(const char* text);
const char* UnescapeLine(const char* text);

// The text after prefix at the first line start of block where it matches
// (case-insensitive); null when none or the block is empty.
const char* FindLinePrefix(const char* prefix, const char* block);

// Value of a parameter of a header line ("name=value;" or name="value"),
// quotes removed and encoded words decoded, into out; null when absent.
char* GetHeaderParam(const char* line, const char* name, char* out, size_t outSize);

// One message line at a time: the reader of the current message. The message
// base provides it (by default there is no message: no line is read);
// ReadHeaderLine joins continuation lines through it.
struct MessageLineReader {
  // Next line into buffer (at most size - 1 characters, CR/LF kept); its
  // length, 0 at the end.
  int (*readLine)(char* buffer, size_t size);
  long (*tell)();
  void (*seek)(long offset);
};
extern MessageLineReader g_messageLines;
extern const MessageLineReader kNoMessageLines;
enum : size_t { HEADER_LINE_MAX = 4095 };
// The next header line with its continuation lines joined, without its
// line end, kept below 4095 characters; the bytes consumed, 0 at the end.
int ReadHeaderLine(char* out, size_t outSize);

char* strtr(char* text, char from, char to);
char* strsetchar(char* text, const char* set, char to);
char* stripcrlf(char* text);
