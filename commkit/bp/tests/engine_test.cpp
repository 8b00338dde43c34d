#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "commkit/bp/bp_check.h"
#include "commkit/bp/bp_engine.h"
#include "commkit/bp/tests/sim_line.h"

namespace {

// Two engines on the two ends of a clean simulated line, fed by hand.
struct EnginePair : ::testing::Test {
  SimLine line;
  SimClient clientA, clientB;
  BpEngine* a = nullptr;
  BpEngine* b = nullptr;

  void SetUp() override {
    SimInstall(&line);
    a = BpCreate();
    b = BpCreate();
    ASSERT_TRUE(BpInit(a, &clientA, 1, &line.end[0]));
    ASSERT_TRUE(BpInit(b, &clientB, 1, &line.end[1]));
  }
  void TearDown() override {
    BpDestroy(a);
    BpDestroy(b);
    SimInstall(nullptr);
  }
  // Bytes that arrived at an end, taken off the line.
  std::vector<uint8_t> Arrived(int side) {
    line.Deliver();
    std::vector<uint8_t> bytes(line.end[side].in.begin(), line.end[side].in.end());
    line.end[side].in.clear();
    return bytes;
  }
  // Feeds what arrived at an end into its engine; counts accepted packets.
  int FeedArrived(int side, BpEngine* e) {
    int accepted = 0;
    for (uint8_t c : Arrived(side)) accepted += BpFeed(e, c);
    return accepted;
  }
  std::vector<uint8_t> Take(BpEngine* e, int ack = 1) {
    uint16_t n = 0;
    uint8_t* p = nullptr;
    if (!BpTakePacket(e, ack, &n, &p)) return {};
    std::vector<uint8_t> v(p, p + n);
    BpPutBuffer(e, p);
    return v;
  }
  void SetMethod(uint8_t m) { a->method = b->method = m; }
};

TEST_F(EnginePair, EveryByteValueCrossesInEachCheckMethod) {
  std::vector<uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = uint8_t(i);
  for (uint8_t method : {kBpChecksum, kBpCrc16, kBpCrcX25}) {
    for (uint16_t quoteMode : {3, 4}) {
      SCOPED_TRACE(testing::Message() << "method " << int(method) << " quoting " << quoteMode);
      SetMethod(method);
      a->quoteMode = quoteMode;
      ASSERT_TRUE(BpSendPacket(a, all.data(), 256));
      std::vector<uint8_t> wire = Arrived(1);
      // Between the frame start and its end no framing character travels bare.
      size_t etx = 3;
      while (etx < wire.size() && wire[etx] != ETX) {
        EXPECT_NE(wire[etx], ENQ);
        if (wire[etx] == DLE) ++etx;
        ++etx;
      }
      ASSERT_LT(etx, wire.size());
      EXPECT_EQ(etx, 3 + 256 + (quoteMode == 3 ? 64 : 7)) << "quoted bytes";
      int accepted = 0;
      for (uint8_t c : wire) accepted += BpFeed(b, c);
      EXPECT_EQ(accepted, 1);
      EXPECT_EQ(Take(b), all);
      EXPECT_EQ(FeedArrived(0, a), 0);  // the acknowledgement
      EXPECT_EQ(a->outstanding, 0);
    }
  }
}

TEST_F(EnginePair, CorruptPacketIsRefusedUntilTheRetryLimit) {
  SetMethod(kBpCrc16);
  const uint8_t data[] = {'L', 'h', 'e', 'l', 'l', 'o'};
  ASSERT_TRUE(BpSendPacket(a, data, sizeof data));
  std::vector<uint8_t> wire = Arrived(1);
  for (int round = 1; round <= 11; ++round) {
    std::vector<uint8_t> bad = wire;
    bad[5] ^= 0x01;
    int accepted = 0;
    for (uint8_t c : bad) accepted += BpFeed(b, c);
    EXPECT_EQ(accepted, 0);
    EXPECT_EQ(Arrived(0), std::vector<uint8_t>{NAK});
    EXPECT_EQ(b->error, round > 10 ? kBpErrProtocol : 0) << round;
  }
  EXPECT_EQ(clientB.Count(1025), 11);
  int accepted = 0;
  for (uint8_t c : wire) accepted += BpFeed(b, c);
  EXPECT_EQ(accepted, 1);
  EXPECT_EQ(b->nakRetries, 0);
}

TEST_F(EnginePair, RepeatedPacketIsAcknowledgedAgainNotDeliveredTwice) {
  const uint8_t data[] = {'L', 'x'};
  ASSERT_TRUE(BpSendPacket(a, data, sizeof data));
  std::vector<uint8_t> wire = Arrived(1);
  int accepted = 0;
  for (uint8_t c : wire) accepted += BpFeed(b, c);
  ASSERT_EQ(accepted, 1);
  Take(b);
  EXPECT_EQ(Arrived(0), (std::vector<uint8_t>{DLE, '1'}));
  accepted = 0;
  for (uint8_t c : wire) accepted += BpFeed(b, c);
  EXPECT_EQ(accepted, 0);
  EXPECT_EQ(b->ringReady, 0);
  EXPECT_EQ(Arrived(0), (std::vector<uint8_t>{DLE, '1'}));
  EXPECT_EQ(b->error, 0);
}

TEST_F(EnginePair, OutOfSequencePacketIsNaked) {
  const uint8_t data[] = {'L', 'x'};
  ASSERT_TRUE(BpSendPacket(a, data, sizeof data));
  Arrived(1);  // lost
  ASSERT_TRUE(BpSendPacket(a, data, sizeof data));
  EXPECT_EQ(FeedArrived(1, b), 0);
  EXPECT_EQ(b->error, kBpErrProtocol);
  EXPECT_EQ(Arrived(0), std::vector<uint8_t>{NAK});
}

TEST_F(EnginePair, AcknowledgementReleasesThatPacketAndOlderOnes) {
  a->options |= kOptSeparateSeq;
  a->sendSeq = 1;
  const uint8_t data[] = {'M', '.'};
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(BpSendPacket(a, data, sizeof data));
  Arrived(1);
  ASSERT_EQ(a->outstanding, 3);
  BpFeed(a, DLE);
  BpFeed(a, '3');
  EXPECT_EQ(a->outstanding, 1);
  EXPECT_EQ(a->send[a->sendOldest].seq, 4);
  EXPECT_EQ(a->lastAck, 3);
  // A full window refuses further packets with 1039.
  a->windowSize = 2;
  ASSERT_TRUE(BpSendPacket(a, data, sizeof data));
  EXPECT_FALSE(BpSendPacket(a, data, sizeof data));
  EXPECT_EQ(a->error, kBpErrSendFull);
}

TEST_F(EnginePair, LostAcknowledgementIsRecoveredByEnqAfterTheDeadline) {
  const uint8_t data[] = {'L', 'y'};
  ASSERT_TRUE(BpSendPacket(a, data, sizeof data));
  ASSERT_TRUE(BpSendPacket(a, data, sizeof data));
  Arrived(1);  // both lost
  BpCheckAckTimer(a);
  EXPECT_TRUE(Arrived(1).empty());  // not yet due
  line.now += 30000;
  BpCheckAckTimer(a);
  EXPECT_TRUE(a->options & kOptWaitAfterEnq);
  EXPECT_EQ(clientA.Count(1026), 1);
  EXPECT_FALSE(BpSendPacket(a, data, sizeof data));  // waiting for the answer
  EXPECT_EQ(Arrived(1), (std::vector<uint8_t>{ENQ, ENQ}));
  BpFeed(b, ENQ);  // b answers with its last sequence: nothing came
  std::vector<uint8_t> answer = Arrived(0);
  EXPECT_EQ(answer, (std::vector<uint8_t>{DLE, '0'}));
  for (uint8_t c : answer) BpFeed(a, c);  // a sends both again
  EXPECT_EQ(FeedArrived(1, b), 2);
  Take(b);
  Take(b);
  FeedArrived(0, a);
  EXPECT_EQ(a->outstanding, 0);
  EXPECT_FALSE(a->options & kOptWaitAfterEnq);
  EXPECT_TRUE(BpSendPacket(a, data, sizeof data));
}

TEST_F(EnginePair, X25MethodFollowsEverySignalWithThe30Byte) {
  SetMethod(kBpCrcX25);
  const uint8_t data[] = {'L', 30, 'z'};
  ASSERT_TRUE(BpSendPacket(a, data, sizeof data));
  std::vector<uint8_t> wire = Arrived(1);
  EXPECT_EQ(wire.back(), 30);
  // Stray 30s between the characters change nothing.
  int accepted = 0;
  for (uint8_t c : wire) {
    accepted += BpFeed(b, 30);
    accepted += BpFeed(b, c);
  }
  EXPECT_EQ(accepted, 1);
  EXPECT_EQ(Take(b), std::vector<uint8_t>(data, data + 3));
  EXPECT_EQ(Arrived(0), (std::vector<uint8_t>{DLE, '1', 30}));
  BpFeed(b, NAK);  // idle NAK: b asks with ENQ
  EXPECT_EQ(Arrived(0), (std::vector<uint8_t>{ENQ, 30, ENQ, 30}));
}

TEST_F(EnginePair, PacketSizeRoundsToBlocksOf128PlusOne) {
  struct {
    unsigned asked, got;
  } cases[] = {{300, 257}, {5000, 2049}, {2048, 2049}, {2047, 1921}, {129, 129}, {50, 129}};
  for (auto c : cases) {
    BpSetPacketSize(a, c.asked);
    EXPECT_EQ(a->packetSize, c.got) << c.asked;
  }
}

TEST_F(EnginePair, AckDeadlineFollowsTheLineSpeedButIsNeverUnder30Seconds) {
  struct {
    uint32_t speed;
    unsigned length;
    uint32_t seconds;
  } cases[] = {{110, 1000, 30}, {110, 2049, 30}, {300, 1000, 66}, {9600, 2000, 30}, {0, 1025, 30}};
  for (auto c : cases) {
    line.end[0].speed = c.speed;
    std::vector<uint8_t> data(c.length, 'a');
    BpSetPacketSize(a, 2048);
    ASSERT_TRUE(BpSendPacket(a, data.data(), unsigned(data.size())));
    EXPECT_EQ(a->ackDeadline - uint32_t(line.now), c.seconds * 1000) << c.speed << " " << c.length;
    BpReset(a);
    Arrived(1);
  }
}

TEST_F(EnginePair, FlushThatKeepsFailingEndsWithConnectionLost) {
  line.end[0].refuseWrites = true;
  const uint8_t data[] = {'L', 'q'};
  EXPECT_FALSE(BpSendPacket(a, data, sizeof data));
  EXPECT_EQ(a->error, kBpErrLost);
  EXPECT_FALSE(BpSendPacket(a, data, sizeof data));  // refused at once now
  char* text = BpErrorText(a);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "Connection lost");
  BpSys().memFree(text);
}

