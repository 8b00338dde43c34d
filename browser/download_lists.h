// The download marks of file-list folders: the files a service's "files.ww"
// says were downloaded for a folder, and the files its action files hold
// "download file" requests for. Portable: both files arrive as text.
#pragma once
#include <string>
#include <vector>

// Lines "folder file" whose folder equals `folder` (case-insensitive).
std::vector<std::string> ReadDownloadedFiles(const std::string& filesWw, const std::string& folder);
// Action lines (";-;" or ";#;") of a "download file" script for `folder` or
// `otherFolder` (each as a "#:\t" argument, case-insensitive): the seventh
// tab-separated field, cut at its first blank.
std::vector<std::string> ReadQueuedDownloads(const std::string& actions, const std::string& folder,
                                             const std::string& otherFolder);
// True when the list holds the name whole (case-insensitive): "a.zip" is not
// found in "data.zip".
bool ListHoldsName(const std::vector<std::string>& list, const std::string& name);
