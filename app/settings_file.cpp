#include "app/settings_file.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

#include "platform/os.h"
#include "platform/temporary_files.h"

namespace {

// How much of a value a message shows.
constexpr size_t kMostQuotedBytes = 60;

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

std::string Got(const std::string& value) { return ", got " + QuotedForMessage(value); }

// The length of the UTF-8 sequence at text[at] when it is well formed and
// no control character (C1 controls U+0080..U+009F included), else 0.
size_t PrintableSequence(std::string_view text, size_t at)
{
    unsigned char lead = static_cast<unsigned char>(text[at]);
    if (lead >= 0x20 && lead < 0x7F)
        return 1;
    size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 0;
    if (lead >= 0xF5 || length == 0 || at + length > text.size())
        return 0;
    uint32_t point = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        unsigned char next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        point = (point << 6) | (next & 0x3F);
    }
    bool shortest = (length == 2 && point >= 0x80) || (length == 3 && point >= 0x800) ||
                    (length == 4 && point >= 0x10000 && point <= 0x10FFFF);
    bool surrogate = point >= 0xD800 && point <= 0xDFFF;
    return shortest && !surrogate && point >= 0xA0 ? length : 0;
}

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

// The whole file; false with the reason when it exists but cannot be read,
// true and "" when it does not exist (missing is set then). The file is
// opened without blocking, so a FIFO or a device there is refused at once
// instead of waiting for a writer; info gets what fstat says of it.
bool ReadWholeFile(const std::string& path, std::string& text, bool& missing, std::string& error,
                   OsFileInfo* info = nullptr)
{
    missing = false;
    text.clear();
    int fd = OsOpenForReading(path);
    if (fd < 0) {
        // A file this user cannot even see (its folder shut to them, say) is
        // as good as absent; one that is there but unreadable is an error.
        int openError = errno;
        OsFileInfo seen;
        if (openError == ENOENT || OsStat(path, seen) != 0) {
            missing = true;
            return true;
        }
        error = "cannot read " + path + ": " + std::strerror(openError);
        return false;
    }
    OsFileInfo seen;
    bool regular = OsFileStat(fd, seen) == 0 && seen.kind == OsFileKind::Regular;
    if (!regular || seen.size > kMostSettingsFileBytes) {
        error = "cannot read " + path + ": " +
                (!regular ? std::string("not a regular file")
                          : "larger than " + std::to_string(kMostSettingsFileBytes / 1024) +
                                " KB; a settings file holds a few lines of defaults");
        OsClose(fd);
        return false;
    }
    if (info)
        *info = seen;
    // The size is checked again as the bytes come, for a file that grows.
    char buffer[4096];
    for (;;) {
        int64_t n = OsReadAt(fd, buffer, sizeof buffer, int64_t(text.size()));
        if (n < 0) {
            error = "cannot read " + path + ": " + std::strerror(errno);
            OsClose(fd);
            return false;
        }
        if (n == 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
        if (static_cast<int64_t>(text.size()) > kMostSettingsFileBytes) {
            error = "cannot read " + path + ": larger than " + std::to_string(kMostSettingsFileBytes / 1024) +
                    " KB; a settings file holds a few lines of defaults";
            text.clear();
            OsClose(fd);
            return false;
        }
    }
    OsClose(fd);
    return true;
}

bool WriteAll(int fd, const std::string& text)
{
    return OsWriteAll(fd, text.data(), int64_t(text.size())) == 0;
}

std::string WriteError(const std::string& path, int error)
{
    return "cannot write " + path + ": " + std::strerror(error);
}

// Rewrites the file itself: for a file with other hard links, which a
// rename would split, or one whose owner a new file cannot get. Not atomic,
// but a settings file is written with one call. The file must still be the
// one that was read (same device and inode).
bool RewriteInPlace(const std::string& path, const std::string& text, const OsFileInfo& was, std::string& error)
{
    int fd = OsOpenExistingForWriting(path);
    if (fd < 0) {
        error = WriteError(path, errno);
        return false;
    }
    OsFileInfo now;
    if (OsFileStat(fd, now) != 0 || now.device != was.device || now.inode != was.inode ||
        now.kind != OsFileKind::Regular) {
        error = "cannot write " + path + ": it changed while being rewritten";
        OsClose(fd);
        return false;
    }
    bool written = WriteAll(fd, text) && OsTruncate(fd, int64_t(text.size())) == 0 && OsSync(fd) == 0;
    int savedErrno = errno;
    if (OsClose(fd) != 0 && written) {
        written = false;
        savedErrno = errno;
    }
    if (!written)
        error = WriteError(path, savedErrno);
    return written;
}

// Writes text to a temporary file beside path and renames it over path, so
// that a reader sees the old or the new file, never a part of one. The new
// file gets the old one's mode, owner and group (when there is an old one:
// existing). inPlace is set when the owner cannot be given; nothing is
// written then.
bool ReplaceFileAtomically(const std::string& path, const std::string& text, uint32_t mode,
                           const OsFileInfo* existing, bool& inPlace, std::string& error)
{
    inPlace = false;
    std::string temporary = path + ".XXXXXX";
    int32_t ticket = -1;
    int fd = CreateTemporaryFile(temporary, ticket);
    if (fd < 0) {
        error = WriteError(path, errno);
        return false;
    }
    OsFileInfo made;
    if (existing && (OsFileStat(fd, made) != 0 || made.owner != existing->owner || made.group != existing->group) &&
        OsSetOwner(fd, existing->owner, existing->group) != 0) {
        OsClose(fd);
        RemoveTemporaryFile(temporary, ticket);
        inPlace = true;
        return false;
    }
    bool written = OsSetPermissions(fd, mode) == 0 && WriteAll(fd, text) && OsSync(fd) == 0;
    int savedErrno = errno;
    if (OsClose(fd) != 0 && written) {
        written = false;
        savedErrno = errno;
    }
    if (written && OsRename(temporary, path) == 0) {
        ForgetTemporaryFile(ticket);
        return true;
    }
    if (written)
        savedErrno = errno;
    RemoveTemporaryFile(temporary, ticket);
    error = WriteError(path, savedErrno);
    return false;
}

// The settings of a file's text, each checked, with their line numbers.
bool ParseSettings(const std::string& path, const std::string& text, Settings& settings,
                   std::vector<int32_t>* lineNumbers, std::string& error)
{
    std::vector<std::string> lines = SplitLines(text);
    ConversionOptions scratch;
    for (size_t i = 0; i < lines.size(); ++i) {
        SettingsLine line = ReadLine(lines[i]);
        std::string where = path + ":" + std::to_string(i + 1) + ": ";
        if (line.kind == LineKind::Blank)
            continue;
        if (line.kind == LineKind::Malformed) {
            error = where + "expected 'key = value', got " + QuotedForMessage(Trimmed(lines[i]));
            return false;
        }
        std::string problem;
        if (!ApplySetting(scratch, line.key, line.value, problem)) {
            error = where + problem;
            return false;
        }
        settings.emplace_back(line.key, line.value);
        if (lineNumbers)
            lineNumbers->push_back(static_cast<int32_t>(i + 1));
    }
    return true;
}

// Each change written where its key stands (every line of that key), or
// appended.
void ApplyChanges(std::vector<std::string>& lines, const Settings& changes)
{
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
}

std::string JoinLines(const std::vector<std::string>& lines)
{
    std::string content;
    for (const std::string& line : lines)
        content += line + "\n";
    return content;
}

// Whether text, read as the next run reads the file, is accepted: every line
// and the combination of the file's settings.
bool CheckWholeFile(const std::string& path, const std::string& text, std::string& error)
{
    Settings settings;
    std::vector<int32_t> lineNumbers;
    return ParseSettings(path, text, settings, &lineNumbers, error) &&
           CheckSettingsFileCombination(path, settings, lineNumbers, error);
}

// The file that path names: path itself, or for a symbolic link the file at
// the end of its chain. False with error for a link to nothing, which a
// rename would silently replace by a regular file.
bool FileBehindLinks(const std::string& path, std::string& target, std::string& error)
{
    target = path;
    OsFileInfo info;
    if (OsLinkStat(path, info) != 0 || info.kind != OsFileKind::Link)
        return true;
    if (OsResolvePath(path, target) == 0)
        return true;
    int resolveError = errno;
    std::string to = OsLinkTarget(path);
    error = "not written to " + path + ": it is a symbolic link to " + QuotedForMessage(to) + ", which " +
            (resolveError == ENOENT ? std::string("does not exist; create that file or remove the link")
                                    : std::string("cannot be followed: ") + std::strerror(resolveError));
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
    } else if (key == "to") {
        if (!ParseOutputKind(value, options.outputKind)) {
            error = "to takes one of " + OutputKindNames() + Got(value);
            return false;
        }
    } else if (key == "wiggle-ms") {
        int32_t ms = 0;
        if (!ParseWholeNumber(value, ms) || ms < 20 || ms > 10000) {
            error = "wiggle-ms takes a number of milliseconds from 20 to 10000" + Got(value);
            return false;
        }
        options.wiggleMs = ms;
    } else if (key == "wiggle-size") {
        int32_t size = 0;
        if (!ParseWholeNumber(value, size) || size < 16 || size > 65535) {
            error = "wiggle-size takes a number of pixels from 16 to 65535" + Got(value);
            return false;
        }
        options.wiggleSize = size;
    } else if (key == "quality") {
        int32_t quality = 0;
        if (!ParseWholeNumber(value, quality) || quality < 1 || quality > 100) {
            error = "quality takes a number from 1 to 100" + Got(value);
            return false;
        }
        options.jpegQuality = quality;
    } else {
        error = "unknown setting " + QuotedForMessage(key) +
                " (known: layout, glasses, method, swap, shift, align, quality, strip, to, wiggle-ms, wiggle-size)";
        return false;
    }
    return true;
}