TEST_F(EnginePair, FailurePacketIsTakenOutOfSequenceAndItsAckRecognised) {
  a->recvSeq = 6;  // whatever b expects, an "F" packet is taken
  ASSERT_TRUE(BpSendFailure(a, 'A', "Transfer cancelled"));
  EXPECT_EQ(a->state, 14);
  EXPECT_EQ(FeedArrived(1, b), 1);
  std::vector<uint8_t> p = Take(b);
  ASSERT_GE(p.size(), 2u);
  EXPECT_EQ(std::string(p.begin(), p.end()), "FATransfer cancelled");
  int done = 0;
  BpFeed(a, 'x');  // noise while waiting is ignored
  for (uint8_t c : Arrived(0)) done += BpFeed(a, c);
  EXPECT_EQ(done, 1);
  EXPECT_EQ(a->state, 0);
  EXPECT_TRUE(a->options & kOptAckSeen);
}

TEST_F(EnginePair, FailureTextOfAReceivedPacket) {
  struct Case {
    int flag;
    std::string bytes;
    const char* text;
    uint16_t error;
    bool failureSent;
  } cases[] = {
      {1, "Fxhello", nullptr, kBpErrSequence, true},   {0, "", nullptr, kBpErrNotResponding, false},
      {0, "Nxx", nullptr, kBpErrUnexpectedType, true}, {0, "F", nullptr, kBpErrEmptyFailure, false},
      {0, "FCdisk full", "Cdisk full", 0, false},
  };
  for (const Case& c : cases) {
    BpInit(a, &clientA, 1, &line.end[0]);
    char* t = BpFailureText(a, c.flag, unsigned(c.bytes.size()), reinterpret_cast<const uint8_t*>(c.bytes.data()));
    if (c.text) {
      ASSERT_NE(t, nullptr);
      EXPECT_STREQ(t, c.text);
    } else {
      EXPECT_EQ(t, nullptr) << c.bytes;
      EXPECT_EQ(a->error, c.error) << c.bytes;
    }
    BpSys().memFree(t);
    EXPECT_EQ(!Arrived(1).empty(), c.failureSent) << c.bytes;
  }
}

