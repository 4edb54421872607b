// Resource and control ids of the options sheet, shared by the dialog
// templates (resources/options.rc) and the dialog procedures.
#pragma once

#define IDS_OPTIONS_TITLE 130

#define IDD_POPUP_PAGE 111
#define IDD_ITEMS_PAGE 113
#define IDD_POP3_PAGE 328

// Pop-up blocker page
#define IDC_RELEASE_KEY 209
#define IDC_BEEP 211
#define IDC_STATUS_TEXT 238
#define IDC_BLOCK_POPUPS 239
#define IDC_BLOCK_FLASH 240
#define IDC_BLOCK_RESIZE 242
#define IDC_RESET_COUNT 305
#define IDC_BLOCKED_COUNT 306

// POP3 accounts page
#define IDC_HAS_WEB_FRONT 307
#define IDC_WEB_FRONT 308
#define IDC_ACCOUNT_LIST 1022
#define IDC_ACCOUNT_ADD 1051
#define IDC_ACCOUNT_REMOVE 1052
#define IDC_SERVER 1129
#define IDC_ACCOUNT_NAME 1130
#define IDC_PASSWORD 1131
#define IDC_INTERVAL 1132
#define IDC_USE_SPA 1137
#define IDC_EVERY_LABEL 1138
#define IDC_INTERVAL_SPIN 1139
#define IDC_AUTO_CHECK 1140
#define IDC_MINUTES_LABEL 1141
#define IDC_URL_LABEL 1181

// Toolbar items page
#define IDC_ITEM_LIST 1022
#define IDC_ICON_ONLY 310
#define IDC_WIDTH 309
#define IDC_PERSONAL_GROUP 1170
#define IDC_PERSONAL_LABEL1 311
#define IDC_PERSONAL_CHOICES1 312
#define IDC_PERSONAL_LABEL2 313
#define IDC_PERSONAL_CHOICES2 314
#define IDC_PERSONAL_TEXT2 315
#define IDC_PERSONAL_TEXT1 316
#define IDC_WIDTH_LABEL 317
#define IDC_RESET_ITEMS 318