std::string QuotedForMessage(std::string_view value)
{
    std::string quoted = "'";
    size_t at = 0;
    while (at < value.size()) {
        if (at >= kMostQuotedBytes) {
            quoted += "...";
            break;
        }
        size_t length = PrintableSequence(value, at);
        if (length > 0) {
            quoted.append(value.substr(at, length));
            at += length;
            continue;
        }
        unsigned char byte = static_cast<unsigned char>(value[at++]);
        static const char kHex[] = "0123456789abcdef";
        switch (byte) {
        case '\t':
            quoted += "\\t";
            break;
        case '\n':
            quoted += "\\n";
            break;
        case '\r':
            quoted += "\\r";
            break;
        default:
            quoted += std::string("\\x") + kHex[byte >> 4] + kHex[byte & 0xF];
        }
    }
    return quoted + "'";
}

bool CheckOptionCombination(const ConversionOptions& options, std::string& error,
                            std::vector<std::string>* clashingKeys)
{
    if (options.method.method == MixMethod::Optimised && options.method.glasses != Glasses::RedCyan) {
        error = "method optimised is for red-cyan glasses only, not " + GlassesName(options.method.glasses);
        if (clashingKeys)
            *clashingKeys = {"glasses", "method"};
        return false;
    }
    return true;
}

