#include "app/main_flow.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "anaglyph/conversion.h"
#include "anaglyph/placement.h"
#include "anaglyph/stereo_output.h"
#include "app/anaglyph_choices.h"
#include "app/naming.h"
#include "app/settings_file.h"
#include "app/source_chooser.h"
#include "host/graphic_window.h"
#include "host/services.h"
#include "host/targets.h"
#include "imageio/codecs/codec.h"
#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "platform/text.h"

#include <cstdio>

namespace {

constexpr int32_t kFitInside = 2;
constexpr int32_t kBlack = 0;

constexpr int32_t kShowWorkAfterMs = 1000;

void ShowError(const std::string& text)
{
    ShowMessageBox(WidenAnsi(text), kMessageBoxStyle, u"");
}

// fWriteAnaglyph's codes for a request's result.
int32_t WriteAnaglyph(const ConversionRequest& request)
{
    ConversionResult result = ConvertPicture(request);
    // What --align found, for a run started from a terminal.
    if (!result.notes.empty())
        std::fputs(result.notes.c_str(), stderr);
    switch (result.status) {
    case ConversionStatus::Written:
        return 1;
    case ConversionStatus::SourceUnreadable:
    case ConversionStatus::SourceUnsuitable:
        return 0;
    default:
        return -1;
    }
}

// The conversion on a thread of its own, while the main thread (the one that
// may talk to GTK) first does meanwhile what the run needs next, then sleeps
// until the conversion ends and shows "Converting …" once it takes longer
// than a second.
ConversionResult ConvertShowingWork(const ConversionRequest& request, const std::function<void()>& meanwhile)
{
    auto shownFrom = std::chrono::steady_clock::now() + std::chrono::milliseconds(kShowWorkAfterMs);
    ConversionResult result;
    std::atomic<bool> done = false;
    std::mutex lock;
    std::condition_variable ended;
    std::thread worker([&] {
        EnterThread(nullptr);
        result = ConvertPicture(request);
        LeaveThread(nullptr);
        std::lock_guard<std::mutex> hold(lock);
        done.store(true);
        ended.notify_all();
    });
    meanwhile();
    bool quick;
    {
        std::unique_lock<std::mutex> hold(lock);
        quick = ended.wait_until(hold, shownFrom, [&] { return done.load(); });
    }
    if (!quick)
        ShowBusyUntil(done, 0, u"Converting \u2026");
    worker.join();
    return result;
}

} // namespace

int32_t fMainFlow(const uint32_t&, const uint32_t&, const std::string&, const int32_t&)
{
    return fMainFlow(ConversionOptions());
}

int32_t fMainFlow(const ConversionOptions& options)
{
    ConversionRequest request;
    std::vector<DialogChoice> choices = AnaglyphChoices(options);
    request.sourcePath = fSelectFile(choices);
    // Cancel ends the run: going on would reach the loader's clipboard
    // source with an empty name and empty the user's clipboard.
    if (request.sourcePath.empty())
        return 0;
    request.options = options;
    std::vector<std::pair<std::string, std::string>> changes = TakeAnaglyphChoices(choices, request.options);
    std::string error;
    if (!CheckOptionCombination(request.options, error)) {
        ShowError("The anaglyph cannot be made: " + error + ".");
        return 0;
    }
    // What the user picked is the next run's default. Failing to remember it
    // does not stop this run.
    // The row's other values go in too when the file would otherwise hold a
    // combination that the next run refuses.
    Settings companions = {{"glasses", GlassesName(request.options.method.glasses)},
                           {"method", MixMethodName(request.options.method.method)},
                           {"swap", request.options.swapViews ? "yes" : "no"}};
    if (!changes.empty() && !UpdateSettingsFile(SettingsFilePath(), changes, error, companions))
        std::fprintf(stderr, "stereoglass: %s\n", error.c_str());
    // The dialog's run ends with 0 whatever became of the picture.
    fConvertAndShow(request);
    return 0;
}

int32_t fWriteAnaglyph(const std::string& sourcePath, const std::string& outputBase)
{
    ConversionRequest request;
    request.sourcePath = sourcePath;
    request.outputPath = outputBase + ".jpg";
    return WriteAnaglyph(request);
}

int32_t fConvertAndShow(const std::string& sourcePath)
{
    ConversionRequest request;
    request.sourcePath = sourcePath;
    return fConvertAndShow(request);
}

int32_t fConvertAndShow(const ConversionRequest& request)
{
    // The source is read through the path as chosen; the output goes to the
    // same folder under the lower-cased file name, with its kind's suffix and
    // extension ("_anaglyph" and ".jpg" unless --to asks for another kind).
    ConversionRequest fullRequest = request;
    fullRequest.decodeForScreen = true;
    const StereoOutput& written = StereoOutputFor(request.options.outputKind);
    if (fullRequest.outputPath.empty())
        fullRequest.outputPath =
            fResultBase(fNamingPath(request.sourcePath), written.suffix) + "." + written.extension;
    const std::string& outputFile = fullRequest.outputPath;
    // The result window covers the primary output where it lies, which on
    // a desktop of several monitors need not be at the origin.
    RECT output = {0, 0, 0, 0};
    GetPrimaryOutputRect(&output);

    // The result window is made, hidden, while the conversion runs: its
    // thread, X connection, window and bitmap are ready when the file is.
    HWND window = 0;
    auto openWindow = [&] {
        window = CreateGraphicWindow(u"", output.left - 1, output.top - 1, output.right - output.left,
                                     output.bottom - output.top, 0);
    };
    ConversionResult result = ConvertShowingWork(fullRequest, openWindow);
    // Another kind's notes (a wiggle GIF holds no EXIF or ICC) for a run
    // started from a terminal; the anaglyph's run stays as quiet as it was.
    if (written.kind != OutputKind::Anaglyph && !result.notes.empty())
        std::fputs(result.notes.c_str(), stderr);
    if (result.status != ConversionStatus::Written) {
        CloseGraphicWindow(window);
        ShowError(result.reason);
        return 1;
    }

    // The written file is read back for the screen: a JPEG written band by
    // band was decoded as it was encoded; another is decoded now, on the
    // second core while the window maps. A JPS shows its two views side by
    // side, an MPO its first picture (the left view) and a wiggle GIF its
    // first frame (the left view, still): what a picture loader makes of
    // each file.
    PrefetchPictureFile(outputFile);
    ShowGraphicWindow(window);
    fDrawFile(window, 0, outputFile, kFitInside, kBlack);
    SelectTarget(window, 0, true);
    WaitForKey(u"", 0);
    return 0;
}
