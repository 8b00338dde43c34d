// Settings tables: each IniKey row binds an INI key to a settings variable, and
// a whole table is read or written at once through the Windows profile calls.
#pragma once
#include <cstddef>
#include <cstdint>

// Value types of a row. String targets hold at least 250 bytes; the others
// are 32-bit unsigned integers.
enum : uint32_t {
  INI_STRING = 0,
  INI_UNSIGNED = 2,  // written "%u"
  INI_FLAG = 3,      // written "YES" / "NO"
  INI_ULONG = 7,     // written "%lu"
};

struct IniKey {
  const char* key;  // "" ends the table
  void* target;
  uint32_t type;
  uint32_t found;  // set by readini when the key is in the file
};

constexpr int kIniStringValue = 250;  // read buffer of a string row

// The INI file's path: a bare name is taken in the data directory. False,
// with out empty, when the path does not fit size bytes.
bool IniFilePath(const char* fileName, char* out, size_t size);

int readini(const char* fileName, const char* section, IniKey* table);
int writeini(const char* fileName, const char* section, IniKey* table);
int readmainini(const char* section, IniKey* table);
int writemainini(const char* section, IniKey* table);

// Single keys. GetIniString, GetIniBool and GetIniInt share one buffer.
const char* GetIniString(const char* section, const char* key);
const char* GetNamedIniString(const char* iniName, const char* section, const char* key);
bool GetIniBool(const char* section, const char* key);
int GetIniInt(const char* section, const char* key);
const char* GetServiceIniString(const char* iniName, const char* service, const char* key);
int WriteIniString(const char* section, const char* key, const char* value);  // null value deletes
int WriteIniLong(const char* section, const char* key, unsigned long value);
