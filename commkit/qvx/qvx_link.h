// The QVX link: the session with the Dravenet host, its start-up line, the
// packets that ride on the B-protocol message transport, the link-control
// functions handled inline, and the put/get primitives and generic requests
// every service request is written in. Portable: it reaches the port, the
// client's notices and the clock through BpSystem, and the message loop and
// the debugger through QvxHooks.
#pragma once
#include <cstddef>
#include <cstdint>

#include "commkit/bp/bp_transport.h"
#include "commkit/qvx/qvx_codec.h"

constexpr uint16_t kQvxBufferSize = 4096;

// Link errors (also the ids of their texts).
enum : uint16_t {
  kQvxErrUnexpected = 1284,
  kQvxErrUnderflow = 1287,
  kQvxErrFailure = 1288,
  kQvxErrImmediateAbort = 1283,
};

// Start-up results.
enum : int {
  kQvxStartRefused = 0,
  kQvxStartUp = 1,
  kQvxStartHostQuery = 2,
  kQvxStartAborted = 3,
  kQvxStartNoTransport = 4,
  kQvxStartLost = 5,
  kQvxStartNoAnswer = 6,
};

struct QvxSession;
typedef void(BP_CALL* QvxCallback)(QvxSession* session);

struct QvxSession {
  void* window;
  uint16_t error;
  void* port;
  char prefix[5];
  uint16_t timeoutSeconds;
  uint32_t deadline;
  int32_t linkState;  // 0 idle, 1 awaiting a reply, 2 holding
  uint8_t packetClass, packetFunction, referredFunction, failureCode;
  char* failureText;
  int32_t reparse;
  int32_t busy;
  int32_t strings8;
  uint8_t noticeClass;
  char* class1Text;
  uint8_t class1Byte;
  qvx::Reader reader;  // bytes left and read position in the receive buffer
  qvx::Writer writer;  // request length and text encoder state
  uint8_t receive[kQvxBufferSize];
  uint8_t request[kQvxBufferSize];
  uint16_t receivedLength;
  uint16_t transportVersion;
  int32_t chars8;
  char* decodedText;
  uint16_t clientValue;
  BpLinkSession link;  // engine and message queue
  int32_t active;
  uint16_t blockSize;
  int32_t sending;
  uint8_t startupOption;
  QvxCallback callback;
  int32_t function14Supported, preferFunction20;
  int16_t hostOffset, localOffset;  // minutes, set by the class-1 sign-on
  uint32_t keepAlives;
};

#pragma pack(push, 1)
// Records the client's notices point to. The first words marked reserved
// are not filled by the toolbox.
struct QvxTextNotice {  // 1283, 1284
  char* text;
  uint8_t byte;
  int32_t answer;
};
struct QvxMenuEntry {
  uint8_t id;
  char* a;
  char* b;
};
struct QvxMenu {
  uint8_t count;
  QvxMenuEntry entries[1];  // count entries
};
// The client's answer to the host's list query, allocated with ZrtMemAlloc.
struct QvxListAnswer {
  uint32_t value;
  uint16_t count;
  char* strings[1];  // count strings
};

#pragma pack(pop)
// Records of words only: the same layout packed or not on the target.
struct QvxWordsNotice {  // 1286, 1294, 1296, 1297
  uint32_t word0, word1, word2;
  QvxSession* session;
};
struct QvxMenuNotice {  // 1299
  QvxMenu* menu;
  uint32_t reserved;
  int32_t choice;
};
struct QvxListNotice {  // 1298
  QvxListAnswer* answer;
  uint32_t value;
  uint32_t zero;
  QvxSession* session;
};
#pragma pack(push, 1)
// Reply records of the generic requests; every one is a toolbox heap block.
struct QvxAttributes {
  QvxAttributes* next;
  uint8_t flags;
  uint16_t extension;
  char* strings[10];
};
struct QvxOptions {
  QvxOptions* next;
  uint16_t flags;
  uint8_t count;
  uint16_t width;
  char* strings[7];
};
struct QvxEntry {
  uint8_t kind;
  uint8_t id;
  char* a;
  char* b;
};
struct QvxEntries {
  uint8_t count;
  int32_t flag;
  QvxEntry entries[1];  // count entries
};
struct QvxPair {
  uint8_t byte;
  char* text;
};
struct QvxPairs {
  uint8_t count;
  QvxPair pairs[1];  // count pairs
};
struct QvxRequest26Entry {  // an entry of the request: two small numbers and a text
  uint8_t e0, e1;
  const char* text;
};
struct QvxRow26 {
  char* strings[7];
};
struct QvxReply26 {
  uint8_t byte;
  uint32_t value;
  uint16_t word;
  uint32_t p, q;
  uint8_t count;
  QvxRow26 rows[1];  // count rows
};
struct QvxDataPair {  // a value of the data request and its kind
  uint32_t kind;
  uint32_t value;
};
#pragma pack(pop)
static_assert(sizeof(QvxTextNotice) == sizeof(void*) + 5, "text notice");
static_assert(sizeof(QvxAttributes) == 3 + 11 * sizeof(void*), "attribute record");
static_assert(sizeof(QvxOptions) == 5 + 8 * sizeof(void*), "option record");
static_assert(sizeof(QvxEntries) == 5 + 2 + 2 * sizeof(void*), "entries block");

