// The progress timer's bars and statistics, driven tick by tick.

#include "desktop/ProgressDisplay.h"

#include "desktop/WindowFixture.h"

namespace vorlaxen {
namespace {

class Progress : public ::testing::Test {
protected:
    void ticks(int n) {
        for (int i = 0; i < n; ++i)
            display.Process_TimerTimer();
    }

    test::FakeProgress area;
    TKX_PrgState state;
    TKX_Pwd pwd;
    ProgressDisplay display{area, state, pwd};
};

TEST_F(Progress, TimeTextsHaveAtLeastTwoDigitsEach) {
    EXPECT_EQ(ProgressDisplay::TimeText(0), "00m:00s");
    EXPECT_EQ(ProgressDisplay::TimeText(65), "01m:05s");
    EXPECT_EQ(ProgressDisplay::TimeText(6000), "100m:00s");
}

TEST_F(Progress, AMegabyteAtHundredKilobytesASecondAfterTwoSeconds) {
    state.SetBusy(TKX_PrgState::kEncrypting);
    pwd.BlocksTotal = 131073; // 1048576 bytes and a whole block of padding
    pwd.BlocksDone = 25600;
    display.StartProcessTimer();
    EXPECT_EQ(area.interval, 50);
    ticks(18);
    EXPECT_EQ(area.statistics.elapsed, "") << "written only on whole seconds";
    ticks(20);
    EXPECT_EQ(area.statistics.elapsed, "Elapsed: 00m:01s");
    ticks(1);
    EXPECT_EQ(display.tickCount(), 40);
    EXPECT_EQ(area.statistics.elapsed, "Elapsed: 00m:02s");
    EXPECT_EQ(area.statistics.remaining, "Remaining: 00m:08s");
    EXPECT_EQ(area.statistics.estimated, "Estimated: 00m:10s");
    EXPECT_EQ(area.statistics.throughput, "Throughout: 102400 bytes per second");
    EXPECT_EQ(area.statistics.done, "Done: 200 KBytes");
    EXPECT_EQ(area.statistics.size, "Size: 1024 Kbytes");
    EXPECT_EQ(area.bars, (std::pair{81, 19})) << "encrypting: the source bar empties";

    state.ClearBusy(TKX_PrgState::kEncrypting);
    state.SetBusy(TKX_PrgState::kDecrypting);
    ticks(1);
    EXPECT_EQ(area.bars, (std::pair{19, 81}));
}

TEST_F(Progress, LargeFilesAndEmptyBodiesStayInRange) {
    // 4 GiB: every product exceeds 32 bits.
    pwd.BlocksTotal = std::int64_t{1} << 29;
    pwd.BlocksDone = (std::int64_t{1} << 28) + 1;
    display.StartProcessTimer();
    ticks(19);
    EXPECT_EQ(area.bars, (std::pair{50, 50}));
    EXPECT_EQ(area.statistics.remaining, "Remaining: 00m:00s");
    EXPECT_EQ(area.statistics.size, "Size: 4194304 Kbytes");
    EXPECT_EQ(area.statistics.throughput, "Throughout: 2147483656 bytes per second");

    pwd.BlocksDone = std::int64_t{1} << 20; // 8 MiB in 100 seconds
    ticks(2000 - 20);
    EXPECT_EQ(area.statistics.elapsed, "Elapsed: 01m:40s");
    EXPECT_EQ(area.statistics.remaining, "Remaining: 851m:40s");
    EXPECT_EQ(area.statistics.done, "Done: 8192 KBytes");

    area.bars = {-1, -1};
    pwd.BlocksTotal = 0;
    pwd.BlocksDone = 0;
    ticks(40);
    EXPECT_EQ(area.bars, (std::pair{-1, -1})) << "nothing to divide by: the bars stay";
    display.StopProcessTimer();
    EXPECT_FALSE(area.timerRunning);
}

} // namespace
} // namespace vorlaxen
