#include "anaglyph/streamed_anaglyph.h"

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

#include "anaglyph/anaglyph_mixer.h"
#include "imageio/codecs/jpeg_echo.h"
#include "imageio/codecs/jpeg_rows.h"
#include "imageio/failure_reasons.h"
#include "imageio/metadata.h"
#include "imageio/multi_picture.h"

namespace {

// Rows a band holds: a multiple of the tallest JPEG block row (16).
constexpr int32_t kBandRows = 64;
// Bands in the ring when two threads share it; one thread needs one.
constexpr int32_t kRingBands = 6;

const uint8_t* Data(const std::string& bytes) { return reinterpret_cast<const uint8_t*>(bytes.data()); }

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

int32_t RingBands(const ConversionRequest& request) { return request.singleThread ? 1 : kRingBands; }

ConversionResult Failed(ConversionStatus status, std::string reason)
{
    ConversionResult result;
    result.status = status;
    result.reason = std::move(reason);
    return result;
}

ConversionResult WriteFailed(const ConversionRequest& request, CodecResult cause, int64_t width, int64_t height,
                             const SaveFailure& save = SaveFailure{})
{
    FailureDetail detail;
    detail.width = width;
    detail.height = height;
    detail.format = PictureFormat::Jpeg;
    detail.save = save;
    return Failed(ConversionStatus::OutputUnwritable, WriteFailureReason(request.outputPath, cause, detail));
}

// The ring of bands between the decoding thread and the mixing one. Band b
// lives in slot b % slots; the decoder may run ahead by at most the slots.
struct BandRing {
    std::mutex lock;
    std::condition_variable changed;
    int32_t decoded = 0;  // bands decoded so far
    int32_t consumed = 0; // bands mixed and encoded so far
    bool decodeFailed = false;
    bool stopped = false; // the mixing side gave up
};

struct BandJob {
    const ConversionRequest* request;
    const ConversionPlan* plan;
    JpegRowReader* reader;
    JpegRowWriter* writer;
    Image ring;           // slots x kBandRows rows of the source's width
    int32_t slots;
    int32_t width, height;
    bool exchanged;       // the right view is on the left of the picture
    std::string* notes;
    std::string reason;   // why the mixing side stopped
    CodecResult written = kCodecOk;
};

int32_t BandCount(const BandJob& job) { return (job.height + kBandRows - 1) / kBandRows; }

ImageView Band(const BandJob& job, int32_t band)
{
    const int32_t top = band * kBandRows;
    const int32_t rows = job.height - top < kBandRows ? job.height - top : kBandRows;
    ImageView all = job.ring.View();
    return all.Crop(0, (band % job.slots) * kBandRows, job.width, rows);
}

CodecResult DecodeBand(BandJob& job, int32_t band) { return ReadJpegRows(job.reader, Band(job, band)); }

// Cuts the band into its two views as the whole picture is cut, takes the
// view steps (a shift narrows both windows), mixes into the left view's own
// pixels and encodes the rows from there.
bool MixAndEncodeBand(BandJob& job, int32_t band)
{
    const ImageView rows = Band(job, band);
    const int32_t half = job.width / 2;
    ImageView left = rows.Crop(0, 0, half, rows.height);
    ImageView right = rows.Crop(half, 0, half, rows.height);
    if (job.exchanged)
        std::swap(left, right);
    // The only step on this path is the shift, which needs no state.
    ViewStepState steps;
    if (!RunViewSteps(*job.request, *job.plan, steps, left, right, *job.notes, job.reason))
        return false;
    if (!MixViews(left, right, job.request->options.method, left)) {
        job.reason = "The views of " + Quoted(job.request->sourcePath) + " could not be mixed.";
        return false;
    }
    job.written = WriteJpegRows(job.writer, left);
    return job.written == kCodecOk;
}

// The decoding thread's side: each band into a free slot, then said.
void DecodeBands(BandJob& job, BandRing& ring)
{
    const int32_t bands = BandCount(job);
    for (int32_t band = 0; band < bands; ++band) {
        {
            std::unique_lock<std::mutex> held(ring.lock);
            ring.changed.wait(held, [&] { return ring.stopped || band - ring.consumed < job.slots; });
            if (ring.stopped)
                return;
        }
        const bool ok = DecodeBand(job, band) == kCodecOk;
        {
            std::lock_guard<std::mutex> held(ring.lock);
            if (ok)
                ring.decoded = band + 1;
            else
                ring.decodeFailed = true;
        }
        ring.changed.notify_all();
        if (!ok)
            return;
    }
}

// The mixing side: each band once decoded; false when the decoder failed
// (decodeFailed) or this side did (job.reason, job.written).
bool MixBands(BandJob& job, BandRing& ring)
{
    const int32_t bands = BandCount(job);
    for (int32_t band = 0; band < bands; ++band) {
        {
            std::unique_lock<std::mutex> held(ring.lock);
            ring.changed.wait(held, [&] { return ring.decodeFailed || ring.decoded > band; });
            if (ring.decoded <= band)
                return false;
        }
        const bool ok = MixAndEncodeBand(job, band);
        {
            std::lock_guard<std::mutex> held(ring.lock);
            if (ok)
                ring.consumed = band + 1;
            else
                ring.stopped = true;
        }
        ring.changed.notify_all();
        if (!ok)
            return false;
    }
    return true;
}

// Every band, on two threads or (singleThread) on this one. False when a
// band failed: ring.decodeFailed for the decoder, else the mixing side.
bool RunBands(BandJob& job, BandRing& ring)
{
    if (job.slots == 1) {
        for (int32_t band = 0; band < BandCount(job); ++band) {
            if (DecodeBand(job, band) != kCodecOk) {
                ring.decodeFailed = true;
                return false;
            }
            if (!MixAndEncodeBand(job, band))
                return false;
        }
        return true;
    }
    std::thread decoder(DecodeBands, std::ref(job), std::ref(ring));
    const bool mixed = MixBands(job, ring);
    decoder.join();
    return mixed;
}

// The reader and writer, ended however the conversion ends.
struct RowCodecs {
    JpegRowReader* reader = nullptr;
    JpegRowWriter* writer = nullptr;
    JpegEcho* screenCopy = nullptr; // the output decoded as it is encoded, for the screen
    ~RowCodecs()
    {
        EndJpegRows(reader);
        EndJpegWriter(writer);
        EndJpegEcho(screenCopy);
    }
};

// The written picture, decoded alongside the encoder, for the screen's
// reader; none is left when the decode failed (the screen then reads the file).
void KeepScreenCopy(RowCodecs& codecs, const std::string& path)
{
    Picture picture;
    if (codecs.screenCopy && FinishJpegEcho(codecs.screenCopy, picture) == kCodecOk)
        KeepPrefetchedPicture(path, std::move(picture));
}

} // namespace

