#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "commkit/bp/bp_check.h"
#include "commkit/bp/bp_transport.h"
#include "commkit/bp/tests/sim_line.h"

namespace {

struct LinkFixture : ::testing::Test {
  SimLine line;
  SimClient client;
  std::unique_ptr<HostPeer> host;
  BpLinkSession s{};

  void SetUp() override {
    SimInstall(&line);
    host = std::make_unique<HostPeer>(&line.end[1]);
    s.window = &client;
    s.port = &line.end[0];
    s.timeoutSeconds = 120;
  }
  void TearDown() override {
    QvxBpClose(&s);
    host.reset();
    SimInstall(nullptr);
  }
  void StartLink() {
    host->Start();
    ASSERT_TRUE(QvxBpStart(&s));
  }
  // Lets the host run until it has sent everything and been acknowledged.
  void Settle() {
    for (int i = 0; i < 100000 && (host->e->outstanding || !host->outbox.empty() || line.InFlight()); ++i) {
      if (line.end[0].in.empty()) line.Step(0);
      while (!line.end[0].in.empty()) {
        BpQueueFeed(s.queue, line.end[0].in.front());
        line.end[0].in.pop_front();
      }
    }
  }
};

TEST_F(LinkFixture, StartNegotiatesSeparateSequencesAndTheX25Check) {
  StartLink();
  EXPECT_EQ(s.error, 0);
  EXPECT_TRUE(s.engine->options & kOptSeparateSeq);
  EXPECT_EQ(s.engine->method, kBpCrcX25);
  EXPECT_EQ(s.engine->packetSize, 1025);
  EXPECT_EQ(s.engine->retryLimit, 5);
  EXPECT_EQ(s.engine->quoteMode, 4);
  EXPECT_EQ(host->e->method, kBpCrcX25);
  EXPECT_EQ(client.Count(1041), 1);  // the client saw the host's "+" packet
}

TEST_F(LinkFixture, HostRepeatingItsEnqStillGetsALink) {
  host->Start();
  host->Start();  // the host did not hear the first answer in time
  ASSERT_TRUE(QvxBpStart(&s));
  host->QueueMessage({'o', 'k'});
  uint8_t buf[8];
  EXPECT_EQ(QvxBpReceive(&s, buf, sizeof buf, 30), 2);
}

TEST_F(LinkFixture, BlockSizeRequestLimitsThePacketSize) {
  s.blockSize = 300;
  StartLink();
  EXPECT_EQ(s.engine->packetSize, 257);
  EXPECT_EQ(host->e->packetSize, 257);
}

TEST_F(LinkFixture, StartFailsWithoutTheHostsEnq) {
  s.timeoutSeconds = 5;
  EXPECT_FALSE(QvxBpStart(&s));
  EXPECT_EQ(s.error, kQvxErrTimeout);
  EXPECT_EQ(s.engine, nullptr);
  EXPECT_EQ(s.queue, nullptr);
}

TEST_F(LinkFixture, StartStopsOnTheClientsAbort) {
  s.pollAbort = [](BpLinkSession*) { return 1; };
  EXPECT_FALSE(QvxBpStart(&s));
  EXPECT_EQ(s.error, kQvxErrAbort);
}

TEST_F(LinkFixture, MessageSplitsIntoPacketsAtThePacketSize) {
  StartLink();
  const unsigned piece = s.engine->packetSize - 1;
  struct Case {
    unsigned length;
    size_t packets;
  } cases[] = {{0, 1}, {1, 1}, {piece, 1}, {piece + 1, 2}, {3 * piece, 3}, {3 * piece + 5, 4}};
  for (const Case& c : cases) {
    std::vector<uint8_t> msg(c.length);
    for (unsigned i = 0; i < c.length; ++i) msg[i] = uint8_t(i * 7 + c.length);
    size_t before = host->messages.size();
    ASSERT_EQ(QvxBpSend(&s, msg.data(), c.length), 0);
    Settle();
    ASSERT_EQ(host->messages.size(), before + 1) << c.length;
    EXPECT_EQ(host->messages.back(), msg) << c.length;
  }
  // The packet types on the wire, as the host sees them.
  std::vector<char> types;
  std::vector<uint8_t> msg(piece + 1, 'x');
  host->onPacket = [&](const uint8_t* p, size_t n) {
    if (n) types.push_back(char(p[0]));
  };
  ASSERT_EQ(QvxBpSend(&s, msg.data(), unsigned(msg.size())), 0);
  Settle();
  EXPECT_EQ(types, (std::vector<char>{'M', 'L'}));
}

TEST_F(LinkFixture, ReceiveDeliversHostMessagesAndTimesOut) {
  StartLink();
  std::vector<uint8_t> a(3000), b = {'h', 'i'};
  for (size_t i = 0; i < a.size(); ++i) a[i] = uint8_t(i);
  host->QueueMessage(a);
  host->QueueMessage(b);
  uint8_t buf[4096];
  ASSERT_EQ(QvxBpReceive(&s, buf, sizeof buf, 30), 3000);
  EXPECT_TRUE(std::equal(a.begin(), a.end(), buf));
  ASSERT_EQ(QvxBpReceive(&s, buf, sizeof buf, 30), 2);
  EXPECT_EQ(buf[0], 'h');
  EXPECT_EQ(QvxBpReceive(&s, buf, sizeof buf, 5), -1);
  EXPECT_EQ(s.error, kQvxErrTimeout);
}

TEST_F(LinkFixture, TakeReportsTheLengthOfAMessageTooLongForTheBuffer) {
  StartLink();
  std::vector<uint8_t> a(2500, 'a');
  a.back() = 'z';
  host->QueueMessage(a);
  Settle();
  ASSERT_EQ(BpQueueCount(s.queue), 1);
  EXPECT_EQ(BpQueueFirstLength(s.queue), 2500);
  uint8_t small[100];
  EXPECT_EQ(BpQueueTake(s.queue, small, sizeof small), 2500);  // not cut to 100
  EXPECT_EQ(BpQueueCount(s.queue), 1);                         // and still there
  std::vector<uint8_t> big(4000);
  EXPECT_EQ(BpQueueTake(s.queue, big.data(), unsigned(big.size())), 2500);
  EXPECT_EQ(big[2499], 'z');
  EXPECT_EQ(BpQueueCount(s.queue), 0);
  EXPECT_EQ(BpQueueTake(s.queue, big.data(), 10), -1);

  // The link drops such a message with an overflow error rather than hand
  // over a cut one.
  host->QueueMessage(a);
  EXPECT_EQ(QvxBpReceive(&s, small, sizeof small, 30), -1);
  EXPECT_EQ(s.error, kQvxErrOverflow);
  host->QueueMessage({'o', 'k'});
  EXPECT_EQ(QvxBpReceive(&s, small, sizeof small, 30), 2);
}

TEST_F(LinkFixture, CloseWaitsForOutstandingPacketsThenFreesEverything) {
  StartLink();
  std::vector<uint8_t> msg(4000, 'q');
  line.latencyMs = 500;
  ASSERT_EQ(QvxBpSend(&s, msg.data(), unsigned(msg.size())), 0);
  EXPECT_GT(s.engine->outstanding, 0);
  QvxBpClose(&s);
  EXPECT_EQ(s.engine, nullptr);
  EXPECT_EQ(s.queue, nullptr);
  ASSERT_EQ(host->messages.size(), 1u);
  EXPECT_EQ(host->messages[0], msg);
}

TEST_F(LinkFixture, SendGivesUpWhenThePeerStopsAnswering) {
  StartLink();
  host->port->onIdle = nullptr;  // the host goes silent; the line stays up
  line.end[1].in.clear();
  std::vector<uint8_t> msg(6000, 'd');
  EXPECT_EQ(QvxBpSend(&s, msg.data(), unsigned(msg.size())), kQvxErrTimeout);
  EXPECT_GT(s.engine->ackTimeouts, s.engine->retryLimit);
  EXPECT_GT(client.Count(1026), 5);  // it asked with ENQ each time
}

TEST_F(LinkFixture, SendStopsOnTheClientsStopAnswerOrALostLine) {
  StartLink();
  std::vector<uint8_t> msg(6000, 'e');
  client.handler = [](unsigned code, intptr_t lParam) -> intptr_t {
    if (code == 1037) *reinterpret_cast<int32_t*>(lParam) = 1;
    return 0;
  };
  EXPECT_EQ(QvxBpSend(&s, msg.data(), unsigned(msg.size())), kQvxErrTimeout);
  client.handler = nullptr;
  Settle();
  line.end[0].lost = true;
  EXPECT_EQ(QvxBpSend(&s, msg.data(), unsigned(msg.size())), kQvxErrTimeout);
  EXPECT_EQ(s.engine->error, kBpErrNotResponding);
  uint8_t buf[16];
  EXPECT_EQ(QvxBpReceive(&s, buf, sizeof buf, 5), -1);
  EXPECT_EQ(s.error, kQvxErrTransport);
}

TEST_F(LinkFixture, PacketOfAnUnknownTypeIsAnsweredWithAFailurePacket) {
  StartLink();
  std::vector<std::vector<uint8_t>> seen;
  host->onPacket = [&](const uint8_t* p, size_t n) { seen.emplace_back(p, p + n); };
  host->outbox.push_back({'F', 'X', 'h', 'i'});  // a failure: reported, dropped
  host->outbox.push_back({'Q', '?'});            // unknown
  Settle();
  EXPECT_EQ(client.Count(1025), 2);
  EXPECT_EQ(BpQueueCount(s.queue), 0);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(std::string(seen[0].begin(), seen[0].end()), "FEUnexpected packet type");
  EXPECT_EQ(s.engine->error, kBpErrProtocol);
}

// Every message arrives exactly once and in order over a line that drops,
// duplicates, reorders and corrupts packets and loses acknowledgements.
TEST_F(LinkFixture, TenThousandMessagesSurviveAFaultyLine) {
  StartLink();
  line.faults = SimFaults{0.01, 0.01, 0.01, 0.01, 0.01};
  line.faultsOn = true;
  std::mt19937 rng(99);
  std::vector<std::vector<uint8_t>> sent, hostSent;
  size_t received = 0;
  uint8_t buf[4096];
  for (int i = 0; i < 10000; ++i) {
    std::vector<uint8_t> m(rng() % 2200);
    for (auto& b : m) b = uint8_t(rng());
    ASSERT_EQ(QvxBpSend(&s, m.data(), unsigned(m.size())), 0)
        << "message " << i << " state " << s.engine->state << " err " << s.engine->error << " enq "
        << s.engine->enqRetries << " out " << s.engine->outstanding << " opt " << s.engine->options << " host state "
        << host->e->state << " host out " << host->e->outstanding << " host opt " << host->e->options << " host err "
        << host->e->error;
    sent.push_back(std::move(m));
    if (i % 10 == 0) {  // traffic the other way too
      std::vector<uint8_t> h(rng() % 1500);
      for (auto& b : h) b = uint8_t(rng());
      host->QueueMessage(h);
      hostSent.push_back(std::move(h));
    }
    while (BpQueueCount(s.queue)) {
      long n = QvxBpReceive(&s, buf, sizeof buf, 0);
      ASSERT_GE(n, 0);
      ASSERT_LT(received, hostSent.size());
      ASSERT_EQ(std::vector<uint8_t>(buf, buf + n), hostSent[received]) << "host message " << received;
      ++received;
    }
  }
  while (received < hostSent.size()) {
    long n = QvxBpReceive(&s, buf, sizeof buf, 600);
    ASSERT_GE(n, 0) << s.error;
    ASSERT_EQ(std::vector<uint8_t>(buf, buf + n), hostSent[received]);
    ++received;
  }
  QvxBpClose(&s);
  ASSERT_EQ(host->messages.size(), sent.size());
  for (size_t i = 0; i < sent.size(); ++i) ASSERT_EQ(host->messages[i], sent[i]) << "message " << i;
  EXPECT_GT(line.dropped, 0);
  EXPECT_GT(line.duplicated, 0);
  EXPECT_GT(line.reordered, 0);
  EXPECT_GT(line.corrupted, 0);
  EXPECT_GT(line.acksLost, 0);
}

TEST(SimulatedLine, AStalledWaitEndsAtTheLinesBoundsInsteadOfHanging) {
  SimLine line;
  SimInstall(&line);
  line.maxSimulatedMs = 5000;
  // Nothing will ever arrive: a wait of a day ends once the line gives up.
  EXPECT_EQ(SimPortOps().waitChar(&line.end[0], 86400), kBpNoChar);
  EXPECT_TRUE(line.stalled);
  EXPECT_LT(line.now, 86400.0 * 1000);
  SimInstall(nullptr);
}

}  // namespace
