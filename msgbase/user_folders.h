// The user folder file (<stem>.usr): each user's selection of the conference
// list with their own read marks and flags, merged with conf.ww at log-in.
// The folder order, the file form and the merge are portable; rduconf,
// wtuconf and CheckUserFile need the file layer.
#pragma once
#include <cstdint>
#include <cstdio>

#include "core/virtual_array.h"
#include "msgbase/conf_list.h"

int CompareFolderNames(const char* a, const char* b);
// A name made once into bytes whose plain order is the folder order, for
// sorting and merging many names.
struct FolderSortKey {
  unsigned char bytes[104];
  int length;
};
void MakeFolderSortKey(const char* name, FolderSortKey* key);
void ConfRecSortKey(const ConfRec& rec, FolderSortKey* key);
int CompareFolderSortKeys(const FolderSortKey& a, const FolderSortKey& b);
int CompareConfEntries(const void* a, const void* b);
// Puts a list of ConfRec in folder order, making each name's key once; false
// when the array could not be read or written.
bool SortConfList(VirtualArray& list);
// True when a joined folder of the same conference stands in the list near
// the position (searched forward from it, then backward).
bool UserHasConference(const char* name, int position);
bool UserHasConferenceIn(VirtualArray& list, const char* name, int position);

enum : int { USERFILE_VERSION_2 = 200, USERFILE_VERSION_5 = 500, USERFILE_FIELD = 20 };

struct UserFileHead {
  int version;                    // 200 or 500
  char name[USERFILE_FIELD + 1];  // un-swapped
  char password[USERFILE_FIELD + 1];
};

enum UserFileResult : int {
  USERFILE_OK = 0,
  USERFILE_CORRUPT,      // short head, or fewer records than counted
  USERFILE_BAD_VERSION,  // neither "Version5.00" nor "Version2.00"
  USERFILE_NO_MEMORY,
};

// Reads the head and the version's records into the array (emptied first).
// A failure leaves the array empty.
UserFileResult ReadUserFolders(FILE* stream, VirtualArray& list, UserFileHead* head);
// Reads only the head (for the name check); the stream is left after it.
UserFileResult ReadUserFileHead(FILE* stream, UserFileHead* head);
// Writes version 5.00. False on any short write.
bool WriteUserFolders(FILE* stream, VirtualArray& list, const char* name, const char* password);

// What the merge needs to know of the user.
struct UserMergeContext {
  const char* userName;
  uint32_t userFlags;                     // "User Flags": bit 1 joins new folders
  bool noAutoJoinTopic;                   // "No Auto Join Topic"
  bool (*hasUserFile)(const char* name);  // CheckUserFile
};
struct UserMergeResult {
  bool changed;  // entries removed, or joined entries added
  bool added;    // entries added
  bool ok;       // false when the array could not take the result
};
// Merges the user's list with the records of conf.ww (either in any order):
// `out` (which may be `user`, not `conferenceFile`) then holds exactly the user's folders with the
// current numbers, in folder order.
UserMergeResult MergeUserFolders(VirtualArray& user, VirtualArray& conferenceFile, VirtualArray& out,
                                 const UserMergeContext& context);
// Whether a mail folder belongs to the user.
bool MailFolderBelongsTo(const char* name, const UserMergeContext& context);

// Logged-in user's state that the folder file carries. The log-in sets the
// file name; empty means "<Message Path><stem>.usr".
extern char g_userPassword[USERFILE_FIELD + 1];
extern char g_userFileName[260];
// The change marker's time when rduconf last read conf.ww.
extern long long g_userMergeConfnewTime;

// Win32 builds only.
int rduconf();
int wtuconf();
bool CheckUserFile(const char* userName);
// "<Message Path><first 8 characters of the name><extension>"; empty when it
// does not fit size bytes.
void UserFilePath(const char* userName, const char* extension, char* out, size_t size);
