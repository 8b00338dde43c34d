#include "core/virtual_array.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_errors;
bool g_failWrites = false;
bool g_failReads = false;
int g_writesBeforeFailure = -1;  // >= 0: that many writes succeed, then one fails
uint64_t g_memory = 0;           // 0: the build's own answer

VirtualArrayHooks g_saved;

void CaptureError(const char* text) { g_errors.push_back(text); }
void* NoSwapFile() { return nullptr; }
bool FlakyWrite(void* f, int32_t pos, const void* d, size_t n) {
  if (g_writesBeforeFailure == 0) {
    g_writesBeforeFailure = -1;
    return false;
  }
  if (g_writesBeforeFailure > 0) --g_writesBeforeFailure;
  return !g_failWrites && g_saved.writeSwap(f, pos, d, n);
}
bool FlakyRead(void* f, int32_t pos, void* d, size_t n) { return !g_failReads && g_saved.readSwap(f, pos, d, n); }
uint64_t Memory() { return g_memory ? g_memory : g_saved.physicalMemory(); }

class VirtualArrayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_saved = g_virtualArrayHooks;
    g_errors.clear();
    g_failWrites = g_failReads = false;
    g_writesBeforeFailure = -1;
    g_memory = 0;
    g_virtualArrayHooks.showError = CaptureError;
    g_virtualArrayHooks.writeSwap = FlakyWrite;
    g_virtualArrayHooks.readSwap = FlakyRead;
    g_virtualArrayHooks.physicalMemory = Memory;
  }
  void TearDown() override { g_virtualArrayHooks = g_saved; }
  // Holds every array of more than 3 chunks to a pool of 3 buffers.
  static void PoolOfThree() { g_memory = 1; }
};

int CompareU32(const void* a, const void* b) {
  uint32_t x, y;
  memcpy(&x, a, 4);
  memcpy(&y, b, 4);
  return x < y ? -1 : x > y ? 1 : 0;
}

// Records of any size keyed by their first 4 bytes; the rest is filler that
// must travel with the key.
std::vector<unsigned char> MakeRecord(int size, uint32_t key) {
  std::vector<unsigned char> r(size);
  for (int i = 0; i < size; ++i) r[i] = static_cast<unsigned char>(key * 7 + i);
  memcpy(r.data(), &key, std::min(size, 4));
  return r;
}
uint32_t KeyOf(const void* e) {
  uint32_t k;
  memcpy(&k, e, 4);
  return k;
}

uint32_t U32(VirtualArray& a, int i) {
  const void* e = a.At(i);
  EXPECT_NE(e, nullptr) << i;
  return e ? KeyOf(e) : 0xDEADBEEF;
}

std::vector<uint32_t> Contents(VirtualArray& a) {
  std::vector<uint32_t> v;
  for (int i = 0; i < a.Count(); ++i) v.push_back(U32(a, i));
  return v;
}

void FillU32(VirtualArray& a, const std::vector<uint32_t>& values) {
  for (uint32_t v : values) ASSERT_TRUE(a.Append(&v));
}

TEST_F(VirtualArrayTest, ChunkGeometryFollowsElementSize) {
  struct Case {
    int elementSize, perChunk, chunkBytes;
  } cases[] = {{1, 65280, 65280}, {4, 16320, 65280}, {12, 5440, 65280}, {160, 408, 65280}, {4097, 15, 61455}};
  for (const Case& c : cases) {
    VirtualArray a("geometry", c.elementSize);
    EXPECT_EQ(a.PerChunk(), c.perChunk) << c.elementSize;
    EXPECT_EQ(a.ChunkBytes(), c.chunkBytes) << c.elementSize;
    EXPECT_TRUE(a.SetSize(c.perChunk + 1));
    EXPECT_EQ(a.ChunkCount(), 2);
  }
}

