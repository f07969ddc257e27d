// PNG files of pictures, through libpng. Failures come back as text.
#pragma once

#include "Picture.h"

#include <string>

bool WritePng(const std::string& path, const Picture& picture, std::string& error);
// 8-bit (or less) grey, palette, RGB and their alpha forms, read as RGB;
// 16-bit samples are cut to 8 and alpha is dropped.
bool ReadPng(const std::string& path, Picture& out, std::string& error);
