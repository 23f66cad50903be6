// The Win32 shell: main window, view, dialogs and menu commands.
#pragma once

#include <windows.h>

constexpr int STATUS_BAR_HEIGHT = 18;
constexpr char kClassName[] = "BRELTClassWin";
constexpr char kWindowTitle[] = "Kwindra v0.1b";
constexpr char kStatusReady[] = "Gotów!";

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Creates the main window (the class must be registered); nullptr on failure.
HWND CreateMainWindow(HINSTANCE instance);
bool RegisterMainWindowClass(HINSTANCE instance);
void FitWindowToImage(HWND window);
void SetStatusText(const char* text);
void PaintView(HWND window);

INT_PTR CALLBACK PreferencesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int ChooseOpenFile(HWND owner, char* buffer, DWORD bufferSize, const char* filter);
int ChooseSaveFile(HWND owner, char* buffer, DWORD bufferSize, const char* filter);

// Carries out a menu command. False when the message must not go on to
// the default window procedure.
bool RunCommand(HWND window, WORD id);
