#include "standins/import/import_journal.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr char kTitle[] = "import32 journal 1";

// A field may hold anything but the separators.
std::string Field(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return out;
}

std::vector<std::string_view> Split(std::string_view line) {
  std::vector<std::string_view> out;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    out.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  return out;
}

bool Number(std::string_view text, long long* value, int base = 10) {
  if (text.empty() || text.size() > 20) return false;
  std::string copy(text);
  char* end = nullptr;
  *value = std::strtoll(copy.c_str(), &end, base);
  return end && *end == 0;
}

bool Long(std::string_view text, long* value) {
  long long v = 0;
  if (!Number(text, &v) || v < -1 || v > 0x7FFFFFFF) return false;
  *value = static_cast<long>(v);
  return true;
}

bool Hex(std::string_view text, uint32_t* value) {
  long long v = 0;
  if (!Number(text, &v, 16) || v < 0 || v > 0xFFFFFFFFLL) return false;
  *value = static_cast<uint32_t>(v);
  return true;
}

}  // namespace

uint32_t HashBytes(const void* data, size_t size, uint32_t seed) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  uint32_t h = seed;
  for (size_t i = 0; i < size; ++i) {
    h ^= p[i];
    h *= 16777619u;
  }
  return h;
}

std::string FormatJournal(const Journal& j) {
  char text[160];
  std::string out = std::string(kTitle) + "\r\n";
  out += j.committed ? "state\tcommitted\r\n" : "state\tpending\r\n";
  std::snprintf(text, sizeof text, "entry\t%08lx\t%lld\t%08lx\t%ld\t", static_cast<unsigned long>(j.entryFlags),
                j.entrySize, static_cast<unsigned long>(j.entryHash), j.messages);
  out += text + Field(j.entryPath) + "\r\n";
  for (const JournalLog& log : j.logs) {
    std::snprintf(text, sizeof text, "log\t%c\t%ld\t%08lx\t", log.rewrite ? 'r' : 'a', log.length,
                  static_cast<unsigned long>(log.tailHash));
    out += text + Field(log.path) + "\r\n";
  }
  for (const JournalFolder& f : j.folders) {
    std::snprintf(text, sizeof text, "folder\t%d\t%ld\t%ld\t%ld\t", f.existed ? 1 : 0, f.first, f.last, f.waiting);
    out += text + Field(f.baseName) + "\t" + Field(f.name) + "\r\n";
  }
  out += "end\r\n";
  return out;
}

bool ParseJournal(std::string_view text, Journal* out) {
  Journal j;
  bool titled = false, stated = false, entry = false;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t lf = text.find('\n', pos);
    std::string_view line = text.substr(pos, lf == std::string_view::npos ? std::string_view::npos : lf - pos);
    pos = lf == std::string_view::npos ? text.size() : lf + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!titled) {
      if (line != kTitle) return false;
      titled = true;
      continue;
    }
    std::vector<std::string_view> f = Split(line);
    if (f[0] == "end") {
      if (!stated || !entry) return false;
      *out = std::move(j);
      return true;
    }
    if (f[0] == "state" && f.size() == 2) {
      if (f[1] != "pending" && f[1] != "committed") return false;
      j.committed = f[1] == "committed";
      stated = true;
    } else if (f[0] == "entry" && f.size() == 6) {
      if (!Hex(f[1], &j.entryFlags) || !Number(f[2], &j.entrySize) || j.entrySize < 0 || !Hex(f[3], &j.entryHash) ||
          !Long(f[4], &j.messages) || f[5].empty())
        return false;
      j.entryPath = std::string(f[5]);
      entry = true;
    } else if (f[0] == "log" && f.size() == 5) {
      JournalLog log;
      if ((f[1] != "a" && f[1] != "r") || !Long(f[2], &log.length) || !Hex(f[3], &log.tailHash) || f[4].empty())
        return false;
      log.rewrite = f[1] == "r";
      log.path = std::string(f[4]);
      j.logs.push_back(std::move(log));
    } else if (f[0] == "folder" && f.size() == 7) {
      JournalFolder folder;
      if ((f[1] != "0" && f[1] != "1") || !Long(f[2], &folder.first) || !Long(f[3], &folder.last) ||
          !Long(f[4], &folder.waiting) || f[6].empty())
        return false;
      folder.existed = f[1] == "1";
      folder.baseName = std::string(f[5]);
      folder.name = std::string(f[6]);
      j.folders.push_back(std::move(folder));
    } else {
      return false;
    }
  }
  return false;  // no "end": not a whole journal
}