// What the link needs beyond BpSystem; the defaults do nothing, the DLL
// installs its message loop, its yield and the debugger output.
struct QvxHooks {
  void (*dispatchMessages)();  // runs the window messages waiting
  void (*yield)();             // gives the core away until a tick or a message
  void (*debugOutput)(const char* text);
  void (*setPortQuiet)(void* port, int quiet);
};
extern QvxHooks g_qvxHooks;
extern const QvxHooks kDefaultQvxHooks;

extern "C" {
QvxSession* BP_CALL QvxCreate(void* window);                                        // 151
void BP_CALL QvxDestroy(QvxSession* s);                                             // 152
int BP_CALL QvxStart(QvxSession* s, void* port, uint8_t capability, uint8_t mode);  // 153
int BP_CALL QvxPoll(QvxSession* s);                                                 // 154
void BP_CALL QvxStop(QvxSession* s, int final);                                     // 155
int BP_CALL QvxSendAck(QvxSession* s, uint8_t cls, uint8_t function);               // 156
int BP_CALL QvxSendFailure(QvxSession* s, uint8_t cls, uint8_t function, uint8_t code,
                           const char* text);                                             // 157
char* BP_CALL QvxGetPrefix(QvxSession* s);                                                // 158
char* BP_CALL QvxQualifyName(QvxSession* s, const char* name);                            // 159
void BP_CALL QvxSetPrefix(QvxSession* s, const char* text);                               // 160
void BP_CALL QvxSetPrefixFrom(QvxSession* s, const char* text);                           // 161
int BP_CALL QvxSelectClass(QvxSession* s, uint8_t cls, uint8_t a, uint8_t b, uint8_t c);  // 162
int BP_CALL QvxRequest11(QvxSession* s, uint8_t cls);                                     // 163
int BP_CALL QvxAcceptSession(QvxSession* s, uint8_t cls, uint8_t* byte, char** text);     // 164
int BP_CALL QvxHold(QvxSession* s, uint8_t cls);                                          // 166
int BP_CALL QvxSend17(QvxSession* s, uint8_t cls, uint8_t byte);                          // 167
int BP_CALL QvxPollClient(QvxSession* s);                                                 // 190
int BP_CALL QvxReceivePacket(QvxSession* s, int waitSeconds);                             // 201
void BP_CALL QvxAnswerQuery(QvxSession* s);                                               // 202
int BP_CALL QvxAwaitReply(QvxSession* s, uint8_t cls, uint8_t request, uint8_t reply);    // 203
void BP_CALL QvxNotifyFailure(QvxSession* s);                                             // 213
void BP_CALL QvxReadFailure(QvxSession* s);                                               // 621
void BP_CALL QvxReadNotice19(QvxSession* s);                                              // 623
void BP_CALL QvxAnswer8(QvxSession* s);                                                   // 176
void BP_CALL QvxSetCallback(QvxSession* s, QvxCallback callback);                         // 1087
char* BP_CALL QvxErrorText(QvxSession* s);                                                // 150
int BP_CALL QvxSafeToRead(QvxSession* s);                                                 // PQVXSafeToRead

// Accessors.
char* BP_CALL QvxGetClass1Text(QvxSession* s);                  // 600
uint8_t BP_CALL QvxGetPacketClass(QvxSession* s);               // 601
uint8_t BP_CALL QvxGetPacketFunction(QvxSession* s);            // 602
void BP_CALL QvxSetNoticeClass(QvxSession* s, uint8_t cls);     // 603
uint8_t BP_CALL QvxGetNoticeClass(QvxSession* s);               // 604
uint8_t BP_CALL QvxGetFailureCode(QvxSession* s);               // 605
void BP_CALL QvxSetTimeout(QvxSession* s, uint16_t seconds);    // 606
uint16_t BP_CALL QvxGetTimeout(QvxSession* s);                  // 607
void BP_CALL QvxSetBytesLeft(QvxSession* s, uint16_t count);    // 608
uint16_t BP_CALL QvxGetBytesLeft(QvxSession* s);                // 609
char* BP_CALL QvxGetRest(QvxSession* s);                        // 610
void BP_CALL QvxSetChars8(QvxSession* s, int on);               // 611
int BP_CALL QvxGetChars8(QvxSession* s);                        // 624
void BP_CALL QvxSetStrings8(QvxSession* s, int on);             // 612
int BP_CALL QvxGetStrings8(QvxSession* s);                      // 613
void BP_CALL QvxSetClientValue(QvxSession* s, uint16_t value);  // 614
uint16_t BP_CALL QvxGetClientValue(QvxSession* s);              // 615
void* BP_CALL QvxGetPort(QvxSession* s);                        // 616
void BP_CALL QvxSetEngine(QvxSession* s, BpEngine* engine);     // 617
BpEngine* BP_CALL QvxGetEngine(QvxSession* s);                  // 618
uint16_t BP_CALL QvxGetError(QvxSession* s);                    // 619
int BP_CALL QvxHasError(QvxSession* s);                         // 620
uint8_t BP_CALL QvxGetClass1Byte(QvxSession* s);                // 622
uint16_t BP_CALL QvxGetBlockSize(QvxSession* s);                // 226
void BP_CALL QvxSetBlockSize(QvxSession* s, uint16_t size);     // 227
int BP_CALL QvxIsBusy(QvxSession* s);                           // 625
void BP_CALL QvxSetPreferFunction20(QvxSession* s, int on);     // 626
int BP_CALL QvxGetPreferFunction20(QvxSession* s);              // 627

// Put and get primitives.
void BP_CALL QvxBeginRequest(QvxSession* s, uint8_t cls, uint8_t function);  // 191
void BP_CALL QvxPutByte(QvxSession* s, uint8_t value);                       // 192
void BP_CALL QvxPutWord(QvxSession* s, uint16_t value);                      // 193
void BP_CALL QvxPutLong(QvxSession* s, uint32_t value);                      // 194
void BP_CALL QvxPutShortNumber(QvxSession* s, uint16_t value);               // 195
void BP_CALL QvxPutLong24(QvxSession* s, uint32_t value);                    // 196
void BP_CALL QvxPutString(QvxSession* s, const char* text);                  // 197
void BP_CALL QvxPutDateTime(QvxSession* s, uint32_t low, uint16_t high);     // 198
void BP_CALL QvxPutDate(QvxSession* s, uint32_t date);                       // 199
int BP_CALL QvxSendRequest(QvxSession* s);                                   // 200
uint8_t BP_CALL QvxGetByte(QvxSession* s);                                   // 204
uint16_t BP_CALL QvxGetWord(QvxSession* s);                                  // 205
uint32_t BP_CALL QvxGetLong(QvxSession* s);                                  // 206
uint16_t BP_CALL QvxGetShortNumber(QvxSession* s);                           // 207
uint32_t BP_CALL QvxGetLong24(QvxSession* s);                                // 208
char* BP_CALL QvxGetString(QvxSession* s);                                   // 209
void BP_CALL QvxGetDate(QvxSession* s, uint8_t* date);                       // 210
void BP_CALL QvxGetDateTime(QvxSession* s, uint8_t* dateTime);               // 211
void BP_CALL QvxPutStringPart(QvxSession* s, const char* text);              // 212
char* BP_CALL QvxGetText6(QvxSession* s);                                    // 180
void BP_CALL QvxPutText6(QvxSession* s, const char* text);                   // 181

// Generic requests.
QvxAttributes* BP_CALL QvxGetAttributes(QvxSession* s, uint8_t flags, uint16_t extension, uint8_t count,
                                        const char** names);  // 168
void BP_CALL QvxFreeAttributes(QvxAttributes* list);          // 169
QvxOptions* BP_CALL QvxGetOptions(QvxSession* s, uint8_t selector, int kind, uint8_t a, uint8_t b, uint16_t c,
                                  uint16_t d, uint8_t count, const char** strings,
                                  const char* e);  // 179
void BP_CALL QvxFreeOptions(QvxOptions* list);     // 177
char* BP_CALL QvxQuery18(QvxSession* s, uint8_t mode, const char* s1, const char* s2,
                         const char* s3);                        // 170
QvxEntries* BP_CALL QvxReadEntries(QvxSession* s);               // 171
void BP_CALL QvxFreeEntries(QvxEntries* block);                  // 172
int BP_CALL QvxSendPairs(QvxSession* s, const QvxPairs* block);  // 175
int BP_CALL QvxSend30End(QvxSession* s);                         // 173
void BP_CALL QvxFreePairs(QvxPairs* block);                      // 174
QvxReply26* BP_CALL QvxRequest26(QvxSession* s, uint8_t a, uint8_t b, int mode, uint32_t x, uint32_t y, uint8_t count,
                                 const QvxRequest26Entry* entries);  // 214
void BP_CALL QvxFreeRequest26(QvxReply26* block);                    // 215
uint8_t* BP_CALL QvxDataRequest(QvxSession* s, int mode, uint8_t a, uint16_t w, uint8_t count, const QvxDataPair* pairs,
                                uint16_t* length);  // 178
}  // extern "C"

// The host's menu (function 20) and list query (function 22), read from the
// packet in hand; the menu's result is the client's choice.
int QvxRunHostMenu(QvxSession* s);
void QvxAnswerListQuery(QvxSession* s);
