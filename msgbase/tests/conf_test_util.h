// Builders of list-file fixtures shared by the message-base list tests.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "msgbase/conf_list.h"

inline ConfRec MakeConf(const char* name, const char* base, int32_t first = 1, int32_t last = 10, uint32_t flags = 0) {
  ConfRec rec = {};
  std::strncpy(rec.name, name, sizeof rec.name - 1);
  std::strncpy(rec.baseName, base, sizeof rec.baseName - 1);
  rec.first = first;
  rec.last = last;
  rec.readMark = first - 1;
  rec.waiting = last - first + 1;
  rec.flags = flags;
  rec.order = -1;
  return rec;
}

inline void PutLe(std::string& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

// Bytes of a current-form conf.ww; `count` -1 writes the real count.
inline std::string CurrentConfFile(const std::vector<ConfRec>& recs, uint32_t header = 0x12345678, int64_t count = -1) {
  std::string out;
  PutLe(out, header, 4);
  PutLe(out, 0xFFFF, 2);
  PutLe(out, static_cast<uint32_t>(count < 0 ? recs.size() : count), 4);
  for (const ConfRec& r : recs) out.append(reinterpret_cast<const char*>(&r), sizeof r);
  return out;
}

inline OldConfRec MakeOldConf(const char* name, const char* base, uint16_t waiting, int16_t flags, int16_t order) {
  OldConfRec old = {};
  std::strncpy(old.name, name, sizeof old.name - 1);
  std::strncpy(old.baseName, base, sizeof old.baseName - 1);
  old.selected = 1;
  old.readMark = 7;
  old.first = 3;
  old.last = 70000;
  old.waiting = waiting;
  old.userInfo = 0xA5A5A5A5u;
  old.flags = flags;
  old.order = order;
  return old;
}

inline std::string OldConfFile(const std::vector<OldConfRec>& recs, int16_t marker) {
  std::string out;
  PutLe(out, 0xCAFEF00Du, 4);
  PutLe(out, static_cast<uint16_t>(marker), 2);
  for (const OldConfRec& r : recs) out.append(reinterpret_cast<const char*>(&r), sizeof r);
  return out;
}

inline FILE* StreamOf(const std::string& bytes) {
  FILE* f = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  return f;
}

inline std::string ContentsOf(FILE* f) {
  std::rewind(f);
  std::string out;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
  return out;
}

inline std::vector<ConfRec> RecordsOf(VirtualArray& list) {
  std::vector<ConfRec> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(*static_cast<ConfRec*>(list.At(i)));
  return out;
}

inline std::vector<std::string> NamesOf(VirtualArray& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(static_cast<ConfRec*>(list.At(i))->name);
  return out;
}