TEST_F(EnginePair, ErrorTextFollowsTheErrorBand) {
  struct {
    uint16_t error;
    const char* text;
  } cases[] = {{0, nullptr},
               {1040, nullptr},
               {1042, nullptr},
               {700, nullptr},
               {1024, "Out of memory"},
               {1033, "Remote is not responding"},
               {1041, "Host aborted transfer"}};
  for (auto c : cases) {
    a->error = c.error;
    char* t = BpErrorText(a);
    if (c.text) {
      ASSERT_NE(t, nullptr) << c.error;
      EXPECT_STREQ(t, c.text);
    } else {
      EXPECT_EQ(t, nullptr) << c.error;
    }
    BpSys().memFree(t);
  }
}

// A system with its own texts (the DLL's string table) supplies them; an id it
// has no text for falls back to the built-in one.
TEST_F(EnginePair, ErrorTextTakesTheSystemsTextsFirst) {
  BpSystem s = BpSys();
  s.loadText = [](unsigned id, char* buffer, int size) -> int {
    if (id == 1033) return 0;
    return std::snprintf(buffer, size_t(size), "text %u %s", id,
                         "padding to overrun a small buffer....................................................");
  };
  BpSetSystem(s);
  struct {
    uint16_t error;
    const char* text;
  } cases[] = {{1028, "text 1028 padding to overrun a small buffer"},
               {1033, "Remote is not responding"},
               {1040, nullptr},
               {0, nullptr}};
  for (auto c : cases) {
    a->error = c.error;
    char* t = BpErrorText(a);
    if (c.text) {
      ASSERT_NE(t, nullptr) << c.error;
      EXPECT_EQ(std::string(t).substr(0, std::strlen(c.text)), c.text);
      EXPECT_LT(std::strlen(t), 84u);
    } else {
      EXPECT_EQ(t, nullptr) << c.error;
    }
    BpSys().memFree(t);
  }
}

