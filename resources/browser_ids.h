// Control ids of the browser's dialogs.
#pragma once

#define IDC_DROP_MESSAGES 14339
#define IDC_DROP_BODY 14340
#define IDC_DROP_SERVICE 4138
#define IDC_DROP_FOLDER 4157
#define IDC_DROP_DELETE 4054

#define IDC_SENDTO_NAME 4098
#define IDC_SENDTO_APPEND 4030
#define IDC_SENDTO_DELETE 4031
