// The login-script language: a tokeniser, parser and evaluator that run a
// script straight from its file, statement by statement. Portable: what a
// script does to the line (send, wait, open and close the port), asks of the
// client and reads from files goes through a ScriptHost table, which the
// connection session fills for real runs and tests fill with a fake line.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Why a run stopped.
enum : int {
  kScriptRanOut = 0,  // ran to its end or to `exit`
  kScriptFailed = 1,  // a script error; the text says which and where
  kScriptBadFile = 2,
  kScriptReadError = 3,
  kScriptNoMemory = 4,
};

// What the texts a script hands to the session are for.
enum ScriptSendKind : int {
  kScriptSendRaw = 0,      // send: as it is
  kScriptSendChecked = 1,  // sendi: followed by the decimal sum of its bytes
  kScriptSendControl = 2,  // sendm: with its "^" and "~" escapes
  kScriptShow = 3,         // show: a progress text for the client
};

// The files a script reads, by handle; null for none.
struct ScriptFileOps {
  void* (*open)(const char* name);
  // Up to `count` bytes from `offset`; the count read, 0 at the end, -1 on error.
  int (*readAt)(void* file, uint32_t offset, void* buffer, unsigned count);
  void (*close)(void* file);
};
ScriptFileOps ScriptStdioFiles();

struct ScriptHost {
  void* context;
  // Waits `units` × 100 ms for one of the patterns: its number from 1, 0 for
  // a time-out, negative for a cancel; `scanned` gets what arrived.
  int (*wait)(void* context, const char* const* patterns, int count, uint16_t units, std::string* scanned);
  void (*send)(void* context, int kind, const std::string& text);
  // Opens the port: 1 done, 0 failed, -1 the client refused the port.
  int (*init)(void* context, const std::string& portName, long speed);
  void (*reset)(void* context);
  // Asked between statements; non-zero: the client wants the script stopped.
  int (*poll)(void* context);
  // A comment line holding "command": the text after the word.
  void (*commandNotice)(void* context, const std::string& text);
  // The session key that a successful `approve` computed.
  void (*sessionKey)(void* context, const uint8_t key[16]);
  ScriptFileOps files;
};
// A host that does nothing and never waits, reading files with stdio.
ScriptHost ScriptIdleHost();

enum ScriptSymbolType : int { kSymUndefined = 0, kSymLabel = 1, kSymInteger = 2, kSymString = 3 };

struct ScriptSymbol {
  int type = kSymUndefined;
  int16_t number = 0;
  std::string text;
  uint32_t offset = 0;  // a label: where the statement after it starts
  uint16_t line = 0;
};

// One entry of a script's network list.
struct ScriptNetworkEntry {
  std::string name;
  int number = 0;
};

// The login-script object of a session: its global ("%") symbols live as
// long as it does; a run's local symbols live for one script file.
class ScriptContext {
 public:
  // Runs `name` from `directory`; the stop code (kScript*).
  int Run(const ScriptHost& host, const std::string& directory, const std::string& name);

  int stopCode = kScriptRanOut;
  uint8_t exitCode = 0;
  std::string errorText;  // "Error in %s at line %u: %s" after a script error
  uint32_t statements = 0;

  bool SetString(const std::string& name, const std::string& text);
  // Kept between two 0xFF bytes at each end, which the session's hidden-text
  // filter keeps out of the data log.
  bool SetSecret(const std::string& name, const std::string& text);
  bool SetInt(const std::string& name, int16_t value);
  // 0 found; else the error number (786 unknown, 777 not an integer,
  // 776 not a string).
  int GetInt(const std::string& name, int32_t* value) const;
  int GetString(const std::string& name, std::string* text) const;
  bool Has(const std::string& name) const { return globals_.count(name) != 0; }

  std::map<std::string, ScriptSymbol> globals_;
};

// The lists a script file carries for the session, read without running it.
// 0 on success, else the error number.
int ScriptReadNetworkList(const ScriptFileOps& files, const std::string& path, std::vector<ScriptNetworkEntry>* entries,
                          int* directNumber);
int ScriptReadValueList(const ScriptFileOps& files, const std::string& path, std::vector<std::string>* values);

// The text of a script error number (973-991) or of the session's texts.
std::string ScriptText(unsigned id);
