// Text side of the message operations: bare addresses, address lists, news
// folder names as newsgroup names, header fields of a message's text, the
// batch forms of a message, the cancel line of a terminal service and the
// splitting of an outbasket action file. Portable: no Windows headers.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// The address alone: the text between "<" and the next ">" (none when there is
// no ">"), else the address without "(...)" comments and double quotes.
// Returns the first character of the result, 0 for none.
char BareAddress(const char* address, char* buffer, size_t size);

// Every address of a ","-separated list reduced to its bare form and joined
// with ", "; quoted parts and comments never split the list. ownDomains (";"
// separated, may be null) are a service's own mail domains: an address at one
// of them is cut to the nickname before the "@".
char* ShortenAddressList(const char* list, char* buffer, size_t size, const char* ownDomains);

// A news folder name as the newsgroup name, in place.
char* MakeUsenetName(char* name);

// One header field of a message's text (lines with their line ends). Unless
// whole, the search stops at the empty line that ends the header. The value
// and its folded continuation lines, trimmed, at most size - 1 characters.
int FindHeaderField(std::string_view message, const char* field, char* buffer, size_t size, bool whole);

// The forms in which a message is appended to a batch or archive file.
enum class BatchForm { Memo, Rnews, Log };
// logHeader is the message's header as read from the log (written only in
// the log form), body its text; length is the message's stated length.
std::string BatchMessageText(BatchForm form, std::string_view logHeader, std::string_view body, long number,
                             long length);

// The cancel line of a terminal service, made from the service's configured
// format: the first "%s" is the folder, the second "-", "%d"/"%ld" the number
// and "%%" a percent sign. Nothing else in the setting is a conversion.
std::string CancelLine(std::string_view format, std::string_view folder, long number);

// The side files of an action file: its last character replaced by 'd' (held
// back entries) or 't'.
std::string ActionSideFile(const std::string& path, char letter);
// With split, entries that begin ";#; id:" move to the d file and the rest
// stay in the action file; without, the d file's lines are appended back.
// 1 when done; a file that cannot be opened or written changes nothing.
int SplitActionFile(const char* path, bool split);
