#include "engine/encoders/tags/image_shape.h"

#include <cstddef>

namespace sonorell {
namespace {

uint32_t Byte(std::string_view s, size_t at) {
  return static_cast<uint8_t>(s[at]);
}

uint32_t BigEndian16(std::string_view s, size_t at) {
  return Byte(s, at) << 8 | Byte(s, at + 1);
}

uint32_t BigEndian32(std::string_view s, size_t at) {
  return BigEndian16(s, at) << 16 | BigEndian16(s, at + 2);
}

uint32_t LittleEndian16(std::string_view s, size_t at) {
  return Byte(s, at) | Byte(s, at + 1) << 8;
}

ImageShape PngShape(std::string_view png) {
  // The signature, then the IHDR chunk: length, name, width, height, bit depth, colour type.
  if (png.size() < 8 + 8 + 13 || png.substr(12, 4) != "IHDR") return {};
  ImageShape shape;
  shape.mime = "image/png";
  shape.width = BigEndian32(png, 16);
  shape.height = BigEndian32(png, 20);
  const uint32_t bits = Byte(png, 24);
  switch (Byte(png, 25)) {
    case 0:  // grey
      shape.depth = bits;
      break;
    case 2:  // RGB
      shape.depth = bits * 3;
      break;
    case 4:  // grey and alpha
      shape.depth = bits * 2;
      break;
    case 6:  // RGB and alpha
      shape.depth = bits * 4;
      break;
    case 3: {
      // Indexed: the palette's samples are 8-bit RGB whatever the index width; the number
      // of colours is the PLTE chunk's, which comes before the image data.
      shape.depth = 24;
      size_t at = 8;
      while (at + 8 <= png.size()) {
        const uint64_t length = BigEndian32(png, at);
        const std::string_view name = png.substr(at + 4, 4);
        if (name == "PLTE") {
          shape.colours = static_cast<uint32_t>(length / 3);
          break;
        }
        if (name == "IDAT") break;
        at += 12 + length;  // length, name, data, CRC
      }
      break;
    }
    default:
      break;
  }
  return shape;
}

ImageShape JpegShape(std::string_view jpeg) {
  // Segments after the start-of-image marker, up to the first start-of-frame.
  size_t at = 2;
  while (at + 4 <= jpeg.size()) {
    if (Byte(jpeg, at) != 0xFF) return {};
    const uint32_t marker = Byte(jpeg, at + 1);
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length
      at += 2;
      continue;
    }
    const uint32_t length = BigEndian16(jpeg, at + 2);
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (length < 8 || at + 10 > jpeg.size()) return {};
      ImageShape shape;
      shape.mime = "image/jpeg";
      shape.height = BigEndian16(jpeg, at + 5);
      shape.width = BigEndian16(jpeg, at + 7);
      shape.depth = Byte(jpeg, at + 4) * Byte(jpeg, at + 9);
      return shape;
    }
    if (marker == 0xDA || marker == 0xD9) return {};  // image data before any frame header
    at += 2 + length;
  }
  return {};
}

ImageShape GifShape(std::string_view gif) {
  if (gif.size() < 13) return {};
  ImageShape shape;
  shape.mime = "image/gif";
  shape.width = LittleEndian16(gif, 6);
  shape.height = LittleEndian16(gif, 8);
  shape.depth = 24;
  const uint32_t flags = Byte(gif, 10);
  if (flags & 0x80) shape.colours = 1u << ((flags & 7) + 1);  // the global colour table
  return shape;
}

}  // namespace

ImageShape ReadImageShape(std::string_view image) {
  if (image.substr(0, 8) == "\x89PNG\r\n\x1a\n") return PngShape(image);
  if (image.size() >= 3 && Byte(image, 0) == 0xFF && Byte(image, 1) == 0xD8 &&
      Byte(image, 2) == 0xFF) {
    return JpegShape(image);
  }
  if (image.substr(0, 6) == "GIF87a" || image.substr(0, 6) == "GIF89a") return GifShape(image);
  return {};
}

}  // namespace sonorell
