// The connection session: one connection to the Dravenet service as the
// toolbox's client sees it, with its settings, the logon dialogue, the host
// protocol's negotiation and the logoff. Portable: the port's data goes
// through BpSystem, everything else of the port and the toolbox's INI file
// through SessionHooks, so the whole logon runs natively over a simulated
// line against the stand-in host.
#pragma once
#include <cstddef>
#include <cstdint>

#include "commkit/bp/bp_system.h"
#include "commkit/port/port_settings.h"
#include "commkit/qvx/qvx_link.h"
#include "commkit/session/script.h"

// Session error numbers (also the ids of their texts).
enum : uint32_t {
  kConnErrMemory = 768,
  kConnErrQvx = 769,
  kConnErrCapability = 770,
  kConnErrNoProtocol = 771,
  kConnErrEscI = 772,
  kConnErrPort = 773,
  kConnErrScriptFile = 774,
  kConnErrCommPort = 781,
  kConnErrConnect = 782,
  kConnErrCancelled = 783,
  kConnErrReadScript = 784,
  kConnErrScript = 785,
  kConnErrNetwork = 790,
  kConnErrAborted = 791,
  kConnErrCredentials = 792,
  kConnErrParameters = 793,
  kConnErrUserId = 794,
  kConnErrPassword = 795,
  kConnErrOstrelPassword = 796,
  kConnErrOstrelMailbox = 797,
  kConnErrOstrelMailboxPassword = 798,
  kConnErrSetPort = 799,
};

// Notices of the session.
enum : unsigned {
  kNoticeAbortQuestion = 768,
  kNoticeStatusText = 769,
  kNoticePrompt = 771,
  kNoticeLinkUp = 772,
  kNoticeLinkStarting = 773,
  kNoticeConnected = 777,
  kNoticeScriptCommand = 778,
  kNoticeClientPort = 779,
  kNoticeStateChanged = 780,
};

#pragma pack(push, 1)
// The settings of one named connection.
struct ConnSettings {
  char directory[260];
  char userName[40];
  char userId[40];
  char password[25];
  char hostCommand[25];
  char connectionName[80];
  char alternateName[80];
  char phone[80];
  char networkName[25];
  uint16_t languageId;
  uint16_t countryId;
  uint16_t retries;
  uint16_t logonTimeout;
  uint32_t disableSecureLogin;
  uint32_t useWinsock;
  uint32_t commTypeWinsock;
  uint32_t alternatePort;
  char winsockCommType[81];
  PortSettings port;
  uint32_t connectionType;  // 0 tone, 1 pulse, 2 direct, 3 manual
  uint32_t speaker;
  uint32_t errorCorrection;
  uint32_t compression;
  char modemAck[20];
  char modemDial[20];
  char modemTone[20];
  char modemPulse[20];
  char modemReset[20];
  char modemInit[80];
  char modemSuccess[20];
  char modemFailure[20];
  char modemPrefix[20];
  char modemEscape[20];
  char modemHangup[20];
  char modemSuffix[20];
  char modemName[80];
  char modemUserId[40];
  char modemPassword[25];
  char modemECOn[20];
  char modemDCOn[20];
  uint32_t init2Used;
  char modemFlow[20];
  uint32_t dialogFlag;
  char ostrelNumber[40];
  char ostrelPassword[25];
  char ostrelAddress[30];
  char ostrelIndividual[25];
  uint32_t ostrelForMail;
  uint32_t ostrelEnabled;
};

struct ConnSession {
  void* window;
  uint32_t error;
  int32_t abortFlag;
  int32_t ostrelMode;
  uint8_t* capabilities;  // 3-byte entries: 16-bit number, mode byte
  uint16_t capabilityCount;
  QvxSession* qvx;
  void* port;
  ScriptContext* script;
  char* settingsView;
  int32_t state;  // 0 not connected, 1 connected, 2 logged on, 3 at a host prompt
  char* logoffCommand;
  void* statusDialog;
  void* statusOwner;
  int32_t statusMode;
  char* iniFile;
  char* sessionName;
  ConnSettings settings;
  char* capture;
  uint16_t captureCount;
  int32_t oneShotAbort;
  uint16_t scriptError;
  int32_t clientFlag;
  // Kept beside the record's fields.
  int32_t stateFlag;
  uint32_t lastError;
  uint8_t sessionKey[16];
  char scriptDirectory[261];
  char* eventText;
  int32_t directNetwork;
};

