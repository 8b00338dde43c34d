// Dialogs the browser's commands open: the sections of a Dravenet forum, the
// remote message search, the service directories for other dialogs' combo
// boxes, and the favourite places.
#pragma once
#include <windows.h>

#include <string>

// "MsgListsSel": 1 on OK with `sections` rebuilt from the chosen items, 0 on
// cancel (unchanged). The forum is the open folder's when `forum` is null.
int ChooseForumSections(std::string* sections, const char* forum);
// Fills a list box with the forum's sections (the folders "forum/Sn..." of
// the conference list) until the subscriptions module provides them.
void LoadListBox(HWND list, const char* forum, const char* title);
void RemoteSearch();
// Adds the service directories of the data directory, lower case with their
// capitals restored, except those named "name;" in `leaveOut`; `restricted`
// adds them only for an administrator.
void ScanNetFolders(HWND combo, const char* leaveOut, bool restricted);
void EditFavourites();

INT_PTR CALLBACK MsgListsSelProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DvnSearchProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK FavesProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
