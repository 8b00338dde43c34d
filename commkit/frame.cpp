// The toolbox frame: texts, error texts, choice lists, the version text, the
// 32-bit window property and the dialler-abort flag.
#include "port/port.h"

#include <ras.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <string>

HINSTANCE g_commkitInstance;

namespace {
const char kToolboxIni[] = "dranet.ini";

HINSTANCE Instance() {
  // Linked into a test program rather than the library, the texts live in
  // the program itself.
  return g_commkitInstance ? g_commkitInstance : GetModuleHandleA(nullptr);
}

struct ChoiceKind {
  unsigned firstId;
  uint16_t rows;
};
// Indexed by kind; kind 6 has no list.
const ChoiceKind kChoiceKinds[] = {
    {656, 13}, {656, 13}, {672, 11}, {688, 2}, {704, 5}, {720, 2}, {0, 0}, {752, 3},
};

struct WinsockPair {
  int error;
  int id;
};
const WinsockPair kWinsockErrors[] = {
    {10004, 616}, {10009, 617}, {10013, 618}, {10014, 577}, {10022, 619}, {10024, 620}, {10035, 621}, {10036, 622},
    {10037, 623}, {10038, 578}, {10039, 624}, {10040, 625}, {10041, 626}, {10042, 627}, {10043, 628}, {10044, 579},
    {10045, 629}, {10046, 630}, {10047, 594}, {10048, 631}, {10049, 632}, {10050, 586}, {10051, 587}, {10052, 580},
    {10053, 588}, {10054, 589}, {10055, 633}, {10056, 634}, {10057, 581}, {10058, 635}, {10059, 636}, {10060, 582},
    {10061, 590}, {10062, 637}, {10063, 638}, {10064, 591}, {10065, 583}, {10066, 639}, {10067, 640}, {10068, 641},
    {10069, 642}, {10070, 643}, {10071, 644}, {10091, 584}, {10092, 645}, {10093, 646}, {11001, 585}, {11002, 592},
    {11003, 593}, {11004, 647}, {0, 0},
};

struct TapiPair {
  uint32_t result;
  unsigned id;
};
const TapiPair kTapiErrors[] = {
    {0x80000001, 550}, {0x80000005, 552}, {0x8000000E, 551}, {0x80000010, 553},
    {0x8000002F, 554}, {0x80000048, 555}, {0x8000004B, 556}, {0x80000042, 559},
};

bool KeepChoiceRow(PortObject* port, int kind, uint16_t item) {
  switch (kind) {
    case 0:
      if (port && port->keepFirstFour && item < 4) return true;
      return PortProbe(port, item) != 0;
    case 7:
      if (item == 1) {
        char path[400];
        ServiceDir(path, 260);
        AddBackslash(path);
        strcat(path, "qbr\\WSOCK32.DLL");
        return ZrtFileExists(path) != 0;
      }
      if (item == 2) return DunEntryCount() > 0;
      return true;
    default: return true;
  }
}

// Formats one argument into a text of at most `format`'s text plus the
// argument, whatever their lengths.
char* FormatDup(unsigned formatId, const char* argument) {
  char format[81];
  if (ZrtLoadStr(formatId, format, sizeof format) <= 0) return nullptr;
  char text[sizeof format + 300];
  FormatBounded(text, sizeof text, format, argument);
  return StrDup(text);
}

std::string HighName(const char* name) { return std::string(name) + "HI"; }
HANDLE AsProp(uint32_t half) { return reinterpret_cast<HANDLE>(uintptr_t(half & 0xFFFF)); }
}  // namespace

int FormatBounded(char* buffer, size_t size, const char* format, ...) {
  if (!size) return 0;
  va_list args;
  va_start(args, format);
  int length = vsnprintf(buffer, size, format, args);
  va_end(args);
  buffer[size - 1] = 0;
  if (length < 0) {
    buffer[0] = 0;
    return 0;
  }
  return length < int(size) ? length : int(size) - 1;
}

void CopyBounded(char* destination, size_t size, const char* text) {
  if (!size) return;
  size_t length = text ? strlen(text) : 0;
  if (length >= size) length = size - 1;
  if (length) memcpy(destination, text, length);
  destination[length] = 0;
}

int ZRTAPI WEP(int) { return 1; }

int WinsockErrorToId(int winsockError) {
  for (const WinsockPair* pair = kWinsockErrors; pair->error; ++pair)
    if (pair->error == winsockError) return pair->id;
  return 0;
}

int WinsockIdToError(int id) {
  for (const WinsockPair* pair = kWinsockErrors; pair->error; ++pair)
    if (pair->id == id) return pair->error;
  return 0;
}

int ZRTAPI ZrtLoadStr(unsigned id, char* buffer, int size) {
  if (!buffer || size <= 0) return 0;
  buffer[0] = 0;
  if (id >= 616 && id <= 647) {
    // Room for "#" and the number behind the common prefix.
    int prefixRoom = size - 8;
    int length = prefixRoom > 0 ? LoadStringA(Instance(), 576, buffer, prefixRoom) : 0;
    return length + FormatBounded(buffer + length, size_t(size - length), "#%d", WinsockIdToError(int(id)));
  }
  return LoadStringA(Instance(), id, buffer, size);
}

char* LoadStrDup(unsigned id) {
  char text[81];
  if (ZrtLoadStr(id, text, sizeof text) <= 0 || !text[0]) return nullptr;
  return StrDup(text);
}

