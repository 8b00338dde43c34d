// The rules the frame's poll and close apply to text: action file lines, the
// outbasket question's service list, broadcast lines and post-it lines.
// Portable.
#pragma once
#include <cstddef>

// Whether a line of an action file is an item that needs a connection: not a
// ";-;" line and not one of the download-only scripts.
bool OutbasketLineIsItem(const char* line);

// The services of the outbasket question: " for a, b and c", stopping with
// ".." once the text reaches 40 characters.
void JoinOutbasketServices(const char* const* names, int count, char* out, size_t size);

enum BroadcastAction { BROADCAST_SHOW, BROADCAST_EXIT };
// A piece of at most 79 characters of a broadcast line. Only the first piece
// of a line can be a control line; ".zap " names a user up to a blank or the
// line's end.
BroadcastAction ClassifyBroadcastPiece(const char* piece, bool firstPiece, const char* userName);

// One line of postits.log: "folder number sender".
struct PostitLine {
  char folder[101];
  char number[16];
  char sender[100];
  char lastWord[100];  // after the line's last blank
};
bool ParsePostitLine(const char* line, PostitLine* out);

struct PostitContext {
  const char* userName;
  const char* serviceName;  // the user's name on the service loaded last
  // Flags of the folder in the conference list; false when it is not there.
  bool (*folderFlags)(const char* folder, unsigned long* flags);
};
bool PostitConcernsUser(const PostitLine& line, const PostitContext& context);
