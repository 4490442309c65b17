// Resource and command ids shared by the resource script and the code.
// Plain #defines so that windres can read this file too.
#ifndef VOXTRAWL_RESOURCE_H
#define VOXTRAWL_RESOURCE_H

// Menu commands
#define IDM_LOAD_AND_RIP 1124
#define IDM_UNLOAD_ROM 1125
#define IDM_RIP 1126
#define IDM_SAVE_ALL_ONE_FILE 1127
#define IDM_SAVE_EACH 1128
#define IDM_EXIT 1129
#define IDM_OPTIONS 1224
#define IDM_CLEAR_LOG 1225
#define IDM_HELP 1324
#define IDM_ABOUT 1325
#define IDM_SAMPLES_WINDOW 1735

// Toolbar commands
#define IDT_PLAY 1626
#define IDT_STOP 1627
#define IDT_NEXT 1628
#define IDT_PREV 1629
#define IDT_FIRST 1630
#define IDT_UNLOAD 1631
#define IDT_SAVE_CURRENT 1632

// Toolbar window and bitmap
#define IDC_TOOLBAR 1624
#define IDB_TOOLBAR 1625

// Options dialog controls
#define IDC_OPT_VALUE_EDIT 1524
#define IDC_OPT_UPDOWN 1527
#define IDC_OPT_LABEL 1528
#define IDC_OPT_APPLY 1532

// Samples window controls
#define IDC_SMP_NUMBER_EDIT 1526
#define IDC_SMP_NUMBER_LABEL 1529
#define IDC_SMP_LOOP_CHECK 1530
#define IDC_SMP_RATE_LABEL 1531
#define IDC_SMP_JUMP 1724
#define IDC_SMP_RATE_FIRST 1725
#define IDC_SMP_RATE_LAST 1734
#define IDC_SMP_UPDOWN 1736

#endif
