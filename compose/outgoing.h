// Shaping an editor's text on its way out: soft line breaks, uuencoded
// attachments, the memo and conference forms of a local message and the
// per-folder custom headers. The forms and encoders are portable
// (outgoing.cpp); ComposeOutgoing, which queues the result for the import
// program, is Win32 (outgoing_win32.cpp).
#pragma once
#include <cstdio>

#include "compose/editor_state.h"

// The pump between uuencoded lines, so a long attachment keeps the windows
// alive. A no-op natively.
struct OutgoingHooks {
  void (*pumpMessages)();
};
extern OutgoingHooks g_outgoingHooks;

// Every CR CR LF becomes CR LF / is deleted; CR CR CR LF stays as it is.
char* SoftBreaksToHard(char* text);
char* RemoveSoftBreaks(char* text);

void UuencodeGroup(const unsigned char bytes[3], FILE* out);
// Appends the file uuencoded; 1 when it cannot be opened.
int UuencodeFile(const char* path, FILE* out);

// Characters of a body other than CR.
int BodyCharCount(const char* body);

// What the forms put in beside the editor's fields.
struct OutgoingHead {
  const char* user;       // the logged-in user
  const char* date;       // "%a, %d %b %Y %H:%M:%S", may be empty
  const char* messageId;  // "<PL.%ld.%04X.%04X@host>"
};

// The message id of a local message.
void FormatLocalMessageId(char* out, size_t size, long seconds, unsigned first, unsigned second);
extern const char kLocalHostName[];

// The memo head up to and including its empty line, with the length still
// "0000000000". The sender's copy puts the date first and lists Bcc.
void WriteMemoHead(FILE* out, EditorState* state, const OutgoingHead& head, bool senderCopy);
// The conference head for a post or a comment in a local folder.
void WriteConferenceHead(FILE* out, EditorState* state, const OutgoingHead& head, int bodyChars);
// Rewrites the memo's first line with the file's length less 21; false when
// the file cannot be measured or written.
bool PatchMemoLength(FILE* out);

// The key the custom headers of a message are stored under, with its two
// fall-backs ("service:folder", then cut before '/', then the service).
// Each out holds 128 bytes.
void CustomHeaderKeys(const EditorState* state, bool mailFolder, char keys[3][128]);
