#pragma once
// The anaglyph's choices in the "Select File" dialog: one row with the
// glasses, the method, whether the eyes are swapped, whether the views are
// aligned and whether the stereo window is placed automatically, set from the options
// the run starts with (the settings file's, the command line's).
#include <string>
#include <utility>
#include <vector>

#include "anaglyph/conversion.h"
#include "platform/dialogs.h"

// Glasses, Method, Swap eyes, Align and Stereo window: auto, showing what
// options hold.
std::vector<DialogChoice> AnaglyphChoices(const ConversionOptions& options);

// Puts what the user picked in the rows into options and returns the
// settings-file changes for the values that differ from what options held,
// as (key, value) pairs: none when the rows were left as they came.
std::vector<std::pair<std::string, std::string>> TakeAnaglyphChoices(const std::vector<DialogChoice>& choices,
                                                                       ConversionOptions& options);
