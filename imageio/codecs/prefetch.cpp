// One picture file decoded ahead, on another thread, for a reader that is
// known to come: the program decodes the anaglyph it has just written while
// it opens the window that will show it.
#include <mutex>
#include <thread>

#include "imageio/codecs/codec.h"
#include "platform/os.h"

namespace {

// Which file it was: a file replaced or rewritten since is decoded afresh.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modifiedNs = 0;
    bool operator==(const FileIdentity& o) const
    {
        return device == o.device && inode == o.inode && size == o.size && modifiedNs == o.modifiedNs;
    }
};

bool IdentityOf(const std::string& path, FileIdentity& identity)
{
    OsFileInfo info;
    if (OsStat(path, info) != 0)
        return false;
    identity = {info.device, info.inode, info.size, info.modifiedNs};
    return true;
}

struct Prefetch {
    std::mutex lock;
    std::string path;
    FileIdentity identity;
    std::thread decoder;
    Picture picture;
    CodecResult result = kCodecNotFound;
};

// Never destroyed: a decode still running at exit must not meet a
// destroyed slot.
Prefetch& Slot()
{
    static auto* slot = new Prefetch;
    return *slot;
}

// Empties the slot (held, its decoder ended) and gives it to path as the
// file is now; false, leaving it empty, when the file cannot be looked at.
bool ClaimSlot(Prefetch& slot, const std::string& path)
{
    slot.picture = Picture{};
    slot.path.clear();
    FileIdentity identity;
    if (!IdentityOf(path, identity))
        return false;
    slot.path = path;
    slot.identity = identity;
    return true;
}

} // namespace

void PrefetchPictureFile(const std::string& path)
{
    Prefetch& slot = Slot();
    std::lock_guard<std::mutex> hold(slot.lock);
    if (slot.decoder.joinable())
        slot.decoder.join();
    FileIdentity now;
    if (slot.path == path && slot.result == kCodecOk && IdentityOf(path, now) && now == slot.identity)
        return; // kept from the bytes as they were written
    if (!ClaimSlot(slot, path))
        return;
    slot.decoder = std::thread([&slot, path] { slot.result = DecodePictureFile(path, slot.picture); });
}

void KeepPrefetchedPicture(const std::string& path, Picture&& picture)
{
    Prefetch& slot = Slot();
    std::lock_guard<std::mutex> hold(slot.lock);
    if (slot.decoder.joinable())
        slot.decoder.join();
    if (!ClaimSlot(slot, path))
        return;
    slot.picture = std::move(picture);
    slot.result = kCodecOk;
}

bool TakePrefetchedPicture(const std::string& path, Picture& picture, CodecResult& result)
{
    Prefetch& slot = Slot();
    std::lock_guard<std::mutex> hold(slot.lock);
    if (slot.path.empty() || slot.path != path)
        return false;
    if (slot.decoder.joinable())
        slot.decoder.join();
    FileIdentity now;
    bool same = IdentityOf(path, now) && now == slot.identity;
    slot.path.clear();
    if (!same) {
        slot.picture = Picture{};
        return false;
    }
    picture = std::move(slot.picture);
    result = slot.result;
    return true;
}
