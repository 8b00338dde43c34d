#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "commkit/bp/bp_check.h"
#include "commkit/bp/bp_transfer.h"
#include "commkit/bp/tests/sim_line.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::vector<uint8_t> ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& p, const std::vector<uint8_t>& data) {
  std::ofstream out(p, std::ios::binary);
  out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

std::vector<uint8_t> RandomData(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = uint8_t(rng());
  return v;
}

// The host's side of a download: the request, then the file from the start
// once the request is acknowledged, or from where a resume request says
// (starting over with "Tf" when the check of the partial file disagrees).
struct DownloadScript {
  HostPeer& host;
  std::vector<uint8_t> file;
  size_t stopAfter = SIZE_MAX;  // the line dies after this many bytes
  bool decided = false, sendInfo = true, mismatch = false, failureSeen = false;
  long resumeSize = -1;
  unsigned resumeCheck = 0;
  std::vector<uint8_t> failure;
  SimEnd* clientEnd = nullptr;

  DownloadScript(HostPeer& h, std::vector<uint8_t> f, const std::string& request) : host(h), file(std::move(f)) {
    host.onPacket = [this](const uint8_t* p, size_t n) {
      std::string s(reinterpret_cast<const char*>(p), n);
      if (s.rfind("Tr", 0) == 0) {
        std::sscanf(s.c_str() + 2, "%ld %u", &resumeSize, &resumeCheck);
      } else if (s.rfind("F", 0) == 0) {
        failure.assign(p, p + n);
        failureSeen = true;
      }
    };
    host.beforeSend = [this] { Turn(); };
    host.outbox.push_back(Bytes(request));
  }
  void Turn() {
    if (decided || failureSeen) return;
    size_t from = 0;
    if (resumeSize >= 0) {
      uint8_t m = host.e->method;
      bool fits = size_t(resumeSize) <= file.size();
      uint16_t check = fits ? BpCheckBlock(m, BpCheckInitial(m), file.data(), size_t(resumeSize)) : 0;
      if (fits && check == resumeCheck) {
        from = size_t(resumeSize);
      } else {
        mismatch = true;
        host.outbox.push_back(Bytes("Tf"));
      }
    } else if (host.e->outstanding || !host.outbox.empty()) {
      return;  // the request is not answered yet
    }
    decided = true;
    if (sendInfo) {
      std::string info = "TI";
      info.push_back('x');
      info += "notes";
      info.push_back('\0');
      info += std::to_string(file.size());
      host.outbox.push_back(Bytes(info));
    }
    size_t piece = host.e->packetSize - 1;
    for (size_t at = from; at < file.size() && at < stopAfter; at += piece) {
      std::vector<uint8_t> p{'N'};
      size_t n = std::min({piece, file.size() - at, stopAfter - at});
      p.insert(p.end(), file.begin() + long(at), file.begin() + long(at + n));
      host.outbox.push_back(std::move(p));
    }
    if (stopAfter == SIZE_MAX) host.outbox.push_back(Bytes("TC"));
  }
};

struct TransferFixture : ::testing::Test {
  fs::path dir, oldCwd;
  std::unique_ptr<SimLine> line;
  std::unique_ptr<HostPeer> host;
  SimClient client;
  BpTransfer* t = nullptr;
  std::function<intptr_t(unsigned, intptr_t)> answers;  // the client's own answers
  long received = 0, sent = 0;
  std::vector<intptr_t> directions;
  std::vector<std::string> failures;  // texts of notice 1027

