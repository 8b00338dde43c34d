// The operations the dispatcher, the menus and the command states call in
// other subsystems and in shell parts built elsewhere, under the names their
// owners give them. Each is a member of g_commandHooks; the owning module
// installs its function when it exists. Until then an operation refuses with
// a status text naming the command, and its commands stay disabled.
#pragma once
#include <windows.h>

// The program's single-instance MDI windows, as the active child.
enum class ActiveChild {
  None,
  Other,
  Editor,
  AddressBook,
  MessageBase,
  Browser,
  BookmarkManager,
  FileList,
  LibraryList,
  Connect,
  Subscribe
};

// X(result, name, (parameters), (arguments)): operations that refuse until set.
#define PELMORA_COMMAND_OPERATIONS(X)                                                  \
  /* shell parts and the message base */                                               \
  X(void, AboutBox, (HWND owner), (owner))                                             \
  X(void, ShowImportQueue, (), ())                                                     \
  X(void, ShowToolManager, (), ())                                                     \
  X(int, CheckHotkey, (int value), (value))                                            \
  X(void, ToggleAdministrator, (), ())                                                 \
  X(void, RebuildMessageBase, (), ())                                                  \
  X(void, CommsSetup, (const char* service), (service))                                \
  X(void, EditUsers, (), ())                                                           \
  X(void, ShowWho, (), ())                                                             \
  X(void, PruneMessageBase, (int interactive), (interactive))                          \
  X(void, SetPruneDialog, (), ())                                                      \
  X(void, DoDelResign, (), ())                                                         \
  X(void, DoShowStats, (), ())                                                         \
  X(void, MarkAllRead, (int command), (command))                                       \
  X(void, DoOptions, (int page), (page))                                               \
  X(void, ShowTips, (), ())                                                            \
  X(void, MessageRulesDialog, (int command), (command))                                \
  X(void, NewFolder, (), ())                                                           \
  X(void, ProxyDialog, (), ())                                                         \
  X(void, MacroRecord, (), ())                                                         \
  X(void, PlayMacroFile, (const char* path), (path))                                   \
  X(void, MacroLoad, (), ())                                                           \
  X(void, MacroSave, (), ())                                                           \
  X(void, MacroStartup, (), ())                                                        \
  X(void, MoreMacros, (), ())                                                          \
  /* the message browser */                                                            \
  X(void, OpenBookmarkManager, (int show), (show))                                     \
  X(void, NextBookmarked, (), ())                                                      \
  X(void, RunFile, (), ())                                                             \
  X(void, CopyCommand, (), ())                                                         \
  X(void, CopyCommandAlt, (), ())                                                      \
  X(void, SaveAsCommand, (), ())                                                       \
  X(void, DoFind, (), ())                                                              \
  X(void, FindAgain, (), ())                                                           \
  X(void, RecreateMessageView, (), ())                                                 \
  X(void, RefreshLibraryList, (), ())                                                  \
  X(void, GotoMessage, (), ())                                                         \
  X(void, ClearAllIgnoreFlags, (), ())                                                 \
  X(void, OpenMbw, (), ())                                                             \
  X(void, ShowUnjoined, (), ())                                                        \
  X(void, MarkReadCommand, (), ())                                                     \
  X(void, MarkUnreadCmd, (), ())                                                       \
  X(void, MarkDeleteCmd, (), ())                                                       \
  X(void, MarkKeepCmd, (), ())                                                         \
  X(void, MarkIgnoreCmd, (), ())                                                       \
  X(void, MarkBookmarkCmd, (), ())                                                     \
  X(void, MarkUnreadLockCmd, (), ())                                                   \
  X(void, MarkBookmarkSet, (int command), (command))                                   \
  X(void, ThreadListKey, (int key), (key))                                             \
  X(void, ThreadListPageUp, (), ())                                                    \
  X(void, ThreadListPageDown, (), ())                                                  \
  X(void, RelinkThread, (), ())                                                        \
  X(void, PrintActive, (), ())                                                         \
  X(void, PageSetup, (), ())                                                           \
  X(void, UpdateGhostState, (), ())                                                    \
  X(void, SelectBookmarkSetCmd, (int command), (command))                              \
  X(void, SelectBookmarkSet, (int set), (set))                                         \
  X(void, GoBack, (), ())                                                              \
  X(void, ReThreadMessages, (), ())                                                    \
  X(void, FindMessagesToMe, (), ())                                                    \
  X(void, SearchMembership, (), ())                                                    \
  X(void, RemoteSearch, (), ())                                                        \
  X(void, EditFavourites, (), ())                                                      \
  X(void, ForwardSelected, (), ())                                                     \
  X(void, SetZoomMode, (int mode), (mode))                                             \
  X(void, SaveBookmarks, (), ())                                                       \
  X(void, MbwSelectFilterSet, (const char* set), (set))                                \
  X(void, ToggleBrowserFocus, (), ())                                                  \
  X(void, BrowserReply, (), ())                                                        \
  X(void, BrowserReplyByMail, (), ())                                                  \
  X(void, BrowserNewMessage, (), ())                                                   \
  X(void, SendToAnyFolder, (const char* folder), (folder))                             \
  X(void, SetMessageOrder, (LPARAM order), (order))                                    \
  X(void, NextNewMessage, (), ())                                                      \
  X(void, SelectMessageAt, (int how), (how))                                           \
  X(void, RecreateBrowser, (), ())                                                     \
  X(void, NoteCurrentMessage, (const char* folder), (folder))                          \
  /* reading and composing */                                                          \
  X(void, OpenAddressBook, (), ())                                                     \
  X(void, ReplyToMessage, (const char* text), (text))                                  \
  X(void, OpenNotes, (), ())                                                           \
  X(void, NewFax, (), ())                                                              \
  X(void, NewMailTo, (const char* address), (address))                                 \
  X(void, NewMessage, (const char* text), (text))                                      \
  X(void, ReplyByMail, (const char* who), (who))                                       \
  X(void, ScanForAddresses, (), ())                                                    \
  X(void, SignatureDialog, (), ())                                                     \
  X(void, PgpEncryptDialog, (), ())                                                    \
  X(void, FollowLink, (const char* link, int flag, HWND window), (link, flag, window)) \
  X(void, RunIdleRefresh, (), ())                                                      \
  /* outbasket and connections */                                                      \
  X(void, OpenConnectWindow, (int how), (how))                                         \
  X(void, ReconstructService, (int how), (how))                                        \
  X(void, Review, (const char* service, int how), (service, how))                      \
  X(void, OpenSchedulerWindow, (), ())                                                 \
  X(void, RunSchedulerJobNow, (int job), (job))                                        \
  X(void, PostConnectRequest, (), ())                                                  \
  X(int, MakeScriptCmd, (const char* command), (command))                              \
  /* service directories and subscriptions */                                          \
  X(void, QueueFileDownload, (const char* folder, const char* file), (folder, file))   \
  X(void, QueueFileUpload, (const char* folder, const char* file), (folder, file))     \
  X(void, QueueFileErase, (const char* folder, const char* file), (folder, file))      \
  X(void, OpenSubscribeWindow, (), ())                                                 \
  X(void, MarkSelForJoining, (), ())                                                   \
  X(void, OpenResumesWindow, (), ())                                                   \
  X(void, ShowResume, (), ())                                                          \
  X(void, MarkFolderForInfo, (), ())                                                   \
  X(void, GotoFolder, (), ())                                                          \
  X(void, RequestLibraryList, (const char* service, int how), (service, how))          \
  X(void, OpenModerateFileList, (const char* service), (service))

