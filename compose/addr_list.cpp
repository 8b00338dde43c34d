#include "compose/addr_list.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/folder_names.h"
#include "core/text1252.h"

namespace {

constexpr size_t kPieceMax = 200;
constexpr size_t kDomainMax = 256;

// Copies into a 101-byte field: at most 100 characters, and never a line
// break, so a list entry always fits one header line.
void SetField(char* field, const char* text) {
  size_t n = 0;
  for (const char* p = text ? text : ""; *p && n < CAddrList::kFieldMax; ++p)
    if (*p != '\r' && *p != '\n') field[n++] = *p;
  field[n] = 0;
}

void Domains(const char* service, char* first, char* second) {
  first[0] = second[0] = 0;
  g_addrListHooks.mailDomains(service, first, second, kDomainMax);
}

void AppendDomain(char* address, const char* domain) {
  size_t n = std::strlen(address);
  size_t room = CAddrList::kFieldMax > n ? CAddrList::kFieldMax - n : 0;
  StrCatN(address, domain, room);
}

// Cuts the address where the domain begins (ignoring case); false when the
// domain is unset or absent.
bool CutAtDomain(char* address, const char* domain) {
  if (!domain[0]) return false;
  char* at = stristr(address, domain);
  if (!at) return false;
  *at = 0;
  return true;
}

void Replace(char* text, char from, char to) {
  for (char* p = text; *p; ++p)
    if (*p == from) *p = to;
}

// Splits text into pieces as typed address text is split: a backslash
// escapes the next character, parentheses and quotes protect the separator.
// In a header the brackets stay in the piece; typed text drops them.
template <typename Sink>
void SplitAddressText(const char* text, char separator, bool keepBrackets, Sink sink) {
  char piece[kPieceMax + 1];
  size_t n = 0;
  bool escape = false, inParens = false, inQuotes = false;
  auto put = [&](char c) {
    if (n < kPieceMax) piece[n++] = c;
  };
  for (const char* p = text; *p; ++p) {
    char c = *p;
    bool ends = false;
    if (escape) {
      put(c);
      escape = false;
    } else if (c == '\\') {
      escape = true;
    } else if (!inParens && c == '(') {
      inParens = true;
      if (keepBrackets) put(c);
    } else if (inParens && c == ')') {
      inParens = false;
      if (keepBrackets) put(c);
    } else if (!inParens && c == '"') {
      inQuotes = !inQuotes;
    } else if (c == separator && !inParens && !inQuotes) {
      ends = true;
    } else {
      put(c);
    }
    if (ends || !p[1]) {
      piece[n] = 0;
      sink(piece);
      n = 0;
    }
  }
}

bool BeginsLineBreak(const char* line) { return line[0] == '\r' || line[0] == '\n'; }

void TrimLineEnd(char* text) {
  size_t n = std::strlen(text);
  while (n && (text[n - 1] == '\r' || text[n - 1] == '\n')) text[--n] = 0;
}

bool EndsInBracket(const char* line) {
  std::string s(line);
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) s.pop_back();
  return !s.empty() && s.back() == ']';
}

}  // namespace

CAddrList::CAddrList() : list_("CAddrList::list", sizeof(AddrListEntry)) {}

CAddrList::~CAddrList() = default;

int CAddrList::AddEntry(char* name, const char* address) {
  AddrListEntry e;
  std::memset(&e, 0, sizeof e);
  if (address) {
    SetField(e.name, name);
    SetField(e.address, address);
  } else if (name) {
    char* tab = std::strchr(name, '\t');
    if (tab) {
      *tab = 0;
      SetField(e.name, name);
      SetField(e.address, tab + 1);
    } else {
      SetField(e.address, name);
    }
  }
  if (!e.address[0]) return 1;
  list_.Append(&e);
  return 0;
}

void CAddrList::AddParsed(const char* piece, bool dropNameEqualToAddress) {
  char name[kPieceMax * 2 + 2], address[kPieceMax * 2 + 2];
  ParseAddress(piece, name, sizeof name, address, sizeof address);
  if (!address[0]) {
    std::strcpy(address, name);
    name[0] = 0;
  }
  if (dropNameEqualToAddress && SameText1252(name, address)) name[0] = 0;
  if (address[0]) AddEntry(name, address);
}

int CAddrList::Parse(const char* text, bool append) {
  if (!append) Clear();
  if (!text) return 0;
  SplitAddressText(text, ';', false, [this](const char* piece) { AddParsed(piece, false); });
  return 0;
}

int CAddrList::ReadText(const char* text, bool append) {
  if (!append) Clear();
  const char* p = text ? text : "";
  while (*p) {
    const char* end = std::strchr(p, ';');
    size_t len = end ? static_cast<size_t>(end - p) : std::strlen(p);
    char piece[kPieceMax + 1];
    CopyBounded(piece, sizeof piece, p, len);
    AddParsed(piece, false);
    if (!end) break;
    p = end + 1;
  }
  return 0;
}