// "+" packets: the values are worked out at once but take effect only when
// the peer acknowledges our own "+" packet.
TEST_F(EnginePair, NegotiationIsAdoptedAtTheAcknowledgementOfOurPlusPacket) {
  a->options |= kOptFullDuplex;
  uint8_t shortPlus[10] = {'+', 3, 3, 4, 2, 0, 1, 0, 0, 0};
  BpNegotiate(a, shortPlus, sizeof shortPlus);
  EXPECT_EQ(clientA.Count(1041), 1);
  EXPECT_EQ(a->method, kBpChecksum);  // not yet
  EXPECT_EQ(a->windowSize, 3);
  EXPECT_EQ(a->pendingPacketSize, 513);
  EXPECT_TRUE(a->options & kOptPlusUnacked);
  EXPECT_FALSE(a->options & kOptSeparateSeq);
  const uint8_t data[] = {'L'};
  EXPECT_FALSE(BpSendPacket(a, data, 1));  // no data while our "+" is unacknowledged
  // Our "+" packet went out with every control character quoted.
  EXPECT_EQ(FeedArrived(1, b), 1);
  std::vector<uint8_t> own = Take(b);
  ASSERT_EQ(own.size(), 18u);
  EXPECT_EQ(own[0], '+');
  EXPECT_EQ(own[2], 3);
  EXPECT_EQ(own[3], 4);  // 513 / 128
  EXPECT_EQ(own[4], 2);
  EXPECT_EQ(own[5], 3);  // 30 is quoted by the initial table: quote level 3
  EXPECT_EQ(own[6], 1);
  EXPECT_EQ(own[7], 0x14);         // characters 3 and 5 (most significant bit: 0)...
  EXPECT_EQ(own[9], 0xD4);         // ...and 16, 17, 19, 21
  EXPECT_EQ(own[10], 0x02);        // 30
  EXPECT_EQ(a->quoteTable[0], 0);  // a short host packet adds no quoting
  FeedArrived(0, a);
  EXPECT_EQ(a->method, kBpCrcX25);
  EXPECT_EQ(a->packetSize, 513);
  EXPECT_TRUE(a->options & kOptSeparateSeq);
  EXPECT_FALSE(a->options & kOptPlusUnacked);
  EXPECT_EQ(a->quoteMode, 4);
  EXPECT_TRUE(BpSendPacket(a, data, 1));
}

