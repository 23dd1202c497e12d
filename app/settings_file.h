#pragma once
// The settings file: the user's defaults for the conversion's options, one
// "key = value" a line, '#' starting a comment. The keys are the long option
// names that make sense as defaults: layout, glasses, method, swap, shift,
// align, quality, strip, to, wiggle-ms, wiggle-size. The command line and the file set options through
// the same ApplySetting, so both accept and refuse the same values.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "anaglyph/conversion.h"

using Settings = std::vector<std::pair<std::string, std::string>>;

// $XDG_CONFIG_HOME/stereoglass/stereoglass.conf, or ~/.config/... when
// XDG_CONFIG_HOME is unset, empty or relative; "" when neither it nor HOME
// gives an absolute folder.
std::string SettingsFilePath();

// Sets the option that key names from its value as written ("green-magenta",
// "yes", "-12"). False, with error saying what is wrong ("quality takes a
// number from 1 to 100, got 'x'"), for an unknown key or a bad value; the
// options are then unchanged.
bool ApplySetting(ConversionOptions& options, const std::string& key, const std::string& value, std::string& error);

// The largest settings file read: a few lines of defaults, not a document.
constexpr int64_t kMostSettingsFileBytes = 64 * 1024;

// A value as a message shows it: in single quotes, control characters and
// bytes that are not UTF-8 written as escapes (\t, \x1b), cut after a
// readable length with "..." so that a long value cannot flood a terminal.
std::string QuotedForMessage(std::string_view value);

// Checks the options as a whole, once every setting is applied: the
// combinations that no conversion can honour. False with error naming both;
// clashingKeys, when given, gets the settings keys that clash ("method",
// "glasses").
bool CheckOptionCombination(const ConversionOptions& options, std::string& error,
                            std::vector<std::string>* clashingKeys = nullptr);

// The file's settings in their order, each checked with ApplySetting. A
// missing file (or path "") gives none and true. False, with error naming
// the file, the line number and the problem, on the first bad line or when
// the file cannot be read: anything but a regular file (a FIFO is refused
// without waiting for a writer) or more than kMostSettingsFileBytes.
// lineNumbers, when given, gets each setting's line number (from 1).
bool ReadSettingsFile(const std::string& path, Settings& settings, std::string& error,
                      std::vector<int32_t>* lineNumbers = nullptr);

// Whether the file's settings on their own make a combination a run can
// use; false with error naming the lines that clash, what is wrong and how
// to mend it.
bool CheckSettingsFileCombination(const std::string& path, const Settings& settings,
                                  const std::vector<int32_t>& lineNumbers, std::string& error);

// Applies settings in order onto options; false with error at the first bad
// one (error names its key and value).
bool ApplySettings(ConversionOptions& options, const Settings& settings, std::string& error);

// Sets each key to its value in the file, keeping every other line and
// comment in place: a key already present is rewritten where it stands (a
// comment after its value is kept), a missing key is appended. Creates the
// folder and the file when missing.
//
// The whole resulting file is checked as the next run will read it. When
// the changes would leave a combination that run refuses (method optimised
// beside glasses for other colours), the companions (the values this run
// used for the other keys) are written too; when even that cannot make it
// consistent, nothing is written.
//
// The new content replaces the old one atomically (a temporary file with
// the old file's mode, owner and group renamed over it). A symbolic link is
// followed, so the file it names is replaced and the link stays; a link to
// nothing is refused. A file with other hard links, or one whose owner and
// group a new file cannot get, is rewritten in place, so it stays one file
// with its owner. False with error naming the file when it could not be
// read or written.
bool UpdateSettingsFile(const std::string& path, const std::vector<std::pair<std::string, std::string>>& changes,
                        std::string& error, const Settings& companions = {});