TEST_F(VirtualArrayTest, SizingKeepsContentsAndPoolsSmallArraysWhole) {
  VirtualArray a("sizes", 4);
  std::vector<uint32_t> values(3 * 16320);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint32_t>(i * 3 + 1);
  FillU32(a, values);
  EXPECT_EQ(a.ChunkCount(), 3);
  EXPECT_EQ(a.BufferCount(), 3);
  EXPECT_FALSE(a.HasTempFile());

  // Same chunk count: only count changes; shrinking keeps what remains.
  EXPECT_TRUE(a.SetSize(3 * 16320 - 5));
  EXPECT_EQ(a.ChunkCount(), 3);
  EXPECT_TRUE(a.SetSize(16321));
  EXPECT_EQ(a.ChunkCount(), 2);
  EXPECT_EQ(a.BufferCount(), 2);
  EXPECT_EQ(U32(a, 16320), values[16320]);
  EXPECT_EQ(U32(a, 0), values[0]);
  EXPECT_EQ(a.At(16321), nullptr);
  ASSERT_EQ(g_errors.size(), 1u);
  EXPECT_EQ(g_errors[0], "Array access out of range-16321: Virtual array sizes - virtar32");

  // Discard zeroes everything.
  EXPECT_TRUE(a.SetSize(40000, true));
  EXPECT_EQ(U32(a, 0), 0u);
  EXPECT_EQ(U32(a, 39999), 0u);
  EXPECT_TRUE(a.SetSize(0));
  EXPECT_EQ(a.ChunkCount(), 0);
  EXPECT_EQ(a.BufferCount(), 0);
}

TEST_F(VirtualArrayTest, PoolOfThreeSwapsChunksAndBringsThemBackIntact) {
  PoolOfThree();
  for (int elementSize : {4, 160, 4097}) {
    VirtualArray a("swap", elementSize);
    const int n = a.PerChunk() * 9 + 2;  // 10 chunks
    ASSERT_TRUE(a.SetSize(n));
    EXPECT_EQ(a.BufferCount(), 3);
    EXPECT_TRUE(a.HasTempFile());
    // A chunk never written reads as zero bytes, even after others swapped.
    for (int i = n - 1; i >= 0; i -= a.PerChunk() / 2 + 1) {
      auto r = MakeRecord(elementSize, i);
      memcpy(a.At(i), r.data(), elementSize);
    }
    const unsigned char* untouched = static_cast<const unsigned char*>(a.At(1));
    ASSERT_NE(untouched, nullptr);
    EXPECT_TRUE(std::all_of(untouched, untouched + elementSize, [](unsigned char c) { return c == 0; }));
    for (int i = n - 1; i >= 0; i -= a.PerChunk() / 2 + 1) {
      auto r = MakeRecord(elementSize, i);
      ASSERT_EQ(memcmp(a.At(i), r.data(), elementSize), 0) << elementSize << " " << i;
    }
    EXPECT_EQ(a.BufferCount(), 3);
    EXPECT_TRUE(g_errors.empty());
  }
}

TEST_F(VirtualArrayTest, SearchesSortedAndUnsortedArrays) {
  VirtualArray a("search", 4, CompareU32);
  std::vector<uint32_t> values;
  for (uint32_t i = 0; i < 40000; ++i) values.push_back(i * 2 + 10);  // even keys from 10
  FillU32(a, values);
  ASSERT_TRUE(a.Sorted());
  struct Case {
    uint32_t key;
    int expected;
  } cases[] = {{10, 0},
               {11, 1},
               {9, 0},
               {0, 0},
               {10 + 2 * 16319, 16319},
               {10 + 2 * 16320, 16320},
               {11 + 2 * 16319, 16320},
               {10 + 2 * 39999, 39999},
               {11 + 2 * 39999, 40000},
               {0xFFFFFFFF, 40000}};
  for (const Case& c : cases) {
    EXPECT_EQ(a.BinarySearch(&c.key), c.expected) << c.key;
    EXPECT_EQ(a.Find(&c.key), c.key % 2 == 0 && c.expected < 40000 && values[c.expected] == c.key ? c.expected : -1)
        << c.key;
  }
  // Unsorted: the first equal element in index order, else count.
  uint32_t big = 5;
  ASSERT_TRUE(a.Append(&big));
  EXPECT_FALSE(a.Sorted());
  uint32_t key = 5;
  EXPECT_EQ(a.BinarySearch(&key), 40000);
  key = 12;
  EXPECT_EQ(a.BinarySearch(&key), 1);
  key = 13;
  EXPECT_EQ(a.BinarySearch(&key), 40001);
  EXPECT_EQ(a.Find(&key), -1);
}

