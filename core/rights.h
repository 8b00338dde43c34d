// Users' rights: the rights word of each user from "security.ww" and the one
// test every command gate goes through.
#pragma once
#include <cstdio>

enum : unsigned long {
  RIGHT_CONNECT = 0x1,
  RIGHT_CANCEL = 0x2,
  RIGHT_REINDEX = 0x4,
  RIGHT_PRUNE = 0x8,
  RIGHT_REVIEW = 0x10,
  RIGHT_SUBSCRIBE = 0x20,
  RIGHT_OPEN_MODERATORS = 0x40,  // granted to everybody by "Open Moderators"
  RIGHT_ADDRESS_BOOK = 0x200,
  RIGHT_KEEP_DELETE = 0x400,
  RIGHT_PARTICIPANTS = 0x800,
  RIGHT_MODERATOR = 0x1000,
  RIGHT_RECONSTRUCT = 0x2000,
  RIGHT_IMPORT = 0x4000,
  RIGHT_ADMINISTRATOR = 0x8000,
  RIGHT_UNJOINED = 0x10000,
  RIGHTS_DEFAULT = 0x10020,  // no file, or neither the user nor "default" listed
};

struct UserRights {
  unsigned long word = RIGHTS_DEFAULT;  // the logged-in user's rights word
  bool administratorMode = false;       // every right granted
  // The program switches "All Review" and "Open Moderators"; the settings
  // layer points these at its variables. Null reads as off.
  const unsigned* allReview = nullptr;
  const unsigned* openModerators = nullptr;
};
extern UserRights g_userRights;

// The rights word of userName from an open "security.ww". Portable.
unsigned long ReadUserRightsFrom(FILE* file, const char* userName);
bool HasRight(unsigned long right);

// From "security.ww" in the message directory; RIGHTS_DEFAULT when it
// cannot be opened. Windows only.
unsigned long ReadUserRights(const char* userName);
