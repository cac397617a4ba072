// MapPictureReader: reads the pictures of a script's map and initmap lines for the core, which
// reads only its own BMP files: PNG through libspng, BMP and TGA through stb_image. Owns nothing.
#pragma once

#include "rdsimul/PictureMap.h"

namespace MapPictureReader {
// Reads the PNG, BMP or TGA (a name ending in ".tga", any case) picture at path as gray or red,
// green and blue samples: true; false with an errno cause (EINVAL: no such picture or damaged,
// EFBIG: a side above PictureMap::MaxSide, EISDIR: no regular file).
bool Read(const char *path, PictureMap::Samples &samples, int &error);
// Makes Read the reader of every map the program loads; the programs call it at start-up.
void Install();
}  // namespace MapPictureReader
