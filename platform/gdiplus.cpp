// GDI+ start-up, shut-down and the registry of live objects.
#include <atomic>
#include <mutex>
#include <new>
#include <set>
#include <unordered_set>

#include "platform/gdiplus_objects.h"

namespace {

struct Registry {
    std::mutex lock;
    std::set<uint32_t> tokens; // starts in force
    uint32_t lastToken = 0;
    std::unordered_set<GpImage*> images;
    std::unordered_set<GpGraphics*> graphics;
};

Registry& TheRegistry()
{
    static Registry* registry = new Registry; // lives as long as the process
    return *registry;
}

// Ok when GDI+ is started and object is in the registry's set live.
template <typename T>
Status CheckLive(std::unordered_set<T*> Registry::*live, T* object)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    if (r.tokens.empty())
        return GdiplusNotInitialized;
    return object && (r.*live).count(object) ? Ok : InvalidParameter;
}

std::atomic<bool> g_failNextStartup = false;

} // namespace

void FailNextGdiplusStartup()
{
    g_failNextStartup = true;
}

Status GdiplusStartup(uint32_t* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output)
{
    if (!token || !input)
        return InvalidParameter;
    *token = 0;
    if (input->GdiplusVersion != 1)
        return UnsupportedGdiplusVersion;
    if (g_failNextStartup.exchange(false))
        return GenericError;
    if (output) {
        output->NotificationHook = nullptr;
        output->NotificationUnhook = nullptr;
    }
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    do {
        ++r.lastToken;
    } while (r.lastToken == 0 || r.tokens.count(r.lastToken));
    r.tokens.insert(r.lastToken);
    *token = r.lastToken;
    return Ok;
}

void GdiplusShutdown(uint32_t token)
{
    Registry& r = TheRegistry();
    std::unordered_set<GpImage*> images;
    std::unordered_set<GpGraphics*> graphics;
    {
        std::lock_guard<std::mutex> guard(r.lock);
        if (!r.tokens.erase(token) || !r.tokens.empty())
            return;
        // The last start ended: whatever the callers left alive goes now.
        images.swap(r.images);
        graphics.swap(r.graphics);
    }
    for (GpImage* image : images)
        delete image;
    for (GpGraphics* g : graphics)
        delete g;
}

bool GdiplusStarted()
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    return !r.tokens.empty();
}

Status CheckImage(GpImage* image)
{
    return CheckLive(&Registry::images, image);
}

Status CheckGraphics(GpGraphics* graphics)
{
    return CheckLive(&Registry::graphics, graphics);
}

void AddImage(GpImage* image)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.images.insert(image);
}

void AddGraphics(GpGraphics* graphics)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.graphics.insert(graphics);
}

bool RemoveImage(GpImage* image)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    return r.images.erase(image) == 1;
}

bool RemoveGraphics(GpGraphics* graphics)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    return r.graphics.erase(graphics) == 1;
}

PixelBuffer AllocatePixels(int32_t width, int32_t height)
{
    Image image;
    if (!AllocateImage(image, width, height))
        return nullptr;
    return std::move(image.pixels);
}
