#include "msgbase/import_queue_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const std::string kHeader101("ZAVIDORU 1.01\n\x1a\0\0\0\0\0", 20);
const std::string kHeader100("ZAVIDORU 1.00\n\x1a\0\0\0\0\0", 20);

ImportQueueEntry Entry(const char* path, const char* service = "net", const char* kind = "messages",
                       uint32_t flags = IMPORT_DELETE_AFTER) {
  ImportQueueEntry e = {};
  std::strcpy(e.path, path);
  std::strcpy(e.service, service);
  std::strcpy(e.kind, kind);
  e.flags = flags;
  return e;
}

std::string Bytes(const ImportQueueEntry& e) { return std::string(reinterpret_cast<const char*>(&e), sizeof e); }
std::string Terminator() { return std::string(338, '\0'); }

FILE* StreamOf(const std::string& bytes) {
  FILE* f = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  return f;
}

std::string Contents(FILE* f) {
  std::fseek(f, 0, SEEK_END);
  long size = std::ftell(f);
  std::rewind(f);
  std::string out(static_cast<size_t>(size), '\0');
  EXPECT_EQ(std::fread(out.data(), 1, out.size(), f), out.size());
  return out;
}

std::vector<std::string> Paths(VirtualArray& queue) {
  std::vector<std::string> out;
  for (int i = 0; i < queue.Count(); ++i) out.push_back(static_cast<ImportQueueEntry*>(queue.At(i))->path);
  return out;
}

}  // namespace

TEST(ImportQueueFile, RecordLayoutIsTheFilesOwn) {
  EXPECT_EQ(offsetof(ImportQueueEntry, service), 260u);
  EXPECT_EQ(offsetof(ImportQueueEntry, kind), 270u);
  EXPECT_EQ(offsetof(ImportQueueEntry, flags), 334u);
  ImportQueueEntry e = Entry("x", "net", "messages", 0x00200C00);
  std::string b = Bytes(e);
  EXPECT_EQ(b.substr(334), std::string("\x00\x0C\x20\x00", 4));  // little-endian, unaligned
}

TEST(ImportQueueFile, WritesHeaderEntriesAndTerminatorAndReadsThemBack) {
  VirtualArray queue("q", sizeof(ImportQueueEntry));
  ImportQueueEntry a = Entry("\\data\\msw1.tmp"), b = Entry("~build", "local", "build", 0xC00);
  queue.Append(&a);
  queue.Append(&b);
  FILE* f = std::tmpfile();
  ASSERT_TRUE(WriteImportQueue(f, queue));
  EXPECT_EQ(Contents(f), kHeader101 + Bytes(a) + Bytes(b) + Terminator());

  VirtualArray back("back", sizeof(ImportQueueEntry));
  ASSERT_EQ(ReadImportQueue(f, back), IMPORTQ_OK);
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(Bytes(*static_cast<ImportQueueEntry*>(back.At(1))), Bytes(b));
  std::fclose(f);
}

TEST(ImportQueueFile, ShorterQueueWrittenInPlaceKeepsTheFileLengthAndEndsAtTheTerminator) {
  VirtualArray queue("q", sizeof(ImportQueueEntry));
  for (const char* p : {"\\a.tmp", "\\b.tmp", "\\c.tmp"}) {
    ImportQueueEntry e = Entry(p);
    queue.Append(&e);
  }
  FILE* f = std::tmpfile();
  ASSERT_TRUE(WriteImportQueue(f, queue));
  long full = (std::fseek(f, 0, SEEK_END), std::ftell(f));
  queue.RemoveAt(0);
  queue.RemoveAt(0);
  ASSERT_TRUE(WriteImportQueue(f, queue));
  EXPECT_EQ((std::fseek(f, 0, SEEK_END), std::ftell(f)), full);
  VirtualArray back("back", sizeof(ImportQueueEntry));
  ASSERT_EQ(ReadImportQueue(f, back), IMPORTQ_OK);
  EXPECT_EQ(Paths(back), std::vector<std::string>{"\\c.tmp"});
  std::fclose(f);
}

TEST(ImportQueueFile, ReadsEveryAcceptedFormAndRejectsTheDamagedOnes) {
  std::string one = Bytes(Entry("\\a.tmp"));
  std::string badField = one;
  std::memset(badField.data() + 260, 'x', 10);  // service without its NUL
  struct Case {
    const char* what;
    std::string bytes;
    ImportQueueReadResult result;
    std::vector<std::string> paths;
  } cases[] = {
      {"current", kHeader101 + one + Terminator(), IMPORTQ_OK, {"\\a.tmp"}},
      {"older version, same record", kHeader100 + one + Terminator(), IMPORTQ_OK, {"\\a.tmp"}},
      {"only the terminator's first byte counts",
       kHeader101 + one + std::string(1, '\0') + std::string(337, 'z'),
       IMPORTQ_OK,
       {"\\a.tmp"}},
      {"end of file on a record boundary", kHeader101 + one, IMPORTQ_OK, {"\\a.tmp"}},
      {"short terminator", kHeader101 + one + std::string(5, '\0'), IMPORTQ_OK, {"\\a.tmp"}},
      {"header only", kHeader101, IMPORTQ_OK, {}},
      {"empty file", "", IMPORTQ_BAD_HEADER, {}},
      {"short header", kHeader101.substr(0, 19), IMPORTQ_BAD_HEADER, {}},
      {"other version", "ZAVIDORU 1.02" + kHeader101.substr(13) + one, IMPORTQ_BAD_HEADER, {}},
      {"cut inside a record", kHeader101 + one + one.substr(0, 100), IMPORTQ_TRUNCATED, {}},
      {"field without its end", kHeader101 + one + badField + Terminator(), IMPORTQ_BAD_ENTRY, {}},
  };
  for (auto& c : cases) {
    FILE* f = StreamOf(c.bytes);
    VirtualArray queue("q", sizeof(ImportQueueEntry));
    ImportQueueEntry stale = Entry("\\stale");
    queue.Append(&stale);
    EXPECT_EQ(ReadImportQueue(f, queue), c.result) << c.what;
    EXPECT_EQ(Paths(queue), c.paths) << c.what;
    std::fclose(f);
  }
}
