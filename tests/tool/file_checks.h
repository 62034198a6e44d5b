#pragma once
// Small readers for what the tool writes: file signatures, the figures of an
// AVI header, a JSON field picked by name.
#include <cstdint>
#include <filesystem>
#include <string>

namespace lumvek::test {

uint32_t le32(const std::string& bytes, size_t offset);

// "bmp", "png", "tiff", "jpeg" or "" from the first bytes.
std::string signatureOf(const std::string& bytes);

// A finalised AVI: RIFF/AVI header, RIFF size = length - 8, frames at
// offset 48; 0 when any of that does not hold.
uint32_t finalisedAviFrames(const std::filesystem::path& path);

// The text after "\"key\":" up to the next ',' or '}' (numbers, null), or the
// string value without quotes; "" when absent.
std::string jsonField(const std::string& json, const std::string& key);

} // namespace lumvek::test
