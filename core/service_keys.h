// Service keys of folder names and the feature mask of each service.
// Portable: no Windows headers.
#pragma once
#include <string>

enum : unsigned { SERVICE_KEY_MAX = 8 };

// Writes the service key (at most 8 characters, so key needs 9 bytes); empty
// when the name has no ":" within its first 9 characters. A null name and a
// "CSI:" or "x400:" mail address leave key as it was.
void getservice(char* key, const char* name);
// Removes the service key and its ":" in place.
char* stripservice(char* name);
// The same two as strings, for names of any length.
std::string ServiceKeyOf(const char* name);
std::string WithoutServiceKey(const char* name);

enum : unsigned long {
  FEATURE_RESUMES = 0x2,  // the service keeps user resumes
  FEATURE_ADMIN = 0x4,    // tested by the services and users administration
};
unsigned long ServiceFeatures(const char* key);
// The mask of the last ServiceFeatures call.
extern unsigned long g_serviceFeatures;
