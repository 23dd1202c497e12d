#include "anaglyph/streamed_anaglyph.h"

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>
#include <thread>
#include <utility>

#include "anaglyph/anaglyph_mixer.h"
#include "anaglyph/auto_window.h"
#include "anaglyph/early_measurement.h"
#include "anaglyph/perspective_warp.h"
#include "anaglyph/stereo_window.h"
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
// With the stereo window measured first: the decoder runs this far ahead
// while the measurement is made, and the mixing side catches up after.
constexpr int32_t kMeasuredRingBands = 16;

const uint8_t* Data(const std::string& bytes) { return reinterpret_cast<const uint8_t*>(bytes.data()); }

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

int32_t BandsOf(int32_t height) { return (height + kBandRows - 1) / kBandRows; }

bool PlanHas(const ConversionPlan& plan, const char* name)
{
    for (const PlannedStep& step : plan.steps)
        if (std::strcmp(step.step->name, name) == 0)
            return true;
    return false;
}

// The alignment warps rows from anywhere in the right view: the whole
// picture is kept. The window alone moves no row, and only needs the
// decoder to run ahead while it measures.
int32_t RingBands(const ConversionRequest& request, const ConversionPlan& plan, int32_t height)
{
    if (PlanHas(plan, "align"))
        return BandsOf(height);
    if (request.singleThread)
        return 1;
    return PlanHas(plan, "window") ? kMeasuredRingBands : kRingBands;
}

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
    // Shared work (SharedBands): output bands are mixed by both threads at
    // once (each into its own warped band), so mixed marks each band done
    // and prepared counts those done in order from the first; encoded the
    // bands written, nextPrepare the next to mix, preparing how many are
    // being mixed; which kind of work a thread holds; and whether the steps
    // are decided (and the writer started).
    int32_t prepared = 0, encoded = 0, nextPrepare = 0, preparing = 0;
    std::vector<char> mixed;
    bool decoding = false, encoding = false;
    bool decided = false;
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
    int32_t shift = 0;    // the stereo window's, asked or measured
    AlignmentDecision aligned; // outcome.applied: the right view is warped
    Image warpedBand[2];  // one band of the aligned right view, for each thread
    int32_t outputHeight = 0;
    int32_t decodedHere = 0; // bands decoded by the mixing side (one thread)
    // For each output band, once the steps are decided: the first and the
    // last source band its rows read.
    struct BandSpan {
        int32_t first = 0, last = 0;
    };
    std::vector<BandSpan> reads;
};

int32_t BandCount(const BandJob& job) { return BandsOf(job.height); }

ImageView Band(const BandJob& job, int32_t band)
{
    const int32_t top = band * kBandRows;
    const int32_t rows = job.height - top < kBandRows ? job.height - top : kBandRows;
    ImageView all = job.ring.View();
    return all.Crop(0, (band % job.slots) * kBandRows, job.width, rows);
}

CodecResult DecodeBand(BandJob& job, int32_t band) { return ReadJpegRows(job.reader, Band(job, band)); }

// The two views of rows cut from the ring (the rows within one slot, or the
// whole picture when the ring holds it).
void CutViews(const BandJob& job, ImageView rows, ImageView& left, ImageView& right)
{
    const int32_t half = job.width / 2;
    left = rows.Crop(0, 0, half, rows.height);
    right = rows.Crop(half, 0, half, rows.height);
    if (job.exchanged)
        std::swap(left, right);
}

// Narrows both views by the window's shift, as the shift step does.
bool ShiftBand(const BandJob& job, ImageView& left, ImageView& right, std::string& reason)
{
    std::string problem;
    if (job.shift != 0 && !ShiftStereoWindow(left, right, job.shift, problem)) {
        reason = Quoted(job.request->sourcePath) + " cannot be converted: " + problem + ".";
        return false;
    }
    return true;
}

int32_t OutputBands(const BandJob& job) { return BandsOf(job.outputHeight); }

