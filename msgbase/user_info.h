// Per-user read state of a folder: "<Message Path><stem>.ui\<base name>",
// the user's read and unread-lock flags of the folder's messages, applied to
// the open topic's number index when it opens and written when it closes.
// The file form is portable; ReadUserInfo/WriteUserInfo need the file layer.
#pragma once
#include <cstdint>
#include <cstdio>

#include "core/virtual_array.h"

enum : uint16_t {
  USERINFO_VERSION = 11004,
  MSG_READ = 0x0001,
  MSG_UNREAD_LOCK = 0x1000,
  MSG_USER_FLAGS = 0x1001,    // what the user's file holds
  MSG_SHARED_FLAGS = 0x099E,  // what the shared index keeps
};
enum : uint32_t { CONF_HAS_USER_INFO = 0x0040 };

enum UserInfoResult : int { USERINFO_OK = 0, USERINFO_CORRUPT, USERINFO_BAD_VERSION };

// Applies the file's records whose numbers lie in first..last to the number
// index (10-byte records sorted by number). Nothing is applied from a file
// that is damaged or of another version.
UserInfoResult ApplyUserInfo(FILE* stream, VirtualArray& numberIndex, int32_t first, int32_t last);
// Clears the read bit of unread-locked messages, then writes the head and a
// record for every message, so no read state depends on anything else.
bool WriteUserInfoRecords(FILE* stream, VirtualArray& numberIndex, int32_t first, int32_t last);

// Win32 builds only: the current folder's file.
void ReadUserInfo();
int WriteUserInfo();
