#include "core/folder_names.h"

#include "core/text1252.h"

#include <cstring>
#include <initializer_list>

FolderNameSettings g_folderNameSettings;
namespace {
const char* NoFolderOpen() { return nullptr; }
}  // namespace
FolderNameHooks g_folderNameHooks = {NoFolderOpen};

const char* OpenFolderNameOrNull() { return g_folderNameHooks.openFolderName(); }

namespace {

// A service part is never long; anything longer is cut, which can only make
// two different long names compare unequal, never two equal ones.
constexpr size_t kPartSize = 64;

// The characters before the first ":" without digits; "local" and names
// without a service prefix (holding "/") give the empty part.
void ServicePart(const char* text, char* part) {
  size_t n = 0;
  bool slash = false;
  for (const char* p = text; *p && *p != ':'; ++p) {
    if (*p == '/') slash = true;
    if (*p >= '0' && *p <= '9') continue;
    if (n + 1 < kPartSize) part[n++] = *p;
  }
  part[n] = 0;
  if (slash || SameText1252(part, "local")) part[0] = 0;
  if (SameText1252(part, "exchange")) std::strcpy(part, "msmail");
}

// Replaces part by the key of the first alias entry named like it.
void ApplyAlias(char* part) {
  const char* list = g_folderNameSettings.serviceAliases;
  if (!list) return;
  for (const char* entry = list; *entry;) {
    size_t len = std::strcspn(entry, ";,");
    const char* eq = static_cast<const char*>(std::memchr(entry, '=', len));
    if (eq) {
      char name[kPartSize] = "";
      size_t nameLen = static_cast<size_t>(eq - entry);
      if (nameLen < kPartSize) {
        std::memcpy(name, entry, nameLen);
        name[nameLen] = 0;
        if (SameText1252(strtrim(name), part)) {
          char key[kPartSize] = "";
          size_t keyLen = len - nameLen - 1;
          if (keyLen >= kPartSize) keyLen = kPartSize - 1;
          std::memcpy(key, eq + 1, keyLen);
          key[keyLen] = 0;
          std::strcpy(part, strtrim(key));
          return;
        }
      }
    }
    entry += len;
    if (*entry) ++entry;
  }
}

void FoldInternet(char* part) {
  if (StartsWithNoCase(part, "net") || SameText1252(part, "internet")) std::strcpy(part, "net");
}

// The service part of a name as sameservice compares it: aliases applied and
// the Internet names folded.
void ServiceKey(const char* name, char* part) {
  ServicePart(name, part);
  ApplyAlias(part);
  FoldInternet(part);
}

}  // namespace

bool sameservice(const char* a, const char* b) {
  if (!a || !b) return false;
  if (SameText1252(a, b)) return true;
  char partA[kPartSize], partB[kPartSize];
  ServicePart(a, partA);
  ServicePart(b, partB);
  ApplyAlias(partA);
  FoldInternet(partA);
  FoldInternet(partB);
  if (SameText1252(partA, partB)) return true;
  if (!SameText1252(partB, "net") || !partA[0]) return false;
  // Every service that is not one of the known non-Internet ones is an
  // Internet service.
  static const char* const kNotInternet[] = {"bix",   "caucus", "quorl",  "dvn",      "quorlnews",
                                             "local", "msmail", "ccmail", "exchange", "tbbs"};
  for (const char* other : kNotInternet)
    if (SameText1252(partA, other)) return false;
  return true;
}

bool iscurservice(const char* key) {
  const char* open = OpenFolderNameOrNull();
  return open && sameservice(open, key);
}

bool ismailfolder(const char* name) {
  if (!name) return false;
  const char* colon = std::strchr(name, ':');
  const char* first = colon ? colon + 1 : name;
  size_t len = std::strcspn(first, "/\\ ");
  if (len == 4 && (StartsWithNoCase(first, "mail") || StartsWithNoCase(first, "@ail"))) return true;
  // sameservice with "msmail" and with "ccmail", the name's service worked
  // out once: the log-in merge asks this of every folder.
  if (SameText1252(name, "msmail") || SameText1252(name, "ccmail")) return true;
  char part[kPartSize];
  ServiceKey(name, part);
  return SameText1252(part, "msmail") || SameText1252(part, "ccmail");
}

