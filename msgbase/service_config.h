// Service configuration files (<service>.cnf, special.cnf): the configuration
// block of header and setting lines, and the table of script commands that
// the menus offer and the dispatcher runs. The line grammar is portable;
// rdhconf, which finds and caches the files, needs the file layer.
#pragma once
#include <cstdint>
#include <cstdio>

enum : int {
  HCONF_SLOTS = 14,
  HCONF_SLOT_SIZE = 4097,  // a text of at most 4096 characters
  HCONF_LINE_LIMIT = 4096,
  MAX_SCRIPT_COMMANDS = 200,
  SCRIPT_MENU_NAME_SIZE = 60,  // at most 59 characters
  SCRIPT_KEYWORD_SIZE = 12,    // at most 11 characters
  BLINE_TEXT_SIZE = 20,        // at most 19 characters
};

// Slots of the setting lines.
enum : int { HCONF_R = 5, HCONF_Q = 9, HCONF_N = 10, HCONF_I = 11, HCONF_H = 12, HCONF_Z = 13 };

struct ScriptCommand {
  char menuName[SCRIPT_MENU_NAME_SIZE];  // "\t" made a tab: menu text, tab, accelerator text
  int32_t number;
  int32_t capital;  // 1 for upper-case lines, 0 for "x" and "m" lines
  char keyword[SCRIPT_KEYWORD_SIZE];
  char* text;  // heap string owned by the table
};

// One menu line per script command: keyword and command id (entry + 1).
#pragma pack(push, 1)
struct ScriptMenuEntry {
  char text[64];
  int32_t id;
};
static_assert(sizeof(ScriptMenuEntry) == 68);
#pragma pack(pop)

struct ServiceConfig {
  char (*slots)[HCONF_SLOT_SIZE] = nullptr;  // HCONF_SLOTS slots, allocated once
  char bLineChar = 0;
  char bLineText[BLINE_TEXT_SIZE] = "";
  bool qLine = false;
  ScriptCommand commands[MAX_SCRIPT_COMMANDS] = {};
  int commandCount = 0;
  ScriptMenuEntry menu[MAX_SCRIPT_COMMANDS + 1] = {};  // ended by an empty entry with id 0
  bool forumFirstKind = false;                         // the forum's name list says "Voze forum"
  bool forumOtherKind = false;
  int intVariant = 0;
  // Cache key of the last read.
  char cachedService[16] = "";
  bool cachedExtended = false;
  bool cachedAdmin = false;
  bool cacheValid = false;
  bool warned = false;
  bool lastReadKept = false;  // a copy of the last read may stand in for reading unchanged files again
  char loadedService[16] = "";
};
extern ServiceConfig g_hconf;

// What the line rules ask of the program while a file is read.
struct ServiceConfigContext {
  bool administratorMode;
  bool moderatedFolder;  // the open folder has folder flag 8
  bool delnewsFolder;    // the open folder belongs to delnews
  void (*status)(const char* text);
};
extern ServiceConfigContext g_hconfContext;

// Allocates the block (once) and empties it; FreeServiceConfig releases it
// and the command texts.
bool AllocServiceConfig();
void FreeServiceConfig();
// Empties the command and menu tables (the texts stay until their entries
// are reused) and slots 5 and 11.
void ResetScriptCommands();

void hconfpath(char* text);
void ParseScriptCommand(const char* line, int force);
// The eight header lines, then every further line to ParseScriptCommand.
void ReadServiceConfigLines(FILE* stream, int force);
// Reads the lines of special.cnf (no header lines).
void ReadScriptCommandLines(FILE* stream, int force);
// The forum kind from the lines of a forum's name list.
void ReadForumKind(FILE* nameList);

// Win32 builds only.
int rdhconf(const char* service, int force);
int LoadFolderConf(const char* service);
// Rebuilds the main menu after a read; the shell sets it, by default nothing
// happens.
struct ServiceConfigHooks {
  void (*rebuildMainMenu)();
};
extern ServiceConfigHooks g_serviceConfigHooks;
