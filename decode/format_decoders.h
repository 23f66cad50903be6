// The per-format decoders behind DecodePicture, and the helpers they share.
// Each reads from the stream's start, fills result.image (or the status and
// detail) and returns whether it succeeded.
#pragma once

#include "decode/picture_decoder.h"

bool DecodePng(std::FILE* file, const DecodeLimits& limits, DecodeResult& result);
bool DecodeJpeg(std::FILE* file, const DecodeLimits& limits, DecodeResult& result);
bool DecodeTiff(std::FILE* file, const DecodeLimits& limits, DecodeResult& result);
bool DecodeBmp(std::FILE* file, const DecodeLimits& limits, DecodeResult& result);
bool DecodePnm(std::FILE* file, const DecodeLimits& limits, DecodeResult& result);
bool DecodeWebp(std::FILE* file, const DecodeLimits& limits, DecodeResult& result);

// Sets the status and detail; returns false for the decoders' tail calls.
bool Fail(DecodeResult& result, DecodeStatus status, std::string detail);

// Keeps a stated resolution when it is believable (BelievableResolution).
void SetResolution(DecodeResult& result, double dpiX, double dpiY);

// Checks the declared size against the limits and allocates the luminance;
// every decoder calls it before its one big allocation.
bool AllocateImage(DecodeResult& result, uint64_t width, uint64_t height,
                   const DecodeLimits& limits);
