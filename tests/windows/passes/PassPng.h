// Pictures of a pass a person can look at when the devices disagree.
#pragma once

#include "PassImage.h"

#include <string>

// The picture's colour (clamped to 0..1), 8 bits a channel.
bool WritePassPng(const std::string& path, const PassImage& image);
// |a - b| per channel, magnified 16 times so that one step shows.
bool WriteDifferencePng(const std::string& path, const PassImage& a, const PassImage& b);
