// Windows-1252 character classes, case maps and the small text helpers every
// layer uses. Portable: no Windows headers, builds natively under sanitizers.
#pragma once
#include <cstddef>

bool IsUpper1252(unsigned char c);
bool IsLower1252(unsigned char c);
bool IsAlpha1252(unsigned char c);
bool IsAlnum1252(unsigned char c);
unsigned char ToUpper1252(unsigned char c);
unsigned char ToLower1252(unsigned char c);
char* StrUpper1252(char* text);
char* StrLower1252(char* text);
char* strlwr_ascii(char* text);
// Case-insensitive (by the 1252 upper-case map) search; none when the needle is
// longer than the text. An empty needle matches at the start.
// Equal without regard to case, by the 1252 lower-case map.
bool SameText1252(const char* a, const char* b);
char* stristr(const char* text, const char* needle);
// Replace the first occurrence of old by new; 0 when replaced, 1 when absent.
// The text buffer must have room for the longer result.
int strrepl(char* text, const char* oldText, const char* newText);
int strirepl(char* text, const char* oldText, const char* newText);
// The same within a buffer of size bytes: a result that would not fit is cut
// at size - 1 characters.
int strrepl(char* text, size_t size, const char* oldText, const char* newText);
char* strtrim(char* text);
char* rtrim(char* text);
char* ltrim(char* text);
// True when text begins with prefix, without regard to case (the 1252 map).
bool StartsWithNoCase(const char* text, const char* prefix);
// Copies length bytes of source, at most size - 1, and ends the copy.
void CopyBounded(char* dest, size_t size, const char* source, size_t length);
// Appends at most n characters of source.
void StrCatN(char* dest, const char* source, size_t n);
// Copies at most n characters; dest holds n + 1 bytes.
void StrCopyN(char* dest, const char* source, size_t n);
bool WildMatch(const char* text, const char* pattern);
// Matches a name against a ";"-separated pattern list in which "_" stands for
// a blank. The list is the caller's (the service's name-pattern setting).
bool MatchNameList(const char* name, const char* patternList);
int base64val(unsigned char c);
char* Base64DecodeText(char* text);
char* DecodeEncodedWords(char* text);
// nameSize and addressSize are the sizes of the output buffers.
char ParseAddress(const char* line, char* name, size_t nameSize, char* address, size_t addressSize);
bool IsUuencodeLine(const char* line);
// Quoted-printable in place; underscoreIsBlank for encoded words.
char* qpdecode(char* text, bool underscoreIsBlank = false);
int NullListCallback(int, int, int, int, int);
