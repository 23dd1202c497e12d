/* Another program's view of libstereoglass: dlopen it, load a picture
   through the exported loader, read the pixels back and free by the rules
   (the loader frees the file name it is given). */
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef char* (*AllocFn)(const char*, uint32_t);
typedef void (*FreeFn)(char*);
typedef uint32_t (*LoadFn)(const char*, uint32_t, int32_t, int32_t);
typedef uint32_t (*StartFn)(void);
typedef void (*ShutdownFn)(uint32_t);
typedef void (*SelectFn)(uint32_t, int32_t, int32_t);
typedef void (*SizeFn)(int32_t*, int32_t*);
typedef uint32_t (*CreateFn)(int32_t, int32_t);
typedef void (*EndFn)(void);
typedef void (*ClearFn)(int32_t, int32_t);
typedef size_t (*ReadFn)(void*, size_t);

static int failures = 0;

#define CHECK(condition)                                                     \
    do {                                                                     \
        if (!(condition)) {                                                  \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
            ++failures;                                                      \
        }                                                                    \
    } while (0)

static void* need(void* library, const char* name)
{
    void* symbol = dlsym(library, name);
    if (!symbol) {
        fprintf(stderr, "missing export %s\n", name);
        exit(1);
    }
    return symbol;
}

static uint32_t pixel_at(const unsigned char* pixels, int32_t width, int32_t x, int32_t y)
{
    uint32_t value;
    memcpy(&value, pixels + 8 + 4 * ((size_t)y * (size_t)width + (size_t)x), 4);
    return value;
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s path/to/libstereoglass.so\n", argv[0]);
        return 2;
    }
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        fprintf(stderr, "dlopen: %s\n", dlerror());
        return 1;
    }
    AllocFn alloc_string = (AllocFn)need(library, "SysAllocStringByteLen");
    FreeFn free_string = (FreeFn)need(library, "SysFreeString");
    LoadFn load = (LoadFn)need(library, "fGDIp_2hBMP");
    StartFn startup = (StartFn)need(library, "sg_GdiplusStartup");
    ShutdownFn shutdown = (ShutdownFn)need(library, "sg_GdiplusShutdown");
    SelectFn select_target = (SelectFn)need(library, "sg_SelectTarget");
    SizeFn target_size = (SizeFn)need(library, "sg_GetTargetSize");
    CreateFn create_bitmap = (CreateFn)need(library, "sg_CreateMemoryBitmap");
    EndFn end_bitmap = (EndFn)need(library, "sg_EndMemoryBitmap");
    ClearFn clear_target = (ClearFn)need(library, "sg_ClearTarget");
    ReadFn read_pixels = (ReadFn)need(library, "sg_ReadPixels");

    uint32_t token = startup();
    CHECK(token != 0);

    /* A picture at its own size in a new memory bitmap. */
    const char* path = SG_TEST_DATA_DIR "/figure-sbs.jps";
    uint32_t bitmap = load(alloc_string(path, (uint32_t)strlen(path)), 0, 0, 0);
    CHECK(bitmap != 0);
    int32_t width = 0, height = 0;
    target_size(&width, &height);
    CHECK(width == 1044 && height == 720);
    size_t length = read_pixels(NULL, 0);
    CHECK(length == 8 + 4 * (size_t)1044 * 720);
    unsigned char* pixels = malloc(length);
    CHECK(pixels && read_pixels(pixels, length) == length);
    if (pixels) {
        int32_t header[2];
        memcpy(header, pixels, 8);
        CHECK(header[0] == 1044 && header[1] == 720);
        size_t lit = 0;
        for (size_t i = 8; i < length; i += 4)
            lit += (pixels[i] | pixels[i + 1] | pixels[i + 2]) != 0;
        CHECK(lit > length / 8); /* a photograph, not an empty bitmap */
    }
    free(pixels);
    end_bitmap();

    /* Fitted into a caller's bitmap, with red bars. */
    uint32_t target = create_bitmap(200, 200);
    select_target(target, 0, 0);
    clear_target(0x00FF00, 0);
    CHECK(load(alloc_string(path, (uint32_t)strlen(path)), target, 1, 255) == target);
    unsigned char* fitted = malloc(8 + 4 * 200 * 200);
    CHECK(fitted && read_pixels(fitted, 8 + 4 * 200 * 200) == 8 + 4 * 200 * 200);
    if (fitted) {
        CHECK((pixel_at(fitted, 200, 0, 0) & 0xFFFFFF) == 0xFF0000);
        CHECK((pixel_at(fitted, 200, 199, 199) & 0xFFFFFF) == 0xFF0000);
    }
    free(fitted);
    end_bitmap();

    /* Failure still frees the name; an explicit length may hold any byte. */
    CHECK(load(alloc_string("/no/such/file.png", 17), 0, 0, 0) == 0);
    char odd[] = {'/', 'n', 'o', '\0', 'x'};
    CHECK(load(alloc_string(odd, sizeof odd), 0, 0, 0) == 0);
    char* kept = alloc_string("kept", 4);
    free_string(kept);
    free_string(NULL);

    shutdown(token);
    /* The library keeps process-wide state (handles, targets) for as long as
       the process runs; it stays loaded. */
    if (failures)
        fprintf(stderr, "%d check(s) failed\n", failures);
    else
        printf("export test passed\n");
    return failures ? 1 : 0;
}
