// JPEG through the TurboJPEG API of libjpeg-turbo. The probe walks the
// markers itself up to the frame header; decoding goes straight into the
// picture's buffer.
#include "imageio/codecs/formats.h"

#include <turbojpeg.h>

namespace codecs {
namespace {

struct TjHandle {
    tjhandle handle;
    explicit TjHandle(tjhandle h) : handle(h) {}
    ~TjHandle()
    {
        if (handle)
            tjDestroy(handle);
    }
    TjHandle(const TjHandle&) = delete;
    TjHandle& operator=(const TjHandle&) = delete;
};

struct JpegMarkers {
    int32_t width = 0;
    int32_t height = 0;
    bool sawFrame = false;
    bool adobe = false; // an APP14 "Adobe" segment: CMYK is stored inverted
    size_t scanAt = 0;  // where the first start-of-scan segment's length is
    uint8_t frameMarker = 0;
    int precision = 8; // bits per sample
};

bool IsFrameMarker(uint8_t m) { return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC; }

// Walks the segments after SOI. Stops at the first frame header when
// toFrame is set, else at the start of scan. kCodecCorrupt when the data
// ends first or a segment is malformed.
CodecResult ScanMarkers(const uint8_t* data, size_t size, bool toFrame, JpegMarkers& info)
{
    size_t pos = 2;
    for (;;) {
        if (pos >= size || data[pos] != 0xFF)
            return kCodecCorrupt;
        while (pos < size && data[pos] == 0xFF)
            ++pos;
        if (pos >= size)
            return kCodecCorrupt;
        uint8_t marker = data[pos++];
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8))
            continue; // no length follows
        if (marker == 0xD9 || marker == 0x00)
            return kCodecCorrupt;
        if (marker == 0xDA) {
            info.scanAt = pos;
            return info.sawFrame ? kCodecOk : kCodecCorrupt;
        }
        if (size - pos < 2)
            return kCodecCorrupt;
        size_t length = Be16(data + pos);
        if (length < 2)
            return kCodecCorrupt;
        const uint8_t* body = data + pos + 2;
        size_t avail = size - pos - 2;
        if (IsFrameMarker(marker) && !info.sawFrame) {
            if (avail < 6 || length < 8)
                return kCodecCorrupt;
            info.precision = body[0];
            info.height = Be16(body + 1);
            info.width = Be16(body + 3);
            info.frameMarker = marker;
            info.sawFrame = true;
            if (toFrame)
                return kCodecOk;
        }
        if (marker == 0xEE && length >= 7 && avail >= 5 && body[0] == 'A' && body[1] == 'd' && body[2] == 'o' &&
            body[3] == 'b' && body[4] == 'e')
            info.adobe = true;
        if (length > size - pos)
            return kCodecCorrupt;
        pos += length;
    }
}

// Whether any entropy-coded byte follows a scan header, in the scan whose
// header length is at pos or in any scan after it. Fill bytes, restart
// markers and other segments carry no image data.
bool AnyScanData(const uint8_t* data, size_t size, size_t pos)
{
    for (;;) {
        // pos is at a scan header's length: skip the header.
        if (size - pos < 2 || Be16(data + pos) < 2 || Be16(data + pos) > size - pos)
            return false;
        pos += Be16(data + pos);
        bool nextScan = false;
        while (!nextScan) {
            if (pos >= size)
                return false;
            if (data[pos] != 0xFF)
                return true;
            size_t m = pos + 1;
            while (m < size && data[m] == 0xFF)
                ++m;
            if (m >= size || data[m] == 0xD9)
                return false;
            uint8_t marker = data[m];
            if (marker == 0x00)
                return true; // a stuffed 0xFF data byte
            if (marker >= 0xD0 && marker <= 0xD7) {
                pos = m + 1;
                continue;
            }
            pos = m + 1;
            if (marker == 0xDA) {
                nextScan = true;
                continue;
            }
            if (size - pos < 2 || Be16(data + pos) < 2 || Be16(data + pos) > size - pos)
                return false;
            pos += Be16(data + pos);
        }
    }
}

// CMYK samples to BGRA in place (both 4 bytes a pixel). Adobe's writers
// store the inks inverted (0 = full ink), others store them plainly.
void CmykToBgra(uint32_t* pixels, int64_t count, bool inverted)
{
    auto* p = reinterpret_cast<uint8_t*>(pixels);
    for (int64_t i = 0; i < count; ++i, p += 4) {
        unsigned c = p[0], m = p[1], y = p[2], k = p[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        // Each channel is (1 - ink) x (1 - black), rounded.
        p[2] = uint8_t((c * k + 127) / 255);
        p[1] = uint8_t((m * k + 127) / 255);
        p[0] = uint8_t((y * k + 127) / 255);
        p[3] = 0xFF;
    }
}

// The frame's coding process as the user knows it, when libjpeg-turbo does
// not decode it; "" when it does.
std::string VariantOf(const JpegMarkers& info)
{
    uint8_t m = info.frameMarker;
    if (m == 0xC3 || m == 0xC7 || m == 0xCB || m == 0xCF)
        return "lossless JPEG";
    if (m == 0xC5 || m == 0xC6 || m == 0xCD || m == 0xCE)
        return "hierarchical JPEG";
    if (info.precision != 8)
        return std::to_string(info.precision) + "-bit JPEG";
    return std::string();
}

} // namespace

std::string JpegVariant(const uint8_t* data, size_t size)
{
    JpegMarkers info;
    return ScanMarkers(data, size, true, info) == kCodecOk ? VariantOf(info) : std::string();
}

