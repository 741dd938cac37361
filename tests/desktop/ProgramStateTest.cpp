// The program state, the order of the program-wide objects and the start-up steps.

#include "desktop/ProgramObjects.h"
#include "desktop/StartupSequence.h"
#include "support/FakeHost.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace vorlaxen {
namespace {

TEST(TKX_PrgState, StartsIdleWithThePanesUnread) {
    TKX_PrgState state;
    EXPECT_FALSE(state.AbortFlag.load());
    EXPECT_FALSE(state.IsBusy());
    EXPECT_TRUE(state.PanesUnread);
    EXPECT_TRUE(state.FullDetails);
    EXPECT_FALSE(state.SaveToTable || state.ProgressShown || state.Overwrite);
    EXPECT_EQ(state.OpFiles.Count, 0);
    EXPECT_EQ(state.OpFiles.Files.size(), 20u);
    for (const auto& slot : state.OpFiles.Files)
        EXPECT_FALSE(slot.InUse);

    state.SetBusy(TKX_PrgState::kWholeDirectory);
    state.SetBusy(TKX_PrgState::kEncrypting);
    EXPECT_TRUE(state.IsBusyWith(TKX_PrgState::kEncrypting));
    state.ClearBusy(TKX_PrgState::kEncrypting);
    EXPECT_EQ(state.Busy, TKX_PrgState::kWholeDirectory);
    state.ClearBusy(TKX_PrgState::kWholeDirectory);
    EXPECT_FALSE(state.IsBusy());

    // A scope gives its member up however it is left, and leaves the others alone.
    auto deleteAndThrow = [&state] {
        const TKX_PrgState::BusyScope busy(state, TKX_PrgState::kDeleting);
        EXPECT_EQ(state.Busy, TKX_PrgState::kEncrypting | TKX_PrgState::kDeleting);
        throw std::runtime_error("a failure half way");
    };
    state.SetBusy(TKX_PrgState::kEncrypting);
    EXPECT_THROW(deleteAndThrow(), std::runtime_error);
    EXPECT_EQ(state.Busy, TKX_PrgState::kEncrypting);
}

// Stand-ins that log when they come and go.
std::vector<std::string> gLog;

template <const char* Name> struct Logged {
    Logged() { gLog.push_back(std::string("create ") + Name); }
    ~Logged() { gLog.push_back(std::string("destroy ") + Name); }
};
constexpr char kDirCryptor[] = "TKX_DirCryptor";
constexpr char kPwd[] = "TKX_Pwd";
constexpr char kPrgState[] = "TKX_PrgState";

struct LoggedTable {
    LoggedTable(MessageBox&, PendingEvents&, MasterPasswordSource&, Logged<kPwd>&) {
        gLog.push_back("create TKX_PwdTable");
    }
    ~LoggedTable() { gLog.push_back("destroy TKX_PwdTable"); }
};

TEST(ProgramObjects, ComeUpAndGoDownInTheSameOrder) {
    gLog.clear();
    test::FakeHost host;
    { ProgramObjectsOf<Logged<kDirCryptor>, Logged<kPwd>, LoggedTable, Logged<kPrgState>> objects(host, host, host); }
    EXPECT_EQ(gLog,
              (std::vector<std::string>{"create TKX_DirCryptor",
                                        "create TKX_Pwd",
                                        "create TKX_PwdTable",
                                        "create TKX_PrgState",
                                        "destroy TKX_DirCryptor",
                                        "destroy TKX_Pwd",
                                        "destroy TKX_PwdTable",
                                        "destroy TKX_PrgState"}));
}

TEST(ProgramObjects, TheRealOnesStartEmpty) {
    test::FakeHost host;
    ProgramObjects objects(host, host, host);
    EXPECT_FALSE(objects.pwd().Valid);
    EXPECT_EQ(objects.pwd().PasswordLength, 0);
    EXPECT_FALSE(objects.pwdTable().MasterPass.UseKeyFile);
    EXPECT_EQ(objects.pwdTable().MasterPass.KeyFilePath, "");
    EXPECT_TRUE(objects.pwdTable().Entries.Empty());
    EXPECT_FALSE(objects.prgState().IsBusy());
}

TEST(StartupSequence, RunsItsStepsOnceInOrder) {
    StartupSequence startup;
    std::vector<int> ran;
    startup.Add([&] { ran.push_back(1); });
    startup.Add([&] { ran.push_back(2); });
    EXPECT_FALSE(startup.hasRun());
    EXPECT_TRUE(startup.RunOnce());
    EXPECT_FALSE(startup.RunOnce());
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
}

} // namespace
} // namespace vorlaxen