TEST_F(VirtualArrayTest, InsertSortedMatchesAnOrderedSetAcrossSwappedChunks) {
  PoolOfThree();
  VirtualArray a("insert sorted", 160, CompareU32);
  std::set<uint32_t> model;
  std::mt19937 rng(7);
  for (int i = 0; i < 5000; ++i) {
    uint32_t v = rng() % 8000;
    auto record = MakeRecord(160, v);
    bool fresh = model.insert(v).second;
    int before = a.Count();
    int at = a.InsertSorted(record.data());
    ASSERT_GE(at, 0);
    ASSERT_EQ(at, static_cast<int>(std::distance(model.begin(), model.find(v))));
    ASSERT_EQ(a.Count(), before + (fresh ? 1 : 0));
  }
  EXPECT_TRUE(a.Sorted());
  EXPECT_GT(a.ChunkCount(), 3);
  EXPECT_EQ(a.BufferCount(), 3);
  int i = 0;
  for (uint32_t v : model) {
    auto record = MakeRecord(160, v);
    ASSERT_EQ(memcmp(a.At(i++), record.data(), 160), 0) << v;
  }
  EXPECT_TRUE(g_errors.empty());
}

TEST_F(VirtualArrayTest, InsertAndRemoveShiftAcrossChunkBoundaries) {
  for (bool swap : {false, true}) {
    g_memory = swap ? 1 : 0;
    VirtualArray a("shift", 160);
    std::vector<uint32_t> model;
    for (uint32_t i = 0; i < 408 * 5; ++i) {  // five full chunks
      auto r = MakeRecord(160, i);
      ASSERT_TRUE(a.Append(r.data()));
      model.push_back(i);
    }
    // At the first slot of a full chunk: each later chunk's last element
    // moves into the next chunk.
    auto r = MakeRecord(160, 100000);
    ASSERT_TRUE(a.InsertAt(408, r.data()));
    model.insert(model.begin() + 408, 100000);
    EXPECT_EQ(a.ChunkCount(), 6);
    const uint32_t kZero = 0xFFFFFFFF;            // stands for the zero-filled element
    ASSERT_TRUE(a.InsertAt(a.Count(), nullptr));  // appends a zero element
    model.push_back(kZero);
    std::mt19937 rng(3);
    for (int step = 0; step < 400; ++step) {
      if (rng() % 2) {
        int at = rng() % (model.size() + 1);
        uint32_t key = 200000 + step;
        auto rec = MakeRecord(160, key);
        ASSERT_TRUE(a.InsertAt(at, rec.data()));
        model.insert(model.begin() + at, key);
      } else {
        int at = rng() % model.size();
        ASSERT_TRUE(a.RemoveAt(at));
        model.erase(model.begin() + at);
      }
    }
    ASSERT_EQ(a.Count(), static_cast<int>(model.size()));
    for (size_t i = 0; i < model.size(); ++i) {
      const void* e = a.At(static_cast<int>(i));
      ASSERT_NE(e, nullptr);
      auto expected = MakeRecord(160, model[i]);
      if (model[i] == kZero) expected.assign(160, 0);
      ASSERT_EQ(memcmp(e, expected.data(), 160), 0) << "swap " << swap << " at " << i;
    }
    EXPECT_FALSE(a.RemoveAt(a.Count()));
    EXPECT_EQ(g_errors.size(), 1u);
    g_errors.clear();
  }
}

