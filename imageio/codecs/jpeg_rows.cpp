// JPEG by bands of rows through libjpeg's scanline interface, set up as
// TurboJPEG sets up its whole-picture calls (DecodeJpeg, EncodeJpegBuffer),
// so that the pixels and the bytes are the same: decoding to BGRA with the
// default (accurate) DCT and smooth upsampling, at most 500 scans of a
// progressive file; encoding from BGRX to YCbCr 4:4:4 with the quality's
// tables, the fast DCT below quality 96 and the accurate one from 96 up.
// libjpeg reports a fatal error by jumping back (setjmp); every call that
// may report one is made from a function holding no C++ object.
#include "imageio/codecs/jpeg_rows.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <new>

#include <jpeglib.h>
#include <jerror.h>

#include "imageio/codecs/formats.h"

namespace {

constexpr int kMostScans = 500;

struct RowErrors {
    jpeg_error_mgr manager;
    jmp_buf jump;
};

void JumpBack(j_common_ptr info) { longjmp(reinterpret_cast<RowErrors*>(info->err)->jump, 1); }

// Warnings (data cut short, a damaged segment) let decoding go on, as
// TurboJPEG lets it; nothing is printed.
void KeepQuiet(j_common_ptr, int) {}
void PrintNothing(j_common_ptr) {}

void UseRowErrors(RowErrors& errors)
{
    jpeg_std_error(&errors.manager);
    errors.manager.error_exit = JumpBack;
    errors.manager.emit_message = KeepQuiet;
    errors.manager.output_message = PrintNothing;
}

// A progressive file with an absurd number of scans is refused (a
// denial-of-service shape), as TJFLAG_LIMITSCANS refuses it.
void LimitScans(j_common_ptr info)
{
    if (info->is_decompressor && reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMostScans)
        longjmp(reinterpret_cast<RowErrors*>(info->err)->jump, 1);
}

} // namespace

struct JpegRowReader {
    jpeg_decompress_struct info;
    RowErrors errors;
    jpeg_progress_mgr progress;
    bool created = false;
    JpegPieces pieces;             // set when the bytes arrive while read
    jpeg_source_mgr piecesSource;
};

struct JpegRowWriter {
    jpeg_compress_struct info;
    RowErrors errors;
    jpeg_destination_mgr destination;
    std::string bytes; // the file so far; bytes.size() is its capacity
    bool created = false;
    JpegBytesWatcher watch = nullptr;
    void* watchContext = nullptr;
    size_t watched = 0; // bytes handed to watch so far
};

namespace {

// The source of a JPEG that arrives in pieces. When the pieces end before
// the picture does, the decoder is given an end marker, as libjpeg's memory
// source gives it, and fills in the rest.
void StartPieces(j_decompress_ptr) {}

boolean NextPiece(j_decompress_ptr info)
{
    static const JOCTET kEnd[2] = {0xFF, JPEG_EOI};
    auto* reader = static_cast<JpegRowReader*>(info->client_data);
    const uint8_t* piece = nullptr;
    size_t size = reader->pieces.next(reader->pieces.context, &piece);
    if (size == 0) {
        WARNMS(info, JWRN_JPEG_EOF);
        piece = kEnd;
        size = sizeof kEnd;
    }
    info->src->next_input_byte = piece;
    info->src->bytes_in_buffer = size;
    return TRUE;
}

void SkipPieces(j_decompress_ptr info, long count)
{
    while (count > 0) {
        if (info->src->bytes_in_buffer == 0)
            NextPiece(info);
        size_t skipped = std::min(size_t(count), info->src->bytes_in_buffer);
        info->src->next_input_byte += skipped;
        info->src->bytes_in_buffer -= skipped;
        count -= long(skipped);
    }
}

void EndPieces(j_decompress_ptr) {}

void UsePieces(JpegRowReader* reader)
{
    reader->info.client_data = reader;
    jpeg_source_mgr& source = reader->piecesSource;
    source.init_source = StartPieces;
    source.fill_input_buffer = NextPiece;
    source.skip_input_data = SkipPieces;
    source.resync_to_restart = jpeg_resync_to_restart;
    source.term_source = EndPieces;
    source.bytes_in_buffer = 0;
    source.next_input_byte = nullptr;
    reader->info.src = &source;
}

bool StartReading(JpegRowReader* reader, const uint8_t* data, size_t size, bool decode)
{
    if (setjmp(reader->errors.jump))
        return false;
    jpeg_create_decompress(&reader->info);
    reader->created = true;
    reader->progress.progress_monitor = LimitScans;
    reader->info.progress = &reader->progress;
    if (reader->pieces.next)
        UsePieces(reader);
    else
        jpeg_mem_src(&reader->info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&reader->info, TRUE) != JPEG_HEADER_OK)
        return false;
    const J_COLOR_SPACE space = reader->info.jpeg_color_space;
    if (space == JCS_CMYK || space == JCS_YCCK || space == JCS_UNKNOWN)
        return false;
    reader->info.out_color_space = JCS_EXT_BGRA;
    return !decode || jpeg_start_decompress(&reader->info) != 0;
}