TEST_F(EnginePair, FullPlusPacketAddsTheHostsQuotedCharacters) {
  uint8_t plus[18] = {'+', 4, 4, 8, 1, 1, 0};
  plus[7] = 0x80;   // character 0
  plus[8] = 0x01;   // character 15
  plus[12] = 0x40;  // character 128 + 9
  BpNegotiate(a, plus, sizeof plus);
  EXPECT_EQ(a->quoteTable[0] & 1, 1);
  EXPECT_EQ(a->quoteTable[15] & 1, 1);
  EXPECT_EQ(a->quoteTable[9] & 0x10, 0x10);
  EXPECT_EQ(a->quoteTable[1], 0);
  EXPECT_EQ(a->negotiatedMethod, kBpCrc16);
  FeedArrived(1, b);
  EXPECT_EQ(Take(b)[5], 1);  // quote level 0 is sent as code 1
}

TEST_F(EnginePair, ClientMayChangeSizeWindowAndQuotingInNotice1041) {
  clientA.handler = [](unsigned code, intptr_t lParam) -> intptr_t {
    if (code == 1041) {
      auto* rec = reinterpret_cast<BpNegotiationRecord*>(lParam);
      rec->packetSize = 600;
      rec->window = 9;
      rec->quoteTable[1] |= 1;
    }
    return 0;
  };
  uint8_t plus[18] = {'+', 5, 5, 16, 2, 0, 0};
  BpNegotiate(a, plus, sizeof plus);
  EXPECT_EQ(a->pendingPacketSize, 513);
  EXPECT_EQ(a->windowSize, 5);
  EXPECT_EQ(a->quoteTable[1] & 1, 1);
}

TEST_F(EnginePair, RestartAnswersTheHostsEnq) {
  BpRestart(a);
  EXPECT_EQ(Arrived(1), (std::vector<uint8_t>{DLE, '+', '+', DLE, '0'}));
  // The peer that sent ENQ restarts its sequences and sends its "+" packet.
  const uint8_t enq = ENQ;
  BpSendSignal(b, &enq, 1);
  b->state = 9;
  for (uint8_t c : {DLE, uint8_t('+'), uint8_t('+'), DLE, uint8_t('0')}) BpFeed(b, c);
  EXPECT_EQ(b->state, 0);
  EXPECT_TRUE(b->options & kOptPlusUnacked);
  std::vector<uint8_t> out = Arrived(0);
  ASSERT_GT(out.size(), 4u);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 4), (std::vector<uint8_t>{ENQ, DLE, 'B', '1'}));
  int accepted = 0;
  for (size_t i = 1; i < out.size(); ++i) accepted += BpFeed(a, out[i]);
  EXPECT_EQ(accepted, 1);
  EXPECT_EQ(Take(a)[0], '+');
}

}  // namespace
