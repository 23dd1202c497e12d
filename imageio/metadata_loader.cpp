// The program's side of the metadata library: PictureHasMetadata and
// CopyPictureMetadata, forwarded to libstereoglass-metadata.so, which is
// loaded the first time a source's metadata is looked at. The library is
// found through the program's RUNPATH (the build tree, or lib/stereoglass
// beside the installed program). When it cannot be loaded a source counts
// as having metadata, and its copy leaves the result as encoded and says in
// the note that the metadata could not be read or written, and why.
#include "imageio/metadata_module.h"

#include <atomic>
#include <mutex>

#include "imageio/metadata.h"
#include "platform/os.h"

namespace {

std::once_flag gLoadOnce;
const MetadataCalls* gCalls = nullptr;
std::string gLoadError;
std::atomic<bool> gLoaded{false};

void LoadMetadataLibrary()
{
    void* entry = OsLibrarySymbol(kMetadataLibraryName, kMetadataCallsSymbol, gLoadError);
    const MetadataCalls* calls = entry ? reinterpret_cast<const MetadataCalls* (*)()>(entry)() : nullptr;
    if (entry && !calls)
        gLoadError = std::string(kMetadataLibraryName) + ": no " + kMetadataCallsSymbol;
    else if (calls && calls->version != kMetadataCallsVersion)
        gLoadError = std::string(kMetadataLibraryName) + ": built for another version of the program";
    else
        gCalls = calls;
    gLoaded.store(gCalls != nullptr, std::memory_order_release);
}

} // namespace

const MetadataCalls* LoadedMetadata()
{
    std::call_once(gLoadOnce, LoadMetadataLibrary);
    return gCalls;
}

std::string MetadataLoadError()
{
    LoadedMetadata();
    return gLoadError;
}

bool MetadataLoaded()
{
    return gLoaded.load(std::memory_order_acquire);
}

bool PictureHasMetadata(const uint8_t* source, size_t sourceSize)
{
    if (!source || sourceSize == 0)
        return false;
    // Without the library nothing can tell: the copy says why.
    const MetadataCalls* calls = LoadedMetadata();
    return !calls || calls->pictureHasMetadata(source, sourceSize);
}

bool CopyPictureMetadata(const uint8_t* source, size_t sourceSize, std::string& encoded, PictureFormat format,
                         int32_t width, int32_t height, std::string& note)
{
    if (!source || sourceSize == 0 || encoded.empty())
        return false;
    if (const MetadataCalls* calls = LoadedMetadata())
        return calls->copyPictureMetadata(source, sourceSize, encoded, format, width, height, note);
    note += "The source's metadata could not be read or written, so the result carries none: the metadata library "
            "cannot be loaded (" +
            gLoadError + ").\n";
    return false;
}
