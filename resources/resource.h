#pragma once
#define IDS_PROGRAM_CAPTION 5755
