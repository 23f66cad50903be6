#pragma once

// Saves the displayed picture as a BMP file. 1 when written; 0 after a
// message. A failed save leaves an existing file of that name untouched.
int SaveBmp(const char* path, void* ownerWindow);