bool isnewsfolder(const char* name) {
  if (!name || !std::strchr(name, ':')) return false;
  char service[kPartSize];
  size_t len = std::strcspn(name, "/");
  if (len >= kPartSize) len = kPartSize - 1;
  std::memcpy(service, name, len);
  service[len] = 0;
  if (sameservice(service, "quorlnews") || sameservice(service, "net") || sameservice(service, "delnews")) return true;
  for (const char* marker : {":usenet/", ":@senet/", ":usenet_", ":@senet_"})
    if (stristr(name, marker)) return true;
  return false;
}

bool IsDvnLibraryFolder(const char* name) {
  if (!name) return false;
  if (std::strchr(name, '\xff')) return true;
  if (!sameservice(name, "dvn")) return false;
  const char* slash = std::strchr(name, '/');
  if (!slash) return false;
  const char* part = slash + 1;
  return (part[0] == 'L' || part[0] == 'l') && part[1] >= '0' && part[1] <= '9' && std::strchr(part, '_');
}

char* firstpart(char* name) {
  name[std::strcspn(name, "/\\ ")] = 0;
  return name;
}

char* droppart(char* name) {
  size_t len = std::strcspn(name, "/ ");
  if (!name[len])
    name[0] = 0;
  else
    std::memmove(name, name + len + 1, std::strlen(name + len + 1) + 1);
  return name;
}

char* FixNameCase(char* name) {
  bool news = sameservice(name, "quorlnews") || sameservice(name, "delnews");
  for (const char* country : {"us!", "uk!", "US!", "UK!"}) strrepl(name, country, "");
  // strrepl replaces with text of the same length here, so it never grows.
  strrepl(name, "_iv", "_IV");
  strrepl(name, "_iii", "_III");
  strrepl(name, "_ii", "_II");
  if (char* ff = std::strchr(name, '\xff')) std::memmove(ff, ff + 1, std::strlen(ff + 1) + 1);
  if (char* cut = std::strstr(name, "/.")) *cut = 0;
  bool wordStart = true;
  for (char* p = name; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == '_') c = ' ';
    if (news && c == '/') c = '.';
    if (wordStart && IsAlpha1252(c)) c = ToUpper1252(c);
    *p = static_cast<char>(c);
    wordStart = !(IsAlnum1252(c) || c == '\'') || c == 247;
  }
  return name;
}

char* MakeLocalFolderName(char* name, size_t size) {
  if (!size) return name;
  auto copyPart = [](const char*& from, char* to) {
    size_t n = 0;
    for (; *from && !std::strchr("/\\\r\n", *from); ++from) {
      if (n < 8) {
        char c = *from;
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        to[n++] = plain ? c : '_';
      }
    }
    to[n] = 0;
  };
  const char* p = name;
  if (const char* colon = std::strchr(name, ':')) p = colon + 1;
  char first[9], second[9] = "";
  copyPart(p, first);
  if (*p == '/' || *p == '\\') {
    ++p;
    copyPart(p, second);
  }
  const char* dir = g_folderNameSettings.localDirName;
  if (!dir || !*dir) dir = "local";
  char result[300];
  size_t n = 0;
  auto put = [&](const char* text) {
    for (; *text && n + 1 < sizeof result; ++text) {
      // Runs of "_" shrink to one.
      if (*text == '_' && n && result[n - 1] == '_') continue;
      result[n++] = *text;
    }
    result[n] = 0;
  };
  put(dir);
  put("\\");
  put(first);
  put("\\");
  put(second);
  // A "_" before a "." is dropped.
  char* out = result;
  for (const char* in = result; *in; ++in)
    if (!(*in == '_' && in[1] == '.')) *out++ = *in;
  *out = 0;
  StrCopyN(name, result, size - 1);
  return name;
}

char* fileext(char* name) {
  char* slash = std::strrchr(name, '\\');
  char* dot = std::strrchr(slash ? slash : name, '.');
  return dot ? dot : name + std::strlen(name);
}

const char* fileext(const char* name) { return fileext(const_cast<char*>(name)); }

char* setext(char* name, const char* extension, size_t size) {
  char* ext = fileext(name);
  size_t used = static_cast<size_t>(ext - name);
  if (used < size) StrCopyN(ext, extension, size - used - 1);
  return name;
}

char* setindext(char* name, size_t size) { return setext(name, ".ind", size); }

const char* stripext(const char* name) {
  static char copy[260];
  StrCopyN(copy, name, sizeof copy - 1);
  *fileext(copy) = 0;
  return copy;
}

char* nibbleswap(char* text) {
  for (unsigned char* p = reinterpret_cast<unsigned char*>(text); *p; ++p)
    *p = static_cast<unsigned char>((*p << 4) | (*p >> 4));
  return text;
}
