// The table of formats and everything that must agree with it: the GDI+
// encoder list, the usage text, the manual page and the desktop entry.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "app/command_line.h"
#include "imageio/codecs/codec.h"
#include "imageio/imageio.h"

namespace {

std::string Upper(std::string text)
{
    for (char& c : text)
        c = char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return text;
}

std::vector<std::string> Words(const std::string& text)
{
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

std::string FileText(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Encoder {
    std::string mimeType;
    std::string extensions;
};

std::vector<Encoder> GdiplusEncoders()
{
    uint32_t token = fGDIp_Startup();
    UINT count = 0, size = 0;
    EXPECT_EQ(GdipGetImageEncodersSize(&count, &size), Ok);
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[size]);
    auto* info = reinterpret_cast<ImageCodecInfo*>(buffer.get());
    EXPECT_EQ(GdipGetImageEncoders(count, size, info), Ok);
    std::vector<Encoder> encoders;
    for (UINT i = 0; i < count; ++i)
        encoders.push_back({fWide2Str(info[i].MimeType), fWide2Str(info[i].FilenameExtension)});
    fGDIp_Shutdown(token);
    return encoders;
}

TEST(PictureFormats, EveryWrittenFormatHasTheGdiplusEncoderOfItsNames)
{
    std::vector<Encoder> encoders = GdiplusEncoders();
    // Callers find an encoder by its position in the list as well as by its
    // MIME type: the order is Windows' own.
    std::vector<std::string> order;
    for (const Encoder& e : encoders)
        order.push_back(e.mimeType);
    EXPECT_EQ(order, (std::vector<std::string>{"image/bmp", "image/jpeg", "image/gif", "image/tiff", "image/png"}));
    size_t written = 0;
    for (const PictureFormatRow& row : PictureFormats()) {
        if (!row.encode)
            continue;
        ++written;
        std::string filter;
        for (const std::string& extension : Words(row.extensions))
            filter += (filter.empty() ? "*." : ";*.") + Upper(extension);
        bool found = false;
        for (const Encoder& e : encoders)
            if (e.mimeType == row.mimeType) {
                found = true;
                EXPECT_EQ(e.extensions, filter) << row.name;
            }
        EXPECT_TRUE(found) << row.name;
    }
    EXPECT_EQ(written, encoders.size());
    // The design's saver picks the MIME type by its own extension list; where
    // it names a format the table writes, the two agree.
    for (const char* name : {"x.bmp", "x.gif", "x.jpg", "x.jpeg", "x.png", "x.tif", "x.TIFF"}) {
        PictureFormat format = PictureFormat::Unknown;
        ASSERT_TRUE(PictureFormatForFileName(name, format)) << name;
        EXPECT_EQ(fSaveMimeType(name), FindPictureFormat(format)->mimeType) << name;
    }
}

TEST(PictureFormats, UsageTextAndManualPageNameEveryWrittenExtension)
{
    std::string expected;
    for (const PictureFormatRow& row : PictureFormats())
        if (row.encode)
            for (const std::string& extension : Words(row.extensions))
                expected += (expected.empty() ? "" : ", ") + extension;
    std::string usage = UsageText();
    std::string flat;
    for (const std::string& word : Words(usage))
        flat += word + " ";
    EXPECT_NE(flat.find("extension: " + expected + " "), std::string::npos) << usage;

    std::string manual;
    for (const std::string& word : Words(FileText(SG_SOURCE_DIR "/doc/stereoglass.1")))
        manual += word + " ";
    std::string marked;
    for (const std::string& extension : Words(expected)) {
        std::string bare = extension.back() == ',' ? extension.substr(0, extension.size() - 1) : extension;
        marked += (marked.empty() ? "" : ", ") + ("\\fB" + bare + "\\fR");
    }
    EXPECT_NE(manual.find("extension: " + marked + "."), std::string::npos) << "doc/stereoglass.1";
}

TEST(PictureFormats, DesktopEntryOpensEveryWrittenFormatAndTheStereoKinds)
{
    std::string desktop = FileText(SG_SOURCE_DIR "/packaging/stereoglass.desktop");
    size_t at = desktop.find("\nMimeType=");
    ASSERT_NE(at, std::string::npos);
    std::string line = desktop.substr(at + 10, desktop.find('\n', at + 1) - at - 10);
    std::set<std::string> listed;
    std::istringstream in(line);
    for (std::string type; std::getline(in, type, ';');)
        if (!type.empty())
            listed.insert(type);
    std::set<std::string> expected = {"image/x-jps", "image/x-mpo"};
    for (const PictureFormatRow& row : PictureFormats())
        if (row.encode)
            expected.insert(row.mimeType);
    EXPECT_EQ(listed, expected);
}

TEST(PictureFormats, FileNamesSelectTheFormatOfTheirExtension)
{
    const struct {
        const char* name;
        bool selects;
        PictureFormat format;
    } kCases[] = {
        {"out.jpg", true, PictureFormat::Jpeg},     {"OUT.JPE", true, PictureFormat::Jpeg},
        {"a.b.jfif", true, PictureFormat::Jpeg},    {"x.Png", true, PictureFormat::Png},
        {"x.tiff", true, PictureFormat::Tiff},      {"x.dib", true, PictureFormat::Bmp},
        {"x.gif", true, PictureFormat::Gif},        {"icon.ico", false, PictureFormat::Unknown}, // read, never written
        {"x.webp", false, PictureFormat::Unknown},  {"jpg", false, PictureFormat::Unknown},
        {"x.", false, PictureFormat::Unknown},      {"dir.jpg/out", false, PictureFormat::Unknown},
    };
    for (const auto& c : kCases) {
        PictureFormat format = PictureFormat::Unknown;
        EXPECT_EQ(PictureFormatForFileName(c.name, format), c.selects) << c.name;
        if (c.selects) {
            EXPECT_EQ(format, c.format) << c.name;
        }
    }
}

TEST(PictureFormats, RowsAreWhole)
{
    std::set<std::string> extensions, mimeTypes;
    for (const PictureFormatRow& row : PictureFormats()) {
        EXPECT_EQ(FindPictureFormat(row.format), &row) << row.name;
        EXPECT_TRUE(row.sniff && row.probe && row.decode) << row.name;
        EXPECT_EQ(row.probeFile == nullptr, row.decodeFile == nullptr) << row.name;
        EXPECT_GT(row.largestSide, 0) << row.name;
        EXPECT_TRUE(mimeTypes.insert(row.mimeType).second) << row.name;
        for (const std::string& extension : Words(row.extensions))
            EXPECT_TRUE(extensions.insert(extension).second) << extension << " names two formats";
    }
    EXPECT_EQ(FindPictureFormat(PictureFormat::Unknown), nullptr);
}

} // namespace
