// The anaglyph by bands: which conversions the plan sends that way, and
// that they write exactly the bytes of the whole-view path (the views cut
// from the whole decoded picture, mixed and encoded at once), on two
// threads, on one, and with two conversions running side by side.
#include "anaglyph/streamed_anaglyph.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "anaglyph/stereo_output.h"
#include "tests/anaglyph/pictures.h"
#include "tests/anaglyph/stereo_fixtures.h"

namespace {

using namespace sgtest;

std::string Sample() { return sgtest::FileBytes(std::string(SG_TEST_DATA_DIR) + "/figure-sbs.jps"); }

// A width x height crop of the sample, encoded by TurboJPEG as asked.
std::string Crop(int32_t width, int32_t height, int subsamp, int flags)
{
    Picture sample = DecodeBytes(Sample());
    std::vector<uint32_t> pixels(size_t(width) * size_t(height));
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            pixels[size_t(y) * size_t(width) + size_t(x)] = sample.View().Row(y + 100)[x + 200];
    tjhandle tj = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    std::string out;
    if (tjCompress2(tj, reinterpret_cast<const unsigned char*>(pixels.data()), width, width * 4, height, TJPF_BGRX,
                    &jpeg, &size, subsamp, 88, flags) == 0)
        out.assign(reinterpret_cast<const char*>(jpeg), size);
    tjFree(jpeg);
    tjDestroy(tj);
    return out;
}

// The sample with its second half moved down by rows rows (the top row
// repeated above), as a JPEG: a pair the alignment corrects.
std::string Misaligned(int32_t rows)
{
    Picture sample = DecodeBytes(Sample());
    const int32_t width = sample.width, height = sample.height, half = width / 2;
    std::vector<uint32_t> pixels(size_t(width) * size_t(height));
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            pixels[size_t(y) * size_t(width) + size_t(x)] = sample.View().Row(x < half ? y : std::max(0, y - rows))[x];
    tjhandle tj = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    std::string out;
    if (tjCompress2(tj, reinterpret_cast<const unsigned char*>(pixels.data()), width, width * 4, height, TJPF_BGRX,
                    &jpeg, &size, TJSAMP_420, 92, 0) == 0)
        out.assign(reinterpret_cast<const char*>(jpeg), size);
    tjFree(jpeg);
    tjDestroy(tj);
    return out;
}

// The whole-view path, step by step as the conversion takes it.
bool WholeViewBytes(const ConversionRequest& request, std::string& bytes, std::string& notes)
{
    StereoSource source;
    ConversionPlan plan;
    std::string reason;
    if (OpenStereoSource(request, source, reason) != ConversionStatus::Written ||
        PlanConversion(request, source, PictureFormat::Jpeg, plan, reason) != ConversionStatus::Written ||
        DecodeStereoSource(request, source, reason) != ConversionStatus::Written)
        return false;
    ImageView left = source.views.left, right = source.views.right;
    notes = source.notes;
    ViewStepState steps;
    steps.sourceName = request.sourcePath;
    if (!RunViewSteps(request, plan, steps, left, right, notes, reason))
        return false;
    OutputJob job;
    job.left = left;
    job.right = right;
    job.request = &request;
    job.format = PictureFormat::Jpeg;
    job.sourceBytes = &source.file.bytes;
    job.notes = &notes;
    ConversionResult result;
    if (!StereoOutputFor(OutputKind::Anaglyph).write(job, result))
        return false;
    bytes = sgtest::FileBytes(request.outputPath);
    return true;
}

ConversionPath PathOf(const ConversionRequest& request)
{
    StereoSource source;
    ConversionPlan plan;
    std::string reason;
    PictureFormat format = PictureFormat::Jpeg;
    PictureFormatForFileName(request.outputPath, format);
    EXPECT_EQ(OpenStereoSource(request, source, reason), ConversionStatus::Written) << reason;
    EXPECT_EQ(PlanConversion(request, source, format, plan, reason), ConversionStatus::Written) << reason;
    return plan.path;
}

struct Source {
    const char* name;
    std::string bytes;
};

std::vector<Source> Sources()
{
    std::string cut = Crop(96, 48, TJSAMP_420, 0);
    cut.resize(cut.size() * 7 / 10);
    return {{"the sample (EXIF, JPS descriptor)", Sample()},
            {"4:2:0", Crop(120, 50, TJSAMP_420, 0)},
            {"grey", Crop(64, 33, TJSAMP_GRAY, 0)},
            {"progressive", Crop(80, 40, TJSAMP_422, TJFLAG_PROGRESSIVE)},
            {"cut short", cut}};
}

struct OptionsCase {
    const char* name;
    void (*set)(ConversionOptions& options);
};

const OptionsCase kOptions[] = {
    {"defaults", [](ConversionOptions&) {}},
    {"shift +5", [](ConversionOptions& o) { o.shift = 5; }},
    {"shift -3", [](ConversionOptions& o) { o.shift = -3; }},
    {"swap", [](ConversionOptions& o) { o.swapViews = true; }},
    {"cross", [](ConversionOptions& o) { o.layout = StereoLayout::Cross; }},
    {"sbs over a descriptor", [](ConversionOptions& o) { o.layout = StereoLayout::SideBySide; }},
    {"dubois green-magenta", [](ConversionOptions& o) { o.method = {Glasses::GreenMagenta, MixMethod::Dubois}; }},
    {"optimised", [](ConversionOptions& o) { o.method = {Glasses::RedCyan, MixMethod::Optimised}; }},
    {"grey amber-blue q96", [](ConversionOptions& o) {
         o.method = {Glasses::AmberBlue, MixMethod::Grey};
         o.jpegQuality = 96;
     }},
    {"strip q40", [](ConversionOptions& o) {
         o.stripMetadata = true;
         o.jpegQuality = 40;
     }},
};

// The conversion by bands, on two threads and on one, writes the bytes and
// notes of the whole-view path. On two threads the output is also decoded
// for the screen as it is encoded: the picture left is the written file's,
// metadata and all.
void ExpectBandsWriteTheWholeViewPathsBytes(ConversionRequest request, const std::string& folder)
{
    request.outputPath = folder + "/whole.jpg";
    std::string whole, wholeNotes;
    ASSERT_TRUE(WholeViewBytes(request, whole, wholeNotes));
    request.outputPath = folder + "/bands.jpg";
    ASSERT_EQ(PathOf(request), ConversionPath::Bands);
    for (bool single : {false, true}) {
        request.singleThread = single;
        request.decodeForScreen = !single;
        std::remove(request.outputPath.c_str());
        ConversionResult result = ConvertPicture(request);
        ASSERT_EQ(result.status, ConversionStatus::Written) << result.reason;
        EXPECT_TRUE(sgtest::FileBytes(request.outputPath) == whole) << (single ? "one thread" : "two threads");
        EXPECT_EQ(result.notes, wholeNotes);
        Picture echoed, decoded;
        CodecResult echoResult = kCodecCorrupt;
        EXPECT_EQ(TakePrefetchedPicture(request.outputPath, echoed, echoResult), !single);
        if (single)
            continue;
        ASSERT_EQ(echoResult, kCodecOk);
        ASSERT_EQ(DecodePictureFile(request.outputPath, decoded), kCodecOk);
        ASSERT_EQ(echoed.width, decoded.width);
        ASSERT_EQ(echoed.height, decoded.height);
        const size_t count = size_t(decoded.width) * size_t(decoded.height);
        EXPECT_TRUE(std::equal(echoed.pixels.get(), echoed.pixels.get() + count, decoded.pixels.get()));
    }
}

TEST(StreamedAnaglyph, WritesTheWholeViewPathsBytes)
{
    const std::string folder = PictureFolder();
    for (const Source& source : Sources()) {
        const std::string path = WriteFile("source.jpg", source.bytes);
        for (const OptionsCase& options : kOptions) {
            SCOPED_TRACE(std::string(source.name) + ", " + options.name);
            ConversionRequest request;
            request.sourcePath = path;
            options.set(request.options);
            ExpectBandsWriteTheWholeViewPathsBytes(request, folder);
        }
    }
}

// A picture small enough that the measurement's own decode is at full size
// measures as its whole views do: the bands then write the whole-view
// path's bytes and notes, on one thread and on two.
TEST(StreamedAnaglyph, MeasuredStepsWriteTheWholeViewPathsBytes)
{
    const std::string folder = PictureFolder();
    const OptionsCase cases[] = {
        {"align", [](ConversionOptions& o) { o.align = true; }},
        {"align and window", [](ConversionOptions& o) {
             o.align = true;
             o.autoShift = true;
         }},
        {"align, swap, shift", [](ConversionOptions& o) {
             o.align = true;
             o.swapViews = true;
             o.shift = 7;
         }},
    };
    // As shot (level: the views are left as they are) and with one view
    // moved down (aligned: the right view warped band by band).
    const std::string sources[] = {std::string(SG_TEST_DATA_DIR) + "/figure-sbs.jps",
                                   WriteFile("misaligned.jpg", Misaligned(9))};
    for (const std::string& source : sources) {
        for (const OptionsCase& c : cases) {
            SCOPED_TRACE(source + ", " + c.name);
            ConversionRequest request;
            request.sourcePath = source;
            c.set(request.options);
            ExpectBandsWriteTheWholeViewPathsBytes(request, folder);
        }
    }
    // The moved pair was aligned, not left alone.
    ConversionRequest request;
    request.sourcePath = sources[1];
    request.outputPath = folder + "/bands.jpg";
    request.options.align = true;
    EXPECT_NE(ConvertPicture(request).notes.find(" aligned: "), std::string::npos);
}

TEST(StreamedAnaglyph, TwoConversionsSideBySide)
{
    const std::string folder = PictureFolder();
    const std::string path = WriteFile("pair.jpg", Crop(240, 120, TJSAMP_420, 0));
    ConversionRequest request;
    request.sourcePath = path;
    request.outputPath = folder + "/alone.jpg";
    ASSERT_EQ(ConvertPicture(request).status, ConversionStatus::Written);
    const std::string alone = sgtest::FileBytes(request.outputPath);
    ConversionResult results[2];
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i)
        threads.emplace_back([&, i] {
            ConversionRequest mine = request;
            mine.outputPath = folder + "/side" + std::to_string(i) + ".jpg";
            results[i] = ConvertPicture(mine);
        });
    for (std::thread& thread : threads)
        thread.join();
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(results[i].status, ConversionStatus::Written) << results[i].reason;
        EXPECT_TRUE(sgtest::FileBytes(folder + "/side" + std::to_string(i) + ".jpg") == alone) << i;
    }
}