  void SetUp() override {
    oldCwd = fs::current_path();
    dir = fs::temp_directory_path() /
          ("bp_transfer_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir / "down");
    fs::current_path(dir / "down");  // the download directory
    client.handler = [this](unsigned code, intptr_t lParam) -> intptr_t {
      if (code == 1030) received += lParam;
      if (code == 1031) sent += lParam;
      if (code == 1033) directions.push_back(lParam);
      if (code == 1027 && lParam) failures.push_back(reinterpret_cast<const char*>(lParam));
      return answers ? answers(code, lParam) : 0;
    };
    NewLine();
  }
  void TearDown() override {
    BpTransferFree(t);
    host.reset();
    SimInstall(nullptr);
    fs::current_path(oldCwd);
    fs::remove_all(dir);
  }
  void NewLine() {
    BpTransferFree(t);
    host.reset();
    line = std::make_unique<SimLine>();
    SimInstall(line.get());
    host = std::make_unique<HostPeer>(&line->end[1]);
    host->fullDuplex = false;
    t = BpTransferCreate(&client, 1, &line->end[0]);
    ASSERT_NE(t, nullptr);
    received = sent = 0;
    directions.clear();
    failures.clear();
  }
  // The terminal side recognises DLE "B" before it hands over to the transfer.
  int Run() {
    host->Step();
    line->Deliver();
    auto& in = line->end[0].in;
    EXPECT_GE(in.size(), 2u);
    EXPECT_EQ(in[0], DLE);
    EXPECT_EQ(in[1], 'B');
    in.erase(in.begin(), in.begin() + 2);
    return BpTransferRun(t);
  }
  // A failed transfer tells the client the reason with notice 1027 and keeps
  // the letter as its status; the engine is ready for the next request, its
  // error cleared by the re-init.
  void ExpectFailure(uint16_t reason, int status) {
    ASSERT_FALSE(failures.empty());
    EXPECT_EQ(failures.back(), BpErrorString(reason));
    EXPECT_EQ(t->status, status);
    EXPECT_EQ(t->engine->error, 0);
  }
  // Lets the host read what the client sent last.
  void Drain() {
    for (int i = 0; i < 50; ++i) {
      line->Step(0);
      host->Step();
    }
  }
};

TEST_F(TransferFixture, DownloadWritesTheFileAndReportsProgress) {
  auto data = RandomData(10 * 1024 + 77, 1);
  DownloadScript script(*host, data, "TDBreport.zip");
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(ReadFile("report.zip"), data);
  EXPECT_EQ(received, long(data.size()));
  EXPECT_EQ(directions, std::vector<intptr_t>{0});
  EXPECT_EQ(client.Count(1032), 1);
  EXPECT_EQ(client.Count(1034), 1);
  EXPECT_EQ(client.Count(1029), 1);
  EXPECT_EQ(client.Count(1028), 2);  // the question, then the final name
  EXPECT_EQ(client.Count(1035), 0);
  EXPECT_EQ(t->file, -1);
  EXPECT_EQ(t->engine->state, 0);
}

TEST_F(TransferFixture, ClientMayChooseTheNameAndSizeIsReported) {
  auto data = RandomData(3000, 2);
  const std::string target = "../chosen.bin";  // the client's choice is its own
  long reportedSize = -1;
  answers = [&](unsigned code, intptr_t lParam) -> intptr_t {
    if (code == 1028) {
      auto* q = reinterpret_cast<BpNameQuery*>(lParam);
      if (q->asking) std::snprintf(q->name, kBpNameSize, "%s", target.c_str());
    }
    if (code == 1029) reportedSize = long(lParam);
    return 0;
  };
  DownloadScript script(*host, data, "TDAhost.txt");
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(ReadFile(dir / "chosen.bin"), data);
  EXPECT_EQ(reportedSize, 3000);
  EXPECT_FALSE(fs::exists("host.txt"));
}

TEST_F(TransferFixture, InterruptedDownloadResumesToAnIdenticalFile) {
  auto data = RandomData(40 * 1024 + 5, 3);
  {
    DownloadScript script(*host, data, "TDBbig.dat");
    script.stopAfter = 20 * 1024 + 100;
    host->beforeSend = [&] {
      script.Turn();
      if (script.decided && host->outbox.empty() && !host->e->outstanding) line->end[0].lost = true;
    };
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(t->status, kBpErrNotResponding);
  }
  auto partial = ReadFile("big.dat");
  ASSERT_GT(partial.size(), 0u);
  ASSERT_LT(partial.size(), data.size());
  EXPECT_TRUE(std::equal(partial.begin(), partial.end(), data.begin()));

  NewLine();
  int resumeAnswers = 0;
  answers = [&](unsigned code, intptr_t lParam) -> intptr_t {
    if (code == 1035) {
      reinterpret_cast<BpNameQuery*>(lParam)->answer = 1;
      ++resumeAnswers;
    }
    return 0;
  };
  DownloadScript script(*host, data, "TDBbig.dat");
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(resumeAnswers, 1);
  EXPECT_EQ(script.resumeSize, long(partial.size()));
  EXPECT_FALSE(script.mismatch);
  EXPECT_EQ(ReadFile("big.dat"), data);
  EXPECT_EQ(directions, (std::vector<intptr_t>{4, 2}));
  EXPECT_EQ(received, long(data.size()));  // checked bytes, then new ones
}

TEST_F(TransferFixture, ResumeOfADifferentPartialFileStartsOverWithTf) {
  auto data = RandomData(9000, 4);
  auto wrong = data;
  wrong.resize(4000);
  wrong[100] ^= 0xFF;
  WriteFile("part.dat", wrong);
  answers = [](unsigned code, intptr_t lParam) -> intptr_t {
    if (code == 1035) reinterpret_cast<BpNameQuery*>(lParam)->answer = 1;
    return 0;
  };
  DownloadScript script(*host, data, "TDBpart.dat");
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(script.mismatch);
  EXPECT_EQ(ReadFile("part.dat"), data);
}

TEST_F(TransferFixture, ExistingFileAnsweredWithCancelSendsFailureC) {
  WriteFile("keep.txt", Bytes("precious"));
  answers = [](unsigned code, intptr_t lParam) -> intptr_t {
    if (code == 1035) reinterpret_cast<BpNameQuery*>(lParam)->answer = 2;
    return 0;
  };
  DownloadScript script(*host, RandomData(100, 5), "TDAkeep.txt");
  EXPECT_EQ(Run(), 0);
  ExpectFailure(kBpErrCancelled, 'C');
  Drain();
  ASSERT_GE(script.failure.size(), 2u);
  EXPECT_EQ(script.failure[1], 'C');
  EXPECT_EQ(ReadFile("keep.txt"), Bytes("precious"));
  EXPECT_EQ(client.Count(1027), 1);
}

TEST_F(TransferFixture, BadRequestsFailWithAnNPacket) {
  struct Case {
    std::string request;
    uint16_t error;
  } cases[] = {{"TXBname", kBpErrBadDirection}, {"TDQname", kBpErrBadTransferType}, {"Qabc", kBpErrBadType}};
  for (const Case& c : cases) {
    NewLine();
    DownloadScript script(*host, {}, c.request);
    EXPECT_EQ(Run(), 0) << c.request;
    ASSERT_FALSE(failures.empty()) << c.request;
    EXPECT_EQ(failures.back(), BpErrorString(c.error)) << c.request;
    EXPECT_EQ(t->status, 'N') << c.request;
    // A request that is no transfer at all leaves the engine as it is: its
    // error says the transfer failed, not why.
    uint16_t engineError = c.request[0] == 'T' ? 0 : kBpErrProtocol;
    EXPECT_EQ(t->engine->error, engineError) << c.request;
    char* text = BpErrorText(t->engine);
    if (engineError) {
      ASSERT_NE(text, nullptr) << c.request;
      EXPECT_STREQ(text, BpErrorString(kBpErrProtocol)) << c.request;
    } else {
      EXPECT_EQ(text, nullptr) << c.request;
    }
    BpSys().memFree(text);
    Drain();
    ASSERT_GE(script.failure.size(), 2u) << c.request;
    EXPECT_EQ(script.failure[1], 'N') << c.request;
  }
}

TEST_F(TransferFixture, TfDuringADownloadEmptiesTheFileAndGoesOn) {
  auto data = RandomData(5000, 6);
  DownloadScript script(*host, data, "TDBrestart.bin");
  host->beforeSend = [&] {
    bool was = script.decided;
    script.Turn();
    if (!was && script.decided) {  // some junk first, then "Tf" and the real file
      std::vector<std::vector<uint8_t>> real(host->outbox.begin(), host->outbox.end());
      host->outbox.clear();
      host->outbox.push_back(Bytes("Njunk that must not stay"));
      host->outbox.push_back(Bytes("Tf"));
      for (auto& p : real) host->outbox.push_back(p);
    }
  };
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(ReadFile("restart.bin"), data);
  EXPECT_EQ(directions, (std::vector<intptr_t>{0, 0}));
}

TEST_F(TransferFixture, ClientCancelSendsFailureAAndWaitsForItsAcknowledgement) {
  answers = [this](unsigned code, intptr_t lParam) -> intptr_t {
    if (code == 1024 && received >= 2048) *reinterpret_cast<int32_t*>(lParam) = 1;
    return 0;
  };
  DownloadScript script(*host, RandomData(20000, 10), "TDBstop.bin");
  EXPECT_EQ(Run(), 0);
  ExpectFailure(kBpErrCancelled, 'A');
  ASSERT_GE(script.failure.size(), 2u);  // the host had it before the run ended
  EXPECT_EQ(script.failure[1], 'A');
  EXPECT_EQ(t->file, -1);
}

TEST_F(TransferFixture, ShortWriteFailsWithI) {
  answers = [](unsigned code, intptr_t lParam) -> intptr_t {
    if (code == 1040) reinterpret_cast<BpFileHook*>(lParam)->count = 3;  // disk full
    return 0;
  };
  DownloadScript script(*host, RandomData(2000, 7), "TDBfull.bin");
  EXPECT_EQ(Run(), 0);
  ExpectFailure(kBpErrFile, 'I');
  Drain();
  ASSERT_GE(script.failure.size(), 2u);
  EXPECT_EQ(script.failure[1], 'I');
}

TEST_F(TransferFixture, HostFileNamesStayInTheDownloadDirectory) {
  struct Case {
    const char* host;
    const char* local;
  } cases[] = {
      {"report.txt", "report.txt"},
      {"..\\..\\autoexec.bat", "autoexec.bat"},
      {"../../etc/passwd", "passwd"},
      {"C:\\WINDOWS\\win.ini", "win.ini"},
      {"\\\\server\\share\\x.dat", "x.dat"},
      {"C:evil.exe", "evil.exe"},
      {"..", "_"},
      {"", "_"},
      {"dir/", "_"},
      {"CON", "_CON"},
      {"con.txt", "_con.txt"},
      {"LPT1", "_LPT1"},
      {"com9.log", "_com9.log"},
      {"COM10", "COM10"},
      {"console", "console"},
      {"a<b>c|d?*.txt", "a_b_c_d__.txt"},
      {"name. . ", "name"},
  };
  for (const Case& c : cases) {
    char out[kBpNameSize];
    BpSafeHostName(c.host, out, sizeof out);
    EXPECT_STREQ(out, c.local) << c.host;
  }
  // End to end: the host's path is cut to its name in the download directory.
  DownloadScript script(*host, Bytes("data"), "TDA..\\..\\outside.txt");
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(fs::exists(dir / "down" / "outside.txt"));
  EXPECT_FALSE(fs::exists(dir / "outside.txt"));
}

TEST_F(TransferFixture, LongHostNameIsCutTo63Characters) {
  std::string name(70, 'n');
  DownloadScript script(*host, Bytes("x"), "TDA" + name);
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(fs::exists(std::string(63, 'n')));
}

// The host's side of an upload: it collects "N" data until "TC".
struct UploadScript {
  HostPeer& host;
  std::vector<uint8_t> data;
  bool complete = false;
  size_t abortAfter = SIZE_MAX;
  bool aborted = false;
  UploadScript(HostPeer& h, const std::string& request) : host(h) {
    host.onPacket = [this](const uint8_t* p, size_t n) {
      if (n && p[0] == 'N') data.insert(data.end(), p + 1, p + n);
      if (n == 2 && p[0] == 'T' && p[1] == 'C') complete = true;
      if (data.size() > abortAfter && !aborted) {
        aborted = true;
        host.outbox.push_back(Bytes("FAUser abort"));
      }
    };
    host.outbox.push_back(Bytes(request));
  }
};

TEST_F(TransferFixture, UploadSendsTheFileAndCompletes) {
  auto data = RandomData(12345, 8);
  WriteFile("up.bin", data);
  UploadScript script(*host, "TUBup.bin");
  EXPECT_EQ(Run(), 1);
  Drain();
  EXPECT_TRUE(script.complete);
  EXPECT_EQ(script.data, data);
  EXPECT_EQ(sent, long(data.size()));
  EXPECT_EQ(directions, std::vector<intptr_t>{1});
}

TEST_F(TransferFixture, UploadStopsWhenTheHostSendsAFailure) {
  WriteFile("up.bin", RandomData(50000, 9));
  UploadScript script(*host, "TUBup.bin");
  script.abortAfter = 5000;
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(t->status, kBpErrHostAborted);
  EXPECT_EQ(t->failCode, 'A');
  ASSERT_NE(t->failText, nullptr);
  EXPECT_STREQ(t->failText, "AUser abort");
}

TEST_F(TransferFixture, UploadOfAMissingFileFailsWithM) {
  UploadScript script(*host, "TUBnothere.bin");
  EXPECT_EQ(Run(), 0);
  ExpectFailure(kBpErrFile, 'M');
}

TEST_F(TransferFixture, PlusPacketFinishesAsANegotiation) {
  uint8_t plus[18] = {'+', 1, 1, 4, 1, 1, 0};
  host->outbox.push_back(std::vector<uint8_t>(plus, plus + 18));
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(BpTransferDone(t));
  Drain();
  EXPECT_EQ(t->engine->method, kBpCrc16);
  EXPECT_EQ(t->engine->packetSize, 513);
}

struct ReceiverFixture : ::testing::Test {
  SimLine line;
  SimClient client;
  std::unique_ptr<HostPeer> host;
  BpReceiver* r = nullptr;
  std::vector<uint8_t> got;
  int keepGoing = 1;
  void SetUp() override {
    SimInstall(&line);
    host = std::make_unique<HostPeer>(&line.end[1]);
    host->fullDuplex = false;
    r = BpReceiverCreate(&client, 1, &line.end[0]);
    client.handler = [this](unsigned code, intptr_t lParam) -> intptr_t {
      if (code == 1038) {
        auto* rec = reinterpret_cast<BpReceiver*>(lParam);
        got.insert(got.end(), rec->data, rec->data + rec->length);
        return keepGoing;
      }
      return 0;
    };
  }
  void TearDown() override {
    BpReceiverFree(r);
    host.reset();
    SimInstall(nullptr);
  }
};

TEST_F(ReceiverFixture, DeliversDataPacketsUntilTheEnd) {
  host->Start();
  host->outbox = {Bytes("Nabc"), Bytes("Mdef"), Bytes("Lghi"), Bytes("z")};
  EXPECT_EQ(BpReceiverRun(r), 1);
  EXPECT_EQ(r->status, 0);
  EXPECT_EQ(std::string(got.begin(), got.end()), "abcdefghi");
}

TEST_F(ReceiverFixture, OutcomesOfAPlainReceive) {
  // No ENQ at all.
  EXPECT_EQ(BpReceiverRun(r), 5);
  // The client refuses the data.
  host->Start();
  keepGoing = 0;
  host->outbox = {Bytes("Nabc"), Bytes("TC")};
  EXPECT_EQ(BpReceiverRun(r), 0);
  EXPECT_EQ(r->status, 6);
}

}  // namespace
