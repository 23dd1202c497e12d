#include "app/run.h"

#include <cstdio>
#include <string>

#include "app/batch.h"
#include "app/command_line.h"
#include "app/settings_file.h"
#include "app/startup.h"
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

// The settings file's options with the command line's over them. A run
// started from the desktop has no terminal, so the dialog and FILE runs also
// show the error in a message box when they can.
bool ResolveOptions(const CommandLine& commandLine, ConversionOptions& options)
{
    Settings fileSettings;
    std::string error;
    if (ReadSettingsFile(SettingsFilePath(), fileSettings, error) && ApplySettings(options, fileSettings, error) &&
        ApplySettings(options, commandLine.settings, error) && CheckOptionCombination(options, error))
        return true;
    PrintError(error);
    if (commandLine.mode != RunMode::Convert && DisplayAvailable())
        ShowMessageBox(WidenAnsi("Stereoglass cannot start: " + error), kMessageBoxStyle, u"");
    return false;
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
    }
    return fStartUp(request);
}