TEST_F(VirtualArrayTest, SmartPointersFollowTheirElement) {
  PoolOfThree();
  VirtualArray a("pointers", 4);
  std::vector<uint32_t> values(16320 * 6);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint32_t>(i);
  FillU32(a, values);

  // One pointer at a chunk's last slot, one at the next chunk's first, one
  // in the middle of a later chunk.
  SmartPointer last, first, middle, spare;
  last.Get(a, 16319);
  first.Get(a, 16320);
  middle.Get(a, 16320 * 4 + 7);
  EXPECT_EQ(KeyOf(VirtArrTouch(last)), 16319u);

  uint32_t v = 999999;
  ASSERT_TRUE(a.InsertAt(5, &v));  // every pointer moves up one
  EXPECT_EQ(last.Index(a), 16320);
  EXPECT_EQ(first.Index(a), 16321);
  EXPECT_EQ(middle.Index(a), 16320 * 4 + 8);
  EXPECT_EQ(KeyOf(last.element), 16319u);
  EXPECT_EQ(KeyOf(first.element), 16320u);
  EXPECT_EQ(KeyOf(middle.element), 16320u * 4 + 7);

  // Walking every chunk with three pinned buffers grows the pool instead of
  // pulling the elements from under the pointers.
  for (int i = 0; i < a.Count(); i += 16320) ASSERT_NE(a.At(i), nullptr);
  EXPECT_TRUE(last.Bound() && first.Bound() && middle.Bound());
  EXPECT_GT(a.BufferCount(), 3);
  EXPECT_EQ(KeyOf(middle.element), 16320u * 4 + 7);

  ASSERT_TRUE(a.RemoveAt(0));  // back down across the boundary
  EXPECT_EQ(last.Index(a), 16319);
  EXPECT_EQ(first.Index(a), 16320);
  ASSERT_TRUE(a.RemoveAt(16319));  // removes the element `last` is on
  EXPECT_FALSE(last.Bound());
  EXPECT_EQ(last.element, nullptr);
  EXPECT_EQ(last.Index(a), -1);
  EXPECT_EQ(first.Index(a), 16319);
  EXPECT_EQ(KeyOf(first.element), 16320u);

  spare.Assign(middle);
  EXPECT_EQ(spare.Index(a), middle.Index(a));
  *static_cast<uint32_t*>(VirtArrTouch(spare)) = 42;
  EXPECT_EQ(U32(a, middle.Index(a)), 42u);
  EXPECT_TRUE(spare.Seek(a, 3));
  EXPECT_EQ(spare.Index(a), 3);
  EXPECT_FALSE(spare.Seek(a, a.Count()));
  EXPECT_FALSE(spare.Bound());
  ASSERT_EQ(g_errors.size(), 1u);
  EXPECT_NE(g_errors[0].find(": Virtual array pointers - SmartPointer, Array access out of range"), std::string::npos);
  EXPECT_EQ(g_errors[0].rfind("Virtar32-", 0), 0u);

  uint32_t plain = 5;
  spare.Attach(&plain);
  EXPECT_EQ(spare.Index(a), -1);
  a.Sort(CompareU32);  // sorting unbinds every pointer
  EXPECT_FALSE(first.Bound());
  EXPECT_FALSE(middle.Bound());
}

TEST_F(VirtualArrayTest, SortMatchesStdSortForEveryPoolAndSize) {
  struct Case {
    int elementSize, count;
    bool poolOfThree;
  } cases[] = {{4, 100000, false},
               {4, 100000, true},
               {12, 30000, true},
               {160, 3000, true},
               {160, 3000, false},
               {4097, 100, true},
               {12, 5000, false},
               // Merged across resident chunks: counts that end on, just
               // before and just after a chunk's end.
               {8, 2 * 8160, false},
               {16, 3 * 4080 + 1, false},
               {20, 3264 - 1, false},
               {24, 2 * 2720, false},
               {32, 5 * 2040 + 7, false},
               {12, 5440 + 1, false},
               {12, 2, false}};
  for (const Case& c : cases) {
    g_memory = c.poolOfThree ? 1 : 0;
    VirtualArray a("sort", c.elementSize);
    std::mt19937 rng(c.count);
    std::vector<uint32_t> keys;
    for (int i = 0; i < c.count; ++i) {
      uint32_t k = rng() % (c.count / 2);  // plenty of equal keys
      keys.push_back(k);
      auto r = MakeRecord(c.elementSize, k);
      ASSERT_TRUE(a.Append(r.data()));
    }
    a.Sort(CompareU32);
    std::sort(keys.begin(), keys.end());
    EXPECT_TRUE(a.Sorted());
    ASSERT_EQ(a.Count(), c.count);
    for (int i = 0; i < c.count; ++i) {
      auto r = MakeRecord(c.elementSize, keys[i]);
      ASSERT_EQ(memcmp(a.At(i), r.data(), c.elementSize), 0) << c.elementSize << " at " << i;
    }
    if (c.poolOfThree && a.ChunkCount() > 3) {
      EXPECT_EQ(a.BufferCount(), 3);
    }
    EXPECT_TRUE(g_errors.empty());
  }

  // Chunks that each hold one repeated value.
  VirtualArray same("same", 4);
  for (uint32_t chunk : {3u, 1u, 2u})
    for (int i = 0; i < 16320; ++i) ASSERT_TRUE(same.Append(&chunk));
  same.Sort(CompareU32);
  EXPECT_TRUE(same.Sorted());
  EXPECT_EQ(U32(same, 0), 1u);
  EXPECT_EQ(U32(same, 16320), 2u);
  EXPECT_EQ(U32(same, 3 * 16320 - 1), 3u);
}