bool ReadSettingsFile(const std::string& path, Settings& settings, std::string& error,
                      std::vector<int32_t>* lineNumbers)
{
    settings.clear();
    if (lineNumbers)
        lineNumbers->clear();
    if (path.empty())
        return true;
    std::string text;
    bool missing = false;
    if (!ReadWholeFile(path, text, missing, error))
        return false;
    return ParseSettings(path, text, settings, lineNumbers, error);
}

bool CheckSettingsFileCombination(const std::string& path, const Settings& settings,
                                  const std::vector<int32_t>& lineNumbers, std::string& error)
{
    ConversionOptions options;
    std::vector<std::string> keys;
    std::string problem;
    if (!ApplySettings(options, settings, problem) || CheckOptionCombination(options, problem, &keys))
        return true;
    // The line that sets each key last is the one that counts.
    std::string lines;
    for (const std::string& key : keys) {
        for (size_t i = settings.size(); i-- > 0;) {
            if (settings[i].first != key)
                continue;
            std::string line = i < lineNumbers.size() ? std::to_string(lineNumbers[i]) : "?";
            lines += (lines.empty() ? "" : " and ") + path + ":" + line + ": " + key + " = " + settings[i].second;
            break;
        }
    }
    error = lines + " do not go together: " + problem + "; change or remove one of these lines";
    return false;
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
                        std::string& error, const Settings& companions)
{
    if (path.empty()) {
        error = "no settings file: neither XDG_CONFIG_HOME nor HOME names a folder";
        return false;
    }
    // A link (a dotfile manager's, say) stays a link: the file it names is
    // the one replaced.
    std::string targetPath;
    if (!FileBehindLinks(path, targetPath, error))
        return false;

    std::string text;
    bool missing = false;
    OsFileInfo info;
    if (!ReadWholeFile(targetPath, text, missing, error, &info))
        return false;
    uint32_t mode = missing ? 0644 : info.permissions;

    // Each change is checked as the reader will check it, so the file never
    // gets a line that would stop the next run.
    ConversionOptions scratch;
    for (const Settings* list : {&changes, &companions}) {
        for (const auto& [key, value] : *list) {
            std::string problem;
            if (value.find_first_of("#\n") != std::string::npos || !ApplySetting(scratch, key, value, problem)) {
                error = "not written to " + path + ": " +
                        (problem.empty() ? key + " cannot hold " + QuotedForMessage(value) : problem);
                return false;
            }
        }
    }

    // Then the whole file as it would be: when the changes leave a
    // combination the next run refuses, the run's own values for the other
    // keys go in as well.
    std::vector<std::string> lines = SplitLines(text);
    ApplyChanges(lines, changes);
    std::string content = JoinLines(lines);
    std::string problem;
    if (!CheckWholeFile(path, content, problem) && !companions.empty()) {
        ApplyChanges(lines, companions);
        content = JoinLines(lines);
        problem.clear();
    }
    if (static_cast<int64_t>(content.size()) > kMostSettingsFileBytes) {
        error = "not written to " + path + ": it would be larger than " +
                std::to_string(kMostSettingsFileBytes / 1024) + " KB";
        return false;
    }
    if (!problem.empty() || !CheckWholeFile(path, content, problem)) {
        error = "not written to " + path + ", since the next run would refuse it: " + problem;
        return false;
    }

    std::filesystem::path target = targetPath;
    std::error_code folderError;
    if (!target.parent_path().empty())
        std::filesystem::create_directories(target.parent_path(), folderError);
    if (folderError) {
        error = "cannot make the folder " + target.parent_path().string() + ": " + folderError.message();
        return false;
    }
    if (!missing && info.links > 1)
        return RewriteInPlace(targetPath, content, info, error);
    bool inPlace = false;
    if (ReplaceFileAtomically(targetPath, content, mode, missing ? nullptr : &info, inPlace, error))
        return true;
    return inPlace && RewriteInPlace(targetPath, content, info, error);
}