int CAddrList::FromReplyHeaders(long number, const char* header, const char* service, bool append) {
  if (!append) Clear();
  if (!g_addrListHooks.openMessage(number)) return 1;
  const char* topic = g_addrListHooks.openTopicName();
  char topicName[260];
  StrCopyN(topicName, topic ? topic : "", sizeof topicName - 1);
  bool serviceMode = sameservice(topicName, "dvn");
  bool forum = serviceMode && !ismailfolder(topicName);
  char dvnDomain[kDomainMax], dvnShort[kDomainMax];
  Domains("dvn", dvnDomain, dvnShort);
  char topicService[16] = "";
  {
    const char* colon = std::strchr(topicName, ':');
    if (colon) CopyBounded(topicService, sizeof topicService, topicName, static_cast<size_t>(colon - topicName));
  }

  static char line[4097];
  bool havePending = false;
  for (;;) {
    if (!havePending && !g_addrListHooks.nextLine(line, sizeof line)) return 0;
    havePending = false;
    if (BeginsLineBreak(line) || !line[0]) return 0;
    if (serviceMode && StartsWithNoCase(line, "Received:")) serviceMode = false;
    if (!serviceMode && StartsWithNoCase(line, "From:") &&
        ((std::strchr(line, '[') && EndsInBracket(line)) || StartsWithNoCase(line, "From: INTERNET:")))
      serviceMode = true;
    if (!StartsWithNoCase(line, header)) continue;

    const char* colon = std::strchr(line, ':');
    if (!colon) return 1;
    std::string value(colon + 1);
    while (!value.empty() && (value.back() == '\r' || value.back() == '\n')) value.pop_back();
    size_t start = value.find_first_not_of(" \t");
    value = start == std::string::npos ? "" : value.substr(start);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.pop_back();
    if (SameText1252(value.c_str(), "All")) value.clear();

    // The continuation lines; the first line that is none is handled next.
    std::string joined = value;
    bool more = false;
    auto serviceEntry = [&](const char* text) {
      char name[kPieceMax * 2 + 2], address[4097];
      ParseAddress(text, name, sizeof name, address, sizeof address);
      if (SameText1252(address, "sysop") || SameText1252(address, "all")) address[0] = 0;
      if (forum && IsAlpha1252(static_cast<unsigned char>(address[0])) && !std::strchr(address, '@'))
        StrCatN(address, dvnShort, sizeof address - 1 - std::strlen(address));
      if (address[0] && !std::strchr(address, '@')) {
        Replace(address, ',', '.');
        StrCatN(address, dvnDomain, sizeof address - 1 - std::strlen(address));
      }
      if (SameText1252(name, address)) name[0] = 0;
      if (address[0]) AddEntry(name, address);
    };
    if (serviceMode) serviceEntry(value.c_str());
    while ((more = g_addrListHooks.nextLine(line, sizeof line)) && (line[0] == ' ' || line[0] == '\t')) {
      TrimLineEnd(line);
      std::string piece(line);
      size_t a = piece.find_first_not_of(" \t");
      piece = a == std::string::npos ? "" : piece.substr(a);
      while (!piece.empty() && (piece.back() == ' ' || piece.back() == '\t')) piece.pop_back();
      if (serviceMode) {
        serviceEntry(piece.c_str());
      } else {
        joined += ' ';
        joined += piece;
      }
    }
    if (!serviceMode)
      SplitAddressText(joined.c_str(), ',', true, [this](const char* piece) { AddParsed(piece, true); });
    QualifyAddresses(topicService, service);
    if (!more) return 0;
    havePending = true;
  }
}

int CAddrList::QualifyAddresses(const char* source, const char* target) {
  char quorlLong[kDomainMax], quorlShort[kDomainMax], dvnDomain[kDomainMax], dvnShort[kDomainMax];
  Domains("quorl", quorlLong, quorlShort);
  Domains("dvn", dvnDomain, dvnShort);
  const char* from = source ? source : "";
  const char* to = target ? target : "";
  for (int i = 0; i < Count(); ++i) {
    AddrListEntry* e = At(i);
    if (!e) break;
    char* a = e->address;
    if (sameservice(from, "quorl") && !std::strchr(a, '@')) AppendDomain(a, quorlLong);
    if (sameservice(from, "dvn") && !std::strchr(a, '@')) {
      Replace(a, ',', '.');
      AppendDomain(a, dvnDomain);
    }
    if (sameservice(to, "quorl")) {
      CutAtDomain(a, quorlShort);
      CutAtDomain(a, quorlLong);
    }
    if (sameservice(to, "dvn") && CutAtDomain(a, dvnDomain)) Replace(a, '.', ',');
  }
  return 0;
}