// Records keyed by their first 4 bytes and numbered in the next 4 by their
// place before the sort; the rest is filler that follows the number.
std::vector<unsigned char> NumberedRecord(int size, uint32_t key, uint32_t number) {
  std::vector<unsigned char> r(size);
  for (int i = 8; i < size; ++i) r[i] = static_cast<unsigned char>(number * 13 + i);
  memcpy(r.data(), &key, 4);
  memcpy(r.data() + 4, &number, 4);
  return r;
}

// Equal keys keep the order they had: a second sort by another key keeps the
// first one among equals. Checked against std::stable_sort over counts around
// chunk ends, on orders that take the merge's short cuts and one that does not,
// with every chunk in memory and with chunks swapping through a pool of three.
TEST_F(VirtualArrayTest, SortIsStableAndMatchesStableSortAroundChunkEnds) {
  enum Order { kAscending, kDescending, kAllEqual, kRandom, kSawtooth };
  for (int elementSize : {12, 10, 4097}) {
    const int perChunk = VirtualArray("geometry", elementSize).PerChunk();
    for (int count : {0, 1, 2, perChunk - 1, perChunk, perChunk + 1, 9 * perChunk + perChunk / 3}) {
      for (Order order : {kAscending, kDescending, kAllEqual, kRandom, kSawtooth}) {
        for (bool poolOfThree : {false, true}) {
          SCOPED_TRACE(::testing::Message() << "size " << elementSize << " count " << count << " order " << order
                                            << (poolOfThree ? " pool of three" : " all in memory"));
          g_memory = poolOfThree ? 1 : 0;
          std::mt19937 rng(count * 7 + order);
          VirtualArray a("stable", elementSize);
          std::vector<std::vector<unsigned char>> expected;
          for (int i = 0; i < count; ++i) {
            uint32_t key = 0;
            switch (order) {
              case kAscending: key = i / 3; break;
              case kDescending: key = (count - i) / 3; break;
              case kAllEqual: key = 7; break;
              case kRandom: key = rng() % (count / 4 + 1); break;
              case kSawtooth: key = i % 1000 / 2; break;  // sorted runs that span chunk ends
            }
            expected.push_back(NumberedRecord(elementSize, key, i));
            ASSERT_TRUE(a.Append(expected.back().data()));
          }
          a.Sort(CompareU32);
          std::stable_sort(expected.begin(), expected.end(),
                           [](const auto& x, const auto& y) { return KeyOf(x.data()) < KeyOf(y.data()); });
          EXPECT_TRUE(a.Sorted());
          ASSERT_EQ(a.Count(), count);
          for (int i = 0; i < count; ++i) {
            const void* e = a.At(i);
            ASSERT_NE(e, nullptr);
            ASSERT_EQ(memcmp(e, expected[i].data(), elementSize), 0) << "at " << i;
          }
          if (poolOfThree && a.ChunkCount() > 3) {
            EXPECT_EQ(a.BufferCount(), 3);
          }
          EXPECT_TRUE(g_errors.empty());
        }
      }
    }
  }
}

TEST_F(VirtualArrayTest, CheckOrderAtClearsSortedWhenAnElementMovesOutOfPlace) {
  VirtualArray a("order", 4, CompareU32);
  FillU32(a, {1, 3, 5, 7});
  EXPECT_EQ(a.CheckOrderAt(2), 1);
  *static_cast<uint32_t*>(a.At(2)) = 2;
  EXPECT_EQ(a.CheckOrderAt(2), 0);
  EXPECT_FALSE(a.Sorted());
  a.Sort();
  EXPECT_EQ(Contents(a), (std::vector<uint32_t>{1, 2, 3, 7}));
  *static_cast<uint32_t*>(a.At(0)) = 4;  // now above its right neighbour
  EXPECT_EQ(a.CheckOrderAt(0), 0);
  VirtualArray plain("plain", 4);
  FillU32(plain, {1});
  EXPECT_EQ(plain.CheckOrderAt(0), 0);
}

// ---- stored form ------------------------------------------------------------

struct TempStream {
  FILE* f = tmpfile();
  ~TempStream() {
    if (f) fclose(f);
  }
  void Write(const std::vector<unsigned char>& bytes) {
    if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
    rewind(f);
  }
  std::vector<unsigned char> All() {
    fflush(f);
    rewind(f);
    std::vector<unsigned char> out;
    int c;
    while ((c = fgetc(f)) != EOF) out.push_back(static_cast<unsigned char>(c));
    return out;
  }
};