// Output band j's two views: the left view's rows (where the band is mixed)
// and the right view's (warped into the band buffer, for the alignment,
// once warp is asked), both narrowed by the shift.
bool BandViews(BandJob& job, int32_t j, bool warp, ImageView& left, ImageView& right, std::string& reason,
               int worker = 0)
{
    const int32_t top = j * kBandRows, rows = std::min(kBandRows, job.outputHeight - top);
    const AlignmentDecision& a = job.aligned;
    if (a.outcome.applied) {
        ImageView wholeRight;
        CutViews(job, job.ring.View().Crop(0, 0, job.width, job.height), left, wholeRight);
        left = left.Crop(a.outcome.x, a.outcome.y + top, a.width, rows);
        right = job.warpedBand[worker].View().Crop(0, 0, a.width, rows);
        if (warp)
            WarpPerspectiveRows(wholeRight, a.fromKept, top, right);
    } else {
        CutViews(job, Band(job, j), left, right);
    }
    return ShiftBand(job, left, right, reason);
}

// Mixes output band j into the left view's own pixels; false with the
// reason (the threads that share the work each have their own).
bool PrepareBand(BandJob& job, int32_t j, std::string& reason, int worker = 0)
{
    ImageView left, right;
    if (!BandViews(job, j, true, left, right, reason, worker))
        return false;
    if (!MixViews(left, right, job.request->options.method, left)) {
        reason = "The views of " + Quoted(job.request->sourcePath) + " could not be mixed.";
        return false;
    }
    return true;
}

// Encodes output band j's rows from where they were mixed.
bool EncodeBand(BandJob& job, int32_t j, std::string& reason)
{
    ImageView left, right;
    if (!BandViews(job, j, false, left, right, reason))
        return false;
    job.written = WriteJpegRows(job.writer, left);
    return job.written == kCodecOk;
}

bool MixAndEncodeBand(BandJob& job, int32_t j)
{
    return PrepareBand(job, j, job.reason) && EncodeBand(job, j, job.reason);
}

// The source bands each output band reads (job.reads), once the steps are
// decided: its own band, or for the alignment the rows its warp reads and
// the left view's.
void PlanBandReads(BandJob& job)
{
    job.reads.assign(size_t(OutputBands(job)), {});
    for (int32_t j = 0; j < OutputBands(job); ++j) {
        BandJob::BandSpan& span = job.reads[size_t(j)];
        const int32_t top = j * kBandRows, rows = std::min(kBandRows, job.outputHeight - top);
        if (!job.aligned.outcome.applied) {
            span.first = span.last = j;
            continue;
        }
        int32_t low = 0, high = 0;
        WarpRowsRead(job.aligned.fromKept, job.aligned.width, top, top + rows, job.height, low, high);
        span.first = std::min(low, job.aligned.outcome.y + top) / kBandRows;
        span.last = std::max(high, job.aligned.outcome.y + top + rows - 1) / kBandRows;
    }
}