// X(result, name, (parameters), neutral result): what the command states and
// handlers ask; unset, they answer as if the window or state were absent.
#define PELMORA_COMMAND_QUERIES(X)                       \
  X(ActiveChild, ActiveChildKind, (), ActiveChild::None) \
  X(HWND, ActiveEditorWindow, (), nullptr)               \
  X(HWND, WindowOf, (ActiveChild kind), nullptr)         \
  X(bool, BrowserOpen, (), false)                        \
  X(bool, MessageBaseOpen, (), false)                    \
  X(bool, ThreadListFocused, (), false)                  \
  X(bool, MessageSelected, (), false)                    \
  X(bool, SearchRunning, (), false)                      \
  X(bool, HasHistory, (), false)                         \
  X(bool, TerminalConnectionRuns, (), false)             \
  X(int, CountServices, (), 0)                           \
  X(bool, PgpSetUp, (), false)                           \
  X(bool, CanModerateTopic, (), false)                   \
  X(bool, DvnModerator, (), false)                       \
  X(int, ZoomMode, (), 0)                                \
  X(int, CurrentBookmarkSet, (), 0)                      \
  X(const char*, CurFolderName, (), "")                  \
  X(bool, ViewCanCopy, (), false)                        \
  X(bool, GetViewSelText, (char* out, int size), false)  \
  X(bool, EditorWordWrap, (), false)                     \
  X(bool, StartupMacroSet, (), false)                    \
  X(bool, ImportWaiting, (), false)                      \
  X(bool, TopicHasUnread, (), false)                     \
  X(void, PushHistory, (), void())                       \
  X(bool, StartupFinished, (), true)                     \
  X(HBITMAP, GetToolBitmap, (const char* tool), nullptr) \
  X(int, ToolMenuItems, (HMENU menu), 0)

struct CommandHooks {
#define PELMORA_HOOK_MEMBER(result, name, params, args) result(*name) params;
  PELMORA_COMMAND_OPERATIONS(PELMORA_HOOK_MEMBER)
#undef PELMORA_HOOK_MEMBER
#define PELMORA_QUERY_MEMBER(result, name, params, neutral) result(*name) params;
  PELMORA_COMMAND_QUERIES(PELMORA_QUERY_MEMBER)
#undef PELMORA_QUERY_MEMBER
};
extern CommandHooks g_commandHooks;
// The table installed from the start: refusing operations, neutral queries.
extern const CommandHooks kCommandHookDefaults;

// True when the owner installed its operation (the member differs from the default).
#define COMMAND_HOOK_SET(name) (g_commandHooks.name != kCommandHookDefaults.name)

// The command being dispatched, which a refusal names; 0 outside FrameCommand.
int CurrentCommand();
// Refusals of the dispatcher: a status text naming the command.
void RefuseNotAvailable(int id);
void RefuseNoRight(int id);
