#pragma once
// What a -c run will do, worked out before anything is converted: the
// pictures found in the paths given (folders searched by content), the file
// each anaglyph goes to, and the pictures that must not be converted (the
// output would be a source, or the same file as another's).
#include <string>
#include <vector>

#include "anaglyph/conversion.h"
#include "app/command_line.h"

struct BatchJob {
    ConversionRequest request;
    // Why this picture is not converted, one sentence naming the file; ""
    // when it is to be converted.
    std::string problem;
};

struct BatchPlan {
    std::vector<BatchJob> jobs; // the pair first, then the paths in their order, a folder's pictures by name
    std::vector<std::string> notes; // not errors: "no pictures in 'x'"
    std::string usageError;         // the command line asks for the impossible: nothing is done (exit 2)
    std::string failure;            // the run cannot start (the output folder cannot be made; exit 1)
};

BatchPlan PlanBatch(const CommandLine& commandLine, const ConversionOptions& options);

// True for the name of one of the program's own results ("x_anaglyph.jpg",
// "x_sbs.png", "x_stereo.mpo" and the like, in any case: IsOutputResultName),
// which a folder search skips.
bool IsAnaglyphResultName(const std::string& fileName);
