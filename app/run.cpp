#include "app/run.h"

#include <cstdio>
#include <string>

#include "anaglyph/stereo_output.h"
#include "app/batch.h"
#include "app/command_line.h"
#include "app/settings_file.h"
#include "app/startup.h"
#include "app/thumbnail.h"
#include "app/version.h"
#include "host/services.h"
#include "platform/display.h"
#include "platform/text.h"

namespace {

constexpr int32_t kUsageError = 2;

void PrintError(const std::string& message)
{
    std::fprintf(stderr, "stereoglass: %s\n", message.c_str());
}

void ShowStartError(const std::string& text)
{
    if (DisplayAvailable())
        ShowMessageBox(WidenAnsi(text), kMessageBoxStyle, u"");
}

// A run started from the desktop has no terminal, so the dialog and FILE
// runs also show a usage or settings error in a message box when they can.
void RefuseToStart(const CommandLine& commandLine, const std::string& error)
{
    PrintError(error);
    if (commandLine.mode != RunMode::Convert)
        ShowStartError("Stereoglass cannot start: " + error);
}

// The settings file's options with the command line's over them. A file
// whose own lines clash (and that the command line does not settle) stops
// the run, except the dialog's: that one says which lines clash and opens
// with the defaults, so that the user is never locked out.
bool ResolveOptions(const CommandLine& commandLine, ConversionOptions& options)
{
    Settings fileSettings;
    std::vector<int32_t> lineNumbers;
    std::string error, clash;
    const std::string path = SettingsFilePath();
    bool fileRead = ReadSettingsFile(path, fileSettings, error, &lineNumbers);
    bool fileClashes = fileRead && !CheckSettingsFileCombination(path, fileSettings, lineNumbers, clash);
    ConversionOptions resolved;
    if (fileRead && ApplySettings(resolved, fileSettings, error) &&
        ApplySettings(resolved, commandLine.settings, error) && CheckOptionCombination(resolved, error)) {
        options = resolved;
        return true;
    }
    if (fileClashes) {
        error = clash;
        ConversionOptions defaults;
        std::string ignored;
        if (commandLine.mode == RunMode::Dialog && ApplySettings(defaults, commandLine.settings, ignored) &&
            CheckOptionCombination(defaults, ignored)) {
            PrintError(error);
            ShowStartError("The settings file is not used: " + error + ".\n\nThe dialog opens with the defaults.");
            options = defaults;
            return true;
        }
    }
    RefuseToStart(commandLine, error);
    return false;
}

// "stereoglass FILE" writes the kind asked (--to, the settings file's "to"
// line, or what -o NAME.jps or -o NAME.mpo implies) and shows the file it
// wrote. A name that does not fit another kind is a usage error before
// anything is read, as in a -c run; the anaglyph keeps its own handling of
// a bad name (the conversion's message box).
bool ChooseShownKind(const CommandLine& commandLine, ConversionOptions& options)
{
    if (commandLine.outputPath.empty())
        return true;
    options.outputKind = OutputKindForName(commandLine.outputPath, options.outputKind);
    if (options.outputKind == OutputKind::Anaglyph)
        return true;
    std::string problem = OutputNameProblem(options.outputKind, commandLine.outputPath);
    if (problem.empty())
        return true;
    RefuseToStart(commandLine, problem);
    return false;
}

// A preview takes the user's choice of glasses and how their pictures are
// laid out; a settings file that cannot be read gives the defaults, since a
// file manager shows no message.
ConversionOptions ThumbnailOptions(const CommandLine& commandLine)
{
    ConversionOptions options;
    Settings settings;
    std::string error;
    if (!ReadSettingsFile(SettingsFilePath(), settings, error))
        settings.clear();
    settings.insert(settings.end(), commandLine.settings.begin(), commandLine.settings.end());
    for (const auto& [key, value] : settings) {
        if (key == "glasses" || key == "method" || key == "layout" || key == "swap")
            ApplySetting(options, key, value, error);
    }
    if (!CheckOptionCombination(options, error))
        options.method = ConversionOptions().method;
    return options;
}

} // namespace

const char* VersionText()
{
    static const std::string text = std::string("stereoglass ") + SG_VERSION +
                                    (SG_GIT_DESCRIPTION[0] ? std::string(" (") + SG_GIT_DESCRIPTION + ")" : "");
    return text.c_str();
}

int32_t fRun(int argc, const char* const argv[])
{
    CommandLine commandLine;
    std::string error;
    if (!ParseCommandLine(argc, argv, commandLine, error)) {
        PrintError(error);
        std::fputs("Try 'stereoglass --help' for more information.\n", stderr);
        return kUsageError;
    }
    if (commandLine.mode == RunMode::Help) {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }
    if (commandLine.mode == RunMode::Version) {
        std::printf("%s\n", VersionText());
        return 0;
    }
    if (commandLine.mode == RunMode::Thumbnail)
        return WriteThumbnail(commandLine.paths[0], commandLine.paths[1], commandLine.thumbnailSize,
                              ThumbnailOptions(commandLine));
    ConversionOptions options;
    if (!ResolveOptions(commandLine, options))
        return kUsageError;
    // A batch needs no display, so it starts before start-up's display check.
    if (commandLine.mode == RunMode::Convert)
        return RunBatch(commandLine, options);

    ConversionRequest request;
    request.options = options;
    request.outputPath = commandLine.outputPath;
    if (commandLine.mode == RunMode::Show) {
        request.sourcePath = commandLine.leftPath.empty() ? commandLine.paths.front() : commandLine.leftPath;
        request.rightPath = commandLine.rightPath;
        if (!ChooseShownKind(commandLine, request.options))
            return kUsageError;
    } else {
        // The dialog offers the anaglyph's glasses and writes the anaglyph,
        // whatever kind the settings file asks of the other runs.
        request.options.outputKind = OutputKind::Anaglyph;
    }
    return fStartUp(request);
}
