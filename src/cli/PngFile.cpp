#include "cli/PngFile.h"

#include <png.h>

#include <algorithm>
#include <stdexcept>

namespace korva::cli {

std::vector<std::uint8_t> EncodePng(std::span<const std::uint8_t> rgb, int width, int height, int scale) {
  if (width <= 0 || height <= 0 || scale <= 0 || rgb.size() != static_cast<std::size_t>(width) * height * 3)
    throw std::invalid_argument("EncodePng: the picture and its size do not agree");
  const std::size_t w = static_cast<std::size_t>(width) * scale, h = static_cast<std::size_t>(height) * scale;
  std::vector<std::uint8_t> scaled(w * h * 3);
  for (std::size_t y = 0; y < h; ++y) {
    const std::uint8_t* src = rgb.data() + (y / scale) * width * 3;
    std::uint8_t* dst = scaled.data() + y * w * 3;
    for (std::size_t x = 0; x < w; ++x) std::copy_n(src + (x / scale) * 3, 3, dst + x * 3);
  }

  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(w);
  image.height = static_cast<png_uint_32>(h);
  image.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, scaled.data(), 0, nullptr))
    throw std::runtime_error(std::string("cannot encode the PNG: ") + image.message);
  std::vector<std::uint8_t> out(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, scaled.data(), 0, nullptr))
    throw std::runtime_error(std::string("cannot encode the PNG: ") + image.message);
  out.resize(size);
  return out;
}

}  // namespace korva::cli
