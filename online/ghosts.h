// Ghosts: queued replies, comments and withdrawals of the open topic's
// messages, read from the service's two action files, so the thread list can
// mark messages already answered or withdrawn. Portable: files, the open
// topic and the repaint come through GhostHooks.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <vector>

#pragma pack(push, 1)
struct GhostEntry {
  char topic[100];    // "service:folder"
  uint32_t number;    // the message the action concerns
  uint32_t reply;     // 1: a queued reply or comment
  uint32_t withdraw;  // 1: a queued "Withdraw Message" or "Cancel Message"
};
#pragma pack(pop)
static_assert(sizeof(GhostEntry) == 112, "GhostEntry is 112 bytes");

struct GhostHooks {
  // The open topic's name ("service:conference/topic"); null when none is open.
  const char* (*openTopicName)();
  // The data directory, with its trailing backslash.
  const char* (*dataDirectory)();
  // The file's modification time; -1 when it does not exist.
  time_t (*fileTime)(const char* path);
  // The file's bytes; false when it cannot be read.
  bool (*readFile)(const char* path, std::vector<char>* bytes);
  // RefreshGhostRows of the thread list.
  void (*refreshGhostRows)();
};
extern GhostHooks g_ghostHooks;

// The default file hooks. GhostReadFile passes over the bodies of messages
// (their count lines then read 0), which the ghosts never look at.
time_t GhostFileTime(const char* path);
bool GhostReadFile(const char* path, std::vector<char>* bytes);

// The ghosts of one action file's bytes, appended to out. Only live entries
// count; an entry ends at the next header whatever it holds.
void ParseBscEntries(const char* data, size_t size, const char* service, std::vector<GhostEntry>* out);

// Rebuilds the ghosts for the open topic's service and repaints the marks.
void RefreshGhosts();
// A topic is open and either action file's time changed since the last refresh.
bool GhostsChanged();
// 0: no ghost of the open topic concerns the message; 2: a reply; 1: a withdrawal.
int GetGhostKind(long number);
// Advances index (start with -1) to the next ghost of the open topic: 1 with
// its fields, 0 when none is left.
int NextGhost(int* index, long* number, int* reply, int* withdraw);
void ClearGhosts();
// The number of ghosts held (all topics of the service).
int GhostCount();

// Puts GhostsChanged and RefreshGhosts into the open topic's hooks.
void InstallGhostHooks();
