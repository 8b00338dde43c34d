// The one open topic: opening it through its index (rebuilding the index from
// the log when it is missing or unusable), closing it, and moving between
// topics. The state is global; logopen and logclose never nest.
#pragma once
#include <ctime>

#include "msgbase/conf_list.h"
#include "msgbase/records.h"
#include "msgbase/topic_log.h"

constexpr long kReindexNumber = 100000000;  // scanmsg rebuilds the index for numbers above the last one
constexpr long kNoCachedMessage = 99999999;

struct OpenTopicState {
  char openName[100] = "";       // the topic's folder name; empty when none was ever opened
  char requestedName[100] = "";  // the name handed to the last switch
  char previousName[100] = "";   // the last topic closed; ReopenTopic goes back to it
  FILE* log = nullptr;           // read-only handle of the topic log; null = no topic open
  long first = 0, last = 0;
  long readMark = 0;
  unsigned long openFlags = 0;  // the folder's flags when it opened
  time_t logTime = 0;
  time_t indexTime = -1;            // the .ind file's time at open; -1 writes it at close whatever
  bool indexChanged = false;        // a reindex ran: the index is written at close
  bool exclusiveOpen = false;       // pruning asks for the next log to be opened denying all sharing
  bool remergeUserFolders = false;  // the next open writes and re-reads the user folder file first
  bool opening = false;
  bool guard = false;
  bool switching = false;
  long cachedNumber = kNoCachedMessage;
  long cachedOffset = 0;
  char logPath[260] = "";
};
extern OpenTopicState g_topic;
// The reader over the open topic's log.
extern LogReader g_logReader;

// What opening and closing ask of the browser, the message-base window and
// the frame. Unset members do nothing (the browser counts as closed, the
// message order as 4, every folder passes the filter).
struct TopicOpenHooks {
  void (*browse)();                          // browse
  void (*closeBrowser)();                    // CloseBrowser
  bool (*browserOpen)();                     // the browser window exists
  int (*messageOrder)();                     // MessageOrder
  void (*nextNewMessage)();                  // NextNewMessage
  bool (*resignFilter)(const ConfRec* rec);  // MbwResignFilter
  void (*repaintList)();                     // MbwRepaintList
  void (*updateFolderView)();                // UpdateFolderView
  void (*updateCommandStates)();
  void (*setMainTitle)();
  void (*repaintStatusBar)();
  bool (*isIgnored)(long number);  // IsIgnored
  bool (*ghostsChanged)();         // GhostsChanged (the outbasket)
  void (*refreshGhosts)();         // RefreshGhosts
  // AbortCommand: abandons the current command through the fatal-error
  // guard. By default the lookup returns as a quiet one would.
  void (*abortCommand)();
};
extern TopicOpenHooks g_topicOpenHooks;
// The table installed from the start; tests put it back.
extern const TopicOpenHooks kDefaultTopicOpenHooks;

// Opens the folder named by g_topic.openName: 1 opened, 0 not.
int logopen();
// Closes the open topic; does nothing when none is open or during an open or close.
void logclose();
void SwitchTopic(const char* name);
int ReopenTopic();
void NextWaitingFolder();

// Positions the reader on a message (after its separator and header): 1, or
// 0 when it is not in the topic. A number above 99999999 rebuilds the open
// topic's index, thread file and message-id list from the log and returns 1
// (0 when the files cannot be made).
int scanmsg(long number);

// 1 when the user wrote the message of the open topic (looked up by number;
// 0 when it cannot be read): its author in a Dravenet folder, else an author
// beginning with "!" or the user's own address of the folder's service in
// its "From" field.
int IsOwnMessage(long number);

// The message's slot in "log cva"; -1 when it is missing. Not quiet: while a
// topic opens, a missing message leads to the repair question; otherwise it is
// reported and the command abandoned.
int msgindex(long number, int quiet);
// The message's record; a missing one gives a stand-by record {number, 0, 0x0004}.
MsgIndexRec* getmsghdr(long number, int quiet);

// Where the last rebuild of the open topic's index spent its time, in
// seconds: the log walk with each message's records (thread record, index
// slots, id list entry), then the thread file's last writes, the id list's
// sort and save, and the index file.
struct RebuildTimes {
  double walk = 0, threadFile = 0, idList = 0, index = 0;
  int threads = 1;  // the threads that walked the log
};
extern RebuildTimes g_lastRebuildTimes;

// How a rebuild walks the log: threads 0 as many as the processors allow,
// 1 on the calling thread alone; pieceBytes 0 cuts the log by its size.
// The bench and the tests set them.
struct RebuildWalkSettings {
  int threads = 0;
  long pieceBytes = 0;
};
extern RebuildWalkSettings g_rebuildWalk;

// Thrown by a lookup that meets a missing message while a topic opens;
// logopen catches it and offers to repair the folder.
struct TopicRecovery {};
