#pragma once

// Reads a 24-bit BMP file into the document and rebuilds the display image.
// 1 when the picture was loaded; 0 when it was refused (with a message) or
// ignored (cannot be opened, or not a BMP file). A refused file leaves the
// previous picture in place.
int LoadBmp(const char* path, void* ownerWindow);
