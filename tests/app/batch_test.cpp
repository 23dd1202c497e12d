#include "app/batch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <set>

#include "app/progress.h"
#include "imageio/codecs/codec.h"
#include "tests/support/temp_folder.h"

TEST(Batch, WorkersAreBoundedByThePictures)
{
    EXPECT_EQ(WorkerCount(2, 50), 2);
    EXPECT_EQ(WorkerCount(8, 3), 3);
    EXPECT_EQ(WorkerCount(1, 50), 1);
    EXPECT_GE(WorkerCount(0, 50), 1); // one per core
    EXPECT_EQ(WorkerCount(0, 1), 1);
    EXPECT_EQ(WorkerCount(4, 0), 0);
}

TEST(Batch, ResultNamesAreRecognisedInAnyCase)
{
    EXPECT_TRUE(IsAnaglyphResultName("pair_anaglyph.jpg"));
    EXPECT_TRUE(IsAnaglyphResultName("Pair_Anaglyph.PNG"));
    EXPECT_TRUE(IsAnaglyphResultName("pair._anaglyph.jpg"));
    EXPECT_TRUE(IsAnaglyphResultName("x_anaglyph"));
    EXPECT_FALSE(IsAnaglyphResultName("anaglyph.jpg"));
    EXPECT_FALSE(IsAnaglyphResultName("pair_anaglyph.old.jpg"));
    EXPECT_FALSE(IsAnaglyphResultName("pair.jpg"));
    // The other kinds' results too, the containers only by their extension.
    for (const char* name : {"pair_SBS.jpg", "pair_cross.png", "pair_over-under.tif", "pair_half-sbs.jpg",
                             "pair_stereo.JPS", "pair_stereo.mpo", "pair_wiggle.gif"})
        EXPECT_TRUE(IsAnaglyphResultName(name)) << name;
    for (const char* name : {"pair_stereo.jpg", "pair_wiggle.png", "sbs.jpg"})
        EXPECT_FALSE(IsAnaglyphResultName(name)) << name;
}

// Every job is converted once by one of the workers, to its own output;
// jobs with a problem fail with it and are not converted.
TEST(Batch, WorkersConvertEveryJobOnce)
{
    sgtest::TempFolder folder;
    std::vector<BatchJob> jobs;
    for (int i = 0; i < 7; ++i) {
        BatchJob job;
        job.request.sourcePath = std::string(SG_TEST_DATA_DIR) + (i % 2 ? "/figure-sbs.jps" : "/bench-sbs-959.png");
        job.request.outputPath = folder / ("out" + std::to_string(i) + ".jpg");
        if (i == 3)
            job.problem = "held back";
        jobs.push_back(job);
    }
    std::mutex lock;
    std::multiset<size_t> started, done;
    std::vector<ConversionStatus> statuses(jobs.size());
    ConvertJobs(
        jobs, 2,
        [&](size_t job) {
            std::lock_guard<std::mutex> guard(lock);
            started.insert(job);
        },
        [&](size_t job, const ConversionResult& result) {
            std::lock_guard<std::mutex> guard(lock);
            done.insert(job);
            statuses[job] = result.status;
            if (job == 3) {
                EXPECT_EQ(result.reason, "held back");
            }
        });
    std::multiset<size_t> all = {0, 1, 2, 3, 4, 5, 6};
    EXPECT_EQ(started, all);
    EXPECT_EQ(done, all);
    for (size_t i = 0; i < jobs.size(); ++i) {
        PictureHeader header;
        bool written = ProbePictureFile(jobs[i].request.outputPath, header) == kCodecOk;
        EXPECT_EQ(written, i != 3) << i;
        EXPECT_EQ(statuses[i] == ConversionStatus::Written, i != 3) << i;
        if (written) {
            EXPECT_EQ(header.width, i % 2 ? 522 : 480) << i;
        }
    }
}

TEST(Progress, LineShowsCountNameAndTimeLeftWithinTheWidth)
{
    EXPECT_EQ(ProgressLine(0, 50, "a.jpg", -1, 80), "[                    ]  0/50  a.jpg  --:-- left");
    EXPECT_EQ(ProgressLine(25, 50, "trip/b.jpg", 75, 80), "[##########          ] 25/50  trip/b.jpg  1:15 left");
    EXPECT_EQ(ProgressLine(3, 3, "c.jpg", 3725, 80), "[####################] 3/3  c.jpg  1:02:05 left");
    // A long name is cut at its front so that the file name stays.
    std::string line = ProgressLine(1, 4, "/very/long/folder/name/that/goes/on/pair.jpg", 10, 54);
    EXPECT_EQ(line, "[#####               ] 1/4  ...on/pair.jpg  0:10 left");
    EXPECT_EQ(line.size(), 53u);
    EXPECT_LE(ProgressLine(1, 4, "name.jpg", 10, 20).size(), 19u);
}

TEST(Progress, TimeLeftFromTheAverageSoFar)
{
    EXPECT_EQ(SecondsLeft(0, 10, 5.0), -1);
    EXPECT_EQ(SecondsLeft(2, 10, 5.0), 20);
    EXPECT_EQ(SecondsLeft(10, 10, 5.0), 0);
}
