#include "core/progress_pace.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <utility>
#include <vector>

using Told = std::vector<std::pair<std::size_t, std::size_t>>;

TEST(ProgressPace, TellsAtOnceThenNoMoreThanOncePerInterval)
{
    Told told;
    const core::ProgressPace::Report report
        = [&](std::size_t done, std::size_t total) { told.emplace_back(done, total); };

    // A listing looks at the clock only every so many files, and tells no total.
    core::ProgressPace listing(report);
    for (std::size_t file = 1; file < 2 * core::ProgressPace::kFilesPerLook; ++file)
        listing.fileFound();
    EXPECT_EQ(told, (Told { { core::ProgressPace::kFilesPerLook, 0 } }));

    // A deletion run tells its total; offers within the interval pass silently.
    told.clear();
    core::ProgressPace deletion(report, 100);
    EXPECT_FALSE(deletion.started());
    deletion.offer(1);
    deletion.offer(2);
    EXPECT_TRUE(deletion.started());
    // Windows' sleep may end a little before the moment asked for; the deletion's waiting
    // thread then finds the offer silent and waits again, as this does.
    while (std::chrono::steady_clock::now() < deletion.nextTell())
        std::this_thread::sleep_until(deletion.nextTell());
    deletion.offer(3);
    EXPECT_EQ(told, (Told { { 1, 100 }, { 3, 100 } }));

    // Without a report the offers keep their rhythm all the same.
    const core::ProgressPace::Report none;
    core::ProgressPace quiet(none, 10);
    quiet.offer(1);
    EXPECT_TRUE(quiet.started());
    EXPECT_GT(quiet.nextTell(), std::chrono::steady_clock::now());
}
