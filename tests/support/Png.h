#pragma once
// A minimal PNG writer for screenshots: 8-bit RGB, uncompressed deflate.

#include <string>
#include <vector>

bool WritePng(const std::string& path, int width, int height, const std::vector<unsigned char>& rgb);
