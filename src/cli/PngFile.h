#pragma once
// PNG files of RGB pictures, through libpng.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace korva::cli {

// The PNG file (8-bit RGB) of a width x height picture given as three bytes
// a pixel, row after row, each pixel drawn as a scale x scale square.
// Raises std::runtime_error when libpng fails.
std::vector<std::uint8_t> EncodePng(std::span<const std::uint8_t> rgb, int width, int height, int scale);

}  // namespace korva::cli
