// Resource ids shared by the program's code and its .rc files.
#pragma once

#define IDS_INVOKE_PLUGIN        1013
#define IDS_SERVICE_FEATURE      1489
#define IDS_CANT_CREATE_FILE     5031
#define IDS_CANT_FIND            5061
#define IDS_UNABLE_TO_WRITE      5066
#define IDS_CLOSE_TWICE          5073
#define IDS_FILE_ERROR           5109
#define IDS_OPEN_FILE            5252
#define IDS_UNABLE_TO_FIND_PATH  5571
#define IDS_IMPORT_LOG_LARGE     5681
#define IDS_DEBUG_LOG_LARGE      5682
#define IDS_POSTITS_LOG_LARGE    5683
#define IDS_PROGRAM_CAPTION      5755
#define IDS_MDI_WINDOW           7100

// Prompt dialogs "Ask" and "PAsk".
#define IDC_ASK_ANSWER           2005
#define IDC_ASK_PROMPT           2006
#define IDC_HELP_BUTTON          4078
#define IDC_EXPAND_TEXT1         4024
#define IDC_EXPAND_TEXT2         4025

// The "FILEOPEN" template added to the open dialog.
#define IDC_FILEOPEN_ERASE_AFTER  1200
#define IDC_FILEOPEN_ENCODE_GROUP 1201
#define IDC_FILEOPEN_MIME         1202
#define IDC_FILEOPEN_UUENCODE     1203
