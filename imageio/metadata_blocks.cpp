#include "imageio/metadata_blocks.h"

#include <algorithm>
#include <cstring>
#include <vector>
#include <zlib.h>

namespace {

uint32_t Be32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

void PutBe32(std::string& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += char(value >> shift & 0xFF);
}

// Calls visit(marker, payloadOffset, payloadSize) for each marker segment
// of a JPEG's head, up to its first SOS; stops quietly at anything
// malformed.
template <class Visit>
void WalkJpegHead(const uint8_t* data, size_t size, Visit visit)
{
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return;
    size_t pos = 2;
    while (pos < size && data[pos] == 0xFF) {
        while (pos < size && data[pos] == 0xFF)
            ++pos;
        if (pos >= size)
            return;
        const uint8_t marker = data[pos++];
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01)
            continue;
        if (marker == 0x00 || marker == 0xD8 || marker == 0xD9 || marker == 0xDA || size - pos < 2)
            return;
        const size_t length = size_t(data[pos]) << 8 | data[pos + 1];
        if (length < 2 || size - pos < length)
            return;
        visit(marker, pos + 2, length - 2);
        pos += length;
    }
}

constexpr char kIccChunkId[] = "ICC_PROFILE"; // with its NUL, 12 bytes
constexpr size_t kIccChunkHeader = 14;        // the id, the sequence number, the count

// Inflates a whole zlib stream into out, at most most bytes; false when the
// stream is broken, cut short or larger.
bool InflateAll(const uint8_t* data, size_t size, size_t most, std::string& out)
{
    out.clear();
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return false;
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = uInt(size);
    int result = Z_OK;
    std::vector<char> block(65536);
    while (result == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(block.data());
        stream.avail_out = uInt(block.size());
        result = inflate(&stream, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END)
            break;
        const size_t produced = block.size() - stream.avail_out;
        if (out.size() + produced > most) {
            result = Z_MEM_ERROR;
            break;
        }
        out.append(block.data(), produced);
        if (result == Z_OK && produced == 0 && stream.avail_in == 0)
            break; // the input ended before the stream did
    }
    inflateEnd(&stream);
    if (result != Z_STREAM_END) {
        out.clear();
        return false;
    }
    return true;
}

} // namespace

bool FindJpegExif(const uint8_t* data, size_t size, size_t& offset, size_t& length)
{
    bool found = false;
    WalkJpegHead(data, size, [&](uint8_t marker, size_t payload, size_t payloadSize) {
        if (found || marker != 0xE1 || payloadSize < 6 || std::memcmp(data + payload, "Exif\0\0", 6) != 0)
            return;
        found = true;
        offset = payload + 6;
        length = payloadSize - 6;
    });
    return found;
}

IccSearch FindJpegIcc(const uint8_t* data, size_t size, std::string& profile, std::string& problem)
{
    profile.clear();
    problem.clear();
    struct Chunk {
        size_t offset = 0, length = 0;
        bool seen = false;
    };
    std::vector<Chunk> chunks;
    bool any = false;
    WalkJpegHead(data, size, [&](uint8_t marker, size_t payload, size_t payloadSize) {
        if (marker != 0xE2 || payloadSize < kIccChunkHeader ||
            std::memcmp(data + payload, kIccChunkId, sizeof kIccChunkId) != 0)
            return;
        const uint8_t number = data[payload + 12], count = data[payload + 13];
        if (!any) {
            any = true;
            chunks.resize(count);
        }
        if (!problem.empty())
            return;
        if (count != chunks.size() || number == 0 || number > count)
            problem = "its chunks are numbered inconsistently";
        else if (chunks[number - 1].seen)
            problem = "chunk " + std::to_string(number) + " is there twice";
        else
            chunks[number - 1] = {payload + kIccChunkHeader, payloadSize - kIccChunkHeader, true};
    });
    if (!any)
        return IccSearch::None;
    if (chunks.empty())
        problem = "its chunks are numbered inconsistently";
    for (size_t i = 0; i < chunks.size() && problem.empty(); ++i)
        if (!chunks[i].seen)
            problem = "chunk " + std::to_string(i + 1) + " of " + std::to_string(chunks.size()) + " is missing";
    if (!problem.empty())
        return IccSearch::Damaged;
    for (const Chunk& chunk : chunks)
        profile.append(reinterpret_cast<const char*>(data + chunk.offset), chunk.length);
    return IccSearch::Found;
}

