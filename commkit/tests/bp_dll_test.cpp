// The B-protocol functions of the built commkit.dll, called by ordinal over a
// client-forwarded port, against a host engine of our own on the far end of
// an in-memory line. The client window answers the port's notices and keeps
// every B-protocol notice it receives.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "commkit/bp/bp_check.h"
#include "commkit/bp/bp_engine.h"
#include "commkit/bp/bp_transfer.h"
#include "commkit/bp/bp_transport.h"
#include "commkit/bp/tests/sim_line.h"
#include "fake_client.h"

namespace {
std::vector<uint8_t> RandomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> bytes(n);
  for (auto& b : bytes) b = uint8_t(rng());
  return bytes;
}

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// Makes a directory current for the life of the guard.
struct InDirectory {
  char saved[MAX_PATH] = {};
  bool entered;
  explicit InDirectory(const std::string& path) {
    GetCurrentDirectoryA(sizeof saved, saved);
    entered = SetCurrentDirectoryA(path.c_str()) != 0;
  }
  ~InDirectory() { SetCurrentDirectoryA(saved); }
};

struct Notice {
  unsigned code;
  intptr_t lParam;
};

struct DllLine : ::testing::Test {
  HMODULE dll = nullptr;
  HWND window = nullptr;
  PortObject* port = nullptr;
  // The far end: the host's engine on side 1 of a line without delays; the
  // port's reads on side 0 give the host its turn.
  std::unique_ptr<SimLine> line;
  std::unique_ptr<HostPeer> host;
  std::vector<Notice> notices;                 // 1024-1041, in order
  std::vector<std::vector<uint8_t>> received;  // messages the host took
  std::string downloadName;                    // the client's answer to the name query

  template <class Fn>
  Fn At(int ordinal) {
    auto fn = reinterpret_cast<Fn>(GetProcAddress(dll, MAKEINTRESOURCEA(ordinal)));
    EXPECT_NE(fn, nullptr) << ordinal;
    return fn;
  }

  void SetUp() override {
    dll = LoadLibraryA("commkit.dll");
    ASSERT_NE(dll, nullptr);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "CommkitBpLineClient";
    RegisterClassA(&windowClass);
    window = CreateWindowA(windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance,
                           nullptr);
    ASSERT_NE(window, nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, LONG_PTR(this));
    NewLine(true);

    port = At<PortObject*(ZRTAPI*)(HWND)>(2)(window);
    ASSERT_NE(port, nullptr);
    At<void(ZRTAPI*)(PortObject*, int)>(83)(port, 1);
    auto open = At<int(ZRTAPI*)(PortObject*, const char*, int32_t, int32_t, const char*, int32_t, int32_t, int32_t,
                                const char*)>(8);
    ASSERT_EQ(open(port, "COM2", 9600, 8, "None", 0, 0, 0, nullptr), 1);
  }

  void TearDown() override {
    if (port) At<void(ZRTAPI*)(PortObject*)>(3)(port);
    host.reset();
    SimInstall(nullptr);
    if (window) DestroyWindow(window);
    FreeLibrary(dll);
  }

