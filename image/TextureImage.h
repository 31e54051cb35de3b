#pragma once
// A texture decoded to RGBA from TGA, JPEG, PNG or PCX bytes. Textures come from
// mods downloaded from the internet, so every decoder checks the size a file
// claims before allocating, refuses data that stops short (no pixel is ever
// left unwritten), and bounds the work a file can ask for.
#include "model/Error.h"

#include <cstdint>
#include <string>
#include <vector>

struct TextureImage {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba; // row-major, top row first, straight alpha
    std::string note;          // something the painter should know; empty mostly

    size_t Bytes() const { return rgba.size(); }
};

// What a texture may claim: 8192 pixels a side (the largest template), at
// most 64 Mpixels (256 MB decoded), read from a file of at most 256 MB.
inline constexpr int kMaxTextureSide = 8192;
inline constexpr uint64_t kMaxTexturePixels = uint64_t(8192) * 8192;
inline constexpr size_t kMaxTextureFileBytes = size_t(256) << 20;
// A progressive JPEG may spread its data over many scans, each a pass over
// the whole image; real files use about ten.
inline constexpr int kMaxJpegScans = 100;

// Decodes bytes already in memory; the reason says what is wrong.
Status DecodeTexture(const uint8_t* bytes, size_t size, TextureImage& image);
// Reads and decodes a file; the reason names the file.
Status LoadTexture(const std::string& path, TextureImage& image);

// The decoders, one per format; each expects bytes of its own format.
Status DecodeTga(const uint8_t* bytes, size_t size, TextureImage& image);
Status DecodePng(const uint8_t* bytes, size_t size, TextureImage& image);
Status DecodeJpeg(const uint8_t* bytes, size_t size, TextureImage& image);
Status DecodePcx(const uint8_t* bytes, size_t size, TextureImage& image);
// True when the bytes start as a run-length encoded PCX does.
bool IsPcxStart(const uint8_t* bytes, size_t size);

// Why a claimed width and height cannot be decoded, or empty when they can.
std::string TextureSizeProblem(uint64_t width, uint64_t height);
// Sizes the picture for width x height, every pixel to be written by the
// decoder; false when the memory cannot be had.
bool AllocateTexture(TextureImage& image, int width, int height);
