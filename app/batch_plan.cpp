#include "app/batch_plan.h"


#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <utility>

#include "anaglyph/stereo_output.h"
#include "app/naming.h"
#include "imageio/image_file.h"
#include "imageio/codecs/codec.h"
#include "platform/os.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// A picture found among the paths given: its path, and for one found in a
// folder, the folder below the one given that holds it ("" at the top).
struct FoundPicture {
    std::string path;
    std::string subfolder;
    std::string problem;
    std::string rightPath = std::string(); // a two-file pair's right view
};

// The pictures of a folder, by name, each level's files before its
// subfolders; files that are no picture at all (by their content) and the
// program's own results are left out.
std::vector<FoundPicture> PicturesInFolder(const std::string& folder, bool recursive)
{
    std::vector<FoundPicture> pictures;
    std::error_code error;
    std::vector<fs::path> files, subfolders;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code typeError;
        if (it->is_directory(typeError) && !it->is_symlink(typeError))
            subfolders.push_back(it->path());
        else if (it->is_regular_file(typeError))
            files.push_back(it->path());
    }
    if (error) {
        pictures.push_back({folder, "", "cannot read the folder " + Quoted(folder) + ": " + error.message()});
        return pictures;
    }
    std::sort(files.begin(), files.end());
    std::sort(subfolders.begin(), subfolders.end());
    for (const fs::path& file : files) {
        if (IsAnaglyphResultName(file.filename().string()))
            continue;
        PictureHeader header;
        CodecResult probed = ProbePictureFile(file.string(), header);
        // Damaged or unreadable pictures are kept, so that they are named
        // with their reason; only what is no picture at all is passed over.
        if (probed == kCodecUnknownFormat)
            continue;
        pictures.push_back({file.string(), "", ""});
    }
    if (!recursive)
        return pictures;
    for (const fs::path& subfolder : subfolders) {
        std::string name = subfolder.filename().string();
        for (FoundPicture& picture : PicturesInFolder(subfolder.string(), true)) {
            picture.subfolder = picture.subfolder.empty() ? name : name + "/" + picture.subfolder;
            pictures.push_back(picture);
        }
    }
    return pictures;
}

// The naming rule applied to the file name alone: the same name as the
// dialog's for any name of four bytes or more, and never one outside the
// source's folder (the rule on the whole path turns "shots/b", a picture
// found by its content, into "sho_anaglyph.jpg" beside the folder).
std::string DefaultOutput(const std::string& sourcePath, OutputKind kind)
{
    size_t slash = sourcePath.rfind('/');
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const StereoOutput& output = StereoOutputFor(kind);
    return sourcePath.substr(0, nameStart) + fResultBase(fNamingPath(sourcePath.substr(nameStart)), output.suffix) +
           "." + output.extension;
}

std::string FileName(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct FileId {
    uint64_t device;
    uint64_t inode;
    bool operator<(const FileId& other) const
    {
        return device != other.device ? device < other.device : inode < other.inode;
    }
    bool operator==(const FileId& other) const { return device == other.device && inode == other.inode; }
};

bool IdOf(const std::string& path, FileId& id)
{
    OsFileInfo info;
    if (OsStat(path, info) != 0)
        return false;
    id = {info.device, info.inode};
    return true;
}

// A path as one spelling: absolute and without "." and ".." steps, so that
// two jobs writing one file are noticed before either writes.
std::string OneSpelling(const std::string& path)
{
    std::error_code error;
    fs::path absolute = fs::absolute(path, error);
    return (error ? fs::path(path) : absolute).lexically_normal().string();
}

// Refuses the outputs that would replace a picture of the run (its own
// source above all, also through a link) or that two pictures share.
void RefuseClashingOutputs(std::vector<BatchJob>& jobs)
{
    std::map<FileId, std::string> sources;
    for (const BatchJob& job : jobs) {
        FileId id;
        for (const std::string* path : {&job.request.sourcePath, &job.request.rightPath}) {
            if (!path->empty() && IdOf(*path, id))
                sources.emplace(id, *path);
        }
    }
    std::map<std::string, std::string> writers; // output spelling -> source
    for (BatchJob& job : jobs) {
        if (!job.problem.empty())
            continue;
        const ConversionRequest& request = job.request;
        const std::string noun = StereoOutputFor(request.options.outputKind).noun;
        FileId id;
        if (IdOf(request.outputPath, id)) {
            auto source = sources.find(id);
            if (source != sources.end()) {
                FileId rightId;
                bool right = !request.rightPath.empty() && IdOf(request.rightPath, rightId) && rightId == id;
                bool own = source->second == request.sourcePath || source->second == request.rightPath;
                job.problem = "refusing to write the " + noun + " of " + Quoted(request.sourcePath) + " to " +
                              Quoted(request.outputPath) + ": that is " +
                              (right ? "the right view of the pair, " + Quoted(request.rightPath)
                               : own ? std::string("the source itself")
                                     : "the picture " + Quoted(source->second));
                continue;
            }
        }
        auto [writer, added] = writers.emplace(OneSpelling(request.outputPath), request.sourcePath);
        if (!added)
            job.problem = "not writing the " + noun + " of " + Quoted(request.sourcePath) + " to " +
                          Quoted(request.outputPath) + ": the " + noun + " of " + Quoted(writer->second) +
                          " goes there";
    }
}

// Why a folder cannot be made where a name is taken: the first part of
// its path that is there but is no folder (a file, a dangling symbolic
// link); "" when none is.
std::string WhatIsInTheWay(const std::string& folder)
{
    fs::path sofar;
    for (const fs::path& part : fs::path(folder)) {
        sofar /= part;
        if (part.empty() || part == "/")
            continue;
        std::error_code error;
        fs::file_status link = fs::symlink_status(sofar, error);
        if (error || !fs::exists(link))
            return std::string();
        if (fs::is_symlink(link) && !fs::exists(fs::status(sofar, error)))
            return Quoted(sofar.string()) + " is a symbolic link to " +
                   Quoted(fs::read_symlink(sofar, error).string()) + ", which does not exist";
        if (!fs::is_directory(fs::status(sofar, error)))
            return Quoted(sofar.string()) + " is a file, not a folder";
    }
    return std::string();
}

} // namespace

