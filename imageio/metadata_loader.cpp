// The program's side of the metadata library: PictureHasMetadata and
// CopyPictureMetadata, forwarded to libstereoglass-metadata.so, which is
// loaded the first time a source's metadata is looked at. The library is
// found through the program's RUNPATH (the build tree, or lib/stereoglass
// beside the installed program). When it cannot be loaded a source counts
// as having metadata, and its copy leaves the result as encoded and says in
// the note that the metadata could not be read or written, and why.
#include "imageio/metadata_module.h"

#include "imageio/metadata.h"
#include "platform/private_calls.h"

namespace {

PrivateCalls<MetadataCalls> gMetadata(kMetadataLibraryName, kMetadataCallsSymbol, kMetadataCallsVersion);

} // namespace

bool PictureHasMetadata(const uint8_t* source, size_t sourceSize)
{
    if (!source || sourceSize == 0)
        return false;
    // Without the library nothing can tell: the copy says why.
    const MetadataCalls* calls = gMetadata.Get();
    return !calls || calls->pictureHasMetadata(source, sourceSize);
}

bool CopyPictureMetadata(const uint8_t* source, size_t sourceSize, std::string& encoded, PictureFormat format,
                         int32_t width, int32_t height, std::string& note)
{
    if (!source || sourceSize == 0 || encoded.empty())
        return false;
    if (const MetadataCalls* calls = gMetadata.Get())
        return calls->copyPictureMetadata(source, sourceSize, encoded, format, width, height, note);
    note += "The source's metadata could not be read or written, so the result carries none: the metadata library "
            "cannot be loaded (" +
            gMetadata.Error() + ").\n";
    return false;
}
