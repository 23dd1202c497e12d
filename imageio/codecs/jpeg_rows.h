#pragma once
// JPEG read and written a band of rows at a time, through libjpeg's
// scanline interface, giving exactly the pixels DecodeJpeg gives and the
// bytes EncodeJpegBuffer writes for the same rows and quality. A
// conversion that streams keeps only the bands in flight in memory.
#include <cstddef>
#include <cstdint>
#include <string>

#include "imageio/codecs/codec.h"

struct JpegRowReader;
struct JpegRowWriter;

// Whether the JPEG in data can be read by rows: the checks DecodeJpeg makes
// before any pixel, and the header. kCodecOk with its size and workBytes,
// the decoder's own memory beyond a band (a progressive picture's
// coefficients); else a refusal (kCodecUnsupportedVariant for a CMYK
// picture, which is read whole).
CodecResult ProbeJpegRows(const uint8_t* data, size_t size, int32_t& width, int32_t& height, int64_t& workBytes);
// Starts reading it (data must outlive the reader); reader is null when
// refused.
CodecResult StartJpegRows(const uint8_t* data, size_t size, JpegRowReader*& reader, int32_t& width,
                          int32_t& height);
// Decodes the next rows.height rows into rows (BGRA, the fourth byte 0xFF).
// A file cut short or slightly damaged is filled in as DecodeJpeg fills it;
// kCodecCorrupt on a fatal error.
CodecResult ReadJpegRows(JpegRowReader* reader, ImageView rows);
// A JPEG whose bytes arrive while it is read (a file being encoded): next
// gives the next piece of it, waiting until one is there; it returns 0 when
// there are no more. A piece stays valid until next is called again.
struct JpegPieces {
    void* context = nullptr;
    size_t (*next)(void* context, const uint8_t** piece) = nullptr;
};
// Starts reading such a JPEG, as StartJpegRows does. Made for this
// program's own encoder's output: the header is read as it arrives, and
// none of the whole-file checks of DecodeJpeg are made.
CodecResult StartJpegRowsFromPieces(JpegPieces pieces, JpegRowReader*& reader, int32_t& width, int32_t& height);
// Reads to the end of the picture (after its last row); kCodecCorrupt when
// that fails as DecodeJpeg would.
CodecResult FinishJpegRows(JpegRowReader* reader);
void EndJpegRows(JpegRowReader* reader);

// A JPEG of width x height at quality, 4:4:4, written into memory.
CodecResult StartJpegWriter(int32_t width, int32_t height, int32_t quality, JpegRowWriter*& writer);
// The next rows (the fourth byte ignored).
CodecResult WriteJpegRows(JpegRowWriter* writer, ImageView rows);
// Hands watch every byte of the file as soon as a band of rows (or the
// end) has made it, in order, from the thread that writes the rows.
using JpegBytesWatcher = void (*)(void* context, const uint8_t* bytes, size_t size);
void WatchJpegWriter(JpegRowWriter* writer, JpegBytesWatcher watch, void* context);
// After the last row: the whole file's bytes.
CodecResult FinishJpegWriter(JpegRowWriter* writer, std::string& bytes);
void EndJpegWriter(JpegRowWriter* writer);