bool IsAnaglyphResultName(const std::string& fileName) { return IsOutputResultName(fileName); }

BatchPlan PlanBatch(const CommandLine& commandLine, const ConversionOptions& options)
{
    BatchPlan plan;
    std::vector<FoundPicture> found;
    bool folderGiven = false;
    if (!commandLine.leftPath.empty())
        found.push_back({commandLine.leftPath, "", "", commandLine.rightPath});
    for (const std::string& path : commandLine.paths) {
        OsFileInfo info;
        if (OsStat(path, info) != 0) {
            found.push_back({path, "", Quoted(path) + ": " + std::strerror(errno)});
        } else if (info.kind == OsFileKind::Folder) {
            folderGiven = true;
            std::vector<FoundPicture> pictures = PicturesInFolder(path, commandLine.recursive);
            if (pictures.empty())
                plan.notes.push_back("no pictures in " + Quoted(path));
            found.insert(found.end(), pictures.begin(), pictures.end());
        } else if (info.kind != OsFileKind::Regular) {
            found.push_back({path, "", Quoted(path) + " is not a picture file"});
        } else {
            found.push_back({path, "", ""});
        }
    }

    // -o names a folder when it is one, ends in '/', or more than one
    // picture (or any folder's pictures) go to it.
    const std::string& output = commandLine.outputPath;
    bool outputFolder = false;
    OutputKind kind = options.outputKind;
    if (!output.empty()) {
        std::error_code error;
        bool isFolder = fs::is_directory(output, error);
        outputFolder = isFolder || output.back() == '/' || found.size() > 1 || folderGiven;
        if (outputFolder && !isFolder && fs::exists(fs::symlink_status(output, error))) {
            plan.usageError = "-o " + Quoted(output) + " is not a folder, and " +
                              (found.size() > 1 ? "the anaglyphs of " + std::to_string(found.size()) + " pictures"
                                                : std::string("the pictures of a folder")) +
                              " need one";
            return plan;
        }
        if (!outputFolder) {
            kind = OutputKindForName(output, kind);
            plan.usageError = OutputNameProblem(kind, output);
            if (!plan.usageError.empty())
                return plan;
        }
    }

    for (const FoundPicture& picture : found) {
        BatchJob job;
        job.problem = picture.problem;
        job.request.sourcePath = picture.path;
        job.request.options = options;
        job.request.options.outputKind = kind;
        job.request.rightPath = picture.rightPath;
        std::string besideSource = DefaultOutput(picture.path, kind);
        if (output.empty()) {
            job.request.outputPath = besideSource;
        } else if (!outputFolder) {
            job.request.outputPath = output;
        } else {
            std::string folder = output.back() == '/' ? output : output + "/";
            if (!picture.subfolder.empty())
                folder += picture.subfolder + "/";
            job.request.outputPath = folder + FileName(besideSource);
        }
        plan.jobs.push_back(job);
    }

    if (outputFolder) {
        std::set<std::string> folders;
        for (const BatchJob& job : plan.jobs)
            folders.insert(fs::path(job.request.outputPath).parent_path().string());
        for (const std::string& folder : folders) {
            std::error_code error;
            fs::create_directories(folder, error);
            if (error) {
                std::string inTheWay = WhatIsInTheWay(folder);
                plan.failure = "cannot make the folder " + Quoted(folder) + ": " +
                               (inTheWay.empty() ? error.message() : inTheWay);
                return plan;
            }
        }
    }
    RefuseClashingOutputs(plan.jobs);
    return plan;
}
