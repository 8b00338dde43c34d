#include "msgbase/user_info.h"

#include <cstring>

#include "msgbase/conf_list.h"

namespace {
#pragma pack(push, 1)
struct UserInfoRecord {
  int32_t number;
  int32_t commentTo;
  uint16_t flags;
};
static_assert(sizeof(UserInfoRecord) == 10);
#pragma pack(pop)

bool ReadLe(FILE* stream, void* out, size_t n) { return std::fread(out, 1, n, stream) == n; }
}  // namespace

UserInfoResult ApplyUserInfo(FILE* stream, VirtualArray& numberIndex, int32_t first, int32_t last) {
  uint16_t version, marker;
  int32_t fileFirst, fileLast;
  if (!ReadLe(stream, &version, 2) || !ReadLe(stream, &fileFirst, 4) || !ReadLe(stream, &fileLast, 4) ||
      !ReadLe(stream, &marker, 2))
    return USERINFO_CORRUPT;
  if (version != USERINFO_VERSION) return USERINFO_BAD_VERSION;
  uint32_t count = marker;
  if (marker == 0xFFFF && !ReadLe(stream, &count, 4)) return USERINFO_CORRUPT;
  long left = BytesLeft(stream);
  if (count > 0x7FFFFFFFu || (left >= 0 && static_cast<int64_t>(count) * 10 > left)) return USERINFO_CORRUPT;
  for (uint32_t i = 0; i < count; ++i) {
    UserInfoRecord rec;
    if (!ReadLe(stream, &rec, sizeof rec)) return USERINFO_CORRUPT;
    if (rec.number < first || rec.number > last) continue;
    unsigned char key[10] = {};
    std::memcpy(key, &rec.number, 4);
    int slot = numberIndex.Find(key);
    if (slot < 0) continue;
    auto* entry = static_cast<unsigned char*>(numberIndex.At(slot));
    if (!entry) continue;
    uint16_t flags;
    std::memcpy(&flags, entry + 8, 2);
    flags = static_cast<uint16_t>((rec.flags & MSG_USER_FLAGS) | (flags & MSG_SHARED_FLAGS));
    if (rec.flags & MSG_UNREAD_LOCK) flags &= static_cast<uint16_t>(~MSG_READ);
    std::memcpy(entry + 8, &flags, 2);
  }
  return USERINFO_OK;
}

bool WriteUserInfoRecords(FILE* stream, VirtualArray& numberIndex, int32_t first, int32_t last) {
  const uint32_t count = static_cast<uint32_t>(numberIndex.Count());
  unsigned char head[16];
  size_t n = 0;
  auto put = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) head[n++] = static_cast<unsigned char>(v >> (8 * i));
  };
  put(USERINFO_VERSION, 2);
  put(static_cast<uint32_t>(first), 4);
  put(static_cast<uint32_t>(last), 4);
  if (count < 0xFFFF) {
    put(count, 2);
  } else {
    put(0xFFFF, 2);
    put(count, 4);
  }
  if (std::fwrite(head, 1, n, stream) != n) return false;
  for (uint32_t i = 0; i < count; ++i) {
    auto* entry = static_cast<unsigned char*>(numberIndex.At(static_cast<int>(i)));
    if (!entry) return false;
    uint16_t flags;
    std::memcpy(&flags, entry + 8, 2);
    if (flags & MSG_UNREAD_LOCK) {
      flags &= static_cast<uint16_t>(~MSG_READ);
      std::memcpy(entry + 8, &flags, 2);
    }
    if (std::fwrite(entry, 10, 1, stream) != 1) return false;
  }
  return std::fflush(stream) == 0;
}