TEST_F(VirtualArrayTest, SaveAndLoadRoundTripTheStoredForm) {
  PoolOfThree();
  VirtualArray a("stored", 4, CompareU32);
  std::vector<uint32_t> values(16320 * 5 + 11);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint32_t>(i * 5);
  FillU32(a, values);
  TempStream s;
  ASSERT_TRUE(a.Save(s.f));
  auto bytes = s.All();
  ASSERT_EQ(bytes.size(), 6 + values.size() * 4);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0xFF);
  uint32_t n;
  memcpy(&n, &bytes[2], 4);
  EXPECT_EQ(n, values.size());

  VirtualArray b("loaded", 4, CompareU32);
  rewind(s.f);
  ASSERT_TRUE(b.Load(s.f));
  EXPECT_TRUE(b.Sorted());
  EXPECT_EQ(Contents(b), values);

  // The short form: a u16 count of 40000, no u32.
  std::vector<unsigned char> shortForm = {0x40, 0x9C};
  for (uint32_t i = 0; i < 40000; ++i)
    for (int k = 0; k < 4; ++k) shortForm.push_back(static_cast<unsigned char>((i * 2) >> (8 * k)));
  TempStream t;
  t.Write(shortForm);
  VirtualArray c("short", 4, CompareU32);
  ASSERT_TRUE(c.Load(t.f));
  ASSERT_EQ(c.Count(), 40000);
  EXPECT_EQ(U32(c, 39999), 79998u);
  EXPECT_TRUE(c.Sorted());
  EXPECT_TRUE(g_errors.empty());
}

TEST_F(VirtualArrayTest, ReadElementsClearsSortedOnAnEqualPairAtAChunkBoundary) {
  std::vector<unsigned char> bytes;
  for (uint32_t i = 0; i < 16321; ++i) {
    uint32_t v = i == 16320 ? 16319 : i;  // first of chunk 1 equals last of chunk 0
    for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<unsigned char>(v >> (8 * k)));
  }
  TempStream t;
  t.Write(bytes);
  VirtualArray a("boundary", 4, CompareU32);
  ASSERT_TRUE(a.ReadElements(t.f, 16321));
  EXPECT_FALSE(a.Sorted());
}

TEST_F(VirtualArrayTest, CorruptOrTruncatedStreamsLeaveTheArrayEmptyAndUsable) {
  auto wide = [](uint32_t count, size_t elementBytes) {
    std::vector<unsigned char> b = {0xFF, 0xFF};
    for (int k = 0; k < 4; ++k) b.push_back(static_cast<unsigned char>(count >> (8 * k)));
    b.resize(b.size() + elementBytes, 0x5A);
    return b;
  };
  struct Case {
    const char* what;
    std::vector<unsigned char> bytes;
    bool reported;
  } cases[] = {
      {"empty", {}, false},
      {"half a marker", {0xFF}, false},
      {"marker without count", {0xFF, 0xFF, 1, 0}, false},
      {"count beyond the data", wide(100000, 4 * 99999), true},
      {"huge count", wide(0xFFFFFFF0u, 40), true},
      {"short form beyond the data", {0x10, 0x00, 1, 2, 3}, true},
  };
  for (const Case& c : cases) {
    g_errors.clear();
    VirtualArray a("corrupt", 4, CompareU32);
    FillU32(a, {1, 2, 3});
    TempStream t;
    t.Write(c.bytes);
    EXPECT_EQ(a.Load(t.f), 0) << c.what;
    EXPECT_EQ(a.Count(), 0) << c.what;
    EXPECT_EQ(g_errors.empty(), !c.reported) << c.what;
    if (c.reported) {
      EXPECT_NE(g_errors[0].find("Virtual array corrupt - File read error"), std::string::npos);
    }
    uint32_t v = 9;
    EXPECT_EQ(a.InsertSorted(&v), 0) << c.what;
    EXPECT_EQ(Contents(a), std::vector<uint32_t>{9}) << c.what;
  }
}

// ---- swap failures ------------------------------------------------------------

