#pragma once
// The resource ids of the dialog templates in dialogs.rc, and the ids of the
// frame controls the models do not name. Plain definitions: the resource
// compiler reads this file too.

// Frames and pages: the Japanese template, then the English one.
#define LUMVEK_DLG_CAMERA_JA 101
#define LUMVEK_DLG_CAMERA_EN 106
#define LUMVEK_DLG_IMAGE_JA 102
#define LUMVEK_DLG_IMAGE_EN 108
#define LUMVEK_DLG_FILTER_PAGE_JA 103
#define LUMVEK_DLG_FILTER_PAGE_EN 107
#define LUMVEK_DLG_GRAY_PAGE_JA 113
#define LUMVEK_DLG_GRAY_PAGE_EN 112
#define LUMVEK_DLG_ANALOG_JA 104
#define LUMVEK_DLG_ANALOG_EN 111
#define LUMVEK_DLG_ANALOG_PAGE_JA 105
#define LUMVEK_DLG_ANALOG_PAGE_EN 110
#define LUMVEK_DLG_CHANNEL_PAGE_JA 114
#define LUMVEK_DLG_CHANNEL_PAGE_EN 115

// The tab control of every frame, and the line that shows the model's message.
#define LUMVEK_IDC_TAB 1001
#define LUMVEK_IDC_MESSAGE 1098
