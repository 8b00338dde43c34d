// The recipient lists of the editor and of reply scripts: entries of a display
// name and an address, parsed from typed text and message headers, moved
// between the online services' user names and Internet forms, shown in and
// read back from controls, and written as header lines or a small file.
// Portable except FillControl/ReadControl and the file pair
// (addr_list_win32.cpp).
#pragma once
#include <cstddef>
#include <cstdio>

#include "core/virtual_array.h"

#pragma pack(push, 1)
struct AddrListEntry {
  char name[101];     // display name, may be empty
  char address[101];  // never empty in a list
};
#pragma pack(pop)
static_assert(sizeof(AddrListEntry) == 202, "AddrListEntry is 202 bytes");

// What the lists need of the settings and of the open topic. The defaults
// come with the build: on Win32 the service sections, the logged-in user and
// the open topic's reader; natively nothing (no domains, no message).
struct AddrListHooks {
  // The service's two mail domains, each with its '@' (Quorl: long, short;
  // Dravenet: domain, short domain). Empty when unset.
  void (*mailDomains)(const char* service, char* first, char* second, size_t size);
  // A key of the service's section of the program settings ("Name",
  // "Personal Address", "Email Address").
  const char* (*serviceSetting)(const char* service, const char* key);
  const char* (*userName)();
  // The open topic's folder name ("" when none).
  const char* (*openTopicName)();
  // Positions the reader on a message of the open topic; false when it
  // cannot be read.
  bool (*openMessage)(long number);
  // The message's next line (CR/LF kept) into buffer; false when no bytes
  // of the message remain.
  bool (*nextLine)(char* buffer, size_t size);
};
extern AddrListHooks g_addrListHooks;

// Control handle as the window layer defines it.
struct HWND__;

class CAddrList {
 public:
  static constexpr size_t kFieldMax = 100;

  CAddrList();
  ~CAddrList();
  CAddrList(const CAddrList&) = delete;
  CAddrList& operator=(const CAddrList&) = delete;

  int Count() const { return list_.Count(); }
  // Entry i, or null (reported by the array) out of range; valid until the
  // next access of the list.
  AddrListEntry* At(int index) { return static_cast<AddrListEntry*>(list_.At(index)); }
  void Clear() { list_.SetSize(0, true); }
  int RemoveAt(int index) { return list_.RemoveAt(index); }

  // With address null, name is "name TAB address" or an address alone (the
  // TAB is overwritten in the caller's text). 1 and nothing added when the
  // address is empty.
  int AddEntry(char* name, const char* address);
  int Parse(const char* text, bool append);
  int FromReplyHeaders(long number, const char* header, const char* service, bool append);
  int QualifyAddresses(const char* source, const char* target);
  int RemoveDuplicates(CAddrList* other);
  int RemoveOwnAddresses(const char* service);
  int FindAddress(const char* address);
  const char* FormatEntry(int index, bool bracket);
  // All entries as "name <address>" joined by ";"; out holds size bytes.
  void JoinDisplay(char* out, size_t size);
  int WriteHeaderLines(FILE* file, const char* label);
  // The text of an edit control: pieces split at every ';', no escapes.
  int ReadText(const char* text, bool append);

  // Win32 (addr_list_win32.cpp).
  int FillControl(HWND__* control, const char* service, bool append);
  int ReadControl(HWND__* control, bool append);
  // 1 (reported) when the file cannot be written; the old file stays then.
  int SaveToFile(const char* path);
  int LoadFromFile(const char* path);

 private:
  void AddParsed(const char* piece, bool dropNameEqualToAddress);
  VirtualArray list_;
};

// "name <address>", "name [address]" (bracket set, no '@') or the address
// alone; one static buffer that the next call overwrites.
const char* FormatAddressDisplay(const char* name, const char* address, bool bracket);
