#pragma once
// The play-test page: one self-contained HTML file that runs a cartridge's
// very PRG and CHR images in a web browser, from disk, with no network:
// jsnes (its browser build), the KORVA board model and the page's script
// (play/), the two images, and what the page shows beside the picture (the
// cartridge title, the slot that is running, the arcade's RGB palette).
#include "builder/ImageBuilder.h"
#include "project/Model.h"

#include <string>

namespace korva {

// The page for `images`, the images the export builds for `project`: both
// 512 KB images as base64, the cartridge title, each placed slot's number,
// title, PRG bank and CHR bank (so the page can name the slot whose game the
// menu started), and kRgbPalette (the page's "PlayChoice-10 (RGB)" colours).
// Raises std::logic_error when a part built into the program is missing or
// damaged (a fault of the build, not of the project).
std::string PlayPage(const Project& project, const CartridgeImages& images);

// Where `korva play` writes the page by default: "NAME-play.html" beside the
// project file (the project file without its extension, plus "-play.html").
std::string PlayPagePath(const std::string& projectFileName);

}  // namespace korva
