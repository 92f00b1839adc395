// Control ids of the sample wizard, shared by its code and its .rc file.
#pragma once

#define IDD_SAMPLE_FIRST   101
#define IDD_SAMPLE_SECOND  102
#define IDC_SAMPLE_BAR     1000
#define IDC_SAMPLE_LIST    1001
#define IDC_SAMPLE_STATUS  1003
#define IDC_SAMPLE_RADIO_A 1004
#define IDC_SAMPLE_RADIO_B 1005
#define IDC_SAMPLE_EDIT    1006
#define IDC_SAMPLE_ASK     1010
