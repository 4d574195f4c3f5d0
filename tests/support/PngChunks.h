#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A PNG taken apart into its chunks and put together again with their
// lengths and CRCs right, for the tests that forge PNG data.
namespace testsupport {

struct PngChunk {
    std::string type, data;
};

// The chunks after the signature, in file order.
std::vector<PngChunk> PngChunks(const std::string& png);
// The signature and the chunks, each with its length and CRC.
std::string AssembledPng(const std::vector<PngChunk>& chunks);
// The data of every IDAT chunk, joined: the image data's zlib stream.
std::string PngImageStream(const std::vector<PngChunk>& chunks);
// zlib at its default level, and back (at most `length` bytes).
std::string Deflated(const std::string& bytes);
std::string Inflated(const std::string& stream, std::size_t length);
std::uint32_t Crc32(const std::string& bytes);

}  // namespace testsupport
