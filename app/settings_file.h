#pragma once
// The settings file: the user's defaults for the conversion's options, one
// "key = value" a line, '#' starting a comment. The keys are the long option
// names that make sense as defaults: layout, glasses, method, swap, shift,
// align, quality, strip, to, wiggle-ms, wiggle-size. The command line and the file set options through
// the same ApplySetting, so both accept and refuse the same values.
#include <string>
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

// Checks the options as a whole, once every setting is applied: the
// combinations that no conversion can honour. False with error naming both.
bool CheckOptionCombination(const ConversionOptions& options, std::string& error);

// The file's settings in their order, each checked with ApplySetting. A
// missing file (or path "") gives none and true. False, with error naming
// the file, the line number and the problem, on the first bad line or when
// the file cannot be read.
bool ReadSettingsFile(const std::string& path, Settings& settings, std::string& error);

// Applies settings in order onto options; false with error at the first bad
// one (error names its key and value).
bool ApplySettings(ConversionOptions& options, const Settings& settings, std::string& error);

// Sets each key to its value in the file, keeping every other line and
// comment in place: a key already present is rewritten where it stands (a
// comment after its value is kept), a missing key is appended. Creates the
// folder and the file when missing. The new content replaces the old one
// atomically (a temporary file renamed over it; a symbolic link is followed,
// so the file it names is replaced and the link stays). False with error
// naming the file when it could not be read or written.
bool UpdateSettingsFile(const std::string& path, const std::vector<std::pair<std::string, std::string>>& changes,
                        std::string& error);