int CAddrList::RemoveDuplicates(CAddrList* other) {
  if (!other) {
    for (int i = 0; i < Count(); ++i) {
      AddrListEntry* e = At(i);
      if (!e) break;
      char address[101];
      std::strcpy(address, e->address);
      for (int j = Count() - 1; j > i; --j) {
        AddrListEntry* f = At(j);
        if (f && SameText1252(f->address, address)) RemoveAt(j);
      }
    }
    return 0;
  }
  for (int j = other->Count() - 1; j >= 0; --j) {
    AddrListEntry* f = other->At(j);
    if (f && FindAddress(f->address) >= 0) other->RemoveAt(j);
  }
  return 0;
}

int CAddrList::RemoveOwnAddresses(const char* service) {
  char forms[4][201] = {"", "", "", ""};
  char quorlLong[kDomainMax], quorlShort[kDomainMax], dvnDomain[kDomainMax], dvnShort[kDomainMax];
  Domains("quorl", quorlLong, quorlShort);
  Domains("dvn", dvnDomain, dvnShort);
  auto setting = [&](const char* key) {
    const char* v = g_addrListHooks.serviceSetting(service, key);
    return v ? v : "";
  };
  auto join = [](char* out, const char* a, const char* b) { std::snprintf(out, 201, "%s%s", a, b); };
  if (sameservice(service, "quorl")) {
    StrCopyN(forms[0], setting("Name"), 200);
    join(forms[1], forms[0], quorlShort);
    join(forms[2], forms[0], quorlLong);
  } else if (sameservice(service, "dvn")) {
    StrCopyN(forms[0], setting("Name"), 200);
    join(forms[1], forms[0], dvnDomain);
    Replace(forms[1], ',', '.');
    StrCopyN(forms[2], setting("Personal Address"), 200);
    join(forms[3], forms[2], dvnDomain);
  } else if (sameservice(service, "net")) {
    StrCopyN(forms[0], setting("Email Address"), 200);
    if ((quorlShort[0] && std::strstr(forms[0], quorlShort)) || (quorlLong[0] && std::strstr(forms[0], quorlLong))) {
      char user[201];
      StrCopyN(user, forms[0], 200);
      if (char* at = std::strchr(user, '@')) *at = 0;
      join(forms[1], user, quorlShort);
      join(forms[2], user, quorlLong);
    }
  } else if (sameservice(service, "local")) {
    const char* user = g_addrListHooks.userName();
    StrCopyN(forms[0], user ? user : "", 200);
  }
  char blind[201];
  join(blind, "Blind.Copy.Receiver", dvnDomain);
  for (int i = Count() - 1; i >= 0; --i) {
    AddrListEntry* e = At(i);
    if (!e) continue;
    bool own = SameText1252(e->address, "Blind,Copy.Receiver") || SameText1252(e->address, blind);
    for (const char* form : forms) own = own || SameText1252(e->address, form);
    if (own) RemoveAt(i);
  }
  return 0;
}

int CAddrList::FindAddress(const char* address) {
  for (int i = 0; i < Count(); ++i) {
    AddrListEntry* e = At(i);
    if (e && SameText1252(e->address, address ? address : "")) return i;
  }
  return -1;
}

const char* FormatAddressDisplay(const char* name, const char* address, bool bracket) {
  static char out[512];
  const char* n = name ? name : "";
  const char* a = address ? address : "";
  if (!n[0])
    std::snprintf(out, sizeof out, "%s", a);
  else if (bracket && !std::strchr(a, '@'))
    std::snprintf(out, sizeof out, "%s [%s]", n, a);
  else
    std::snprintf(out, sizeof out, "%s <%s>", n, a);
  return out;
}

const char* CAddrList::FormatEntry(int index, bool bracket) {
  AddrListEntry* e = At(index);
  if (!e) return FormatAddressDisplay("", "", bracket);
  return FormatAddressDisplay(e->name, e->address, bracket);
}

void CAddrList::JoinDisplay(char* out, size_t size) {
  if (!size) return;
  out[0] = 0;
  for (int i = 0; i < Count(); ++i) {
    size_t n = std::strlen(out);
    if (i && n + 1 < size) {
      out[n++] = ';';
      out[n] = 0;
    }
    StrCatN(out, FormatEntry(i, false), size - 1 - n);
  }
}

int CAddrList::WriteHeaderLines(FILE* file, const char* label) {
  for (int i = 0; i < Count(); ++i) {
    AddrListEntry* e = At(i);
    if (!e) continue;
    if (e->name[0])
      std::fprintf(file, "%s: %s\t%s\r\n", label, e->name, e->address);
    else
      std::fprintf(file, "%s: %s\r\n", label, e->address);
  }
  return 0;
}
