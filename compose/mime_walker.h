// The message view's walk over one stored message: header selection, MIME
// parts and their encodings, uuencoded data and enclosed messages. Portable:
// it reads through the topic log reader and writes through a MimeOutput
// table, so the rich-text control, files and the user stay behind it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "msgbase/topic_log.h"

enum : int {
  SAVED_NAME_COUNT = 10,
  SAVED_NAME_SIZE = 260,
  MIME_MAX_DEPTH = 8,  // enclosed messages shown inside one another
};

// Names of the files saved during the current display.
struct SavedNames {
  char names[SAVED_NAME_COUNT][SAVED_NAME_SIZE] = {};
  void Clear() { *this = SavedNames(); }
  bool Holds(const char* fileName) const;  // by name after the directory, case-insensitive
  void Remember(const char* path);         // into the first free slot; nothing when full
};

// Where the walk puts what it finds. MakeMimeOutput gives a table whose file
// functions use the C library and whose other members do nothing.
struct MimeOutput {
  void* context;
  // A line to show (no line end): header lines with header set.
  void (*text)(void* context, const char* line, bool header);
  // A line the view writes itself: notices, "Unable to write" and the like.
  void (*notice)(void* context, const char* text);
  // Where the display ends now, and deleting from such a place to the end
  // (a walk that starts again removes what it added).
  long (*position)(void* context);
  void (*clearFrom)(void* context, long position);
  void* (*createFile)(void* context, const char* path, bool binary);
  bool (*writeFile)(void* context, void* file, const void* bytes, size_t size);
  bool (*closeFile)(void* context, void* file);
  bool (*fileExists)(void* context, const char* path);
  void (*eraseFile)(void* context, const char* path);
  // Reads an HTML file into the view; false when the reader fails.
  bool (*renderHtml)(void* context, const char* path);
  // Inserts RTF text at the end of the view.
  void (*insertRtf)(void* context, const char* text, size_t size);
  // Places a saved picture or shortcut ("View Inline"); true when the
  // attachment notice is to be left out (a shortcut shown as a link).
  bool (*placePicture)(void* context, const char* path);
  // The "OVERWRITE" question: 1 overwrite, 2 save as, 3 cancel; never is the
  // "Never ask this again" box.
  int (*askOverwrite)(void* context, const char* path, bool* never);
  // The "Save As" dialog on path (in and out); false when cancelled.
  bool (*askSaveAs)(void* context, char* path, size_t size);
  // Stores a new "Warn Before Overwrite" and saves the settings.
  void (*storeWarning)(void* context, int answer);
  void (*status)(void* context, const char* text);
  void (*progress)(void* context, int percent);
  bool (*cancelled)(void* context);
  // The subject of a message of the open folder; false when it has none.
  bool (*messageSubject)(void* context, long number, char* out, size_t size);
  // The first message of the folder, in the view's order, whose subject
  // equals subject (case-insensitive); 0 when none.
  long (*findSubject)(void* context, const char* subject);
  // Moves the walk's reader to that message's body: its remaining length,
  // or -1 when it cannot be read.
  long (*openMessage)(void* context, long number);
};
MimeOutput MakeMimeOutput(void* context);

// The settings a display is built with.
struct MimeOptions {
  int headerMode = 0;   // 0 full, 1 short, 2 none, 3 long list
  bool decode = false;  // attachments are decoded into files
  bool avoidHtml = false;
  bool multiPart = false;  // follow split uuencoded postings
  bool viewInline = false;
  int warnBeforeOverwrite = 0;  // 0 ask, 1 overwrite, 2 ask for a name, 3 skip
  bool appendAlign = false;     // header lines aligned with tabs (append builds)
  std::string decodePath;       // with its trailing separator
  std::string tempDir;          // where "msw%05d.tmp" files go
  // The notices of the string table.
  std::string extractNotice = "[Message contains attachment(s).  Extract %s?]\n";
  std::string multipartNotice = "[Message contains multipart attachment(s).  Extract %s?]\n";
};

// One walk: the reader stands on the message's first line.
struct MimeWalk {
  LogReader* reader = nullptr;
  long remaining = 0;  // characters of the message left (CR not counted)
  long number = -1;    // the message's number in the open folder, -1 for none
  bool ownHeader = true;
  bool source = false;    // show the lines as stored
  bool followed = false;  // the restart from another posting's first part already happened
  // The stored text as walked, each saved part (header and data) replaced by
  // a plain part holding its notice; nothing is written or asked. Filled
  // only when set (the attachment remover).
  std::string* stored = nullptr;
  // Passes that walks inside this one (enclosed messages) may still start
  // again; null gives the walk a budget of its own.
  int* rebuilds = nullptr;
  int depth = 0;
  MimeOptions options;
  SavedNames* saved = nullptr;
  MimeOutput out{};
};

// Results of WalkMessage: done, cancelled, or (positive) the number of the
// message holding part 1 of a split posting, which the caller shows instead.
enum : long { WALK_DONE = 0, WALK_CANCELLED = -1 };
long WalkMessage(MimeWalk& walk);

// --- the decoders -----------------------------------------------------------

// Base64 with its state carried from line to line, any line length.
struct Base64Decoder {
  unsigned value = 0;
  int count = 0;
  // Decodes one line into out (room for (size / 4 + 1) * 3 bytes): the bytes
  // written. The first character outside the alphabet ends the line; "="
  // also ends the quantum.
  size_t Line(const char* text, size_t size, unsigned char* out);
  // The bytes of an unfinished quantum at the end of the data.
  size_t Finish(unsigned char* out);
};
// One uuencoded line into out (room for 64 bytes): the byte count, -1 for a bad line.
int UudecodeLine(const char* line, unsigned char* out);
// Enriched text as HTML.
std::string EnrichedToHtml(const std::string& enriched);

// The extension for a name by content type ("" when none applies).
const char* TypeExtension(const char* contentType, bool generated);
// A received file name made safe for the decode directory: the part after
// the last "\", "/" or ":", lower-cased, characters outside the allowed set
// as "_". Empty when nothing usable is left.
std::string SafeSaveName(const char* name);
// The save path for a file name: the decode directory plus the name, or
// "save%04d" with its extension when this display saved that name already.
// Empty when every such name is taken.
std::string MakeSaveName(const MimeOptions& options, const SavedNames& saved, const std::string& name,
                         const MimeOutput& out);
// "Warn Before Overwrite" and the "OVERWRITE" question: true with the path to
// write (possibly changed), false with an empty path.
bool ConfirmOverwrite(MimeOptions& options, std::string& path, const MimeOutput& out);

// A "Content-Type: .../partial" header's parameters.
struct PartialInfo {
  std::string id;
  int number = 0;
  int total = 0;
};
// Reads a message's header from its text (lines with line ends) for a
// partial part; false when it is none.
bool ParsePartialHeader(const char* header, PartialInfo* info);