// Waits until the bands first .. last are decoded and tells the decoder
// that those before first are done with; on one thread, decodes them. False
// when the decoder failed.
bool BandsReady(BandJob& job, BandRing& ring, int32_t first, int32_t last)
{
    if (job.request->singleThread) {
        for (; job.decodedHere <= last; ++job.decodedHere)
            if (DecodeBand(job, job.decodedHere) != kCodecOk) {
                ring.decodeFailed = true;
                return false;
            }
        return true;
    }
    {
        std::unique_lock<std::mutex> held(ring.lock);
        ring.consumed = std::max(ring.consumed, first);
    }
    ring.changed.notify_all();
    std::unique_lock<std::mutex> held(ring.lock);
    ring.changed.wait(held, [&] { return ring.decodeFailed || ring.decoded > last; });
    return ring.decoded > last;
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

// The mixing side: each output band once the rows it reads are decoded;
// false when the decoder failed (decodeFailed) or this side did
// (job.reason, job.written).
bool MixBands(BandJob& job, BandRing& ring)
{
    for (int32_t j = 0; j < OutputBands(job); ++j) {
        const int32_t first = job.reads[size_t(j)].first;
        if (!BandsReady(job, ring, first, job.reads[size_t(j)].last))
            return false;
        if (!MixAndEncodeBand(job, j))
            return false;
        // Its slot is free for the decoder at once.
        if (!job.request->singleThread && !job.aligned.outcome.applied) {
            {
                std::lock_guard<std::mutex> held(ring.lock);
                ring.consumed = first + 1;
            }
            ring.changed.notify_all();
        }
    }
    return true;
}

// With a measured step, the two threads share three kinds of work, each
// done in order by one thread at a time: decoding a band, mixing an output
// band (warped or cut), encoding it. A thread takes the encoding when it
// is free, else the next band to mix once the rows it reads are decoded,
// else the next band to decode while a slot is free, so that the
// measurement, made first on one thread while the other decodes, costs the
// conversion only the part the other work cannot fill.
enum class BandWork { None, Decode, Prepare, Encode };

BandWork NextWork(const BandJob& job, const BandRing& ring, int32_t& index)
{
    if (ring.decided && !ring.encoding && ring.encoded < ring.prepared) {
        index = ring.encoded;
        return BandWork::Encode;
    }
    if (ring.decided && ring.preparing < 2 && ring.nextPrepare < OutputBands(job)) {
        if (ring.decoded > job.reads[size_t(ring.nextPrepare)].last) {
            index = ring.nextPrepare;
            return BandWork::Prepare;
        }
    }
    // A slot is free once its band is encoded (the alignment's ring holds
    // every band, and is never full). Nothing the steps decide is read
    // before they are decided: the other thread may be deciding them.
    if (!ring.decoding && ring.decoded < BandCount(job) && ring.decoded - ring.encoded < job.slots) {
        index = ring.decoded;
        return BandWork::Decode;
    }
    return BandWork::None;
}

bool Finished(const BandJob& job, const BandRing& ring)
{
    return ring.stopped || ring.decodeFailed ||
           (ring.decided && ring.decoded == BandCount(job) && ring.encoded == OutputBands(job));
}

void Take(BandRing& ring, BandWork work)
{
    if (work == BandWork::Decode)
        ring.decoding = true;
    else if (work == BandWork::Encode)
        ring.encoding = true;
    else {
        ++ring.preparing;
        ++ring.nextPrepare;
    }
}

void Done(BandRing& ring, BandWork work, int32_t index, bool ok)
{
    if (work == BandWork::Decode) {
        ring.decoding = false;
        ring.decodeFailed = ring.decodeFailed || !ok;
        ring.decoded += ok ? 1 : 0;
    } else if (work == BandWork::Encode) {
        ring.encoding = false;
        ring.stopped = ring.stopped || !ok;
        ring.encoded += ok ? 1 : 0;
    } else {
        --ring.preparing;
        ring.stopped = ring.stopped || !ok;
        ring.mixed[size_t(index)] = ok;
        while (ring.prepared < int32_t(ring.mixed.size()) && ring.mixed[size_t(ring.prepared)])
            ++ring.prepared;
    }
}

void SharedBands(BandJob& job, BandRing& ring, int worker)
{
    std::unique_lock<std::mutex> held(ring.lock);
    while (!Finished(job, ring)) {
        int32_t index = 0;
        const BandWork work = NextWork(job, ring, index);
        if (work == BandWork::None) {
            ring.changed.wait(held);
            continue;
        }
        Take(ring, work);
        held.unlock();
        std::string reason;
        const bool ok = work == BandWork::Decode    ? DecodeBand(job, index) == kCodecOk
                        : work == BandWork::Prepare ? PrepareBand(job, index, reason, worker)
                                                    : EncodeBand(job, index, reason);
        held.lock();
        if (!ok && job.reason.empty())
            job.reason = reason;
        Done(ring, work, index, ok);
        ring.changed.notify_all();
    }
}

// For the window alone, whose measurement the encoding waits for, the
// second thread loads the measuring library before it decodes, while the
// first decodes the reduced picture to measure. The alignment waits for
// the whole decode instead, and the first thread loads it.
void SharedBandsHelper(BandJob& job, BandRing& ring)
{
    if (!PlanHas(*job.plan, "align"))
        ReadyPairMeasurement();
    SharedBands(job, ring, 1);
}

// The decoder, when it is a thread of its own, stopped however the mixing
// side ends.
struct DecoderThread {
    BandJob* job = nullptr;
    BandRing* ring = nullptr;
    std::thread thread;
    void Start(BandJob& bands, BandRing& shared, void (*work)(BandJob&, BandRing&))
    {
        job = &bands;
        ring = &shared;
        thread = std::thread(work, std::ref(bands), std::ref(shared));
    }
    void Stop()
    {
        if (!thread.joinable())
            return;
        {
            std::lock_guard<std::mutex> held(ring->lock);
            ring->stopped = true;
        }
        ring->changed.notify_all();
        thread.join();
    }
    ~DecoderThread() { Stop(); }
};

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
    if (options.outputKind != OutputKind::Anaglyph || plan.format != PictureFormat::Jpeg ||
        options.reducedDecode != 0 || source.kind != StereoSourceKind::LayoutCut ||
        (source.layout != StereoLayout::SideBySide && source.layout != StereoLayout::Cross))
        return false;
    const uint8_t* data = nullptr;
    size_t size = 0;
    int32_t width = 0, height = 0;
    int64_t work = 0;
    if (!FrameBytes(source.file, 0, data, size) || ProbeJpegRows(data, size, width, height, work) != kCodecOk ||
        width != source.pictures[0].width || height != source.pictures[0].height || width % 2 != 0)
        return false;
    // The ring (the whole picture for the alignment), the decoder's own
    // memory, and for a measured step the reduced decode it measures and one
    // band of the warped right view.
    memory = int64_t{RingBands(request, plan, height)} * kBandRows * width * 4 + work;
    if (PlanHas(plan, "align") || PlanHas(plan, "window")) {
        const int64_t measured = EarlyMeasurementBytes(width, height, options.align);
        if (measured < 0)
            return false;
        memory += measured + 2 * int64_t{kBandRows} * (width / 2) * 4 + int64_t{height} * int64_t(sizeof(void*));
    }
    return true;
}