char* ZRTAPI PortErrorText(PortObject* port) {
  if (!port || port->error < 512 || port->error > 647) return nullptr;
  if (port->pendingErrorText) {
    char* text = port->pendingErrorText;
    port->pendingErrorText = nullptr;
    return text;
  }
  const char* portName = port->settings.portName;
  char* text;
  if (port->error == kErrInvalidPortName && *portName) {
    text = FormatDup(525, portName);
  } else if (port->error == kErrPortInUse && *portName) {
    text = FormatDup(526, portName);
  } else if (port->error == 594) {
    text = FormatDup(594, "WSOCK32.DLL");
  } else if (port->error == kErrTapi) {
    unsigned id = 557;
    for (const TapiPair& pair : kTapiErrors)
      if (pair.result == port->tapiLastResult) id = pair.id;
    if (id != 557) {
      text = LoadStrDup(id);
    } else {
      char format[81];
      char buffer[sizeof format + 20];
      text = nullptr;
      if (ZrtLoadStr(557, format, sizeof format) > 0) {
        FormatBounded(buffer, sizeof buffer, format, (unsigned long)port->tapiLastResult);
        text = StrDup(buffer);
      }
    }
    port->tapiLastResult = 0;
  } else {
    text = LoadStrDup(port->error);
  }
  port->error = 0;
  return text;
}

ChoiceRow* ZRTAPI ChoiceList(PortObject* port, int kind, uint16_t* count) {
  if (count) *count = 0;
  if (kind < 0 || kind >= int(sizeof kChoiceKinds / sizeof kChoiceKinds[0]) || !kChoiceKinds[kind].rows) return nullptr;
  const ChoiceKind& list = kChoiceKinds[kind];
  auto* rows = static_cast<ChoiceRow*>(ZrtMemAlloc(uint32_t(list.rows * sizeof(ChoiceRow))));
  if (!rows) return nullptr;
  uint16_t kept = 0;
  for (uint16_t item = 0; item < list.rows; ++item) {
    if (!KeepChoiceRow(port, kind, item)) continue;
    ZrtLoadStr(list.firstId + item, rows[kept].text, sizeof rows[kept].text);
    rows[kept].item = item;
    ++kept;
  }
  if (count) *count = kept;
  return rows;
}

uint16_t ChoiceIndex(PortObject* port, const char* text, int kind, uint16_t limit) {
  uint16_t count = 0;
  ChoiceRow* rows = ChoiceList(port, kind, &count);
  if (!rows) {
    if (port) port->error = kErrOutOfMemory;
    return limit;
  }
  uint16_t found = limit;
  for (uint16_t i = 0; i < count && text; ++i) {
    if (lstrcmpiA(rows[i].text, text) == 0) {
      if (rows[i].item < limit) found = rows[i].item;
      break;
    }
  }
  void* block = rows;
  ZrtMemFree(&block);
  return found;
}

char* ZRTAPI VersionText() {
  char title[51];
  if (ZrtLoadStr(524, title, sizeof title) <= 0) return nullptr;
  char text[120];
  FormatBounded(text, sizeof text, "%s, %s %s", title, "Apr  9 1997", "11:09:36");
  return StrDup(text);
}

uint32_t ZRTAPI GetProp32(HWND window, const char* name) {
  if (!name) return 0;
  uint32_t low = uint32_t(uintptr_t(GetPropA(window, name)));
  uint32_t high = uint32_t(uintptr_t(GetPropA(window, HighName(name).c_str())));
  return (high << 16) | (low & 0xFFFF);
}

int ZRTAPI SetProp32(HWND window, const char* name, uint32_t value) {
  if (!name) return 0;
  if (!SetPropA(window, name, AsProp(value))) return 0;
  if (!SetPropA(window, HighName(name).c_str(), AsProp(value >> 16))) {
    RemovePropA(window, name);
    return 0;
  }
  return 1;
}

int ZRTAPI RemoveProp32(HWND window, const char* name) {
  if (!name) return 0;
  RemovePropA(window, name);
  return RemovePropA(window, HighName(name).c_str()) != nullptr;
}

int ZRTAPI DialerAbortTake() {
  int value = int(GetPrivateProfileIntA("DialerAbort", "Aborted", 0, kToolboxIni));
  WritePrivateProfileStringA("DialerAbort", nullptr, nullptr, kToolboxIni);
  return value;
}

int ZRTAPI DialerAbortSet() { return WritePrivateProfileStringA("DialerAbort", "Aborted", "1", kToolboxIni); }

void ServiceDir(char* buffer, int size) {
  GetPrivateProfileStringA("General", "Dranet", "..\\", buffer, DWORD(size), kToolboxIni);
}

int DunEntryCount() {
  HMODULE ras = LoadLibraryA("rasapi32.dll");
  if (!ras) return 0;
  typedef DWORD(WINAPI * EnumEntries)(LPCSTR, LPCSTR, LPRASENTRYNAMEA, LPDWORD, LPDWORD);
  auto enumEntries = reinterpret_cast<EnumEntries>(GetProcAddress(ras, "RasEnumEntriesA"));
  DWORD entries = 0;
  if (enumEntries) {
    RASENTRYNAMEA names[16] = {};
    names[0].dwSize = sizeof(RASENTRYNAMEA);
    DWORD bytes = sizeof names;
    DWORD result = enumEntries(nullptr, nullptr, names, &bytes, &entries);
    if (result != 0 && result != 603 /* buffer too small: more entries than we asked for */) entries = 0;
  }
  FreeLibrary(ras);
  return int(entries);
}