CodecResult ProbeJpeg(const uint8_t* data, size_t size, PictureHeader& header)
{
    JpegMarkers info;
    CodecResult result = ScanMarkers(data, size, true, info);
    if (result != kCodecOk)
        return result;
    // Whether the scan holds data is known only when the bytes reach it;
    // a walk that stops earlier (or on bytes the decoder would skip) says
    // nothing.
    JpegMarkers scan;
    if (ScanMarkers(data, size, false, scan) == kCodecOk && !AnyScanData(data, size, scan.scanAt))
        return kCodecCorrupt;
    header.width = info.width;
    header.height = info.height;
    return kCodecOk;
}

CodecResult DecodeJpeg(const uint8_t* data, size_t size, Picture& picture)
{
    return DecodeJpegReduced(data, size, 0, picture);
}

namespace {

// The smallest of TurboJPEG's scaling factors (1/1 or smaller) whose
// picture keeps leastLongSide on its longer side; 1/1 for 0.
tjscalingfactor ReducedScale(int width, int height, int32_t leastLongSide)
{
    tjscalingfactor best = {1, 1};
    if (leastLongSide <= 0)
        return best;
    int longSide = width > height ? width : height;
    int wanted = longSide < leastLongSide ? longSide : leastLongSide;
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    for (int i = 0; factors && i < count; ++i) {
        const tjscalingfactor& f = factors[i];
        if (f.num > f.denom || TJSCALED(longSide, f) < wanted)
            continue;
        if (int64_t(f.num) * best.denom < int64_t(best.num) * f.denom)
            best = f;
    }
    return best;
}

} // namespace

CodecResult DecodeJpegReduced(const uint8_t* data, size_t size, int32_t leastLongSide, Picture& picture)
{
    if (size > 0xFFFFFFFFu)
        return kCodecTooLarge;
    TjHandle tj(tjInitDecompress());
    if (!tj.handle)
        return kCodecOutOfMemory;
    if (!JpegVariant(data, size).empty())
        return kCodecUnsupportedVariant;
    int width = 0, height = 0, subsamp = 0, colorspace = 0;
    if (tjDecompressHeader3(tj.handle, data, static_cast<unsigned long>(size), &width, &height, &subsamp, &colorspace) != 0)
        return kCodecCorrupt;
    if (width < 1 || height < 1) // the data ended before a frame header
        return kCodecCorrupt;
    CodecResult result = CheckPictureSize(width, height);
    if (result != kCodecOk)
        return result;
    // A scan without a single byte of image data would decode to a grey
    // picture made up by the decoder: refused, before the pixels are
    // allocated. A scan cut short after some data keeps what it holds.
    JpegMarkers markers;
    if (ScanMarkers(data, size, false, markers) == kCodecOk && !AnyScanData(data, size, markers.scanAt))
        return kCodecCorrupt;
    bool cmyk = colorspace == TJCS_CMYK || colorspace == TJCS_YCCK;
    const tjscalingfactor scale = ReducedScale(width, height, leastLongSide);
    width = TJSCALED(width, scale);
    height = TJSCALED(height, scale);
    result = AllocatePicture(picture, width, height);
    if (result != kCodecOk)
        return result;
    auto* out = reinterpret_cast<unsigned char*>(picture.pixels.get());
    // TJPF_BGRA fills the fourth byte with 0xFF. TJFLAG_LIMITSCANS refuses
    // progressive files with absurd scan counts (a denial-of-service shape).
    int pixelFormat = cmyk ? TJPF_CMYK : TJPF_BGRA;
    if (tjDecompress2(tj.handle, data, static_cast<unsigned long>(size), out, width, width * 4, height, pixelFormat,
                      TJFLAG_LIMITSCANS) != 0) {
        // Data cut short or slightly damaged comes back as a warning, with
        // the missing part filled in; a picture that decodes this far is
        // kept, as a viewer would show it. Fatal errors are refused.
        if (tjGetErrorCode(tj.handle) != TJERR_WARNING)
            return kCodecCorrupt;
    }
    if (cmyk)
        CmykToBgra(picture.pixels.get(), int64_t(width) * height, markers.adobe);
    return kCodecOk;
}

CodecResult EncodeJpegBuffer(const uint32_t* pixels, int32_t width, int32_t height, int64_t stride, int32_t quality,
                             unsigned char** jpeg, unsigned long* jpegSize)
{
    *jpeg = nullptr;
    *jpegSize = 0;
    // libjpeg's limit on either side of a JPEG; rows at least a width apart.
    if (width > kMaxJpegSide || height > kMaxJpegSide || stride < width || stride * 4 > INT32_MAX || quality < 1 ||
        quality > 100)
        return kCodecTooLarge;
    TjHandle tj(tjInitCompress());
    if (!tj.handle)
        return kCodecOutOfMemory;
    // No chroma subsampling: red/cyan edges are pure chroma, and 4:2:0
    // would smear them into coloured ghosts.
    if (tjCompress2(tj.handle, reinterpret_cast<const unsigned char*>(pixels), width, static_cast<int>(stride * 4),
                    height, TJPF_BGRX, jpeg, jpegSize, TJSAMP_444, quality, 0) != 0) {
        tjFree(*jpeg);
        *jpeg = nullptr;
        return kCodecWriteFailed;
    }
    return kCodecOk;
}

void FreeJpegBuffer(unsigned char* jpeg) { tjFree(jpeg); }

CodecResult EncodeJpeg(std::string& out, const uint32_t* pixels, int32_t width, int32_t height)
{
    unsigned char* jpeg = nullptr;
    unsigned long jpegSize = 0;
    CodecResult result = EncodeJpegBuffer(pixels, width, height, width, kDefaultJpegQuality, &jpeg, &jpegSize);
    if (result == kCodecOk)
        out.assign(reinterpret_cast<const char*>(jpeg), jpegSize);
    tjFree(jpeg);
    return result;
}

} // namespace codecs
