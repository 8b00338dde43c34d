// Our stand-in for the Dravenet host's side of the QVX link: it answers the
// start-up line, runs the B protocol with the toolbox's own engine, and
// replies to requests from a scripted table per class and function.
// Portable: bytes come in through Feed, and go out through the BpSystem port
// functions on the port pointer it was given (a socket in qvxhost.exe, a
// simulated line in the toolbox's tests).
//
// Script lines:
//   logon <user id> <password>       the host first runs the logon dialogue:
//       "Host Name:", "User ID:", the password prompt, ESC "I" (the answer's
//       checksum is checked), ESC "[>0q" and the selection of the first
//       capability the client named; then the start-up line
//   start ack|nak|query|silent       the answer to a good start-up line
//   on <class> <function> <action>[; <action>...]
//       one line per turn: the first request of that class and function gets
//       the first line's actions, the next the next line's; the last repeats.
// Actions:
//   send <class|*> <function> <field>...   one packet; * is the request's class
//   ack                  function 1 naming the request's function
//   fail <code> "<text>" function 2 naming the request's function
//   restart              function 12; the transport starts again once the
//                        client acknowledges it
//   stream <count> <bytes> <class> <function>   count packets of that size
//   close                the host hangs up
//   (none)               silence: the client's wait runs out
// Fields: a number is a byte, w:<n> a 16-bit word, l:<n> a 32-bit value,
// s:<n> a short number, "text" a string in the coding the start-up line chose,
// x:<hex> raw bytes.
#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

struct BpEngine;

class QvxHost {
 public:
  explicit QvxHost(void* port);
  ~QvxHost();
  QvxHost(const QvxHost&) = delete;
  QvxHost& operator=(const QvxHost&) = delete;

  // Reads a script; false with the line in `error` when a line is wrong.
  bool Load(const std::string& script, std::string* error);
  // One byte from the client.
  void Feed(uint8_t c);
  // Sends what is queued and keeps the protocol's timers; call it whenever
  // nothing arrived. With a logon, the first call sends the first prompt.
  void Tick();

  // What happened, one line each: "start #1,0,1,4,0,0; 590", "nak",
  // "<class> <function> <hex of the parameters>" for each message received.
  std::vector<std::string> log;
  bool hangUp = false;  // a "close" action ran
  bool linkUp = false;

 private:
  enum class Phase { kStartLine, kLink, kSilent, kHostName, kUserId, kPassword, kEscI, kCapabilities };
  void StartLine(uint8_t c);
  void Dialogue(uint8_t c);
  void Prompt(const std::string& text, Phase next);
  void CheckEscI();
  void StartTransport();
  void Negotiate(const uint8_t* packet, unsigned length);
  void OnMessage(const std::vector<uint8_t>& message);
  void RunAction(const std::string& action, uint8_t cls, uint8_t function);
  void Queue(const std::vector<uint8_t>& message);
  void WriteRaw(const std::vector<uint8_t>& bytes);
  bool Fields(const std::vector<std::string>& words, size_t from, std::vector<uint8_t>& out);

  void* port_;
  BpEngine* e_ = nullptr;
  Phase phase_ = Phase::kStartLine;
  std::string startAnswer_ = "ack";
  std::string line_;
  bool logon_ = false, greeted_ = false;
  std::string user_, password_;
  int escIAsked_ = 0;
  bool strings8_ = false, chars8_ = false;
  std::map<std::pair<int, int>, std::deque<std::string>> rules_;
  std::deque<std::vector<uint8_t>> outbox_;
  std::vector<uint8_t> assembling_;
  bool restartPending_ = false;  // function 12 sent, awaiting its acknowledgement
  bool awaitingPlus_ = false;    // ENQ sent, repeated until the client's "+" comes
  uint32_t nextEnq_ = 0;
  std::vector<std::pair<std::string, std::pair<uint8_t, uint8_t>>> deferred_;
};