  void NewLine(bool fullDuplex) {
    host.reset();
    line = std::make_unique<SimLine>();
    line->idleStepMs = 0;  // the host's clock stands still: it never times out
    SimInstall(line.get());
    host = std::make_unique<HostPeer>(&line->end[1]);
    host->fullDuplex = fullDuplex;
  }

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<DllLine*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message != WM_USER || !self) return DefWindowProcA(window, message, wParam, lParam);
    return self->OnNotice(UINT(wParam), lParam);
  }

  LRESULT OnNotice(UINT code, LPARAM lParam) {
    auto* block = reinterpret_cast<NoticeBlock*>(lParam);
    switch (code) {
      case kNoticeFwdOpen:
      case kNoticeFwdSetup:
      case kNoticeFwdProbe: block->value = 1; return 0;
      case kNoticeFwdModemStatus: block->value = 2; return 0;
      case kNoticeFwdWrite: {
        auto* bytes = reinterpret_cast<const uint8_t*>(uintptr_t(block->argument));
        line->Write(0, std::vector<uint8_t>(bytes, bytes + block->value));
        return 0;
      }
      case kNoticeFwdRead: {
        line->Step(0);
        auto& in = line->end[0].in;
        uint32_t count = std::min<uint32_t>(block->value & 0xFFFF, uint32_t(in.size()));
        auto* buffer = reinterpret_cast<uint8_t*>(uintptr_t(block->argument));
        std::copy(in.begin(), in.begin() + count, buffer);
        in.erase(in.begin(), in.begin() + count);
        block->value = count << 16;
        return 0;
      }
      default: break;
    }
    if (code >= 1024 && code <= 1041) {
      notices.push_back({code, lParam});
      if (code == 1028 && !downloadName.empty()) {
        auto* query = reinterpret_cast<BpNameQuery*>(lParam);
        if (query->asking) snprintf(query->name, kBpNameSize, "%s", downloadName.c_str());
      }
    }
    return 0;
  }

  std::vector<unsigned> Codes() const {
    std::vector<unsigned> codes;
    for (const Notice& n : notices) codes.push_back(n.code);
    return codes;
  }
};

// The host sends a file once its request is acknowledged: "TI" with the
// size, the data in "N" packets, then "TC".
struct HostDownload {
  HostPeer& host;
  std::vector<uint8_t> file;
  bool sent = false;
  HostDownload(HostPeer& h, std::vector<uint8_t> data, const std::string& request) : host(h), file(std::move(data)) {
    host.outbox.push_back(Bytes(request));
    host.beforeSend = [this] { Turn(); };
  }
  void Turn() {
    if (sent || host.e->outstanding || !host.outbox.empty()) return;
    sent = true;
    std::string info = "TIx";
    info.push_back('\0');
    info += std::to_string(file.size());
    host.outbox.push_back(Bytes(info));
    size_t piece = host.e->packetSize - 1;
    for (size_t at = 0; at < file.size(); at += piece) {
      std::vector<uint8_t> packet{'N'};
      packet.insert(packet.end(), file.begin() + long(at), file.begin() + long(std::min(file.size(), at + piece)));
      host.outbox.push_back(std::move(packet));
    }
    host.outbox.push_back(Bytes("TC"));
  }
};
}  // namespace

TEST_F(DllLine, MessagesBothWaysOverTheLink) {
  auto start = At<decltype(&QvxBpStart)>(220);
  auto send = At<decltype(&QvxBpSend)>(221);
  auto receive = At<decltype(&QvxBpReceive)>(222);
  auto close = At<decltype(&QvxBpClose)>(223);
  auto errorText = At<decltype(&QvxBpErrorText)>(228);
  auto queueCount = At<decltype(&BpQueueCount)>(116);

  // The host answers every message it gets with the bytes reversed.
  host->beforeSend = [this] {
    while (host->messages.size() > 0) {
      std::vector<uint8_t> reply(host->messages.front().rbegin(), host->messages.front().rend());
      host->QueueMessage(reply);
      received.push_back(std::move(host->messages.front()));
      host->messages.erase(host->messages.begin());
    }
  };

  BpLinkSession session{};
  session.window = window;
  session.port = port;
  session.timeoutSeconds = 30;
  host->Start();
  ASSERT_EQ(start(&session), 1);
  EXPECT_EQ(session.error, 0);
  ASSERT_NE(session.engine, nullptr);
  EXPECT_TRUE(session.engine->options & kOptSeparateSeq);
  EXPECT_EQ(session.engine->method, kBpCrcX25);
  EXPECT_EQ(Codes(), std::vector<unsigned>{1041});  // the host's "+" packet

  // Several packets each way, every byte value, and a one-byte message.
  const std::vector<std::vector<uint8_t>> messages = {RandomBytes(3000, 7), {'?'}, RandomBytes(1024, 8)};
  for (const auto& message : messages) {
    ASSERT_EQ(send(&session, message.data(), unsigned(message.size())), 0);
    std::vector<uint8_t> buffer(4096);
    long got = receive(&session, buffer.data(), unsigned(buffer.size()), 30);
    ASSERT_EQ(got, long(message.size())) << session.error;
    buffer.resize(size_t(got));
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), message.rbegin()));
  }
  EXPECT_EQ(received, messages);
  EXPECT_EQ(queueCount(session.queue), 0);
  for (const Notice& n : notices) EXPECT_TRUE(n.code == 1041 || n.code == 1037) << n.code;
  EXPECT_EQ(errorText(&session), nullptr);  // no error, no text

  close(&session);
  EXPECT_EQ(session.engine, nullptr);
  EXPECT_EQ(session.queue, nullptr);
}

