#pragma once

// Rewrites the pixel rows of the file image as green line pixels on black,
// marks the critical points red and hands the rendition to the screen.
void BuildDisplayImage(void* ownerWindow);