TEST_F(VirtualArrayTest, FailedSwapWritesAndReadsLoseNoElement) {
  PoolOfThree();
  VirtualArray a("flaky", 4);
  std::vector<uint32_t> values(16320 * 5);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint32_t>(i ^ 0x5555);
  FillU32(a, values);
  const int chunks = a.ChunkCount();

  // Five chunks in three buffers: bringing each in needs an eviction, which
  // cannot be written; the chunk it would have replaced stays in memory.
  g_failWrites = true;
  int refused = 0;
  for (int k = 0; k < chunks; ++k) refused += a.At(k * 16320) == nullptr;
  g_failWrites = false;
  EXPECT_GE(refused, 2);
  ASSERT_FALSE(g_errors.empty());
  EXPECT_NE(g_errors.back().find("Virtual array flaky - Writing temporary file"), std::string::npos);

  g_failReads = true;
  g_errors.clear();
  refused = 0;
  for (int k = 0; k < chunks; ++k) refused += a.At(k * 16320) == nullptr;
  g_failReads = false;
  EXPECT_GE(refused, 2);
  ASSERT_FALSE(g_errors.empty());
  EXPECT_NE(g_errors[0].find("Virtual array flaky - Reading temporary file"), std::string::npos);

  g_errors.clear();
  EXPECT_EQ(Contents(a), values);
  EXPECT_TRUE(g_errors.empty());

  // A sort whose merge cannot read keeps every element.
  g_failReads = true;
  a.Sort(CompareU32);
  g_failReads = false;
  EXPECT_FALSE(a.Sorted());
  auto after = Contents(a);
  std::sort(after.begin(), after.end());
  auto expected = values;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(after, expected);
}

TEST_F(VirtualArrayTest, GrowthThatNeedsAnUncreatableSwapFileFailsAndKeepsTheArray) {
  PoolOfThree();
  g_virtualArrayHooks.createSwap = NoSwapFile;
  VirtualArray a("no file", 4);
  std::vector<uint32_t> values(16320 * 3);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint32_t>(i + 11);
  FillU32(a, values);  // three chunks fit the pool without a file
  EXPECT_TRUE(g_errors.empty());
  uint32_t more = 1;
  EXPECT_FALSE(a.Append(&more));
  ASSERT_EQ(g_errors.size(), 1u);
  EXPECT_NE(g_errors[0].find("Virtual array no file - Could not create temporary file"), std::string::npos);
  EXPECT_EQ(a.Count(), 16320 * 3);
  EXPECT_EQ(a.ChunkCount(), 3);
  EXPECT_EQ(Contents(a), values);
}

TEST_F(VirtualArrayTest, InsertThatFailsHalfwayShiftsEverythingBack) {
  PoolOfThree();
  VirtualArray a("halfway", 4);
  std::vector<uint32_t> values(16320 * 6);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint32_t>(i * 7);
  FillU32(a, values);
  // The shift walks down from the last chunk; let it get part of the way.
  for (int allowed : {0, 1, 3}) {
    g_errors.clear();
    g_writesBeforeFailure = allowed;
    uint32_t v = 1;
    EXPECT_EQ(a.InsertAt(5, &v), 0) << allowed;
    g_writesBeforeFailure = -1;
    ASSERT_FALSE(g_errors.empty()) << allowed;
    EXPECT_NE(g_errors[0].find("Writing temporary file"), std::string::npos);
    EXPECT_EQ(a.Count(), static_cast<int>(values.size())) << allowed;
    EXPECT_EQ(Contents(a), values) << allowed;
  }
}

TEST_F(VirtualArrayTest, RemoveThatFailsHalfwayPutsTheElementBack) {
  PoolOfThree();
  VirtualArray a("halfway remove", 4);
  std::vector<uint32_t> values(16320 * 6 + 9);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint32_t>(i * 3);
  FillU32(a, values);
  for (int allowed : {0, 2, 4}) {
    g_errors.clear();
    ASSERT_NE(a.At(7), nullptr);  // the walk starts from a resident chunk 0
    g_writesBeforeFailure = allowed;
    EXPECT_EQ(a.RemoveAt(7), 0) << allowed;
    g_writesBeforeFailure = -1;
    ASSERT_FALSE(g_errors.empty()) << allowed;
    EXPECT_EQ(Contents(a), values) << allowed;
  }
  g_errors.clear();
  ASSERT_TRUE(a.RemoveAt(7));
  values.erase(values.begin() + 7);
  EXPECT_EQ(Contents(a), values);
  EXPECT_TRUE(g_errors.empty());
}

