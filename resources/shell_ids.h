// Resource ids of the shell: start-up, log-in, frame, status bar and windows.
#pragma once

#define IDS_NO_DATE_TIME          14341
#define IDS_NEEDS_WIN32           5759
#define IDS_TOO_MANY_TIMERS       5019
#define IDS_SCHED_USER            5842
#define IDS_IMPORT_BUSY           5564
#define IDS_CANT_CHANGE_DIR       5059
#define IDS_BAD_MESSAGE_PATH      5957
#define IDS_UNAVAILABLE           5322
#define IDS_SYSTEM_FOLDER_FILE    5226
#define IDS_FRESH_INSTALL         5119
#define IDS_REINDEXING            5272
#define IDS_INCORRECT_LOGIN       5034
#define IDS_SAME_STEM             5286
#define IDS_NEW_ACCOUNT           5539
#define IDS_NO_ACCOUNT            5540
#define IDS_NEW_IF_NONE           5191
#define IDS_CHOOSE_ID             5070
#define IDS_PRINTABLE_ONLY        5261
#define IDS_RESERVED_NAME         5716
#define IDS_CHOOSE_PASSWORD       5071
#define IDS_MUST_DEFINE_PASSWORD  5179
#define IDS_ALREADY_LOGGED_ON     5152
#define IDS_FOLDER_UPDATED        5546
#define IDS_FOLDER_LIST_UPDATED   14645
#define IDS_OUTBASKET_ITEMS       5505
#define IDS_TERMINAL_SESSION      5575
#define IDS_OUT_OF_MEMORY         5206
#define IDS_STATUS_INFORMATION    5304
#define IDS_SEND_BROADCAST        1115
#define IDS_FLAGS_CAPTION         14118
#define IDS_CONNECT_REFUSED       5830

// Sign-in dialog "TrendyLogin".
#define IDC_LOGIN_NAME      4102
#define IDC_LOGIN_PASSWORD  4108
// About box.
#define IDC_ABOUT_VERSION   4024
#define IDC_ABOUT_BUILD     4051
// Status window.
#define IDC_STATUS_EDIT     4060
#define IDC_STATUS_COPY     1137
#define IDC_STATUS_PRINT    4116
#define IDC_STATUS_FULL     1157