bool ReadRows(JpegRowReader* reader, JSAMPROW* rows, JDIMENSION count)
{
    if (setjmp(reader->errors.jump))
        return false;
    JDIMENSION done = 0;
    while (done < count && reader->info.output_scanline < reader->info.output_height) {
        JDIMENSION read = jpeg_read_scanlines(&reader->info, rows + done, count - done);
        if (read == 0)
            return false;
        done += read;
    }
    return done == count;
}

bool FinishReading(JpegRowReader* reader)
{
    if (setjmp(reader->errors.jump))
        return false;
    return jpeg_finish_decompress(&reader->info) != 0;
}

// The writer's destination: the bytes grow as libjpeg fills them.
constexpr size_t kFirstBytes = size_t{1} << 16;

void StartBytes(j_compress_ptr info)
{
    auto* writer = static_cast<JpegRowWriter*>(info->client_data);
    writer->bytes.resize(kFirstBytes);
    writer->destination.next_output_byte = reinterpret_cast<JOCTET*>(writer->bytes.data());
    writer->destination.free_in_buffer = writer->bytes.size();
}

boolean MoreBytes(j_compress_ptr info)
{
    auto* writer = static_cast<JpegRowWriter*>(info->client_data);
    // libjpeg asks only when the buffer is full; resize may throw, which
    // must not cross libjpeg's frames: a failed growth is its fatal error.
    const size_t used = writer->bytes.size();
    bool grown = true;
    try {
        writer->bytes.resize(used * 2);
    } catch (const std::bad_alloc&) {
        grown = false;
    }
    if (!grown)
        info->err->error_exit(reinterpret_cast<j_common_ptr>(info));
    writer->destination.next_output_byte = reinterpret_cast<JOCTET*>(writer->bytes.data() + used);
    writer->destination.free_in_buffer = writer->bytes.size() - used;
    return TRUE;
}

void EndBytes(j_compress_ptr info)
{
    auto* writer = static_cast<JpegRowWriter*>(info->client_data);
    writer->bytes.resize(writer->bytes.size() - writer->destination.free_in_buffer);
}

bool StartWriting(JpegRowWriter* writer, int32_t width, int32_t height, int32_t quality)
{
    if (setjmp(writer->errors.jump))
        return false;
    jpeg_compress_struct& info = writer->info;
    jpeg_create_compress(&info);
    writer->created = true;
    info.client_data = writer;
    writer->destination.init_destination = StartBytes;
    writer->destination.empty_output_buffer = MoreBytes;
    writer->destination.term_destination = EndBytes;
    info.dest = &writer->destination;
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.in_color_space = JCS_EXT_BGRX;
    info.input_components = 4;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    info.dct_method = quality >= 96 ? JDCT_ISLOW : JDCT_FASTEST;
    jpeg_set_colorspace(&info, JCS_YCbCr);
    for (int c = 0; c < 3; ++c) {
        info.comp_info[c].h_samp_factor = 1;
        info.comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(&info, TRUE);
    return true;
}

bool WriteRows(JpegRowWriter* writer, JSAMPROW* rows, JDIMENSION count)
{
    if (setjmp(writer->errors.jump))
        return false;
    JDIMENSION done = 0;
    while (done < count) {
        JDIMENSION written = jpeg_write_scanlines(&writer->info, rows + done, count - done);
        if (written == 0)
            return false;
        done += written;
    }
    return true;
}

bool FinishWriting(JpegRowWriter* writer)
{
    if (setjmp(writer->errors.jump))
        return false;
    jpeg_finish_compress(&writer->info);
    return true;
}

// Row pointers for a band, a few at a time.
constexpr int32_t kRowsAtOnce = 16;

} // namespace

namespace {

// The checks DecodeJpeg makes before any pixel, the header read, and with
// decode set the decoder started.
CodecResult OpenRows(const uint8_t* data, size_t size, bool decode, JpegRowReader*& reader, int32_t& width,
                     int32_t& height, int64_t& workBytes)
{
    reader = nullptr;
    if (size > 0xFFFFFFFFu)
        return kCodecTooLarge;
    if (size < 2 || data[0] != 0xFF || data[1] != 0xD8)
        return kCodecUnknownFormat;
    if (!codecs::JpegVariant(data, size).empty())
        return kCodecUnsupportedVariant;
    PictureHeader header;
    CodecResult probed = codecs::ProbeJpeg(data, size, header);
    if (probed != kCodecOk)
        return probed;
    CodecResult sized = codecs::CheckPictureSize(header.width, header.height);
    if (sized != kCodecOk)
        return sized;
    auto* opened = new (std::nothrow) JpegRowReader;
    if (!opened)
        return kCodecOutOfMemory;
    UseRowErrors(opened->errors);
    opened->info.err = &opened->errors.manager;
    if (!StartReading(opened, data, size, decode) || int64_t(opened->info.image_width) != header.width ||
        int64_t(opened->info.image_height) != header.height) {
        EndJpegRows(opened);
        return kCodecUnsupportedVariant;
    }
    width = int32_t(opened->info.image_width);
    height = int32_t(opened->info.image_height);
    // A progressive or multi-scan file keeps every coefficient until its
    // last scan: two bytes a sample of each component. Else a few rows of
    // samples.
    workBytes = jpeg_has_multiple_scans(&opened->info)
                    ? int64_t{width} * height * 2 * opened->info.num_components
                    : int64_t{width} * 4 * 2 * opened->info.max_v_samp_factor * DCTSIZE;
    reader = opened;
    return kCodecOk;
}

} // namespace

