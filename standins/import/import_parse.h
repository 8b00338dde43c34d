// Reading a file of import text into the messages it holds, before any of it
// is written: the log's own forms ("=====" separator and ">>>" single line),
// "!start ... !end" blocks, "#pragma" lines, and the batch forms of saved
// messages ("#! rnews", "Memo #"). Portable: it takes bytes and gives results.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct ImportedMessage {
  std::string folder;  // full folder name (service prefix unless local)
  long number = 0;     // 0: the folder's next number
  std::string author;  // one word, as the log's header pattern reads it
  std::string date;
  long commentTo = 0;       // 0: no "Comment to" line
  int parentIndex = -1;     // renumbered: the message of this batch it comments on
  std::string extraHeader;  // further header lines, each ending in CR LF
  // A pasted message keeping its number must not overwrite another message
  // that holds it: it takes the next number instead.
  bool neverReplace = false;
  // Marked by "#pragma urgent=yes" before it: a post-it note goes out for it.
  bool urgent = false;

  std::string_view body;  // bytes of the body, in the text or in ownedBody
  std::string ownedBody;
  bool ownsBody = false;
  std::string_view Body() const { return ownsBody ? std::string_view(ownedBody) : body; }
};

struct ImportFile {
  std::vector<ImportedMessage> messages;
  std::vector<std::string> newFolders;
  std::string error;  // empty when the whole text was understood
};

struct ImportParseOptions {
  std::string_view service;  // the queue entry's service key
  std::string_view kind;     // the queue entry's kind: the folder for mail without one
  std::string_view now;      // date for messages that carry none ("!start" blocks)
  // A topic log handed back for rebuilding: text that starts no message is
  // passed over, and a body's length counts characters other than CR.
  bool logForm = false;
};

// The body views point into text, which must outlive the result.
ImportFile ParseImportText(std::string_view text, const ImportParseOptions& options);

// The CRs of a text, eight bytes at a time: the runtime's byte search is
// slow, and every body of a batch is counted for its header.
size_t CountCarriageReturns(std::string_view text);

// The folder name a service's file gives a bare "conference/topic".
std::string ServiceFolderName(std::string_view service, std::string_view name);
