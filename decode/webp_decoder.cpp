// WebP through libwebp, lossy or lossless, with or without alpha, fed a
// chunk of the file at a time: decoded as Y'CbCr with the Y plane straight
// into the picture (BT.601 luma in studio range, widened here in place),
// the chroma planes a quarter of a byte a pixel, alpha (when there is any)
// one more, laid over white paper. An animation is refused: its frames are
// not one drawing.
#include <webp/decode.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "decode/format_decoders.h"
#include "decode/luminance.h"

namespace {

const char* StatusText(VP8StatusCode status) {
  switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY:
      return "out of memory";
    case VP8_STATUS_INVALID_PARAM:
      return "invalid parameter";
    case VP8_STATUS_BITSTREAM_ERROR:
      return "corrupt data";
    case VP8_STATUS_UNSUPPORTED_FEATURE:
      return "unsupported feature";
    case VP8_STATUS_NOT_ENOUGH_DATA:
      return "cut short";
    default:
      return "decoding failed";
  }
}

// Studio-range luma (16 to 235) to full-range luminance.
std::array<uint8_t, 256> WideningTable() {
  std::array<uint8_t, 256> table{};
  for (int y = 0; y < 256; ++y) {
    table[y] = static_cast<uint8_t>(std::clamp((y - 16) * 255 / 219.0 + 0.5, 0.0, 255.0));
  }
  return table;
}

// Frees libwebp's decoder however the decoding ends.
struct Decoder {
  WebPIDecoder* decoder = nullptr;
  ~Decoder() {
    if (decoder) WebPIDelete(decoder);
  }
};

}  // namespace

bool DecodeWebp(std::FILE* file, const DecodeLimits& limits, DecodeResult& result) {
  std::vector<uint8_t> chunk(1 << 16);
  size_t length = std::fread(chunk.data(), 1, chunk.size(), file);
  WebPBitstreamFeatures features;
  const VP8StatusCode header = WebPGetFeatures(chunk.data(), length, &features);
  if (header != VP8_STATUS_OK) return Fail(result, DecodeStatus::kDamaged, StatusText(header));
  if (features.has_animation) {
    return Fail(result, DecodeStatus::kUnsupported, "animated WebP");
  }
  if (!AllocateImage(result, static_cast<uint64_t>(features.width),
                     static_cast<uint64_t>(features.height), limits)) {
    return false;
  }
  GrayImage& image = result.image;
  const uint64_t pixels = image.PixelCount();
  const uint64_t chromaWidth = (static_cast<uint64_t>(image.width) + 1) / 2;
  const uint64_t chroma = chromaWidth * ((static_cast<uint64_t>(image.height) + 1) / 2);
  std::vector<uint8_t> u(chroma), v(chroma), alpha(features.has_alpha ? pixels : 0);

  WebPDecoderConfig config;
  if (!WebPInitDecoderConfig(&config)) return Fail(result, DecodeStatus::kDamaged, "libwebp");
  WebPDecBuffer& out = config.output;
  out.colorspace = features.has_alpha ? MODE_YUVA : MODE_YUV;
  out.is_external_memory = 1;
  out.width = image.width;
  out.height = image.height;
  out.u.YUVA.y = image.pixels.get();
  out.u.YUVA.y_stride = image.width;
  out.u.YUVA.y_size = pixels;
  out.u.YUVA.u = u.data();
  out.u.YUVA.v = v.data();
  out.u.YUVA.u_stride = out.u.YUVA.v_stride = static_cast<int>(chromaWidth);
  out.u.YUVA.u_size = out.u.YUVA.v_size = chroma;
  out.u.YUVA.a = features.has_alpha ? alpha.data() : nullptr;
  out.u.YUVA.a_stride = features.has_alpha ? image.width : 0;
  out.u.YUVA.a_size = alpha.size();
  Decoder decoder{WebPIDecode(nullptr, 0, &config)};
  if (!decoder.decoder) return Fail(result, DecodeStatus::kOutOfMemory, "");
  VP8StatusCode status = VP8_STATUS_SUSPENDED;
  while (length > 0) {
    status = WebPIAppend(decoder.decoder, chunk.data(), length);
    if (status != VP8_STATUS_SUSPENDED) break;
    length = std::fread(chunk.data(), 1, chunk.size(), file);
  }
  if (status == VP8_STATUS_SUSPENDED) status = VP8_STATUS_NOT_ENOUGH_DATA;
  if (status != VP8_STATUS_OK) return Fail(result, DecodeStatus::kDamaged, StatusText(status));

  static const std::array<uint8_t, 256> widen = WideningTable();
  uint8_t* p = image.pixels.get();
  for (uint64_t i = 0; i < pixels; ++i) {
    p[i] = features.has_alpha ? OverWhite(widen[p[i]], alpha[i]) : widen[p[i]];
  }
  return true;
}
