// Ids of the rich-text control's resources: its key table's commands (the
// control's command ids) and nothing else, since cursors and tables go by name.
#pragma once

#define WRX_CMD_PAGEUP 600
#define WRX_CMD_PAGEDOWN 601
#define WRX_CMD_UP 602
#define WRX_CMD_DOWN 603
#define WRX_CMD_LEFT 604
#define WRX_CMD_RIGHT 605
#define WRX_CMD_DELETE 606
#define WRX_CMD_TAB 608
#define WRX_CMD_HOME 610
#define WRX_CMD_END 611
#define WRX_CMD_FILEBEGIN 612
#define WRX_CMD_FILEEND 613
#define WRX_CMD_TABCHAR 614
#define WRX_CMD_NEXTWORD 620
#define WRX_CMD_PREVWORD 621
#define WRX_CMD_INSERTMODE 639
#define WRX_CMD_CTRLUP 715
#define WRX_CMD_CTRLDOWN 716