// What keeps whole views: anything the bands would change a byte of, or
// cannot hold.
TEST(StreamedAnaglyph, ThePlanSaysWhichPath)
{
    const std::string folder = PictureFolder();
    const std::string even = WriteFile("even.jpg", Crop(120, 50, TJSAMP_420, 0));
    const std::string odd = WriteFile("odd.jpg", Crop(121, 50, TJSAMP_420, 0));
    const std::string png = WritePng("pair.png", 40, 20, [](int32_t x, int32_t y) { return uint32_t(x * 5 + y); });
    const std::string mpo =
        WriteFile("pair.mpo", MakeMpo({{SampleJpeg(0, 0, 32, 24)}, {SampleJpeg(40, 0, 32, 24)}}));
    struct Case {
        const char* name;
        std::string source, output;
        void (*set)(ConversionOptions& options);
        ConversionPath path;
    };
    const Case cases[] = {
        {"even JPEG", even, "out.jpg", [](ConversionOptions&) {}, ConversionPath::Bands},
        {"odd width", odd, "out.jpg", [](ConversionOptions&) {}, ConversionPath::WholeViews},
        {"align", even, "out.jpg", [](ConversionOptions& o) { o.align = true; }, ConversionPath::Bands},
        {"window", even, "out.jpg", [](ConversionOptions& o) { o.autoShift = true; }, ConversionPath::Bands},
        {"PNG source", png, "out.jpg", [](ConversionOptions&) {}, ConversionPath::WholeViews},
        {"multi-picture", mpo, "out.jpg", [](ConversionOptions&) {}, ConversionPath::WholeViews},
        {"over/under", even, "out.jpg", [](ConversionOptions& o) { o.layout = StereoLayout::OverUnder; },
         ConversionPath::WholeViews},
        {"half width", even, "out.jpg", [](ConversionOptions& o) { o.layout = StereoLayout::HalfSideBySide; },
         ConversionPath::WholeViews},
        {"PNG output", even, "out.png", [](ConversionOptions&) {}, ConversionPath::WholeViews},
        {"the pair written", even, "out.jpg", [](ConversionOptions& o) { o.outputKind = OutputKind::SideBySide; },
         ConversionPath::WholeViews},
        {"reduced decode", even, "out.jpg", [](ConversionOptions& o) { o.reducedDecode = 16; },
         ConversionPath::WholeViews},
    };
    for (const Case& c : cases) {
        ConversionRequest request;
        request.sourcePath = c.source;
        request.outputPath = folder + "/" + c.output;
        c.set(request.options);
        EXPECT_EQ(PathOf(request), c.path) << c.name;
    }
}

} // namespace
