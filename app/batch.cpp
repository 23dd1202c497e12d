#include "app/batch.h"


#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>

#include "app/progress.h"
#include "host/services.h"
#include "platform/memory.h"
#include "platform/os.h"
#include "platform/temporary_files.h"

namespace {

constexpr const char* kProgram = "stereoglass: ";
constexpr int32_t kInterrupted = 130; // 128 + SIGINT, as a shell reports it

// Set by Ctrl-C or SIGTERM: the workers finish the pictures they hold, so no
// file is left half written, and take no more. A second signal ends the
// process at once, removing the temporary files of the saves under way.
std::atomic<bool> stopRequested = false;

void RequestStop(int signal)
{
    if (stopRequested.exchange(true))
        EndBySignal(signal);
}

void StopOnSignals()
{
    OsOnInterrupt(RequestStop);
}

// Each line of notes that does not already begin with the picture's quoted
// name gets it in front, so that no note reads as if it were the run's.
std::string NotesNamingTheFile(const std::string& notes, const std::string& sourcePath)
{
    const std::string quoted = "\"" + sourcePath + "\"";
    std::string named;
    size_t start = 0;
    while (start < notes.size()) {
        size_t end = notes.find('\n', start);
        end = end == std::string::npos ? notes.size() : end + 1;
        std::string line = notes.substr(start, end - start);
        if (line.back() != '\n')
            line += '\n';
        named += kProgram + (line.rfind(quoted, 0) == 0 ? line : quoted + ": " + line);
        start = end;
    }
    return named;
}

// The results in the order of the jobs: a job's line is printed once every
// job before it is printed, so the output reads like the input whatever
// order the workers finish in.
class InOrderReport {
public:
    InOrderReport(const std::vector<BatchJob>& jobs, Progress& progress, bool quiet)
        : jobs_(jobs), progress_(progress), quiet_(quiet), results_(jobs.size()), finished_(jobs.size(), false)
    {
    }

    void Done(size_t job, const ConversionResult& result)
    {
        std::lock_guard<std::mutex> guard(lock_);
        results_[job] = result;
        finished_[job] = true;
        progress_.Finished();
        while (next_ < jobs_.size() && finished_[next_]) {
            PrintLocked(next_);
            ++next_;
        }
    }

    int32_t Failures() const { return failures_; }

private:
    void PrintLocked(size_t job)
    {
        const ConversionResult& result = results_[job];
        const ConversionRequest& request = jobs_[job].request;
        if (result.status == ConversionStatus::Written) {
            if (!quiet_)
                progress_.Print(stdout, request.sourcePath + " -> " + request.outputPath + "\n");
        } else {
            ++failures_;
            progress_.Print(stderr, kProgram + result.reason + "\n");
        }
        // Right after the picture's own line, each naming its picture.
        if (!result.notes.empty())
            progress_.Print(stderr, NotesNamingTheFile(result.notes, request.sourcePath));
    }

    const std::vector<BatchJob>& jobs_;
    Progress& progress_;
    bool quiet_;
    std::mutex lock_;
    std::vector<ConversionResult> results_;
    std::vector<bool> finished_;
    size_t next_ = 0;
    int32_t failures_ = 0;
};

} // namespace

int32_t WorkerCount(int32_t asked, size_t pictures)
{
    int64_t workers = asked > 0 ? asked : static_cast<int64_t>(std::thread::hardware_concurrency());
    if (workers < 1)
        workers = 1;
    if (static_cast<int64_t>(pictures) < workers)
        workers = static_cast<int64_t>(pictures);
    return static_cast<int32_t>(workers);
}

void ConvertJobs(const std::vector<BatchJob>& jobs, int32_t workers, const JobStarted& started, const JobDone& done)
{
    std::atomic<size_t> nextJob = 0;
    const int32_t cores = int32_t(std::max(1u, std::thread::hardware_concurrency()));
    auto work = [&] {
        EnterThread(nullptr); // COM and the host's state for this thread
        for (size_t job = nextJob++; job < jobs.size() && !stopRequested; job = nextJob++) {
            started(job);
            ConversionResult result;
            if (jobs[job].problem.empty()) {
                // Only a lone picture takes a second thread: with several,
                // the workers keep the cores busy, and a conversion's two
                // threads would wait on each other whenever a core is taken.
                ConversionRequest request = jobs[job].request;
                request.singleThread = jobs.size() > 1 || workers >= cores;
                result = ConvertPicture(request);
            } else {
                result.status = ConversionStatus::SourceUnreadable;
                result.reason = jobs[job].problem;
            }
            done(job, result);
        }
        LeaveThread(nullptr);
    };
    std::vector<std::thread> threads;
    for (int32_t i = 1; i < workers; ++i)
        threads.emplace_back(work);
    work(); // the calling thread is one of the workers
    for (std::thread& thread : threads)
        thread.join();
}

int32_t RunBatch(const CommandLine& commandLine, const ConversionOptions& options)
{
    BatchPlan plan = PlanBatch(commandLine, options);
    if (!plan.usageError.empty()) {
        std::fprintf(stderr, "%s%s\n", kProgram, plan.usageError.c_str());
        return 2;
    }
    if (!plan.failure.empty()) {
        std::fprintf(stderr, "%s%s\n", kProgram, plan.failure.c_str());
        return 1;
    }
    for (const std::string& note : plan.notes)
        std::fprintf(stderr, "%s%s\n", kProgram, note.c_str());

    int32_t total = static_cast<int32_t>(plan.jobs.size());
    ReuseFreedMemory(); // as the dialog run does: the pictures' buffers are reused, not refaulted
    StopOnSignals();
    std::atomic<int32_t> finished = 0;
    {
        Progress progress(total, ProgressWanted(total, commandLine.quiet));
        InOrderReport report(plan.jobs, progress, commandLine.quiet);
        ConvertJobs(
            plan.jobs, WorkerCount(commandLine.jobs, plan.jobs.size()),
            [&](size_t job) { progress.Started(plan.jobs[job].request.sourcePath); },
            [&](size_t job, const ConversionResult& result) {
                report.Done(job, result);
                ++finished;
            });
        if (report.Failures() == 0 && !stopRequested)
            return 0;
        if (!stopRequested)
            return 1;
    }
    std::fprintf(stderr, "%sinterrupted: %d of %d pictures not converted\n", kProgram,
                 static_cast<int>(total - finished.load()), static_cast<int>(total));
    return kInterrupted;
}
