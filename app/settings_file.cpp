#include "app/settings_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

namespace {

constexpr const char* kBlanks = " \t\r";

std::string_view Trimmed(std::string_view text)
{
    size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return std::string_view();
    size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

// A whole decimal number (an optional sign, digits, nothing else) that fits
// an int32_t.
bool ParseWholeNumber(std::string_view text, int32_t& number)
{
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-')
            return false;
    }
    int32_t value = 0;
    auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (status != std::errc() || end != text.data() + text.size())
        return false;
    number = value;
    return true;
}

bool ParseYesNo(std::string_view text, bool& flag)
{
    for (std::string_view yes : {"yes", "true", "on", "1"}) {
        if (text == yes) {
            flag = true;
            return true;
        }
    }
    for (std::string_view no : {"no", "false", "off", "0"}) {
        if (text == no) {
            flag = false;
            return true;
        }
    }
    return false;
}

std::string Got(const std::string& value) { return ", got '" + value + "'"; }

enum class LineKind { Blank, Setting, Malformed };

// One line of the file: blank or comment, a setting, or neither. For a
// setting, key and value trimmed, and the comment after the value (from its
// '#', with the blanks before it) so that a rewrite can keep it.
struct SettingsLine {
    LineKind kind = LineKind::Blank;
    std::string key, value, trailingComment;
};

SettingsLine ReadLine(const std::string& text)
{
    SettingsLine line;
    size_t hash = text.find('#');
    std::string_view content = std::string_view(text).substr(0, hash);
    if (Trimmed(content).empty())
        return line;
    size_t equals = content.find('=');
    line.kind = LineKind::Malformed;
    if (equals == std::string_view::npos)
        return line;
    line.key = Trimmed(content.substr(0, equals));
    line.value = Trimmed(content.substr(equals + 1));
    if (line.key.empty())
        return line;
    line.kind = LineKind::Setting;
    if (hash != std::string::npos) {
        size_t commentStart = content.find_last_not_of(kBlanks);
        line.trailingComment = text.substr(commentStart == std::string_view::npos ? 0 : commentStart + 1);
    }
    return line;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// The whole file; false with errno's reason when it exists but cannot be
// read, true and "" when it does not exist (missing is set then).
bool ReadWholeFile(const std::string& path, std::string& text, bool& missing, std::string& error)
{
    missing = false;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        // A file this user cannot even see (its folder shut to them, say) is
        // as good as absent; one that is there but unreadable is an error.
        struct stat seen = {};
        if (errno == ENOENT || stat(path.c_str(), &seen) != 0) {
            missing = true;
            return true;
        }
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat info = {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = "cannot read " + path + ": not a regular file";
        close(fd);
        return false;
    }
    text.clear();
    char buffer[4096];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = "cannot read " + path + ": " + std::strerror(errno);
            close(fd);
            return false;
        }
        if (n == 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return true;
}

bool WriteAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Writes text to a temporary file beside path and renames it over path, so
// that a reader sees the old or the new file, never a part of one.
bool ReplaceFileAtomically(const std::string& path, const std::string& text, mode_t mode, std::string& error)
{
    std::string temporary = path + ".XXXXXX";
    int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    bool written = fchmod(fd, mode) == 0 && WriteAll(fd, text) && fsync(fd) == 0;
    int savedErrno = errno;
    if (close(fd) != 0 && written) {
        written = false;
        savedErrno = errno;
    }
    if (written && rename(temporary.c_str(), path.c_str()) == 0)
        return true;
    if (written)
        savedErrno = errno;
    unlink(temporary.c_str());
    error = "cannot write " + path + ": " + std::strerror(savedErrno);
    return false;
}

} // namespace

std::string SettingsFilePath()
{
    const char* configHome = getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (configHome && configHome[0] == '/') {
        folder = configHome;
    } else {
        const char* home = getenv("HOME");
        if (!home || home[0] != '/')
            return std::string();
        folder = std::string(home) + "/.config";
    }
    return folder + "/stereoglass/stereoglass.conf";
}

bool ApplySetting(ConversionOptions& options, const std::string& key, const std::string& value, std::string& error)
{
    if (key == "layout") {
        if (!ParseStereoLayout(value, options.layout)) {
            error = "layout takes one of " + StereoLayoutNames() + Got(value);
            return false;
        }
    } else if (key == "glasses") {
        if (!ParseGlasses(value, options.method.glasses)) {
            error = "glasses takes one of " + GlassesNames() + Got(value);
            return false;
        }
    } else if (key == "method") {
        if (!ParseMixMethod(value, options.method.method)) {
            error = "method takes one of " + MixMethodNames() + Got(value);
            return false;
        }
    } else if (key == "swap" || key == "align" || key == "strip") {
        bool flag = false;
        if (!ParseYesNo(value, flag)) {
            error = key + " takes yes or no" + Got(value);
            return false;
        }
        (key == "swap" ? options.swapViews : key == "align" ? options.align : options.stripMetadata) = flag;
    } else if (key == "shift") {
        // "auto" measures the shift for each picture; a number replaces it.
        int32_t shift = 0;
        if (value == "auto") {
            options.autoShift = true;
            options.shift = 0;
        } else if (ParseWholeNumber(value, shift)) {
            options.autoShift = false;
            options.shift = shift;
        } else {
            error = "shift takes a whole number of pixels or auto" + Got(value);
            return false;
        }
    } else if (key == "quality") {
        int32_t quality = 0;
        if (!ParseWholeNumber(value, quality) || quality < 1 || quality > 100) {
            error = "quality takes a number from 1 to 100" + Got(value);
            return false;
        }
        options.jpegQuality = quality;
    } else {
        error = "unknown setting '" + key + "' (known: layout, glasses, method, swap, shift, align, quality, strip)";
        return false;
    }
    return true;
}

bool CheckOptionCombination(const ConversionOptions& options, std::string& error)
{
    if (options.method.method == MixMethod::Optimised && options.method.glasses != Glasses::RedCyan) {
        error = "method optimised is for red-cyan glasses only, not " + GlassesName(options.method.glasses);
        return false;
    }
    return true;
}

bool ReadSettingsFile(const std::string& path, Settings& settings, std::string& error)
{
    settings.clear();
    if (path.empty())
        return true;
    std::string text;
    bool missing = false;
    if (!ReadWholeFile(path, text, missing, error))
        return false;
    std::vector<std::string> lines = SplitLines(text);
    ConversionOptions scratch;
    for (size_t i = 0; i < lines.size(); ++i) {
        SettingsLine line = ReadLine(lines[i]);
        std::string where = path + ":" + std::to_string(i + 1) + ": ";
        if (line.kind == LineKind::Blank)
            continue;
        if (line.kind == LineKind::Malformed) {
            error = where + "expected 'key = value', got '" + std::string(Trimmed(lines[i])) + "'";
            return false;
        }
        std::string problem;
        if (!ApplySetting(scratch, line.key, line.value, problem)) {
            error = where + problem;
            return false;
        }
        settings.emplace_back(line.key, line.value);
    }
    return true;
}

bool ApplySettings(ConversionOptions& options, const Settings& settings, std::string& error)
{
    for (const auto& [key, value] : settings) {
        if (!ApplySetting(options, key, value, error))
            return false;
    }
    return true;
}

bool UpdateSettingsFile(const std::string& path, const std::vector<std::pair<std::string, std::string>>& changes,
                        std::string& error)
{
    if (path.empty()) {
        error = "no settings file: neither XDG_CONFIG_HOME nor HOME names a folder";
        return false;
    }
    // A link (a dotfile manager's, say) stays a link: the file it names is
    // the one replaced.
    std::error_code ignored;
    std::filesystem::path target = path;
    if (std::filesystem::is_symlink(target, ignored)) {
        std::filesystem::path resolved = std::filesystem::weakly_canonical(target, ignored);
        if (!ignored)
            target = resolved;
    }
    std::string targetPath = target.string();

    std::string text;
    bool missing = false;
    if (!ReadWholeFile(targetPath, text, missing, error))
        return false;
    mode_t mode = 0644;
    struct stat info = {};
    if (!missing && stat(targetPath.c_str(), &info) == 0)
        mode = info.st_mode & 07777;

    // Each change is checked as the reader will check it, so the file never
    // gets a line that would stop the next run.
    ConversionOptions scratch;
    for (const auto& [key, value] : changes) {
        std::string problem;
        if (value.find_first_of("#\n") != std::string::npos || !ApplySetting(scratch, key, value, problem)) {
            error = "not written to " + path + ": " + (problem.empty() ? key + " cannot hold '" + value + "'" : problem);
            return false;
        }
    }

    std::vector<std::string> lines = SplitLines(text);
    for (const auto& [key, value] : changes) {
        bool found = false;
        for (std::string& lineText : lines) {
            SettingsLine line = ReadLine(lineText);
            if (line.kind != LineKind::Setting || line.key != key)
                continue;
            bool crlf = !lineText.empty() && lineText.back() == '\r';
            lineText = key + " = " + value + line.trailingComment;
            if (crlf && lineText.back() != '\r')
                lineText += '\r'; // a file written on Windows keeps its line ends
            found = true;
        }
        if (!found)
            lines.push_back(key + " = " + value);
    }
    std::string content;
    for (const std::string& line : lines)
        content += line + "\n";

    std::error_code folderError;
    if (!target.parent_path().empty())
        std::filesystem::create_directories(target.parent_path(), folderError);
    if (folderError) {
        error = "cannot make the folder " + target.parent_path().string() + ": " + folderError.message();
        return false;
    }
    return ReplaceFileAtomically(targetPath, content, mode, error);
}
