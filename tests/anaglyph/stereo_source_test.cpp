#include "anaglyph/stereo_source.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

#include "anaglyph/stereo_layouts.h"
#include "tests/anaglyph/pictures.h"
#include "tests/anaglyph/stereo_fixtures.h"

namespace {

using sgtest::DecodeBytes;
using sgtest::MakeMpo;
using sgtest::MpoOptions;
using sgtest::MpPicture;
using sgtest::SampleJpeg;
using sgtest::WriteFile;

bool SamePixels(ImageView a, ImageView b)
{
    if (a.width != b.width || a.height != b.height || a.Empty() || b.Empty())
        return false;
    for (int32_t y = 0; y < a.height; ++y)
        for (int32_t x = 0; x < a.width; ++x)
            if ((a.Row(y)[x] & 0xFFFFFF) != (b.Row(y)[x] & 0xFFFFFF))
                return false;
    return true;
}

// Two views of the same size with different content (two parts of the
// figure sample), and a third of another size.
struct Views {
    std::string left = SampleJpeg(100, 200, 40, 30);
    std::string right = SampleJpeg(400, 300, 40, 30);
    std::string third = SampleJpeg(250, 250, 40, 30);
    std::string wider = SampleJpeg(100, 200, 48, 30);
    std::string preview = SampleJpeg(0, 0, 16, 12);
};

const Views& TestViews()
{
    static const Views views;
    return views;
}

StereoSource Load(const std::string& path, ConversionStatus expected, ConversionOptions options = {},
                  std::string* reason = nullptr)
{
    ConversionRequest request;
    request.sourcePath = path;
    request.options = options;
    StereoSource source;
    std::string why;
    EXPECT_EQ(LoadStereoSource(request, source, why), expected) << path << ": " << why;
    if (reason)
        *reason = why;
    return source;
}

TEST(StereoSource, FixtureViewsDifferVisibly)
{
    const Views& v = TestViews();
    EXPECT_FALSE(SamePixels(DecodeBytes(v.left).View(), DecodeBytes(v.right).View()));
}

TEST(StereoSource, MultiPictureFilesGiveTheirViewsInIndividualNumberOrder)
{
    const Views& v = TestViews();
    const uint32_t kPreview = 0x010002;
    struct Case {
        const char* name;
        std::vector<MpPicture> pictures;
        MpoOptions options;
        const std::string* expectLeft;
        const std::string* expectRight;
        const char* note; // "" when none
    };
    const Case cases[] = {
        {"little-endian", {{v.left, 0x020002, 1}, {v.right, 0x020002, 2}}, {}, &v.left, &v.right, ""},
        {"big-endian", {{v.left, 0x020002, 1}, {v.right, 0x020002, 2}}, {true}, &v.left, &v.right, ""},
        {"numbers reversed", {{v.left, 0x020002, 2}, {v.right, 0x020002, 1}}, {true}, &v.right, &v.left, ""},
        {"no numbers", {{v.left, 0x020002, -1}, {v.right, 0x020002, -1}}, {}, &v.left, &v.right, ""},
        {"zero padding", {{v.left, 0x020002, 1}, {v.right, 0x020002, 2}}, {false, 4096}, &v.left, &v.right, ""},
        {"preview between", {{v.left, 0x020002, 1}, {v.preview, kPreview, 3}, {v.right, 0x020002, 2}}, {},
         &v.left, &v.right, ""},
        {"three views", {{v.third, 0x020002, 3}, {v.left, 0x020002, 1}, {v.right, 0x020002, 2}}, {true}, &v.left,
         &v.right, "3 stereo views"},
        // Only the views used are read to their ends.
        {"unused third view cut short",
         {{v.left, 0x020002, 1}, {v.right, 0x020002, 2}, {v.third.substr(0, 300), 0x020002, 3}},
         {},
         &v.left,
         &v.right,
         "3 stereo views"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = WriteFile("pair.mpo", MakeMpo(c.pictures, c.options));
        StereoSource source = Load(path, ConversionStatus::Written);
        EXPECT_EQ(FrameCount(source.file), 2);
        EXPECT_TRUE(SamePixels(source.views.left, DecodeBytes(*c.expectLeft).View()));
        EXPECT_TRUE(SamePixels(source.views.right, DecodeBytes(*c.expectRight).View()));
        if (*c.note)
            EXPECT_NE(source.notes.find(c.note), std::string::npos) << source.notes;
        else
            EXPECT_EQ(source.notes, "");
    }
}

TEST(StereoSource, OrdinaryPicturesAreCutAsToday)
{
    // A camera JPEG with multi-picture previews, two pictures of different
    // sizes or more than two back to back, trailing bytes: each is the
    // first picture cut side by side.
    const Views& v = TestViews();
    const std::string wide = SampleJpeg(0, 0, 80, 30);
    // A note says when further pictures went unused.
    const char* kUnused = "holds further pictures after its first, which were not used";
    struct Case {
        const char* name;
        std::string bytes;
        const char* note;
    };
    const Case cases[] = {
        {"camera previews", MakeMpo({{wide, 0x030000, 1}, {v.preview, 0x010002, 2}}), ""},
        {"one picture", wide, ""},
        {"different sizes back to back", wide + v.left, kUnused},
        {"three back to back", wide + wide + wide, kUnused},
        {"trailing bytes", wide + wide + "trailer", kUnused},
        {"trailing bytes after one picture", wide + "trailer", ""},
    };
    StereoViews expected;
    Picture widePicture = DecodeBytes(wide);
    ASSERT_TRUE(SplitSideBySide(widePicture.View(), expected));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StereoSource source = Load(WriteFile("ordinary.jpg", c.bytes), ConversionStatus::Written);
        EXPECT_EQ(FrameCount(source.file), 1);
        EXPECT_TRUE(SamePixels(source.views.left, expected.left));
        EXPECT_TRUE(SamePixels(source.views.right, expected.right));
        if (*c.note)
            EXPECT_NE(source.notes.find(c.note), std::string::npos) << source.notes;
        else
            EXPECT_EQ(source.notes, "");
    }
}

TEST(StereoSource, OnlyTheFirst64EntriesOfAnIndexAreRead)
{
    const Views& v = TestViews();
    std::vector<MpPicture> previews(70, MpPicture{v.preview, 0x010002, -1});
    // Views first: a pair, with a note of the entries not read.
    std::vector<MpPicture> viewsFirst = {{v.left, 0x020002, 1}, {v.right, 0x020002, 2}};
    viewsFirst.insert(viewsFirst.end(), previews.begin(), previews.end());
    StereoSource pair = Load(WriteFile("many.mpo", MakeMpo(viewsFirst)), ConversionStatus::Written);
    EXPECT_EQ(FrameCount(pair.file), 2);
    EXPECT_NE(pair.notes.find("has a multi-picture index of 72 entries; only the first 64 were read"),
              std::string::npos)
        << pair.notes;
    // Views after the 64th entry are not looked for: one picture.
    std::vector<MpPicture> viewsLast = previews;
    viewsLast.insert(viewsLast.begin(), MpPicture{SampleJpeg(0, 0, 80, 30), 0x030000, -1});
    viewsLast.push_back({v.left, 0x020002, 1});
    viewsLast.push_back({v.right, 0x020002, 2});
    StereoSource single = Load(WriteFile("many.mpo", MakeMpo(viewsLast)), ConversionStatus::Written);
    EXPECT_EQ(FrameCount(single.file), 1);
    EXPECT_NE(single.notes.find("only the first 64 were read"), std::string::npos) << single.notes;
}

TEST(StereoSource, APicturePaddedWithZerosIsReadOnlyAsFarAsItsPictures)
{
    // 64 MB of zeros (a hole) after the pictures are never read, nor are
    // 3 GB, more than any file read whole may have. A byte soon after them
    // keeps the whole file, which may hold more pictures; one after more
    // than 16 MB of zeros does not.
    const Views& v = TestViews();
    const std::string mpo = MakeMpo({{v.left, 0x020002, 1}, {v.right, 0x020002, 2}});
    struct Case {
        const char* name;
        std::string bytes;
        off_t byteAt; // where after the bytes a non-zero byte is, 0 for none
        size_t kept;  // bytes read, 0 for the whole file
        int frames;
        off_t padding = off_t(64) << 20; // the zeros after the bytes
    };
    const Case cases[] = {
        {"one picture", v.left, 0, v.left.size(), 1},
        {"multi-picture file", mpo, 0, mpo.size(), 2},
        {"two pictures back to back", v.left + v.right, 0, v.left.size() + v.right.size(), 2},
        {"one picture, then a byte", v.left, 1000, 0, 1},
        {"one picture, a byte 32 MB on", v.left, off_t(32) << 20, v.left.size(), 1},
        // Larger than any file read whole may be.
        {"one picture padded to 3 GB", v.left, 0, v.left.size(), 1, off_t(3) << 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = WriteFile("padded.jpg", c.bytes);
        const off_t size = off_t(c.bytes.size()) + c.padding;
        ASSERT_EQ(truncate(path.c_str(), size), 0);
        if (c.byteAt) {
            std::FILE* file = std::fopen(path.c_str(), "r+b");
            ASSERT_NE(file, nullptr);
            std::fseek(file, long(c.bytes.size()) + long(c.byteAt), SEEK_SET);
            std::fputc('x', file);
            std::fclose(file);
        }
        StereoFile file;
        ASSERT_EQ(ReadStereoFile(path, file), kCodecOk);
        EXPECT_EQ(file.bytes.size(), c.kept ? c.kept : size_t(size));
        EXPECT_EQ(FrameCount(file), c.frames);
        StereoSource source = Load(path, ConversionStatus::Written);
        if (c.frames == 2) {
            EXPECT_TRUE(SamePixels(source.views.left, DecodeBytes(v.left).View()));
        }
    }
}

TEST(StereoSource, TwoSameSizePicturesBackToBackAreAPair)
{
    const Views& v = TestViews();
    const std::string padded = v.left + std::string(300, '\0') + v.right + std::string(7, '\0');
    for (const std::string& bytes : {v.left + v.right, padded}) {
        StereoSource source = Load(WriteFile("tablet.jpg", bytes), ConversionStatus::Written);
        EXPECT_EQ(FrameCount(source.file), 2);
        EXPECT_TRUE(SamePixels(source.views.left, DecodeBytes(v.left).View()));
        EXPECT_TRUE(SamePixels(source.views.right, DecodeBytes(v.right).View()));
    }
}

// A Leia pair as the Lume Pad writes it: two pictures, a block of the
// tablet's own between them, and after the second a block and the JSON
// that places each picture.
std::string LeiaPair(const std::string& first, const std::string& second, const std::string& json)
{
    const std::string block = std::string("LEIA", 4) + std::string("\x01\x00\x00\x2a\xff\xd8\x10\x7d", 8);
    return first + block + second + block + json + std::string("\x00\x00\x01\x3c", 4);
}

TEST(StereoSource, LeiaPairsGiveTheViewTheirJsonPlacesLeftAsTheLeftView)
{
    const Views& v = TestViews();
    // The first picture is the right view here: only the JSON says so.
    const std::string json = R"({"version":2,"views":[{"xLocation":1,"width":40},{"xLocation":0,"width":40}]})";
    StereoSource source = Load(WriteFile("leia.jpg", LeiaPair(v.right, v.left, json)), ConversionStatus::Written);
    EXPECT_EQ(FrameCount(source.file), 2);
    EXPECT_EQ(source.file.frames.origin, "Leia stereo pair");
    EXPECT_TRUE(SamePixels(source.views.left, DecodeBytes(v.left).View()));
    EXPECT_TRUE(SamePixels(source.views.right, DecodeBytes(v.right).View()));

    const std::string inOrder = R"({"views":[{"xLocation":0},{"xLocation":1}]})";
    StereoSource plain = Load(WriteFile("leia2.jpg", LeiaPair(v.left, v.right, inOrder)), ConversionStatus::Written);
    EXPECT_TRUE(SamePixels(plain.views.left, DecodeBytes(v.left).View()));

    // Cut anywhere before its JSON is whole, it is no pair, and nothing is
    // read past the bytes there are.
    const std::string whole = LeiaPair(v.right, v.left, json);
    const size_t jsonEnd = whole.size() - 4;
    for (size_t size = 0; size <= whole.size(); size += size < 300 || size + 200 > whole.size() ? 1 : 61) {
        std::string cut = whole.substr(0, size); // its own allocation: a read past it shows under ASan
        StereoFrames frames = FindStereoFrames(reinterpret_cast<const uint8_t*>(cut.data()), cut.size());
        EXPECT_EQ(frames.found == FrameSearch::StereoPair, size >= jsonEnd) << size;
    }
}

TEST(StereoSource, OtherConcatenationsWithDataBetweenStayOrdinaryPictures)
{
    const Views& v = TestViews();
    const std::string good = R"({"views":[{"xLocation":0},{"xLocation":1}]})";
    const std::pair<const char*, std::string> cases[] = {
        {"no JSON", LeiaPair(v.left, v.right, "")},
        {"JSON without views", LeiaPair(v.left, v.right, R"({"camera":{"xLocation":0}})")},
        {"three views", LeiaPair(v.left, v.right, R"({"views":[{"xLocation":0},{"xLocation":1},{"xLocation":2}]})")},
        {"both at 0", LeiaPair(v.left, v.right, R"({"views":[{"xLocation":0},{"xLocation":0}]})")},
        {"not JSON", LeiaPair(v.left, v.right, R"({"views":[{"xLocation":0},{"xLocation":1}})")},
        {"sizes differ", LeiaPair(v.left, v.wider, good)},
        {"nothing after the second", v.left + "LEIA" + v.right},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        StereoSource source = Load(WriteFile("concatenated.jpg", bytes), ConversionStatus::Written);
        EXPECT_EQ(FrameCount(source.file), 1);
        EXPECT_EQ(source.views.left.width, 20); // the first picture cut side by side
    }
}

TEST(StereoSource, DamagedMultiPictureFilesGiveAClearError)
{
    const Views& v = TestViews();
    const std::vector<MpPicture> pair = {{v.left, 0x020002, 1}, {v.right, 0x020002, 2}};
    std::string whole = MakeMpo(pair);
    std::string badHeader = whole;
    badHeader.replace(badHeader.find("II*"), 3, "XX*");
    struct Case {
        const char* name;
        std::string bytes;
        ConversionStatus status;
        const char* says; // in the reason, or in the notes when written
    };
    const Case cases[] = {
        {"offset past the end", MakeMpo(pair, {false, 0, 1 << 20}), ConversionStatus::SourceUnreadable,
         "past the end"},
        {"size past the end", MakeMpo(pair, {true, 0, 0, 1 << 20}), ConversionStatus::SourceUnreadable,
         "past the end"},
        {"second picture cut short", whole.substr(0, whole.size() - 200), ConversionStatus::SourceUnreadable,
         "past the end"},
        {"offset into the middle of a picture", MakeMpo(pair, {false, 0, -40}), ConversionStatus::SourceUnreadable,
         "not a complete JPEG"},
        {"overlapping views", MakeMpo(pair, {false, 0, 0, 0, true}), ConversionStatus::SourceUnreadable, "overlap"},
        {"one view", MakeMpo({{v.left, 0x020002, 1}, {v.right, 0x010002, 2}}), ConversionStatus::SourceUnreadable,
         "only one stereo view"},
        {"views of different sizes", MakeMpo({{v.left, 0x020002, 1}, {v.wider, 0x020002, 2}}),
         ConversionStatus::SourceUnsuitable, "different sizes (40x30 and 48x30)"},
        {"unreadable index", badHeader, ConversionStatus::Written, "index that could not be read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string reason;
        StereoSource source = Load(WriteFile("damaged.mpo", c.bytes), c.status, {}, &reason);
        const std::string& said = c.status == ConversionStatus::Written ? source.notes : reason;
        EXPECT_NE(said.find(c.says), std::string::npos) << said;
        if (c.status != ConversionStatus::Written) {
            EXPECT_NE(reason.find("damaged.mpo"), std::string::npos) << reason;
        }
    }
}

TEST(StereoSource, EveryTruncationOfAMultiPictureFileIsReadSafely)
{
    const Views& v = TestViews();
    for (bool bigEndian : {false, true}) {
        std::string whole = MakeMpo({{v.left, 0x020002, 1}, {v.right, 0x020002, 2}}, {bigEndian, 16});
        for (size_t size = 0; size <= whole.size(); size += size < 400 ? 1 : 97) {
            std::string cut = whole.substr(0, size); // its own allocation: a read past it shows under ASan
            StereoFrames frames = FindStereoFrames(reinterpret_cast<const uint8_t*>(cut.data()), cut.size());
            if (size < whole.size() && frames.found == FrameSearch::StereoPair)
                ADD_FAILURE() << "a pair from " << size << " bytes";
            FindJpsDescriptor(reinterpret_cast<const uint8_t*>(cut.data()), cut.size());
        }
    }
}

TEST(StereoSource, JpsDescriptorNamesTheLayout)
{
    struct Case {
        uint32_t word;
        bool named;
        StereoLayout layout;
        bool rightFirst;
    };
    const Case cases[] = {
        {0x00000201, true, StereoLayout::SideBySide, true},
        {0x00040201, true, StereoLayout::SideBySide, false},
        {0x00020201, true, StereoLayout::HalfSideBySide, true},
        {0x00060201, true, StereoLayout::HalfSideBySide, false},
        {0x00040301, true, StereoLayout::OverUnder, false},
        {0x00010301, true, StereoLayout::HalfOverUnder, true},
        {0x00000200, false, StereoLayout::Auto, false}, // mono
        {0x00000401, false, StereoLayout::Auto, false}, // anaglyph
    };
    const std::string jpeg = TestViews().left;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        std::string bytes = sgtest::WithJpsDescriptor(jpeg, c.word);
        JpsDescriptor descriptor = FindJpsDescriptor(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        ASSERT_TRUE(descriptor.present);
        StereoLayout layout = StereoLayout::Auto;
        bool rightFirst = false;
        std::string note;
        EXPECT_EQ(LayoutFromDescriptor(descriptor, layout, rightFirst, note), c.named);
        EXPECT_EQ(layout, c.layout);
        EXPECT_EQ(rightFirst, c.rightFirst);
        EXPECT_EQ(note.empty(), c.named);
    }
}

TEST(StereoSource, JpsCrossedPairGivesTheRightHalfAsLeftUnlessTheLayoutIsExplicit)
{
    const std::string wide = SampleJpeg(0, 100, 80, 30);
    std::string path = WriteFile("crossed.jps", sgtest::WithJpsDescriptor(wide, 0x00000201));
    StereoViews halves;
    Picture picture = DecodeBytes(wide);
    ASSERT_TRUE(SplitSideBySide(picture.View(), halves));

    StereoSource automatic = Load(path, ConversionStatus::Written);
    EXPECT_TRUE(SamePixels(automatic.views.left, halves.right));
    EXPECT_TRUE(SamePixels(automatic.views.right, halves.left));

    ConversionOptions explicitSbs;
    explicitSbs.layout = StereoLayout::SideBySide;
    StereoSource sbs = Load(path, ConversionStatus::Written, explicitSbs);
    EXPECT_TRUE(SamePixels(sbs.views.left, halves.left));

    ConversionOptions swapped;
    swapped.swapViews = true;
    StereoSource swap = Load(path, ConversionStatus::Written, swapped);
    EXPECT_TRUE(SamePixels(swap.views.left, halves.left));
    EXPECT_TRUE(SamePixels(swap.views.right, halves.right));
}

TEST(StereoSource, SwapExchangesTheViewsOfAMultiPictureFile)
{
    const Views& v = TestViews();
    std::string path = WriteFile("swap.mpo", MakeMpo({{v.left, 0x020002, 1}, {v.right, 0x020002, 2}}));
    ConversionOptions options;
    options.swapViews = true;
    StereoSource source = Load(path, ConversionStatus::Written, options);
    EXPECT_TRUE(SamePixels(source.views.left, DecodeBytes(v.right).View()));
    EXPECT_TRUE(SamePixels(source.views.right, DecodeBytes(v.left).View()));
}

TEST(StereoSource, TwoFilePairsNeedTheSameSize)
{
    const Views& v = TestViews();
    ConversionRequest request;
    request.sourcePath = WriteFile("left.jpg", v.left);
    request.rightPath = WriteFile("right.jpg", v.right);
    StereoSource source;
    std::string reason;
    ASSERT_EQ(LoadStereoSource(request, source, reason), ConversionStatus::Written) << reason;
    EXPECT_TRUE(SamePixels(source.views.left, DecodeBytes(v.left).View()));
    EXPECT_TRUE(SamePixels(source.views.right, DecodeBytes(v.right).View()));

    request.rightPath = WriteFile("wider.jpg", v.wider);
    EXPECT_EQ(LoadStereoSource(request, source, reason), ConversionStatus::SourceUnsuitable);
    for (const char* part : {"left.jpg\" is 40x30", "wider.jpg\" is 48x30"})
        EXPECT_NE(reason.find(part), std::string::npos) << reason;

    request.rightPath = sgtest::PictureFolder() + "/missing.jpg";
    EXPECT_EQ(LoadStereoSource(request, source, reason), ConversionStatus::SourceUnreadable);
    EXPECT_NE(reason.find("missing.jpg"), std::string::npos) << reason;
}

} // namespace