// The record of notice 771; pointers are the clients' 32 bits on i686.
struct ConnPrompt {
  uint16_t maximum;
  const char* prompt;
  char* buffer;
  const char* title;
  int32_t hidden;
  int32_t field;
};
#pragma pack(pop)
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(ConnPrompt) == 22, "prompt record");
#endif

// What the session needs of the port beyond its bytes, of the toolbox's INI
// file and of the clock. The defaults do nothing (natively) or call the
// toolbox (installed by the DLL at start-up).
struct SessionHooks {
  void* (*portCreate)(void* window);
  void (*portDestroy)(void* port);
  void (*portSetWindow)(void* port, void* window);
  int (*portIsOpen)(void* port);
  int (*portOpen)(void* port, const PortSettings* settings);  // 1 done
  void (*portClose)(void* port);
  void (*portBreak)(void* port);
  uint16_t (*portModemStatus)(void* port);
  int (*portSetup8N1)(void* port);  // 1 done
  int (*portIs8N1)(void* port);
  int (*portLogging)(void* port);
  void (*portLogControl)(void* port, int mode);  // 1 resume, 2 pause
  void (*portSetCarrierWatch)(void* port, int on);
  int (*portUsesCarrier)(void* port);
  void (*portApplySettings)(void* port, const PortSettings* settings);
  const char* (*portName)(void* port);
  void (*portSetLogFile)(void* port, const char* name);
  int (*portIsClientOwned)(void* port);
  void (*memoryLogStart)(void* port, uint32_t size);
  void (*memoryLogToFile)(void* port, const char* name);
  void (*memoryLogDrop)(void* port);
  void (*delaySeconds)(void* window, int seconds);
  // dranet.ini: a missing value gives the default; a null value deletes the
  // key, a null key the section.
  void (*iniGet)(const char* section, const char* key, const char* fallback, char* buffer, int size);
  int (*iniSet)(const char* section, const char* key, const char* value);
  void (*platformCode)(char out[4]);
  // Loads the named connection's settings from the caller's INI file; 0 when
  // it cannot.
  int (*loadConnection)(ConnSession* session, const char* name);
  ScriptFileOps scriptFiles;
  // The pause of a wait with nothing to read; it should end early when the
  // line's events arrive.
  void (*idleWait)();
};
extern SessionHooks g_sessionHooks;
// A copy of the defaults (they include the stdio script files).
SessionHooks DefaultSessionHooks();

// Exported accessors of the settings: one table, one row per field.
//   X(Name, member, dup ordinal, set ordinal, kind) for texts, kind 0 plain,
//   1 set only when given, 2 the directory (empty stores ".\");
//   N(Name, member, type, get ordinal, set ordinal) for numbers.
#define CONN_TEXT_ACCESSORS(X)                     \
  X(Directory, directory, 679, 678, 2)             \
  X(UserName, userName, 653, 654, 1)               \
  X(UserId, userId, 655, 656, 0)                   \
  X(Password, password, 661, 662, 0)               \
  X(HostCommand, hostCommand, 921, 652, 1)         \
  X(ConnectionName, connectionName, 453, 0, 0)     \
  X(AlternateName, alternateName, 810, 811, 0)     \
  X(Phone, phone, 901, 642, 0)                     \
  X(NetworkName, networkName, 900, 641, 0)         \
  X(WinsockCommType, winsockCommType, 820, 821, 0) \
  X(ModemAck, modemAck, 905, 682, 0)               \
  X(ModemTone, modemTone, 906, 683, 0)             \
  X(ModemPulse, modemPulse, 907, 684, 0)           \
  X(ModemReset, modemReset, 908, 685, 0)           \
  X(ModemInit, modemInit, 917, 694, 0)             \
  X(ModemSuccess, modemSuccess, 909, 686, 0)       \
  X(ModemFailure, modemFailure, 910, 687, 0)       \
  X(ModemPrefix, modemPrefix, 911, 688, 0)         \
  X(ModemEscape, modemEscape, 912, 689, 0)         \
  X(ModemHangup, modemHangup, 913, 690, 0)         \
  X(ModemSuffix, modemSuffix, 914, 691, 0)         \
  X(ModemName, modemName, 919, 920, 0)             \
  X(ModemUserId, modemUserId, 915, 692, 0)         \
  X(ModemPassword, modemPassword, 916, 693, 0)     \
  X(ModemECOn, modemECOn, 926, 927, 0)             \
  X(ModemDCOn, modemDCOn, 928, 929, 0)             \
  X(ModemFlow, modemFlow, 930, 931, 0)             \
  X(OstrelNumber, ostrelNumber, 659, 660, 0)       \
  X(OstrelPassword, ostrelPassword, 696, 509, 0)   \
  X(OstrelAddress, ostrelAddress, 657, 658, 0)     \
  X(OstrelIndividual, ostrelIndividual, 663, 664, 0)
