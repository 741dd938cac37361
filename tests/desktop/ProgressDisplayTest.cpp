// The progress timer's bars and statistics, driven tick by tick on a clock of the test's own.

#include "desktop/ProgressDisplay.h"

#include "desktop/WindowFixture.h"

namespace vorlaxen {
namespace {

using namespace std::chrono_literals;

class Progress : public ::testing::Test {
protected:
    // Ticks of the 50 ms timer, the clock moving on by one interval before each.
    void ticks(int n) {
        for (int i = 0; i < n; ++i) {
            now += 50ms;
            display.Process_TimerTimer();
        }
    }

    test::FakeProgress area;
    TKX_PrgState state;
    TKX_Pwd pwd;
    ProgressDisplay::Clock::time_point now{};
    ProgressDisplay display{area, state, pwd, [this] { return now; }};
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
    ticks(19);
    EXPECT_EQ(area.statistics.elapsed, "") << "written only on whole seconds";
    ticks(1);
    EXPECT_EQ(area.statistics.elapsed, "Elapsed: 00m:01s");
    ticks(20);
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
    ticks(20);
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

// A file's last figures are shown when it ends, also for a file shorter than a second; the time does
// not run while the stop question is open; a file that ends before its body leaves the figures as they
// were; a new run starts from the captions alone.
TEST_F(Progress, EveryFileEndsOnItsTrueFiguresAndANewRunStartsClean) {
    state.SetBusy(TKX_PrgState::kDecrypting);
    display.StartRun();
    EXPECT_EQ(area.statistics.done, "Done: ");
    EXPECT_EQ(area.statistics.throughput, "Throughout: ");

    pwd.BlocksTotal = 38400; // 300 KiB
    pwd.BlocksDone = 12800;
    display.StartProcessTimer();
    ticks(20);
    EXPECT_EQ(area.statistics.done, "Done: 100 KBytes");
    display.PauseClock();
    ticks(200); // ten seconds asked whether to stop
    display.ResumeClock();
    EXPECT_EQ(area.statistics.elapsed, "Elapsed: 00m:01s") << "nothing written while asked";
    pwd.BlocksDone = 38400;
    ticks(10);
    display.StopProcessTimer();
    EXPECT_EQ(area.statistics.done, "Done: 300 KBytes");
    EXPECT_EQ(area.statistics.size, "Size: 300 Kbytes");
    EXPECT_EQ(area.statistics.elapsed, "Elapsed: 00m:01s") << "one and a half seconds of work";
    EXPECT_EQ(area.statistics.remaining, "Remaining: 00m:00s");
    EXPECT_EQ(area.statistics.throughput, "Throughout: 204800 bytes per second");

    pwd.BlocksTotal = 129; // 1 KiB, done within a tick
    pwd.BlocksDone = 129;
    display.StartProcessTimer();
    now += 2ms;
    display.StopProcessTimer();
    EXPECT_EQ(area.statistics.done, "Done: 1 KBytes");
    EXPECT_EQ(area.statistics.size, "Size: 1 Kbytes");
    EXPECT_EQ(area.statistics.elapsed, "Elapsed: 00m:00s");
    EXPECT_EQ(area.statistics.throughput, "Throughout: 516000 bytes per second");

    pwd.BlocksTotal = 0; // a wrong password: the engine stopped before the body
    pwd.BlocksDone = 0;
    display.StartProcessTimer();
    now += 1s;
    display.StopProcessTimer();
    EXPECT_EQ(area.statistics.done, "Done: 1 KBytes");

    display.StartRun();
    EXPECT_EQ(area.statistics.elapsed, "Elapsed: ");
    EXPECT_EQ(area.statistics.size, "Size: ");
}

} // namespace
} // namespace vorlaxen
