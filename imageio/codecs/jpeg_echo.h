#pragma once
// A JPEG decoded on a thread of its own while it is being encoded: the
// writer hands over each band's bytes as they are made, and the picture is
// ready soon after the file is. The program shows the anaglyph it has just
// written this way, without reading the file back and decoding it after.
// The pixels are those DecodeJpeg gives for the encoder's bytes.
#include <cstddef>
#include <cstdint>

#include "imageio/codecs/codec.h"

struct JpegEcho;

// Starts the decoding thread, which waits for bytes; null when it cannot.
JpegEcho* StartJpegEcho();
// The next bytes of the file (copied). A JpegBytesWatcher, for
// WatchJpegWriter, with the echo as its context.
void EchoJpegBytes(void* echo, const uint8_t* bytes, size_t size);
// After the last byte: waits for the decoder and gives its picture. Not
// kCodecOk when the bytes did not decode whole (cut short, or memory short).
CodecResult FinishJpegEcho(JpegEcho* echo, Picture& picture);
// Stops the decoder, if still running, and frees everything; null is fine.
void EndJpegEcho(JpegEcho* echo);
