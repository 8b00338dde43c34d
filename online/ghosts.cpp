#include "online/ghosts.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/service_keys.h"
#include "core/text1252.h"

namespace {

struct GhostState {
  std::vector<GhostEntry> entries;  // sorted by GhostKey
  char service[SERVICE_KEY_MAX + 1] = "";
  time_t outbasketTime = -1;  // <data><svc>.bsc at the last refresh
  time_t appendTime = -1;     // <data><svc>\<svc>.bsc
  int iteration = -1;
};
GhostState g_ghosts;

// The sort key "%s#%08lu" (topic, number) in lower case, so that keys
// compare byte by byte as the case-insensitive keys do.
struct GhostKey {
  char text[128];
};
void MakeKey(const char* topic, uint32_t number, GhostKey* key) {
  snprintf(key->text, sizeof key->text, "%s#%08lu", topic, static_cast<unsigned long>(number));
  for (char* p = key->text; *p; p++) *p = static_cast<char>(ToLower1252(static_cast<unsigned char>(*p)));
}

// Sorts by the key, each key made once: a comparison that formatted both
// keys anew made the sort the larger part of a refresh.
void SortGhosts(std::vector<GhostEntry>* entries) {
  struct Keyed {
    GhostKey key;
    size_t index;
  };
  std::vector<Keyed> keyed(entries->size());
  for (size_t i = 0; i < entries->size(); i++) {
    MakeKey((*entries)[i].topic, (*entries)[i].number, &keyed[i].key);
    keyed[i].index = i;
  }
  std::sort(keyed.begin(), keyed.end(),
            [](const Keyed& a, const Keyed& b) { return strcmp(a.key.text, b.key.text) < 0; });
  std::vector<GhostEntry> sorted;
  sorted.reserve(entries->size());
  for (const Keyed& k : keyed) sorted.push_back((*entries)[k.index]);
  entries->swap(sorted);
}

void SetTopic(GhostEntry* ghost, const char* service, std::string folder) {
  snprintf(ghost->topic, sizeof ghost->topic, "%s:%s", service, folder.c_str());
}

struct LineReader {
  const char* data;
  size_t size;
  size_t pos = 0;
  bool next(std::string* line) {
    if (pos >= size) return false;
    const char* start = data + pos;
    const void* newline = memchr(start, '\n', size - pos);
    size_t length = newline ? static_cast<size_t>(static_cast<const char*>(newline) - start) + 1 : size - pos;
    pos += length;
    while (length > 0 && (start[length - 1] == '\n' || start[length - 1] == '\r')) length--;
    line->assign(start, length);
    return true;
  }
};

bool IsHeader(const std::string& line) {
  return line.compare(0, 8, ";-; id:\t") == 0 || line.compare(0, 8, ";#; id:\t") == 0;
}

// The text after a header key, to the next TAB; then to the last blank before it.
std::string HeaderValue(const std::string& header, const char* key) {
  size_t at = header.find(key);
  if (at == std::string::npos) return "";
  size_t start = at + strlen(key);
  size_t end = header.find('\t', start);
  if (end == std::string::npos) return header.substr(start);
  size_t blank = header.rfind(' ', end);
  if (blank != std::string::npos && blank >= start) end = blank;
  return header.substr(start, end - start);
}

unsigned long ReadNumber(const std::string& text) {
  unsigned long value = 0;
  for (char c : text) {
    if (!isdigit(static_cast<unsigned char>(c))) break;
    value = value * 10 + static_cast<unsigned long>(c - '0');
    if (value > 0xffffffffUL / 10) break;
  }
  return value & 0xffffffffUL;
}

// A message block in the outbasket: a ghost when it replies or comments.
void ReadMessageGhost(LineReader& reader, std::string* line, bool* have, const char* service,
                      std::vector<GhostEntry>* out) {
  GhostEntry ghost = {};
  while ((*have = reader.next(line)) && !IsHeader(*line)) {
    size_t colon = line->find(':');
    if (colon == std::string::npos) continue;
    std::string name = line->substr(0, colon + 1);
    size_t valueStart = line->find_first_not_of(' ', colon + 1);
    std::string value = valueStart == std::string::npos ? "" : line->substr(valueStart);
    if (SameText1252(name.c_str(), "MessageEnd:")) break;
    if (SameText1252(name.c_str(), "Body:")) {
      // The body is counted: none of its lines can start an entry.
      unsigned long length = ReadNumber(value);
      if (length <= reader.size - reader.pos) reader.pos += length;
      break;
    }
    if ((SameText1252(name.c_str(), "bReply:") || SameText1252(name.c_str(), "bComment:")) && !value.empty() &&
        (value[0] == 'y' || value[0] == 'Y')) {
      ghost.reply = 1;
    } else if (SameText1252(name.c_str(), "szFolders:")) {
      std::string folder = value.substr(0, value.find(','));
      if (folder.find('/') == std::string::npos) std::replace(folder.begin(), folder.end(), '.', '/');
      SetTopic(&ghost, service, folder);
    } else if (SameText1252(name.c_str(), "nComment:")) {
      ghost.number = static_cast<uint32_t>(ReadNumber(value));
    }
  }
  if (ghost.reply) out->push_back(ghost);
}

void ReadWithdrawal(LineReader& reader, std::string* line, bool* have, const char* service,
                    std::vector<GhostEntry>* out) {
  GhostEntry ghost = {};
  ghost.withdraw = 1;
  std::string folder, number;
  // The command line, then the folder, then the number (after a "-" line).
  if (!(*have = reader.next(line)) || IsHeader(*line)) return;
  if (!(*have = reader.next(line)) || IsHeader(*line)) return;
  folder = *line;
  if (!(*have = reader.next(line)) || IsHeader(*line)) return;
  if (!line->empty() && (*line)[0] == '-') {
    if (!(*have = reader.next(line)) || IsHeader(*line)) return;
  }
  number = *line;
  SetTopic(&ghost, service, folder);
  ghost.number = static_cast<uint32_t>(ReadNumber(number));
  out->push_back(ghost);
  *have = reader.next(line);
}

void ReadFileGhosts(const char* path, const char* service, time_t* stamp) {
  *stamp = g_ghostHooks.fileTime(path);
  std::vector<char> bytes;
  if (*stamp == -1 || !g_ghostHooks.readFile(path, &bytes)) return;
  ParseBscEntries(bytes.data(), bytes.size(), service, &g_ghosts.entries);
}

bool CurrentService(char* service) {
  const char* topic = g_ghostHooks.openTopicName();
  if (!topic || !*topic) return false;
  service[0] = 0;
  getservice(service, topic);
  return true;
}

void BuildPaths(const char* service, std::string* outbasket, std::string* append) {
  std::string data = g_ghostHooks.dataDirectory();
  *outbasket = data + service + ".bsc";
  *append = data + service + "\\" + service + ".bsc";
}

}  // namespace

