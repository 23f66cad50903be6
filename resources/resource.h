// Resource and command identifiers, shared by the .rc file and the shell.
#pragma once

#define IDR_MAINMENU 101
#define IDI_MAIN 102
#define IDD_PREFERENCES 103
#define IDC_EPSILON 1009

#define IDM_LOAD 40001
#define IDM_EXIT 40003
#define IDM_PREFERENCES 40007
#define IDM_ABOUT 40014
#define IDM_SAVE 40016
#define IDM_COMPUTE 40022
#define IDM_TOGGLE_LINES 40023
#define IDM_COMPUTE_BREAKPOINT 40024