bool StreamsByBands(const ConversionRequest& request, const StereoSource& source, const ConversionPlan& plan,
                    int64_t& memory)
{
    const ConversionOptions& options = request.options;
    if (options.outputKind != OutputKind::Anaglyph || plan.format != PictureFormat::Jpeg || options.align ||
        options.reducedDecode != 0 || source.kind != StereoSourceKind::LayoutCut ||
        (source.layout != StereoLayout::SideBySide && source.layout != StereoLayout::Cross))
        return false;
    // The shift narrows each row's windows alike and can run band by band;
    // the alignment measures the whole views first.
    for (const PlannedStep& step : plan.steps)
        if (std::strcmp(step.step->name, "shift") != 0)
            return false;
    const uint8_t* data = nullptr;
    size_t size = 0;
    int32_t width = 0, height = 0;
    int64_t work = 0;
    if (!FrameBytes(source.file, 0, data, size) || ProbeJpegRows(data, size, width, height, work) != kCodecOk ||
        width != source.pictures[0].width || height != source.pictures[0].height || width % 2 != 0)
        return false;
    memory = int64_t{RingBands(request)} * kBandRows * width * 4 + work;
    return true;
}

ConversionResult StreamAnaglyph(const ConversionRequest& request, StereoSource& source, const ConversionPlan& plan)
{
    const uint8_t* data = nullptr;
    size_t size = 0;
    std::string reason;
    RowCodecs codecs;
    BandJob job{};
    if (!FrameBytes(source.file, 0, data, size) ||
        StartJpegRows(data, size, codecs.reader, job.width, job.height) != kCodecOk) {
        ExplainUnreadable(source.file, request.sourcePath, reason);
        return Failed(ConversionStatus::SourceUnreadable, reason);
    }
    const int32_t outWidth = int32_t(plan.output.width), outHeight = int32_t(plan.output.height);
    CodecResult started = StartJpegWriter(outWidth, outHeight, request.options.jpegQuality, codecs.writer);
    if (started != kCodecOk)
        return WriteFailed(request, started, outWidth, outHeight);
    if (request.decodeForScreen && !request.singleThread && (codecs.screenCopy = StartJpegEcho()))
        WatchJpegWriter(codecs.writer, EchoJpegBytes, codecs.screenCopy);

    std::string notes = source.notes;
    job.request = &request;
    job.plan = &plan;
    job.reader = codecs.reader;
    job.writer = codecs.writer;
    job.slots = RingBands(request);
    job.exchanged = (source.layout == StereoLayout::Cross) != source.rightFirst;
    if (request.options.swapViews)
        job.exchanged = !job.exchanged;
    job.notes = &notes;
    if (!AllocateImage(job.ring, job.width, job.slots * kBandRows))
        return WriteFailed(request, kCodecOutOfMemory, outWidth, outHeight);

    BandRing ring;
    if (!RunBands(job, ring) || FinishJpegRows(codecs.reader) != kCodecOk) {
        if (ring.decodeFailed || (job.reason.empty() && job.written == kCodecOk))
            return Failed(ExplainUnreadable(source.file, request.sourcePath, reason), reason);
        if (!job.reason.empty())
            return Failed(ConversionStatus::SourceUnsuitable, job.reason);
        return WriteFailed(request, job.written, outWidth, outHeight);
    }
    job.ring = Image{};
    std::string bytes;
    CodecResult encoded = FinishJpegWriter(codecs.writer, bytes);
    if (encoded != kCodecOk)
        return WriteFailed(request, encoded, outWidth, outHeight);

    // Only the metadata is read from the source's bytes from here on, as on
    // the whole-view path.
    std::string& head = source.file.bytes;
    head.resize(JpegHeadEnd(Data(head), head.size()));
    head.shrink_to_fit();
    if (!request.options.stripMetadata && PictureHasMetadata(Data(head), head.size()))
        CopyPictureMetadata(Data(head), head.size(), bytes, PictureFormat::Jpeg, outWidth, outHeight, notes);
    SaveFailure failure;
    CodecResult saved = SaveFileBytes(request.outputPath, bytes, &failure);
    if (saved != kCodecOk)
        return WriteFailed(request, saved, outWidth, outHeight, failure);
    KeepScreenCopy(codecs, request.outputPath);
    ConversionResult result;
    result.status = ConversionStatus::Written;
    result.notes = notes;
    return result;
}
