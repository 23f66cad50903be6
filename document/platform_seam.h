// The few window-system services the document code needs. The Win32 shell
// provides them; the native tests provide a recording stand-in.
#pragma once

// A modal message box with a single OK button, owned by ownerWindow.
void ShowMessage(void* ownerWindow, const char* text, const char* caption);

// Ends the message loop with exitCode once the current handler returns.
void RequestQuit(int exitCode);

// Makes the screen bitmap from the rendition in app.fileImage, selects it
// into app.memoryDc in place of the previous one and invalidates the view.
void PresentDisplayImage(void* ownerWindow);

// Renames source to destination, replacing an existing destination. 1 on
// success, 0 on failure (source is then left in place).
int ReplaceFileWith(const char* source, const char* destination);