namespace {

// The measured steps, decided before the first row is written: what the
// alignment does and where the window goes, both from one measurement made
// from the picture's own reduced decode while the decoder runs. The notes
// are those the whole-view path gives. False with the reason.
bool DecideSteps(BandJob& job, BandRing& ring, const uint8_t* data, size_t size, int32_t& outWidth,
                 int32_t& outHeight)
{
    const ConversionRequest& request = *job.request;
    const ConversionOptions& options = request.options;
    int32_t width = job.width / 2, height = job.height;
    job.shift = PlanHas(*job.plan, "shift") ? options.shift : 0;
    const bool align = PlanHas(*job.plan, "align"), window = PlanHas(*job.plan, "window");
    if (align || window) {
        double scale = 1;
        PairMeasurement measured =
            MeasureReducedDecode(data, size, width, height, job.exchanged, options.align, scale);
        if (options.align) {
            // Placed again on the full views once every row is decoded.
            if (!BandsReady(job, ring, 0, BandCount(job) - 1))
                return false;
            ImageView left, right;
            CutViews(job, job.ring.View().Crop(0, 0, job.width, job.height), left, right);
            PlaceAtFullSize(measured, scale, left, right);
        }
        if (align) {
            DecideAlignment(request.sourcePath, measured, width, height, *job.notes, job.aligned);
            if (job.aligned.outcome.applied) {
                width = job.aligned.width;
                height = job.aligned.height;
                *job.notes += job.aligned.note;
                if (!AllocateImage(job.warpedBand[0], width, kBandRows) ||
                    !AllocateImage(job.warpedBand[1], width, kBandRows)) {
                    job.reason = Quoted(request.sourcePath) +
                                 " cannot be converted: there is not enough memory for the aligned right view (" +
                                 std::to_string(width) + " x " + std::to_string(kBandRows) + " pixels).";
                    return false;
                }
            }
        }
        if (window) {
            // Views that stand for the size alone: the window's shift is
            // taken from them, and each band is cut by it.
            ImageView left{job.ring.pixels.get(), width, height, 0}, right = left;
            WindowOutcome placed;
            std::string problem;
            if (!PlaceAutoWindow(request.sourcePath, measured, &job.aligned.outcome, left, right, *job.notes, problem,
                                 &placed)) {
                job.reason = Quoted(request.sourcePath) + " cannot be converted: " + problem + ".";
                return false;
            }
            job.shift = placed.placed ? placed.shift : 0;
        }
    }
    outWidth = width - std::abs(job.shift);
    outHeight = height;
    job.outputHeight = height;
    return true;
}

// Decides the steps, starts the writer and runs the bands; the decoder
// starts first, so that the measurement hides behind it.
bool RunBands(BandJob& job, BandRing& ring, const uint8_t* data, size_t size, RowCodecs& codecs, int32_t& outWidth,
              int32_t& outHeight)
{
    const bool shared = !job.request->singleThread && (PlanHas(*job.plan, "align") || PlanHas(*job.plan, "window"));
    // A measured step's thread starts first, to decode while this one
    // measures; the plain decoder once the writer is ready.
    DecoderThread decoder;
    if (shared)
        decoder.Start(job, ring, SharedBandsHelper);
    if (!DecideSteps(job, ring, data, size, outWidth, outHeight))
        return false;
    PlanBandReads(job);
    CodecResult started =
        StartJpegWriter(outWidth, outHeight, job.request->options.jpegQuality, codecs.writer);
    if (started != kCodecOk) {
        job.written = started;
        return false;
    }
    job.writer = codecs.writer;
    if (job.request->decodeForScreen && !job.request->singleThread && (codecs.screenCopy = StartJpegEcho()))
        WatchJpegWriter(codecs.writer, EchoJpegBytes, codecs.screenCopy);
    if (!shared && !job.request->singleThread)
        decoder.Start(job, ring, DecodeBands);
    if (shared) {
        {
            std::lock_guard<std::mutex> held(ring.lock);
            ring.mixed.assign(size_t(OutputBands(job)), 0);
            ring.decided = true;
        }
        ring.changed.notify_all();
        SharedBands(job, ring, 0);
        decoder.thread.join();
        return !ring.decodeFailed && !ring.stopped;
    }
    if (!MixBands(job, ring))
        return false;
    // The rows below the kept part are decoded too, so that the end of
    // the file is read as on the whole-view path.
    if (!BandsReady(job, ring, BandCount(job) - 1, BandCount(job) - 1))
        return false;
    if (decoder.thread.joinable())
        decoder.thread.join();
    return !ring.decodeFailed;
}

} // namespace

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
    int32_t outWidth = int32_t(plan.output.width), outHeight = int32_t(plan.output.height);

    std::string notes = source.notes;
    job.request = &request;
    job.plan = &plan;
    job.reader = codecs.reader;
    job.slots = RingBands(request, plan, job.height);
    job.exchanged = (source.layout == StereoLayout::Cross) != source.rightFirst;
    if (request.options.swapViews)
        job.exchanged = !job.exchanged;
    job.notes = &notes;
    if (!AllocateImage(job.ring, job.width, job.slots * kBandRows))
        return WriteFailed(request, kCodecOutOfMemory, outWidth, outHeight);

    BandRing ring;
    if (!RunBands(job, ring, data, size, codecs, outWidth, outHeight) || FinishJpegRows(codecs.reader) != kCodecOk) {
        if (ring.decodeFailed || (job.reason.empty() && job.written == kCodecOk))
            return Failed(ExplainUnreadable(source.file, request.sourcePath, reason), reason);
        if (!job.reason.empty())
            return Failed(ConversionStatus::SourceUnsuitable, job.reason);
        return WriteFailed(request, job.written, outWidth, outHeight);
    }
    job.ring = Image{};
    job.warpedBand[0] = Image{};
    job.warpedBand[1] = Image{};
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