#define CONN_NUMBER_ACCESSORS(N)                          \
  N(LanguageId, languageId, uint16_t, 825, 827)           \
  N(CountryId, countryId, uint16_t, 824, 826)             \
  N(Retries, retries, uint16_t, 902, 643)                 \
  N(LogonTimeout, logonTimeout, uint16_t, 903, 644)       \
  N(ConnectionType, connectionType, uint32_t, 918, 695)   \
  N(Speaker, speaker, uint32_t, 904, 681)                 \
  N(ErrorCorrection, errorCorrection, uint32_t, 922, 923) \
  N(Compression, compression, uint32_t, 924, 925)         \
  N(UseWinsock, useWinsock, uint32_t, 823, 822)           \
  N(AlternatePort, alternatePort, uint32_t, 818, 819)

extern "C" {
#define CONN_DECLARE_TEXT(Name, member, dup, set, kind) \
  char* BP_CALL ConnDup##Name(ConnSession* s);          \
  void BP_CALL ConnSet##Name(ConnSession* s, const char* text);
#define CONN_DECLARE_NUMBER(Name, member, type, get, set) \
  type BP_CALL ConnGet##Name(ConnSession* s);             \
  void BP_CALL ConnSet##Name(ConnSession* s, type value);
CONN_TEXT_ACCESSORS(CONN_DECLARE_TEXT)
CONN_NUMBER_ACCESSORS(CONN_DECLARE_NUMBER)
#undef CONN_DECLARE_TEXT
#undef CONN_DECLARE_NUMBER

void* BP_CALL ConnGetStatusOwner(ConnSession* s);                                   // 828
void BP_CALL ConnSetStatusOwner(ConnSession* s, void* window);                      // 829
int32_t BP_CALL ConnGetStatusMode(ConnSession* s);                                  // 697
void BP_CALL ConnSetStatusMode(ConnSession* s, int32_t mode);                       // 698
void BP_CALL ConnSetDialogFlag(ConnSession* s, uint32_t value);                     // 831
void BP_CALL ConnSetClientFlag(ConnSession* s, int32_t value);                      // 830
char* BP_CALL ConnDupLogoffCommand(ConnSession* s);                                 // 665
int BP_CALL ConnSetLogoffCommand(ConnSession* s, const char* text);                 // 666
int BP_CALL ConnGetOstrelWords(ConnSession* s, uint16_t* mail, uint16_t* enabled);  // 672
void BP_CALL ConnSetOstrelWords(ConnSession* s, uint16_t mail, uint16_t enabled);   // 673
PortSettings* BP_CALL ConnPortSettings(ConnSession* s);                             // 640
void* BP_CALL ConnGetPort(ConnSession* s);                                          // 650
QvxSession* BP_CALL ConnGetQvx(ConnSession* s);                                     // 667
uint16_t BP_CALL ConnGetError(ConnSession* s);                                      // 668
void BP_CALL ConnSetWindow(ConnSession* s, void* window, int alsoChildren);         // 465
char* BP_CALL ConnDialupNumber(ConnSession* s, int digitsOnly);                     // 699

ConnSession* BP_CALL ConnCreate(void* window);  // 433
void BP_CALL ConnDestroy(ConnSession* s);       // 432
int BP_CALL ConnConnect(ConnSession* s, const char* name, uint16_t count, const uint8_t* table, const char* application,
                        const char* dataLog);  // 430
int BP_CALL ConnConnectOstrel(ConnSession* s, const char* name, uint16_t count, const uint8_t* table,
                              const char* application, const char* dataLog);                               // 434
int BP_CALL ConnDisconnect(ConnSession* s, const char* logoffScript);                                      // 431
int BP_CALL ConnCloseLink(ConnSession* s, int alsoDisconnect);                                             // 512
int16_t BP_CALL ConnWaitFor(ConnSession* s, uint16_t count, uint16_t units, const char* const* patterns);  // 460
int BP_CALL ConnHasCapability(ConnSession* s, uint16_t capability);                                        // 461
void BP_CALL ConnSendChecked(ConnSession* s, const char* text);                                            // 680
int BP_CALL ConnHaveCredentials(ConnSession* s);                                                           // 441
void BP_CALL ConnSetState(ConnSession* s, int32_t state);                                                  // 457
int BP_CALL ConnLinkState(ConnSession* s);                                                                 // 812

// Connection state in dranet.ini.
int32_t BP_CALL ConnStateSetStatus(ConnSession* s, const char* text);  // 932
int BP_CALL ConnStateSetAppWindow(ConnSession* s, uint32_t window);    // 933
char* BP_CALL ConnStateGetStatus();                                    // 934
ConnSession* BP_CALL ConnSetStateFlag(ConnSession* s);                 // 935

// The login scripts.
int BP_CALL ScriptRun(ConnSession* s, const char* name);                          // 454
char* BP_CALL ScriptErrorText(ConnSession* s);                                    // 455
uint8_t BP_CALL ScriptExitCode(ConnSession* s);                                   // 456
int BP_CALL ScriptSetString(ConnSession* s, const char* name, const char* text);  // 449
int BP_CALL ScriptSetSecret(ConnSession* s, const char* name, const char* text);  // 458
int BP_CALL ScriptSetInt(ConnSession* s, const char* name, int16_t value);        // 450
int BP_CALL ScriptGetInt(ConnSession* s, const char* name, int32_t* value);       // 445
char* BP_CALL ScriptGetString(ConnSession* s, const char* name);                  // 446
struct ScriptNetwork {
  ScriptNetwork* next;
  char* name;
  int32_t number;
};
ScriptNetwork* BP_CALL ScriptNetworkList(ConnSession* s, const char* fileName);  // 440
char* BP_CALL ScriptFirstValue(ConnSession* s, const char* fileName);            // 447
void BP_CALL ScriptFreeList(ScriptNetwork* list);                                // 444
char* BP_CALL SessionErrorText(ConnSession* s);                                  // 470
uint32_t BP_CALL SessionErrorCode(ConnSession* s);                               // 471
}

// Used inside the toolbox.
void ConnStateClear();
void ConnStatusText(ConnSession* s, const char* text);
int RunLoginScript(ConnSession* s, const char* name, const char* escI);
void SendRawString(ConnSession* s, const char* text);
void SendCtrlString(ConnSession* s, const char* text);
bool ConnCheckAbort(ConnSession* s);  // true: stop
// The answer to the host's ESC-I question, or "" with no application text.
void BuildEscIAnswer(ConnSession* s, const char* application, char* out, size_t size);
void ApplyWinsockChoice(ConnSession* s, int alternate);
int PromptCredentials(ConnSession* s);
int ConnNegotiate(ConnSession* s, const char* escI);
int ConnLogoff(ConnSession* s, int hangUp, int closePort, const char* logoffScript);
void ConnHangUp(ConnSession* s, const char* script);
// The logon time-out in seconds for the stored option.
uint16_t LogonSeconds(uint16_t option);
// Loads the session's settings into the script's variables.
int LoadScriptVariables(ConnSession* s);