IccSearch FindPngIcc(const uint8_t* data, size_t size, std::string& profile, std::string& problem)
{
    profile.clear();
    problem.clear();
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (!data || size < 8 || std::memcmp(data, kSignature, 8) != 0)
        return IccSearch::None;
    size_t pos = 8;
    while (size - pos >= 12) {
        const uint32_t length = Be32(data + pos);
        const uint8_t* type = data + pos + 4;
        if (length > size - pos - 12)
            return IccSearch::None; // the file is cut short before any profile
        if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0)
            return IccSearch::None;
        if (std::memcmp(type, "iCCP", 4) != 0) {
            pos += 12 + size_t(length);
            continue;
        }
        const uint8_t* body = data + pos + 8;
        const uint32_t stored = Be32(body + length);
        if (uint32_t(crc32(crc32(0, type, 4), body, length)) != stored) {
            problem = "its iCCP chunk fails its checksum";
            return IccSearch::Damaged;
        }
        // A name of 1 to 79 bytes, a NUL, the compression method (0), the
        // deflated profile.
        const void* nul = std::memchr(body, 0, std::min<size_t>(length, 80));
        const size_t nameLength = nul ? size_t(static_cast<const uint8_t*>(nul) - body) : length;
        if (!nul || nameLength == 0 || length - nameLength < 2 || body[nameLength + 1] != 0) {
            problem = "its iCCP chunk is malformed";
            return IccSearch::Damaged;
        }
        const size_t start = nameLength + 2;
        if (!InflateAll(body + start, length - start, kMostIccBytes, profile)) {
            problem = "its compressed data is damaged";
            return IccSearch::Damaged;
        }
        return IccSearch::Found;
    }
    return IccSearch::None;
}

bool PngHasExif(const uint8_t* data, size_t size)
{
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (!data || size < 8 || std::memcmp(data, kSignature, 8) != 0)
        return false;
    for (size_t pos = 8; size - pos >= 12;) {
        const uint32_t length = Be32(data + pos);
        const uint8_t* type = data + pos + 4;
        if (length > size - pos - 12 || std::memcmp(type, "IEND", 4) == 0)
            return false;
        if (std::memcmp(type, "eXIf", 4) == 0)
            return true;
        if (std::memcmp(type, "tEXt", 4) == 0 || std::memcmp(type, "zTXt", 4) == 0 ||
            std::memcmp(type, "iTXt", 4) == 0) {
            const std::string keyword(reinterpret_cast<const char*>(type + 4), std::min<size_t>(length, 22));
            if (keyword.compare(0, 22, std::string("Raw profile type exif\0", 22)) == 0 ||
                keyword.compare(0, 22, std::string("Raw profile type APP1\0", 22)) == 0)
                return true;
        }
        pos += 12 + size_t(length);
    }
    return false;
}

std::string IccProfileProblem(const std::string& profile)
{
    const auto* p = reinterpret_cast<const uint8_t*>(profile.data());
    if (profile.size() < 128)
        return "it is shorter than a profile's header";
    if (Be32(p) != profile.size())
        return "its header gives a size of " + std::to_string(Be32(p)) + " bytes, but it holds " +
               std::to_string(profile.size());
    if (std::memcmp(p + 36, "acsp", 4) != 0)
        return "it lacks the profile signature";
    return "";
}

std::string PngChunk(const char type[4], const std::string& data)
{
    std::string chunk;
    PutBe32(chunk, uint32_t(data.size()));
    chunk.append(type, 4);
    chunk += data;
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type), 4);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size()));
    PutBe32(chunk, uint32_t(crc));
    return chunk;
}

std::string PngIccChunk(const std::string& profile)
{
    uLongf length = compressBound(uLong(profile.size()));
    std::string deflated(length, '\0');
    if (compress2(reinterpret_cast<Bytef*>(deflated.data()), &length,
                  reinterpret_cast<const Bytef*>(profile.data()), uLong(profile.size()),
                  Z_BEST_COMPRESSION) != Z_OK)
        return "";
    deflated.resize(length);
    // The name PNG requires (1 to 79 Latin-1 bytes), its NUL, method 0.
    return PngChunk("iCCP", std::string("ICC profile\0\0", 13) + deflated);
}

bool InsertAfterPngHeader(std::string& png, const std::string& chunks)
{
    const auto* p = reinterpret_cast<const uint8_t*>(png.data());
    if (png.size() < 8 + 12 || std::memcmp(p + 12, "IHDR", 4) != 0)
        return false;
    const uint32_t length = Be32(p + 8);
    if (length > png.size() - 8 - 12)
        return false;
    png.insert(8 + 12 + size_t(length), chunks);
    return true;
}
