#include "msgbase/user_folders.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/folder_names.h"

char g_userPassword[USERFILE_FIELD + 1] = "";

namespace {
constexpr int kPreparedSize = 101;  // up to 100 characters of a name

unsigned char Fold(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

int CompareNoCase(const unsigned char* a, const unsigned char* b) {
  for (;; ++a, ++b) {
    int d = Fold(*a) - Fold(*b);
    if (d || !*a) return d;
  }
}

bool StartsNoCase(const char* text, const char* prefix) {
  for (; *prefix; ++text, ++prefix)
    if (Fold(static_cast<unsigned char>(*text)) != Fold(static_cast<unsigned char>(*prefix))) return false;
  return true;
}

}  // namespace

// The steps of the folder order, done once per name: library folders of a
// forum after its sections, composite folders (a 0xFF byte) apart from plain
// ones, names without a service key first, two-digit section numbers 10 to
// 29 after the single digits, and no regard to case.
void MakeFolderSortKey(const char* name, FolderSortKey* key) {
  if (!name) name = "";
  unsigned char text[kPreparedSize];
  const size_t n = strnlen(name, kPreparedSize - 1);
  std::memcpy(text, name, n);
  text[n] = 0;
  unsigned char* const end = text + n;
  unsigned char* slash = static_cast<unsigned char*>(std::memchr(text, '/', n));
  // text[n] is zero, so slash[1] and slash[2] are in bounds when tested in order.
  if (slash && StartsNoCase(reinterpret_cast<char*>(text), "dvn:") && (slash[1] == 'L' || slash[1] == 'l') &&
      slash[2] >= '0' && slash[2] <= '9' && std::memchr(slash + 3, '_', static_cast<size_t>(end - (slash + 3))))
    slash[1] = 0xFF;
  if (slash && slash[1] && std::memchr(text, 0xFF, n)) slash[1] = static_cast<unsigned char>(slash[1] + 128);

  // Split at the first "/" or ":": a ":" ends the service key.
  const size_t headLength = slash ? static_cast<size_t>(slash - text) : n;
  unsigned char* colon = static_cast<unsigned char*>(std::memchr(text, ':', headLength));
  unsigned char* rest = colon ? colon + 1 : text;

  // The character two before the first "_" from the first "/" on (or the
  // start): "1" becomes ":" and "2" becomes ";". It never reaches before
  // the searched part.
  unsigned char* from = slash ? slash : rest;
  if (auto* underscore = static_cast<unsigned char*>(std::memchr(from, '_', static_cast<size_t>(end - from)));
      underscore && underscore - from >= 2) {
    unsigned char& c = underscore[-2];
    if (c == '1')
      c = ':';
    else if (c == '2')
      c = ';';
  }

  unsigned char* out = key->bytes;
  // The zero after the key makes a shorter key sort first, as it does by itself.
  if (colon) {
    *out++ = 1;
    for (unsigned char* p = text; p < colon; ++p) *out++ = Fold(*p);
    *out++ = 0;
  } else {
    *out++ = 0;
  }
  for (unsigned char* p = rest; p < end; ++p) *out++ = Fold(*p);
  key->length = static_cast<int>(out - key->bytes);
}

int CompareFolderSortKeys(const FolderSortKey& a, const FolderSortKey& b) {
  int n = a.length < b.length ? a.length : b.length;
  int d = std::memcmp(a.bytes, b.bytes, static_cast<size_t>(n));
  return d ? d : a.length - b.length;
}

int CompareFolderNames(const char* a, const char* b) {
  if (!a || !b) return 0;
  FolderSortKey left, right;
  MakeFolderSortKey(a, &left);
  MakeFolderSortKey(b, &right);
  return CompareFolderSortKeys(left, right);
}

void ConfRecSortKey(const ConfRec& rec, FolderSortKey* key) {
  char name[sizeof rec.name + 1];
  size_t n = strnlen(rec.name, sizeof rec.name);
  std::memcpy(name, rec.name, n);
  name[n] = 0;
  MakeFolderSortKey(name, key);
}

int CompareConfEntries(const void* a, const void* b) {
  if (!a || !b) return 0;
  FolderSortKey left, right;
  ConfRecSortKey(*static_cast<const ConfRec*>(a), &left);
  ConfRecSortKey(*static_cast<const ConfRec*>(b), &right);
  return CompareFolderSortKeys(left, right);
}

namespace {
// Length of the "service:conference" part, up to the first "/".
size_t ConferenceLength(const char* name) { return std::strcspn(name, "/"); }

bool SameConference(const char* a, const char* b) {
  size_t n = ConferenceLength(a);
  if (ConferenceLength(b) != n || !a[n]) return false;
  for (size_t i = 0; i < n; ++i)
    if (Fold(static_cast<unsigned char>(a[i])) != Fold(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// Searches forward from `position`, then backward, over neighbours of the same
// conference for a joined one. `at` gives the entry at an index or null.
template <typename At>
bool JoinedNeighbour(const char* name, int position, int count, At at) {
  for (int i = position < 0 ? 0 : position; i < count; ++i) {
    const ConfRec* rec = at(i);
    if (!rec || !SameConference(rec->name, name)) break;
    if (!(rec->flags & CONF_RESIGNED)) return true;
  }
  for (int i = (position > count ? count : position) - 1; i >= 0; --i) {
    const ConfRec* rec = at(i);
    if (!rec || !SameConference(rec->name, name)) break;
    if (!(rec->flags & CONF_RESIGNED)) return true;
  }
  return false;
}
}  // namespace

bool UserHasConferenceIn(VirtualArray& list, const char* name, int position) {
  if (!name || !std::strchr(name, '/')) return false;
  return JoinedNeighbour(name, position, list.Count(), [&](int i) { return static_cast<const ConfRec*>(list.At(i)); });
}

bool UserHasConference(const char* name, int position) { return UserHasConferenceIn(Conferences, name, position); }

// ---- The file form -----------------------------------------------------------

namespace {
constexpr char kVersion5[] = "Version5.00";
constexpr char kVersion2[] = "Version2.00";

void Unswap(const unsigned char* field, char* out) {
  std::memcpy(out, field, USERFILE_FIELD);
  out[USERFILE_FIELD] = 0;
  nibbleswap(out);
}

}  // namespace

UserFileResult ReadUserFileHead(FILE* stream, UserFileHead* head) {
  unsigned char bytes[3 * USERFILE_FIELD];
  if (std::fread(bytes, 1, sizeof bytes, stream) != sizeof bytes) return USERFILE_CORRUPT;
  char version[USERFILE_FIELD + 1];
  std::memcpy(version, bytes, USERFILE_FIELD);
  version[USERFILE_FIELD] = 0;
  Unswap(bytes + USERFILE_FIELD, head->name);
  Unswap(bytes + 2 * USERFILE_FIELD, head->password);
  if (!std::strcmp(version, kVersion5))
    head->version = USERFILE_VERSION_5;
  else if (!std::strcmp(version, kVersion2))
    head->version = USERFILE_VERSION_2;
  else {
    head->version = 0;
    return USERFILE_BAD_VERSION;
  }
  return USERFILE_OK;
}

UserFileResult ReadUserFolders(FILE* stream, VirtualArray& list, UserFileHead* head) {
  list.SetSize(0);
  UserFileResult result = ReadUserFileHead(stream, head);
  if (result != USERFILE_OK) return result;
  long left = BytesLeft(stream);
  ConfFileResult read;
  if (head->version == USERFILE_VERSION_5) {
    unsigned char wide[4];
    if (std::fread(wide, 1, 4, stream) != 4) return USERFILE_CORRUPT;
    uint32_t count = wide[0] | (wide[1] << 8) | (wide[2] << 16) | (static_cast<uint32_t>(wide[3]) << 24);
    read = ReadConfRecords(stream, list, count, left >= 0 ? left - 4 : -1);
  } else {
    unsigned char narrow[2];
    if (std::fread(narrow, 1, 2, stream) != 2) return USERFILE_CORRUPT;
    unsigned count = narrow[0] | (narrow[1] << 8);
    read = ReadOldConfRecords(stream, list, count, left >= 0 ? left - 2 : -1);
  }
  if (read == CONFFILE_NO_MEMORY) return USERFILE_NO_MEMORY;
  return read == CONFFILE_OK ? USERFILE_OK : USERFILE_CORRUPT;
}

bool WriteUserFolders(FILE* stream, VirtualArray& list, const char* name, const char* password) {
  unsigned char head[3 * USERFILE_FIELD + 4] = {};
  std::memcpy(head, kVersion5, sizeof kVersion5 - 1);
  char field[USERFILE_FIELD + 1] = {};
  std::strncpy(field, name ? name : "", USERFILE_FIELD);
  nibbleswap(field);
  std::memcpy(head + USERFILE_FIELD, field, USERFILE_FIELD);
  std::memset(field, 0, sizeof field);
  std::strncpy(field, password ? password : "", USERFILE_FIELD);
  nibbleswap(field);
  std::memcpy(head + 2 * USERFILE_FIELD, field, USERFILE_FIELD);
  uint32_t count = static_cast<uint32_t>(list.Count());
  for (int i = 0; i < 4; ++i) head[3 * USERFILE_FIELD + i] = static_cast<unsigned char>(count >> (8 * i));
  if (std::fwrite(head, 1, sizeof head, stream) != sizeof head) return false;
  for (int i = 0; i < list.Count(); ++i) {
    const void* rec = list.At(i);
    if (!rec || std::fwrite(rec, sizeof(ConfRec), 1, stream) != 1) return false;
  }
  return std::fflush(stream) == 0;
}

// ---- The merge ---------------------------------------------------------------

namespace {
// Copies the `index`-th "/"-separated part after the service key; empty when
// there is none.
void NamePart(const char* name, int index, char* out, size_t size) {
  const char* colon = std::strchr(name, ':');
  const char* p = colon ? colon + 1 : name;
  for (int i = 0; i < index && p; ++i) {
    p = std::strchr(p, '/');
    if (p) ++p;
  }
  out[0] = 0;
  if (!p) return;
  size_t n = std::strcspn(p, "/");
  if (n >= size) n = size - 1;
  std::memcpy(out, p, n);
  out[n] = 0;
}

bool EqualNoCase(const char* a, const char* b) {
  return !CompareNoCase(reinterpret_cast<const unsigned char*>(a), reinterpret_cast<const unsigned char*>(b));
}
}  // namespace

bool MailFolderBelongsTo(const char* name, const UserMergeContext& context) {
  const char* user = context.userName ? context.userName : "";
  char part[sizeof(ConfRec::name)];
  if (sameservice(name, "msmail") || sameservice(name, "ccmail")) {
    NamePart(name, 0, part, sizeof part);
    return EqualNoCase(part, user);
  }
  NamePart(name, 1, part, sizeof part);
  if (EqualNoCase(part, user)) return true;
  if (sameservice(name, "local")) return false;
  return !(context.hasUserFile && context.hasUserFile(part));
}

namespace {
struct KeyedFolder {
  FolderSortKey key;
  int index;  // of the record in its array
};

// Each name's key made once, in folder order; the records stay in the array.
bool TakeKeyed(VirtualArray& list, std::vector<KeyedFolder>& out) {
  out.resize(static_cast<size_t>(list.Count()));
  bool ordered = true;
  for (int i = 0; i < list.Count(); ++i) {
    const ConfRec* rec = static_cast<const ConfRec*>(list.At(i));
    if (!rec) return false;
    KeyedFolder& k = out[static_cast<size_t>(i)];
    k.index = i;
    ConfRecSortKey(*rec, &k.key);
    if (i > 0 && CompareFolderSortKeys(out[static_cast<size_t>(i) - 1].key, k.key) > 0) ordered = false;
  }
  if (!ordered)
    std::stable_sort(out.begin(), out.end(), [](const KeyedFolder& a, const KeyedFolder& b) {
      return CompareFolderSortKeys(a.key, b.key) < 0;
    });
  return true;
}

// A terminated copy of an array's record.
bool RecordAt(VirtualArray& list, int index, ConfRec* out) {
  const void* rec = list.At(index);
  if (!rec) return false;
  std::memcpy(out, rec, sizeof *out);
  out->name[sizeof out->name - 1] = 0;
  return true;
}

// One side of the merge read in folder order. Lists on disk are written in
// that order, so the usual walk goes straight through the array making each
// key as it arrives, and only notices when two neighbours are out of order;
// the other walk goes through keys made and sorted beforehand.
class FolderWalk {
 public:
  FolderWalk(VirtualArray& list, const std::vector<KeyedFolder>* sorted)
      : list_(list), sorted_(sorted), count_(sorted ? sorted->size() : static_cast<size_t>(list.Count())) {}
  // False when a record could not be read.
  bool Start() { return pos_ = 0, Load(); }
  bool Next() { return ++pos_, Load(); }
  bool AtEnd() const { return pos_ >= count_; }
  size_t Pos() const { return pos_; }
  size_t Count() const { return count_; }
  const FolderSortKey& Key() const { return sorted_ ? (*sorted_)[pos_].key : key_; }
  bool OutOfOrder() const { return outOfOrder_; }
  int IndexOf(size_t pos) const { return sorted_ ? (*sorted_)[pos].index : static_cast<int>(pos); }
  bool Record(size_t pos, ConfRec* out) { return RecordAt(list_, IndexOf(pos), out); }

 private:
  bool Load() {
    if (sorted_ || pos_ >= count_) return true;
    const ConfRec* rec = static_cast<const ConfRec*>(list_.At(static_cast<int>(pos_)));
    if (!rec) return false;
    FolderSortKey key;
    ConfRecSortKey(*rec, &key);
    if (pos_ > 0 && CompareFolderSortKeys(key_, key) > 0) outOfOrder_ = true;
    key_ = key;
    return true;
  }

  VirtualArray& list_;
  const std::vector<KeyedFolder>* sorted_;
  size_t count_;
  size_t pos_ = 0;
  FolderSortKey key_ = {};
  bool outOfOrder_ = false;
};

enum class MergeRun { kDone, kFailed, kOutOfOrder };
}  // namespace

bool SortConfList(VirtualArray& list) {
  // A list already in order (the usual case) is checked with one key per
  // name instead of being sorted again.
  FolderSortKey previous, current;
  bool ordered = true;
  for (int i = 0; i < list.Count() && ordered; ++i) {
    const ConfRec* rec = static_cast<const ConfRec*>(list.At(i));
    if (!rec) return false;
    ConfRecSortKey(*rec, &current);
    if (i > 0 && CompareFolderSortKeys(previous, current) > 0) ordered = false;
    previous = current;
  }
  if (!ordered) list.Sort(CompareConfEntries);
  return true;
}

namespace {
// The merge proper, writing the user's new list to `merged`. Stops early when
// a walk finds its list out of order, so the caller can sort and start again.
MergeRun MergeWalks(FolderWalk& theirs, FolderWalk& mine, const UserMergeContext& context, std::vector<ConfRec>& merged,
                    UserMergeResult& result) {
  const bool longOperation = g_messageBaseHooks.longOperation();
  if (!theirs.Start() || !mine.Start()) return MergeRun::kFailed;

  // The neighbours the join test sees: what is merged so far, then the
  // user's entries still to come.
  ConfRec ahead;
  auto hasJoinedNeighbour = [&](const char* name, bool* failed) {
    const size_t before = merged.size();
    const size_t count = before + (mine.Count() - mine.Pos());
    return JoinedNeighbour(name, static_cast<int>(before), static_cast<int>(count), [&](int i) -> const ConfRec* {
      size_t k = static_cast<size_t>(i);
      if (k < before) return &merged[k];
      if (mine.Record(mine.Pos() + (k - before), &ahead)) return &ahead;
      *failed = true;
      return nullptr;
    });
  };

  ConfRec u, c;
  while (!theirs.AtEnd() || !mine.AtEnd()) {
    if (theirs.OutOfOrder() || mine.OutOfOrder()) return MergeRun::kOutOfOrder;
    if (!mine.AtEnd() && !mine.Record(mine.Pos(), &u)) return MergeRun::kFailed;
    if (!mine.AtEnd() && !u.baseName[0]) {
      result.changed = true;
      if (!mine.Next()) return MergeRun::kFailed;
      continue;
    }
    int order = mine.AtEnd() ? -1 : theirs.AtEnd() ? 1 : CompareFolderSortKeys(theirs.Key(), mine.Key());
    if (order > 0) {  // the user's folder is gone from conf.ww
      result.changed = true;
      if (!mine.Next()) return MergeRun::kFailed;
      continue;
    }
    if (!theirs.Record(theirs.Pos(), &c) || !theirs.Next()) return MergeRun::kFailed;
    const bool matched = order == 0;
    if (!c.name[0] || !std::strchr(c.name, '/')) continue;  // never a folder of anyone's
    const bool mail = ismailfolder(c.name);
    const bool belongs = mail && MailFolderBelongsTo(c.name, context);
    if (mail && !belongs) {
      if (matched) {
        result.changed = true;
        if (!mine.Next()) return MergeRun::kFailed;
      }
      continue;
    }
    uint32_t flags = c.flags & ~CONF_USER_BITS;
    if (PassesFolderFilter(c))
      flags |= CONF_FILTERED;
    else
      flags &= ~CONF_FILTERED;

    if (matched) {
      if (!mine.Next()) return MergeRun::kFailed;
      if (u.first != c.first || u.last != c.last) u.flags &= ~CONF_VISITED;
      u.first = c.first;
      u.last = c.last;
      std::memcpy(u.baseName, c.baseName, sizeof u.baseName);
      u.baseName[sizeof u.baseName - 1] = 0;
      u.flags = flags | (u.flags & CONF_USER_BITS);
      merged.push_back(u);
      continue;
    }
    if (longOperation) continue;
    bool add = false;
    bool skip = false;
    bool failed = false;
    const bool needsMembership = (c.flags & CONF_NEEDS_MEMBERSHIP) || StartsNoCase(c.name, "mail/");
    if (!needsMembership) {
      add = true;
      skip = !((context.userFlags & 1) || (!context.noAutoJoinTopic && hasJoinedNeighbour(c.name, &failed)));
    } else {
      add = belongs || hasJoinedNeighbour(c.name, &failed);
    }
    if (failed) return MergeRun::kFailed;
    if (g_messageBaseHooks.isModeratedTopic(c.name)) {
      add = true;
      skip = false;
    }
    if (!add) continue;
    ConfRec entry = c;
    entry.flags = skip ? (flags | CONF_RESIGNED) : (flags & ~CONF_RESIGNED);
    // Wrapping arithmetic: hostile numbers give nonsense counts, not overflow.
    entry.readMark = static_cast<int32_t>(static_cast<uint32_t>(c.first) - 1u);
    entry.waiting = static_cast<int32_t>(static_cast<uint32_t>(c.last) - static_cast<uint32_t>(c.first));
    entry.userInfo = 0;
    entry.order = -1;
    merged.push_back(entry);
    result.added = true;
    if (!skip) result.changed = true;
  }
  return theirs.OutOfOrder() || mine.OutOfOrder() ? MergeRun::kOutOfOrder : MergeRun::kDone;
}

// The merged list is built aside (so that `out` may be the user's list) in a
// buffer kept from one merge to the next: a log-in merges again whenever
// conf.ww changes, and fresh megabytes cost a page fault per page each time.
std::vector<ConfRec>& MergeBuffer() {
  static std::vector<ConfRec> buffer;
  return buffer;
}
}  // namespace

UserMergeResult MergeUserFolders(VirtualArray& user, VirtualArray& conferenceFile, VirtualArray& out,
                                 const UserMergeContext& context) {
  std::vector<ConfRec>& merged = MergeBuffer();
  merged.clear();
  merged.reserve(static_cast<size_t>(user.Count()) + 16);
  UserMergeResult result = {false, false, true};
  FolderWalk theirs(conferenceFile, nullptr), mine(user, nullptr);
  MergeRun run = MergeWalks(theirs, mine, context, merged, result);
  if (run == MergeRun::kOutOfOrder) {
    std::vector<KeyedFolder> mineKeys, theirKeys;
    if (!TakeKeyed(user, mineKeys) || !TakeKeyed(conferenceFile, theirKeys)) return {false, false, false};
    merged.clear();
    result = {false, false, true};
    FolderWalk sortedTheirs(conferenceFile, &theirKeys), sortedMine(user, &mineKeys);
    run = MergeWalks(sortedTheirs, sortedMine, context, merged, result);
  }
  if (run != MergeRun::kDone) return {result.changed, result.added, false};

  out.SetSize(0);  // an empty array counts as sorted again; the result is in order
  if (!out.SetSize(static_cast<int>(merged.size()), true)) return {result.changed, result.added, false};
  // Chunk by chunk: the part of a chunk that is filled here is not cleared first.
  const size_t perChunk = static_cast<size_t>(out.PerChunk());
  for (size_t first = 0, chunk = 0; first < merged.size(); first += perChunk, ++chunk) {
    const size_t n = std::min(perChunk, merged.size() - first);
    VirtualArrayBuffer* buffer = out.ChunkBufferToFill(static_cast<int>(chunk), n * sizeof(ConfRec));
    if (!buffer) return {result.changed, result.added, false};
    std::memcpy(buffer->data, &merged[first], n * sizeof(ConfRec));
  }
  return result;
}