TEST_F(DllLine, DownloadArrivesByteIdenticalWithItsNotices) {
  TempDir dir;
  InDirectory downloads(dir.path);
  ASSERT_TRUE(downloads.entered);

  NewLine(false);
  auto create = At<decltype(&BpTransferCreate)>(130);
  auto freeTransfer = At<decltype(&BpTransferFree)>(131);
  auto run = At<decltype(&BpTransferRun)>(132);
  auto engineOf = At<decltype(&BpTransferEngine)>(134);
  auto done = At<decltype(&BpTransferDone)>(135);

  // Every byte value, DLE and ETX among them, over five "N" packets.
  std::vector<uint8_t> data = RandomBytes(4 * 1024 + 300, 11);
  HostDownload script(*host, data, "TDBhost.bin");
  downloadName = "fetched.bin";  // the client names the file itself
  BpTransfer* t = create(window, 1, port);
  ASSERT_NE(t, nullptr);
  BpEngine* e = engineOf(t);
  ASSERT_NE(e, nullptr);

  // The terminal side has seen DLE "B" and hands the rest to the transfer.
  host->Step();
  line->Deliver();
  auto& in = line->end[0].in;
  ASSERT_GE(in.size(), 2u);
  ASSERT_EQ(in[0], DLE);
  ASSERT_EQ(in[1], 'B');
  in.erase(in.begin(), in.begin() + 2);
  EXPECT_EQ(run(t), 1);
  EXPECT_EQ(done(t), 0);  // a download, not a "+" exchange
  EXPECT_EQ(e->error, 0);

  EXPECT_EQ(ReadWholeFile(dir.File("fetched.bin")), std::string(data.begin(), data.end()));
  EXPECT_EQ(GetFileAttributesA(dir.File("host.bin").c_str()), INVALID_FILE_ATTRIBUTES);

  // Name query and final name, type, direction, check method; then per
  // packet the cancel query, "TI" with the size, and each "N" through the
  // write hook and its count; a last cancel query before "TC".
  std::vector<unsigned> expected = {1028, 1028, 1032, 1033, 1034, 1024, 1029};
  size_t bytes = 0, piece = e->packetSize - 1;
  std::vector<intptr_t> counts;
  for (size_t at = 0; at < data.size(); at += piece) {
    expected.insert(expected.end(), {1024, 1040, 1030});
    counts.push_back(intptr_t(std::min(piece, data.size() - at)));
  }
  expected.push_back(1024);
  EXPECT_EQ(Codes(), expected);
  std::vector<intptr_t> reported;
  for (const Notice& n : notices) {
    if (n.code == 1030) {
      reported.push_back(n.lParam);
      bytes += size_t(n.lParam);
    }
  }
  auto valueOf = [&](unsigned code) {
    for (const Notice& n : notices)
      if (n.code == code) return n.lParam;
    return intptr_t(-1);
  };
  EXPECT_EQ(valueOf(1029), intptr_t(data.size()));
  EXPECT_EQ(valueOf(1032), 1);  // binary
  EXPECT_EQ(valueOf(1033), 0);  // download
  EXPECT_EQ(valueOf(1034), intptr_t(e->method));
  EXPECT_EQ(reported, counts);
  EXPECT_EQ(bytes, data.size());

  freeTransfer(t);
}
