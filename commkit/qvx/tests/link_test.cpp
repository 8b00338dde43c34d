// The QVX link against the stand-in host over a simulated line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "commkit/bp/tests/sim_line.h"
#include "commkit/qvx/qvx_link.h"
#include "standins/qvxhost/qvx_host.h"

namespace {

struct QvxLink : ::testing::Test {
  SimLine line;
  SimClient client;
  std::unique_ptr<QvxHost> host;
  QvxSession* s = nullptr;

  void SetUp() override {
    SimInstall(&line);
    host = std::make_unique<QvxHost>(&line.end[1]);
    line.end[1].onIdle = [this] {
      while (!line.end[1].in.empty()) {
        uint8_t c = line.end[1].in.front();
        line.end[1].in.pop_front();
        host->Feed(c);
      }
      host->Tick();
      if (host->hangUp) line.end[0].lost = true;
    };
    s = QvxCreate(&client);
  }
  void TearDown() override {
    QvxDestroy(s);
    line.end[1].onIdle = nullptr;
    host.reset();
    SimInstall(nullptr);
  }
  void Script(const std::string& text) {
    std::string error;
    ASSERT_TRUE(host->Load(text, &error)) << error;
  }
  void Start() { ASSERT_EQ(QvxStart(s, &line.end[0], 5, 0), kQvxStartUp); }
  // Lets the host read what the client sent last.
  void Settle() {
    for (int i = 0; i < 5; ++i) line.Step(0);
  }
  bool HostHeard(const std::string& entry) const {
    return std::find(host->log.begin(), host->log.end(), entry) != host->log.end();
  }
  // Sends class 5 function 40 with a string and awaits function 41.
  bool Ask() {
    QvxBeginRequest(s, 5, 40);
    QvxPutString(s, "hi");
    return QvxSendRequest(s) && QvxAwaitReply(s, 5, 40, 41);
  }
  std::string TakeError() {
    char* text = QvxErrorText(s);
    std::string got = text ? text : "(none)";
    BpSys().memFree(text);
    return got;
  }
  std::string TakeString() {
    char* text = QvxGetString(s);
    std::string got = text ? text : "(none)";
    BpSys().memFree(text);
    return got;
  }
};

TEST_F(QvxLink, StartLineCarriesItsSumAndBringsTheLinkUp) {
  ASSERT_EQ(QvxStart(s, &line.end[0], 1, 0), kQvxStartUp);
  unsigned sum = 0;
  for (char c : std::string("#1,0,1,4,0,0;")) sum += uint8_t(c);
  EXPECT_TRUE(HostHeard("start #1,0,1,4,0,0; " + std::to_string(sum)));
  EXPECT_TRUE(HostHeard("link"));
  EXPECT_EQ(QvxGetPacketClass(s), 1);
  EXPECT_NE(QvxGetEngine(s), nullptr);
}

TEST_F(QvxLink, StartLineShowsTheCodingFlagsAndTheModeByte) {
  QvxSetChars8(s, 1);
  QvxSetStrings8(s, 1);
  s->startupOption = 9;
  ASSERT_EQ(QvxStart(s, &line.end[0], 12, 255), kQvxStartUp);
  EXPECT_EQ(host->log[0].substr(0, 23), "start #12,255,1,4,3,9; ");
}

TEST_F(QvxLink, StartResultsOfTheHostsAnswers) {
  struct Case {
    const char* start;
    int result;
  } cases[] = {
      {"start nak", kQvxStartRefused}, {"start query", kQvxStartHostQuery}, {"start silent", kQvxStartNoAnswer}};
  for (const auto& c : cases) {
    TearDown();
    SetUp();
    Script(c.start);
    EXPECT_EQ(QvxStart(s, &line.end[0], 1, 0), c.result) << c.start;
    EXPECT_FALSE(s->active);
  }
  TearDown();
  SetUp();
  line.end[0].lost = true;
  EXPECT_EQ(QvxStart(s, &line.end[0], 1, 0), kQvxStartLost);
}

TEST_F(QvxLink, ClientCanAbortTheStartUpWait) {
  Script("start silent");
  client.handler = [](unsigned code, intptr_t lParam) -> intptr_t {
    if (code == 1280) *reinterpret_cast<int32_t*>(lParam) = 1;
    return 0;
  };
  EXPECT_EQ(QvxStart(s, &line.end[0], 1, 0), kQvxStartAborted);
}

TEST_F(QvxLink, RequestAndReplyInSixBitAndEightBitStrings) {
  for (int strings8 = 0; strings8 < 2; ++strings8) {
    TearDown();
    SetUp();
    Script("on 5 40 send * 41 \"World of Text\" w:513 s:300 l:0x01020304");
    QvxSetStrings8(s, strings8);
    Start();
    QvxBeginRequest(s, 5, 40);
    QvxPutString(s, "Hi");
    QvxPutShortNumber(s, 300);
    ASSERT_TRUE(QvxSendRequest(s));
    ASSERT_TRUE(QvxAwaitReply(s, 5, 40, 41)) << TakeError();
    EXPECT_EQ(TakeString(), "World of Text");
    EXPECT_EQ(QvxGetWord(s), 513);
    EXPECT_EQ(QvxGetShortNumber(s), 300);
    EXPECT_EQ(QvxGetLong(s), 0x01020304u);
    EXPECT_EQ(QvxGetBytesLeft(s), 0);
    EXPECT_EQ(QvxGetError(s), 0);
    EXPECT_TRUE(HostHeard(strings8 ? "5 40 486900ac02" : "5 40 3e9a02ac02"));
  }
}

TEST_F(QvxLink, TruncatedReplyGivesUnderflowNotACrash) {
  Script("on 5 40 send * 41 x:05");
  Start();
  ASSERT_TRUE(Ask());
  EXPECT_EQ(QvxGetByte(s), 5);
  EXPECT_EQ(QvxGetLong(s), 0u);
  EXPECT_EQ(TakeString(), "(none)");
  EXPECT_EQ(QvxGetError(s), kQvxErrUnderflow);
  EXPECT_EQ(TakeError(), "Packet underflow detected");
}

TEST_F(QvxLink, ReplyLongerThanTheBufferIsRefused) {
  Script("on 5 40 stream 1 5000 5 41");
  Start();
  EXPECT_FALSE(Ask());
  EXPECT_EQ(QvxGetError(s), kQvxErrOverflow);
}

TEST_F(QvxLink, RequestTooLongForTheBufferIsNotSent) {
  Start();
  QvxBeginRequest(s, 5, 40);
  std::string big(6000, 'x');
  QvxPutString(s, big.c_str());
  EXPECT_EQ(QvxGetError(s), kQvxErrOverflow);
  EXPECT_FALSE(QvxSendRequest(s));
  QvxBeginRequest(s, 5, 40);  // a new request clears the error
  QvxPutShortNumber(s, 40000);
  EXPECT_EQ(QvxGetError(s), kQvxErrOverflow);
}

TEST_F(QvxLink, FailurePackets) {
  // Naming the awaited reply: silent; naming anything else: notice 1297.
  Script("on 5 40 send * 2 41 7 \"No such forum\"\non 5 40 fail 9 \"Refused\"");
  Start();
  EXPECT_FALSE(Ask());
  EXPECT_EQ(QvxGetError(s), kQvxErrFailure);
  EXPECT_EQ(QvxGetFailureCode(s), 7);
  EXPECT_EQ(client.Count(1297), 0);
  EXPECT_EQ(TakeError(), "No such forum");
  EXPECT_EQ(TakeError(), "(none)");
  QvxWordsNotice seen{};
  client.handler = [&](unsigned code, intptr_t lParam) -> intptr_t {
    if (code == 1297) seen = *reinterpret_cast<QvxWordsNotice*>(lParam);
    return 0;
  };
  EXPECT_FALSE(Ask());
  EXPECT_EQ(client.Count(1297), 1);
  EXPECT_EQ(seen.word1, 5u);
  EXPECT_EQ(seen.word2, 40u);
  EXPECT_EQ(seen.session, s);
  EXPECT_EQ(TakeError(), "Refused");
}

TEST_F(QvxLink, KeepAlivesAreCountedAndTheClientMayStopOnOne) {
  Script("on 5 40 send * 16; send * 16; send * 41\non 5 40 send * 16");
  Start();
  std::vector<uint32_t> counts;
  client.handler = [&](unsigned code, intptr_t lParam) -> intptr_t {
    if (code == 1285) counts.push_back(*reinterpret_cast<uint32_t*>(lParam));
    return 0;
  };
  EXPECT_TRUE(Ask());
  EXPECT_EQ(counts, (std::vector<uint32_t>{1, 2}));
  client.handler = [&](unsigned code, intptr_t lParam) -> intptr_t {
    if (code == 1285) *reinterpret_cast<uint32_t*>(lParam) = 0;
    return 0;
  };
  EXPECT_FALSE(Ask());
  EXPECT_EQ(QvxGetError(s), kQvxErrImmediateAbort);
}

TEST_F(QvxLink, RestartInTheMiddleOfARequest) {
  Script("on 5 40 restart; send * 41 \"after\"\non 5 40 send * 41 \"again\"");
  Start();
  BpEngine* before = QvxGetEngine(s);
  ASSERT_TRUE(Ask()) << TakeError();
  EXPECT_EQ(TakeString(), "after");
  EXPECT_EQ(client.Count(1289), 1);
  EXPECT_TRUE(HostHeard("5 1 0c"));
  EXPECT_TRUE(HostHeard("restart"));
  EXPECT_NE(QvxGetEngine(s), nullptr);
  (void)before;
  // The link goes on over the new transport.
  ASSERT_TRUE(Ask());
  EXPECT_EQ(TakeString(), "again");
}

TEST_F(QvxLink, SilentHostTimesOutAndTheClientCanAbortTheWait) {
  Start();
  EXPECT_FALSE(Ask());
  EXPECT_EQ(QvxGetError(s), kQvxErrTimeout);
  EXPECT_EQ(TakeError(), "Protocol timed out");
  int asked = 0;
  client.handler = [&](unsigned code, intptr_t lParam) -> intptr_t {
    if (code == 1281 && ++asked == 3) *reinterpret_cast<int32_t*>(lParam) = 1;
    return 0;
  };
  EXPECT_FALSE(Ask());
  EXPECT_EQ(QvxGetError(s), kQvxErrImmediateAbort);
}

TEST_F(QvxLink, HostClosingMidRequestIsATransportError) {
  Script("on 5 40 close");
  Start();
  EXPECT_FALSE(Ask());
  EXPECT_EQ(QvxGetError(s), kQvxErrTransport);
}

int calls;
void BP_CALL CountCall(QvxSession*) { ++calls; }

TEST_F(QvxLink, UnsolicitedNoticeClassPacketsGoToTheCallbackWhileTheAwaitGoesOn) {
  Script("on 5 40 send 9 215 1; send 9 240; send 7 222\non 5 40 send 9 236; send * 41");
  Start();
  QvxSetNoticeClass(s, 9);
  calls = 0;
  QvxSetCallback(s, CountCall);
  EXPECT_FALSE(Ask());  // class 7 is not the notice class
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(QvxGetError(s), kQvxErrUnexpected);
  QvxSetCallback(s, nullptr);
  EXPECT_TRUE(Ask());
  EXPECT_EQ(client.Count(1287), 1);
}

TEST_F(QvxLink, HostQueriesAreAnsweredInline) {
  // 6: query; 8: level; 19: notice; 28: text; 29: class; 22: list query; 20: menu.
  Script(
      "on 5 40 send * 6 0x85; send * 8 2; send * 19 0x81 2 s:300 l:7; send * 28 4 \"note\"; send * 29; "
      "send * 22 l:77; send * 20 2 1 \"One\" \"first\" 2 \"Two\" \"second\"; send * 41");
  Start();
  std::string menu;
  client.handler = [&](unsigned code, intptr_t lParam) -> intptr_t {
    if (code == 1286) reinterpret_cast<QvxWordsNotice*>(lParam)->word2 = 0;  // refuse the query
    if (code == 1296) {
      EXPECT_EQ(reinterpret_cast<QvxWordsNotice*>(lParam)->word2, 4u);
    }
    if (code == 1294) {
      auto* n = reinterpret_cast<QvxWordsNotice*>(lParam);
      EXPECT_EQ(n->word0, 300u);
      EXPECT_EQ(n->word1, 0x281u);
      EXPECT_EQ(n->word2, 7u);
    }
    if (code == 1284) {
      EXPECT_STREQ(reinterpret_cast<QvxTextNotice*>(lParam)->text, "note");
    }
    if (code == 1298) {
      auto* n = reinterpret_cast<QvxListNotice*>(lParam);
      EXPECT_EQ(n->value, 77u);
      auto* answer = static_cast<QvxListAnswer*>(BpSys().memAlloc(sizeof(QvxListAnswer)));
      answer->value = 78;
      answer->count = 1;
      answer->strings[0] = BpStrDup("mine");
      n->answer = answer;
    }
    if (code == 1299) {
      auto* n = reinterpret_cast<QvxMenuNotice*>(lParam);
      for (unsigned i = 0; i < n->menu->count; ++i) menu += std::string(n->menu->entries[i].a) + "/";
      n->choice = 0;
    }
    return 0;
  };
  ASSERT_TRUE(Ask()) << TakeError();
  Settle();
  EXPECT_TRUE(
      HostHeard("5 2 0600"
                "00"));  // query refused: 6, 0 and the empty text
  EXPECT_TRUE(HostHeard("5 8 04"));
  EXPECT_EQ(client.Count(1288), 1);
  EXPECT_EQ(menu, "One/Two/");
  EXPECT_TRUE(HostHeard("5 1 14"));  // menu acknowledged
  bool listAnswered = std::any_of(host->log.begin(), host->log.end(),
                                  [](const std::string& e) { return e.rfind("5 22 4e0000000100", 0) == 0; });
  EXPECT_TRUE(listAnswered);
}

TEST_F(QvxLink, HostEndingTheSessionMakesTheLinkInactive) {
  Script("on 5 40 send * 7");
  Start();
  EXPECT_FALSE(Ask());
  EXPECT_FALSE(s->active);
  EXPECT_EQ(client.Count(1282), 1);
  QvxBeginRequest(s, 5, 40);
  EXPECT_FALSE(QvxSendRequest(s));
  EXPECT_EQ(QvxGetError(s), kQvxErrTransport);
}

TEST_F(QvxLink, StopSendsTheEndOnceAndHoldWaitsForTheHost) {
  Script("on 5 15 ack");
  Start();
  EXPECT_TRUE(QvxHold(s, 5));
  EXPECT_TRUE(HostHeard("5 15 "));
  QvxStop(s, 1);
  EXPECT_FALSE(s->active);
  line.Step(0);
  line.Step(0);
  EXPECT_TRUE(HostHeard("5 7 "));
  size_t heard = host->log.size();
  QvxStop(s, 0);  // inactive: nothing more
  line.Step(0);
  EXPECT_EQ(host->log.size(), heard);
}

TEST_F(QvxLink, PollHandlesUnsolicitedPacketsAndKeepsOthersForTheNextAwait) {
  Script("on 5 17 send * 19 3; send * 41 \"kept\"");
  Start();
  ASSERT_TRUE(QvxSend17(s, 5, 1));
  for (int i = 0; i < 20 && client.Count(1294) == 0; ++i) {
    line.Step(0);
    QvxPoll(s);
  }
  EXPECT_EQ(client.Count(1294), 1);
  for (int i = 0; i < 20 && !s->reparse; ++i) {
    line.Step(0);
    QvxPoll(s);
  }
  ASSERT_TRUE(s->reparse);
  ASSERT_TRUE(QvxAwaitReply(s, 5, 40, 41));
  EXPECT_EQ(TakeString(), "kept");
  EXPECT_EQ(QvxGetError(s), 0);
}

TEST_F(QvxLink, AwaitRefusesToStartWhileBusy) {
  Start();
  // The wait for the busy flag runs the client's messages and gives the core
  // away; here giving it away moves the simulated clock on.
  static SimLine* clock;
  static int dispatched;
  clock = &line;
  dispatched = 0;
  QvxHooks saved = g_qvxHooks, hooks = saved;
  hooks.dispatchMessages = [] { ++dispatched; };
  hooks.yield = [] { clock->now += 100; };
  g_qvxHooks = hooks;
  s->busy = 1;
  EXPECT_FALSE(QvxAwaitReply(s, 5, 40, 41));
  EXPECT_EQ(QvxGetError(s), kQvxErrUnexpected);
  EXPECT_GE(dispatched, 200);  // the busy wait lasted a fifth of the time-out
  g_qvxHooks = saved;
}

TEST_F(QvxLink, GenericRequestsReadTheirReplies) {
  Script(
      "on 5 13 send * 14 0x03 \"name\" \"value\" 0x81 w:2 \"first\" \"eighth\"\n"
      "on 5 24 send * 25 w:0x0005 2 w:80 \"a1\" \"c1\" \"a2\" \"c2\"\n"
      "on 5 18 send * 4 18 \"answer\"\n"
      "on 5 26 send * 27 1 l:2 w:3 l:0x21 l:1 1 \"p0\" \"p5\" \"q0\"\n"
      "on 5 14 fail 1 \"unknown\"\n"
      "on 5 20 send * 4 20 x:0a0b0c");
  Start();
  const char* names[2] = {"one", "two"};
  QvxAttributes* attributes = QvxGetAttributes(s, 0x80, 0x0102, 2, names);
  ASSERT_NE(attributes, nullptr) << TakeError();
  EXPECT_STREQ(attributes->strings[0], "name");
  EXPECT_STREQ(attributes->strings[1], "value");
  ASSERT_NE(attributes->next, nullptr);
  EXPECT_EQ(+attributes->next->extension, 2);
  EXPECT_STREQ(attributes->next->strings[0], "first");
  EXPECT_STREQ(attributes->next->strings[8], "eighth");
  QvxFreeAttributes(attributes);

  QvxOptions* options = QvxGetOptions(s, 3, 0, 1, 2, 3, 4, 0, nullptr, "e");
  ASSERT_NE(options, nullptr);
  EXPECT_EQ(+options->width, 80);
  EXPECT_STREQ(options->strings[2], "c1");
  ASSERT_NE(options->next, nullptr);
  EXPECT_STREQ(options->next->strings[0], "a2");
  QvxFreeOptions(options);
  EXPECT_EQ(QvxGetOptions(s, 3, 2, 0, 0, 0, 0, 0, nullptr, nullptr), nullptr);

  char* answer = QvxQuery18(s, 1, "a", "b", "c");
  EXPECT_STREQ(answer, "answer");
  BpSys().memFree(answer);

  QvxReply26* reply = QvxRequest26(s, 1, 2, 1, 0, 0, 0, nullptr);
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(reply->count, 1);
  EXPECT_STREQ(reply->rows[0].strings[0], "p0");
  EXPECT_STREQ(reply->rows[0].strings[5], "p5");
  EXPECT_STREQ(reply->rows[0].strings[6], "q0");
  QvxFreeRequest26(reply);

  // Function 14 unknown to the host: the same request again with 20.
  uint16_t length = 0;
  QvxDataPair pairs[2] = {{0, 3}, {1, 4}};
  uint8_t* block = QvxDataRequest(s, 0, 9, 7, 2, pairs, &length);
  ASSERT_NE(block, nullptr) << TakeError();
  EXPECT_EQ(length, 3);
  EXPECT_EQ(block[2], 0x0c);
  EXPECT_EQ(s->function14Supported, 0);
  EXPECT_TRUE(HostHeard("5 20 010700020600000081000000"));
  BpSys().memFree(block);
  EXPECT_EQ(QvxDataRequest(s, 0, 0, 0, 0, nullptr, nullptr), nullptr);
  EXPECT_EQ(QvxGetError(s), kQvxErrMemory);
}

TEST_F(QvxLink, EntriesAndDateTimesOfAReply) {
  Script("on 5 40 send * 41 0x13 0x41 \"alpha\" \"beta\" 0x00 \"gamma\" 0xc2 \"delta\" \"eps\" x:4abe9f3d");
  Start();
  s->hostOffset = 60;
  s->localOffset = 80;
  ASSERT_TRUE(Ask());
  QvxEntries* entries = QvxReadEntries(s);
  ASSERT_NE(entries, nullptr) << TakeError();
  EXPECT_EQ(entries->count, 3);
  EXPECT_NE(+entries->flag, 0);
  EXPECT_EQ(entries->entries[0].kind, 4);
  EXPECT_EQ(entries->entries[0].id, 1);
  EXPECT_STREQ(entries->entries[0].b, "beta");
  EXPECT_EQ(entries->entries[1].kind, 1);
  EXPECT_STREQ(entries->entries[1].b, "gamma");
  EXPECT_EQ(entries->entries[2].kind, 12);
  QvxFreeEntries(entries);
  // 23:50 on 31 December 2000 shifted by 20 minutes.
  uint8_t dt[6];
  QvxGetDateTime(s, dt);
  EXPECT_EQ(std::vector<uint8_t>(dt, dt + 6), (std::vector<uint8_t>{10, 10, 0, 1, 1, 31}));
}

TEST(QvxSessionFields, PrefixTimeoutAndErrorText) {
  QvxSession* s = QvxCreate(nullptr);
  QvxSetTimeout(s, 60);
  EXPECT_EQ(QvxGetTimeout(s), 120);
  QvxSetTimeout(s, 300);
  EXPECT_EQ(QvxGetTimeout(s), 300);
  QvxSetPrefix(s, "DV");
  char* prefix = QvxGetPrefix(s);
  EXPECT_STREQ(prefix, "DV:");
  BpSys().memFree(prefix);
  QvxSetPrefix(s, "LONG");
  char* name = QvxQualifyName(s, "forum");
  EXPECT_STREQ(name, "DV:forum");
  BpSys().memFree(name);
  name = QvxQualifyName(s, "XY:forum");
  EXPECT_STREQ(name, "XY:forum");
  BpSys().memFree(name);
  QvxSetPrefixFrom(s, "AB:rest");
  prefix = QvxGetPrefix(s);
  EXPECT_STREQ(prefix, "AB:");
  BpSys().memFree(prefix);
  EXPECT_EQ(QvxErrorText(s), nullptr);
  EXPECT_FALSE(QvxReceivePacket(s, 1));
  EXPECT_EQ(QvxGetError(s), kQvxErrTransport);
  QvxStop(s, 0);
  QvxDestroy(s);
  EXPECT_EQ(QvxGetError(nullptr), kQvxErrMemory);
  EXPECT_TRUE(QvxHasError(nullptr));
}

}  // namespace
