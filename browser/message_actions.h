// The texts of message operations that reach the outbasket or the import
// program: the Fetch Full Message action lines, a message's header line as
// import text for another folder, and Send To's folder-name rules.
// Portable.
#pragma once
#include <string>
#include <vector>

// A field of an action line: CR, LF and TAB removed, so no field can forge a
// further line or argument.
std::string ActionField(const std::string& text);

// The four kinds of Fetch Full Message request.
enum class FetchKind { kMail, kDravenet, kNews, kLibraryList };

struct FetchRequest {
  FetchKind kind = FetchKind::kMail;
  std::string user;       // the id of the entry
  std::string folder;     // origin folder without service prefix
  std::string messageId;  // "Message-ID"
  long number = 0;
  long commentTo = 0;
};

// The two lines appended to the service's action file ("\n" line ends; the
// file is written in text mode).
std::string FetchActionLines(const FetchRequest& request);
// The forum of a Dravenet folder name without service prefix: up to "/".
std::string ForumOf(const std::string& folder);
// A news folder as its group: "/." removed, "/" made ".".
std::string DottedGroup(const std::string& folder);
// The origin from a "Newsgroups" value: cut at ",", the first "." made "/",
// prefixed "key:".
std::string OriginOfNewsgroups(const std::string& key, const std::string& groups);

// A message's header line readied for `destination`: the first word
// lower-cased, the source folder (without service prefix) replaced by the
// destination (case-insensitively); when the two differ, `note` receives
// "\r\n[This message was copied from PL://<openFolder>#<number>]\r\n" and the
// ", N chars, " count (in the one-line ">>>" form the "(N)" after the author)
// is raised by the note's length less 2.
std::string ImportHeaderLine(const std::string& header, const std::string& source, const std::string& destination,
                             const std::string& openFolder, long number, std::string* note);

// Send To's name: characters of code 32 or less become "_".
std::string CleanFolderName(const std::string& typed);
// False for a second ":" before any "/", a "/" before any ":", or not
// exactly one "/".
bool ValidSendToName(const std::string& name);

// The remote search's limit codes in the order of its combo box.
extern const char* const kSearchLimitCodes[10];
extern const char* const kSearchLimitNames[10];
// The two lines of a remote search for a Dravenet forum.
std::string RemoteSearchLines(const std::string& user, const std::string& forum, const std::string& sections,
                              const std::string& limit, const std::string& searchBy, const std::string& text);

// The header block of a message given to the import program to attach it to
// `parent` (0: make it a root): after the header line comes "Comment to N."
// or nothing before the "----------" line; in the one-line ">>>" form the
// word after the time becomes "cN" or goes. "\n" line ends.
std::string RethreadHeader(const std::string& header, long parent);
// The parent typed into the re-thread dialog: it must begin with a digit and
// lie below the message's own number.
bool RethreadTarget(const std::string& typed, long own, long* parent);

// Sections of a Dravenet forum as the section chooser keeps them: numbers
// each surrounded by blanks. A list item's number is the integer after its
// first character ("S3_talk" is 3).
long SectionNumberOfItem(const std::string& item);
bool SectionChosen(const std::string& selection, long number);
// The chosen numbers as "%d " each, trimmed.
std::string SectionsText(const std::vector<long>& numbers);
// The section of a Dravenet folder name ("forum/S3_talk" gives "3"); empty
// when the part after "/" does not hold a letter and digits.
std::string SectionOfFolder(const std::string& folder);
// The search text a message line gives: the text after the field name; for
// an author or recipient holding blanks, its last word without "[" and "]".
std::string SearchTextOfLine(const std::string& line, const std::string& field, bool person);