CodecResult StartJpegRowsFromPieces(JpegPieces pieces, JpegRowReader*& reader, int32_t& width, int32_t& height)
{
    reader = nullptr;
    auto* opened = new (std::nothrow) JpegRowReader;
    if (!opened)
        return kCodecOutOfMemory;
    UseRowErrors(opened->errors);
    opened->info.err = &opened->errors.manager;
    opened->pieces = pieces;
    if (!StartReading(opened, nullptr, 0, true) ||
        codecs::CheckPictureSize(opened->info.image_width, opened->info.image_height) != kCodecOk) {
        EndJpegRows(opened);
        return kCodecCorrupt;
    }
    width = int32_t(opened->info.image_width);
    height = int32_t(opened->info.image_height);
    reader = opened;
    return kCodecOk;
}

CodecResult ProbeJpegRows(const uint8_t* data, size_t size, int32_t& width, int32_t& height, int64_t& workBytes)
{
    JpegRowReader* reader = nullptr;
    CodecResult result = OpenRows(data, size, false, reader, width, height, workBytes);
    EndJpegRows(reader);
    return result;
}

CodecResult StartJpegRows(const uint8_t* data, size_t size, JpegRowReader*& reader, int32_t& width,
                          int32_t& height)
{
    int64_t workBytes = 0;
    return OpenRows(data, size, true, reader, width, height, workBytes);
}

namespace {

// Hands the rows of the view to pass (ReadRows or WriteRows) a few at a
// time, as row pointers; false as soon as pass fails.
template <typename Codec>
bool PassRows(Codec* codec, ImageView rows, bool (*pass)(Codec*, JSAMPARRAY, JDIMENSION))
{
    JSAMPROW pointers[kRowsAtOnce];
    for (int32_t y = 0; y < rows.height; y += kRowsAtOnce) {
        const int32_t count = rows.height - y < kRowsAtOnce ? rows.height - y : kRowsAtOnce;
        for (int32_t i = 0; i < count; ++i)
            pointers[i] = reinterpret_cast<JSAMPROW>(rows.Row(y + i));
        if (!pass(codec, pointers, JDIMENSION(count)))
            return false;
    }
    return true;
}

} // namespace

CodecResult ReadJpegRows(JpegRowReader* reader, ImageView rows)
{
    return PassRows(reader, rows, ReadRows) ? kCodecOk : kCodecCorrupt;
}

CodecResult FinishJpegRows(JpegRowReader* reader) { return FinishReading(reader) ? kCodecOk : kCodecCorrupt; }

void EndJpegRows(JpegRowReader* reader)
{
    if (!reader)
        return;
    if (reader->created)
        jpeg_destroy_decompress(&reader->info);
    delete reader;
}

CodecResult StartJpegWriter(int32_t width, int32_t height, int32_t quality, JpegRowWriter*& writer)
{
    writer = nullptr;
    if (width < 1 || height < 1 || width > kMaxJpegSide || height > kMaxJpegSide || quality < 1 || quality > 100)
        return kCodecTooLarge;
    auto* started = new (std::nothrow) JpegRowWriter;
    if (!started)
        return kCodecOutOfMemory;
    UseRowErrors(started->errors);
    started->info.err = &started->errors.manager;
    if (!StartWriting(started, width, height, quality)) {
        EndJpegWriter(started);
        return kCodecWriteFailed;
    }
    writer = started;
    return kCodecOk;
}

namespace {

// Hands the watcher the bytes made since it was last called, up to made.
void ShowNewBytes(JpegRowWriter* writer, size_t made)
{
    if (!writer->watch || made <= writer->watched)
        return;
    writer->watch(writer->watchContext, reinterpret_cast<const uint8_t*>(writer->bytes.data()) + writer->watched,
                  made - writer->watched);
    writer->watched = made;
}

} // namespace

void WatchJpegWriter(JpegRowWriter* writer, JpegBytesWatcher watch, void* context)
{
    writer->watch = watch;
    writer->watchContext = context;
}

CodecResult WriteJpegRows(JpegRowWriter* writer, ImageView rows)
{
    if (!PassRows(writer, rows, WriteRows))
        return kCodecWriteFailed;
    ShowNewBytes(writer, writer->bytes.size() - writer->destination.free_in_buffer);
    return kCodecOk;
}

CodecResult FinishJpegWriter(JpegRowWriter* writer, std::string& bytes)
{
    if (!FinishWriting(writer))
        return kCodecWriteFailed;
    ShowNewBytes(writer, writer->bytes.size());
    bytes.swap(writer->bytes);
    return kCodecOk;
}

void EndJpegWriter(JpegRowWriter* writer)
{
    if (!writer)
        return;
    if (writer->created)
        jpeg_destroy_compress(&writer->info);
    delete writer;
}