TEST_F(VirtualArrayTest, PointersStayOnTheirElementThroughRandomEdits) {
  PoolOfThree();
  VirtualArray a("random edits", 4097);  // 15 per chunk: many boundaries
  std::vector<uint32_t> model;
  uint32_t nextKey = 1;
  for (int i = 0; i < 200; ++i) {
    auto r = MakeRecord(4097, nextKey);
    ASSERT_TRUE(a.Append(r.data()));
    model.push_back(nextKey++);
  }
  SmartPointer pointers[6];
  uint32_t held[6] = {};
  std::mt19937 rng(11);
  auto pick = [&](int p) {
    int at = rng() % model.size();
    pointers[p].Get(a, at);
    held[p] = model[at];
  };
  for (int p = 0; p < 6; ++p) pick(p);
  for (int step = 0; step < 1500; ++step) {
    int at = rng() % (model.size() + 1);
    if (rng() % 2 && at < static_cast<int>(model.size())) {
      ASSERT_TRUE(a.RemoveAt(at));
      for (int p = 0; p < 6; ++p)
        if (held[p] == model[at]) held[p] = 0;
      model.erase(model.begin() + at);
    } else {
      auto r = MakeRecord(4097, nextKey);
      ASSERT_TRUE(a.InsertAt(at, r.data()));
      model.insert(model.begin() + at, nextKey++);
    }
    for (int p = 0; p < 6; ++p) {
      if (!held[p]) {
        ASSERT_FALSE(pointers[p].Bound()) << step;
        pick(p);
        continue;
      }
      int where = static_cast<int>(std::find(model.begin(), model.end(), held[p]) - model.begin());
      ASSERT_EQ(pointers[p].Index(a), where) << "step " << step << " pointer " << p;
      auto expected = MakeRecord(4097, held[p]);
      ASSERT_EQ(memcmp(pointers[p].element, expected.data(), 4097), 0) << step;
    }
  }
  EXPECT_TRUE(g_errors.empty());
}

TEST_F(VirtualArrayTest, ArrayThatKeepsItsBlocksRefillsAsAFreshOne) {
  for (bool smallPool : {false, true}) {
    if (smallPool) PoolOfThree();
    VirtualArray a("kept", 4, CompareU32);
    a.KeepBlocksWhenEmptied(true);
    const int perChunk = a.PerChunk();
    std::vector<uint32_t> first(static_cast<size_t>(perChunk) * 6 + 5);
    for (size_t i = 0; i < first.size(); ++i) first[i] = 0xA5A5A5A5u - static_cast<uint32_t>(i);
    FillU32(a, first);
    ASSERT_TRUE(a.SetSize(0));
    EXPECT_TRUE(a.Sorted());
    // The old blocks serve again: grown elements still start cleared, and
    // a chunk filled by the caller has only its tail cleared.
    ASSERT_TRUE(a.SetSize(perChunk * 2 + 3));
    for (int i = 0; i < a.Count(); ++i) ASSERT_EQ(U32(a, i), 0u) << i;
    VirtualArrayBuffer* b = a.ChunkBufferToFill(1, 8);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a.ChunkBufferToFill(a.ChunkCount(), 8), nullptr);
    uint32_t two[2] = {7, 8};
    memcpy(b->data, two, sizeof two);
    EXPECT_EQ(U32(a, perChunk), 7u);
    EXPECT_EQ(U32(a, perChunk + 1), 8u);
    EXPECT_EQ(U32(a, perChunk + 2), 0u);
    // Emptied again, then refilled past the earlier size, through swaps when
    // the pool is small.
    ASSERT_TRUE(a.SetSize(0));
    std::vector<uint32_t> second(static_cast<size_t>(perChunk) * 8);
    for (size_t i = 0; i < second.size(); ++i) second[i] = static_cast<uint32_t>(i * 3);
    FillU32(a, second);
    EXPECT_EQ(Contents(a), second);
    // Without keeping, emptying gives everything back as before.
    a.KeepBlocksWhenEmptied(false);
    ASSERT_TRUE(a.SetSize(0));
    FillU32(a, {3, 1, 2});
    EXPECT_EQ(Contents(a), (std::vector<uint32_t>{3, 1, 2}));
  }
  EXPECT_TRUE(g_errors.empty());
}

}  // namespace
