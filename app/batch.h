#pragma once
// A -c run: every picture of the plan converted through ConvertPicture by a
// few worker threads, one line per picture on standard output, errors on
// standard error, a progress bar on a terminal.
#include <cstdint>
#include <functional>
#include <vector>

#include "anaglyph/conversion.h"
#include "app/batch_plan.h"
#include "app/command_line.h"

// The exit code: 0 every picture converted, 1 some failed, 2 a usage error
// (nothing done). Needs no display.
int32_t RunBatch(const CommandLine& commandLine, const ConversionOptions& options);

// How many pictures are converted at once: the number asked for (0: one per
// processor core), never more than there are pictures. Each worker holds one
// full-size picture at a time, so this also bounds the memory in use.
int32_t WorkerCount(int32_t asked, size_t pictures);

// Converts the jobs with that many workers, each taking the next job not
// yet taken. started(i) is called when a worker takes job i, done(i, result)
// when it is through with it, both from the worker and under no lock of this
// function. A job with a problem is not converted: its result is a failure
// with the problem as its reason.
using JobStarted = std::function<void(size_t job)>;
using JobDone = std::function<void(size_t job, const ConversionResult& result)>;
void ConvertJobs(const std::vector<BatchJob>& jobs, int32_t workers, const JobStarted& started, const JobDone& done);
