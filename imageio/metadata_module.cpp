// The entry of libstereoglass-metadata.so: the table of its calls. Linked
// with a version script that keeps every other symbol local, so that the
// library's own calls bind to its own functions and not to the program's
// forwarders of the same names.
#include "imageio/metadata_module.h"

#include "imageio/metadata.h"

extern "C" const MetadataCalls* sg_metadata_calls()
{
    static const MetadataCalls calls = {
        kMetadataCallsVersion,
        PictureHasMetadata,
        CopyPictureMetadata,
    };
    return &calls;
}