void ParseBscEntries(const char* data, size_t size, const char* service, std::vector<GhostEntry>* out) {
  LineReader reader{data, size};
  std::string line;
  bool have = reader.next(&line);
  while (have) {
    if (!IsHeader(line)) {
      have = reader.next(&line);
      continue;
    }
    std::string header = line;
    bool live = line[1] == '-';
    std::string title = HeaderValue(header, "script:\t");
    if (header.find("type:\tedit") != std::string::npos) {
      // A held message is read too, so its counted body is passed over.
      std::vector<GhostEntry> found;
      ReadMessageGhost(reader, &line, &have, service, &found);
      if (live) out->insert(out->end(), found.begin(), found.end());
      if (have && !IsHeader(line)) have = reader.next(&line);
    } else if (live && header.find("type:\tscript") != std::string::npos &&
               (title == "Withdraw Message" || title == "Cancel Message")) {
      ReadWithdrawal(reader, &line, &have, service, out);
    } else {
      have = reader.next(&line);
    }
  }
}

void ClearGhosts() {
  g_ghosts.entries.clear();
  g_ghosts.iteration = -1;
}

int GhostCount() { return static_cast<int>(g_ghosts.entries.size()); }

void RefreshGhosts() {
  ClearGhosts();
  g_ghosts.outbasketTime = g_ghosts.appendTime = -1;
  g_ghosts.service[0] = 0;
  char service[SERVICE_KEY_MAX + 1];
  if (CurrentService(service) && service[0]) {
    StrCopyN(g_ghosts.service, service, SERVICE_KEY_MAX);
    std::string outbasket, append;
    BuildPaths(service, &outbasket, &append);
    ReadFileGhosts(outbasket.c_str(), service, &g_ghosts.outbasketTime);
    ReadFileGhosts(append.c_str(), service, &g_ghosts.appendTime);
    SortGhosts(&g_ghosts.entries);
  }
  g_ghostHooks.refreshGhostRows();
}

bool GhostsChanged() {
  char service[SERVICE_KEY_MAX + 1];
  if (!CurrentService(service)) return false;
  // Another service's topic: its files were never read.
  if (!SameText1252(service, g_ghosts.service)) return true;
  std::string outbasket, append;
  BuildPaths(service, &outbasket, &append);
  return g_ghostHooks.fileTime(outbasket.c_str()) != g_ghosts.outbasketTime ||
         g_ghostHooks.fileTime(append.c_str()) != g_ghosts.appendTime;
}

int GetGhostKind(long number) {
  const char* topic = g_ghostHooks.openTopicName();
  if (!topic || number < 0) return 0;
  GhostKey wanted;
  MakeKey(topic, static_cast<uint32_t>(number), &wanted);
  auto compare = [&](const GhostEntry& entry) {
    GhostKey key;
    MakeKey(entry.topic, entry.number, &key);
    return strcmp(key.text, wanted.text);
  };
  auto found = std::lower_bound(g_ghosts.entries.begin(), g_ghosts.entries.end(), 0,
                                [&](const GhostEntry& entry, int) { return compare(entry) < 0; });
  if (found == g_ghosts.entries.end() || compare(*found) != 0) return 0;
  return found->reply ? 2 : 1;
}

int NextGhost(int* index, long* number, int* reply, int* withdraw) {
  const char* topic = g_ghostHooks.openTopicName();
  if (!topic) return 0;
  int count = static_cast<int>(g_ghosts.entries.size());
  for (int i = *index < -1 ? 0 : *index + 1; i < count; i++) {
    const GhostEntry& entry = g_ghosts.entries[i];
    if (!SameText1252(entry.topic, topic)) continue;
    *index = i;
    *number = static_cast<long>(entry.number);
    *reply = static_cast<int>(entry.reply);
    *withdraw = static_cast<int>(entry.withdraw);
    return 1;
  }
  *index = count;
  return 0;
}
