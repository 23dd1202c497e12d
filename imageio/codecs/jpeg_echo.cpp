// The echo's bytes are kept as pieces in arrival order; the decoder takes
// them one by one, waiting on a condition variable for the next, and frees
// each once it has moved past it.
#include "imageio/codecs/jpeg_echo.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>

#include "imageio/codecs/formats.h"
#include "imageio/codecs/jpeg_rows.h"

struct JpegEcho {
    std::mutex lock;
    std::condition_variable arrived;
    std::deque<std::string> pieces; // the front one is the decoder's current piece, once taken
    bool frontTaken = false;
    bool ended = false;  // no more bytes will come
    bool broken = false; // bytes were lost (memory short): the picture is not kept
    bool ranDry = false; // the decoder wanted bytes after the last: the file was cut short
    std::thread decoder;
    Picture picture;
    CodecResult result = kCodecCorrupt;
};

namespace {

size_t NextPiece(void* context, const uint8_t** piece)
{
    auto* echo = static_cast<JpegEcho*>(context);
    std::unique_lock<std::mutex> hold(echo->lock);
    if (echo->frontTaken) {
        echo->pieces.pop_front();
        echo->frontTaken = false;
    }
    echo->arrived.wait(hold, [echo] { return !echo->pieces.empty() || echo->ended; });
    if (echo->pieces.empty()) {
        echo->ranDry = true;
        return 0;
    }
    echo->frontTaken = true;
    *piece = reinterpret_cast<const uint8_t*>(echo->pieces.front().data());
    return echo->pieces.front().size();
}

CodecResult Decode(JpegEcho* echo)
{
    JpegRowReader* reader = nullptr;
    int32_t width = 0, height = 0;
    CodecResult result = StartJpegRowsFromPieces({echo, NextPiece}, reader, width, height);
    Picture picture;
    if (result == kCodecOk)
        result = codecs::AllocatePicture(picture, width, height);
    if (result == kCodecOk)
        result = ReadJpegRows(reader, picture.View());
    if (result == kCodecOk)
        result = FinishJpegRows(reader);
    EndJpegRows(reader);
    if (result == kCodecOk)
        echo->picture = std::move(picture);
    return result;
}

} // namespace

JpegEcho* StartJpegEcho()
{
    auto* echo = new (std::nothrow) JpegEcho;
    if (!echo)
        return nullptr;
    try {
        echo->decoder = std::thread([echo] { echo->result = Decode(echo); });
    } catch (const std::system_error&) {
        delete echo;
        return nullptr;
    }
    return echo;
}

void EchoJpegBytes(void* context, const uint8_t* bytes, size_t size)
{
    auto* echo = static_cast<JpegEcho*>(context);
    std::lock_guard<std::mutex> hold(echo->lock);
    if (echo->ended)
        return;
    try {
        echo->pieces.emplace_back(reinterpret_cast<const char*>(bytes), size);
    } catch (const std::bad_alloc&) {
        // The decoder gets no more bytes and ends; what it made is dropped.
        echo->broken = echo->ended = true;
    }
    echo->arrived.notify_one();
}

namespace {

void EndBytes(JpegEcho* echo)
{
    {
        std::lock_guard<std::mutex> hold(echo->lock);
        echo->ended = true;
    }
    echo->arrived.notify_one();
    if (echo->decoder.joinable())
        echo->decoder.join();
}

} // namespace

CodecResult FinishJpegEcho(JpegEcho* echo, Picture& picture)
{
    EndBytes(echo);
    if (echo->broken)
        return kCodecOutOfMemory;
    if (echo->ranDry)
        return kCodecCorrupt;
    if (echo->result == kCodecOk)
        picture = std::move(echo->picture);
    return echo->result;
}

void EndJpegEcho(JpegEcho* echo)
{
    if (!echo)
        return;
    EndBytes(echo);
    delete echo;
}
