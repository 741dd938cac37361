// The panes' contents, details, sorting and updates, on real directories.

#include "desktop/FileLists.h"

#include "desktop/PaneRefresh.h"
#include "fileops/DirectoryListing.h"
#include "support/TempDir.h"

#include <ctime>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace vorlaxen {
namespace {

using test::WriteFile;
using Captions = std::vector<std::string>;

class FakeKinds : public FileKindSource {
public:
    int GetImageIndex(const std::string& path) override {
        asked.push_back(path);
        return path.size() % 2 ? 1 : 2;
    }
    std::string TypeName(const std::string& path) override {
        return path.size() >= 4 && path.substr(path.size() - 4) == ".txt" ? "Plain text document" : "";
    }
    std::vector<std::string> asked;
};

class Panes : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(::getcwd(saved_, sizeof saved_));
        ASSERT_EQ(::chdir(dir.path().c_str()), 0);
    }
    void TearDown() override { ASSERT_EQ(::chdir(saved_), 0); }

    Captions captions(Pane which) const {
        Captions out;
        for (const auto& e : lists.pane(which).entries())
            out.push_back(e.caption);
        return out;
    }
    const PaneEntry& entry(Pane which, const std::string& caption) const {
        for (const auto& e : lists.pane(which).entries())
            if (e.caption == caption)
                return e;
        throw std::runtime_error("no entry " + caption);
    }
    void refill() { lists.ReadFLists(ListDirectoryFiles(".")); }

    test::TempDir dir;
    FakeKinds kinds;
    TKX_PrgState state;
    TKX_Pwd pwd;
    bool showCry = false;
    FileLists lists{kinds, state, pwd, showCry};

private:
    char saved_[4096];
};

TEST_F(Panes, ContainersGoRightUnderTheirPlainNamesUnlessShowCryIsOn) {
    WriteFile("a.txt", "plain");
    WriteFile("a.txt.cry", "KX98 and more");
    WriteFile("B.CRY", "KX9C");
    WriteFile(".hidden", "dot file");
    ASSERT_EQ(::mkdir("folder", 0700), 0);
    ASSERT_EQ(::symlink("folder", "link-to-folder"), 0);

    refill();
    EXPECT_EQ(captions(Pane::Source), (Captions{".hidden", "a.txt"}));
    EXPECT_EQ(captions(Pane::Crypted), (Captions{"a.txt", "B"}));
    EXPECT_EQ(entry(Pane::Source, "a.txt").typeText, "Plain text document");
    EXPECT_EQ(entry(Pane::Crypted, "a.txt").typeText, "IDEA");
    EXPECT_EQ(entry(Pane::Crypted, "B").typeText, "3xDES");
    EXPECT_EQ(entry(Pane::Crypted, "B").fileName, "B.CRY") << "the entry keeps its file's own letter case";
    EXPECT_EQ(entry(Pane::Crypted, "a.txt").fileName, "a.txt.cry");

    showCry = true;
    refill();
    EXPECT_EQ(captions(Pane::Crypted), (Captions{"a.txt.cry", "B.CRY"}));
    EXPECT_EQ(entry(Pane::Crypted, "B.CRY").typeText, "3xDES") << "details read from the file itself";
}

TEST_F(Panes, EncryptedByComesFromTheFourthByteAlone) {
    const std::vector<std::pair<std::string, std::string>> cases = {{"ZZZ7", "DES"},
                                                                    {"ZZZA", "DES"},
                                                                    {"ZZZB", "DES"},
                                                                    {"ZZZ8", "IDEA"},
                                                                    {"ZZZC", "3xDES"},
                                                                    {"KX99", "-"},
                                                                    {"KX9", "-"},
                                                                    {"", "-"}};
    // Built by appending: GCC 12 warns falsely (-Wrestrict) about "c" + std::to_string(i) here.
    auto caption = [](std::size_t i) {
        std::string text = "c";
        text += std::to_string(i);
        return text;
    };
    for (std::size_t i = 0; i < cases.size(); ++i)
        WriteFile(caption(i) + ".cry", cases[i].first);
    refill();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& e = entry(Pane::Crypted, caption(i));
        EXPECT_EQ(e.typeText, cases[i].second) << '"' << cases[i].first << '"';
        EXPECT_EQ(e.sizeText, std::to_string(cases[i].first.size()));
    }
}

TEST_F(Panes, DetailsShowSizeLocalDatePermissionsAndType) {
    WriteFile("note.txt", std::string(1234, 'x'));
    ASSERT_EQ(::chmod("note.txt", 0640), 0);
    WriteFile("data.bin", "x");
    ASSERT_EQ(::chmod("data.bin", 0755), 0);
    utimbuf times{};
    times.modtime = 86400 * 365;
    ASSERT_EQ(::utime("note.txt", &times), 0);
    refill();
    const auto& note = entry(Pane::Source, "note.txt");
    EXPECT_TRUE(note.hasDetails);
    EXPECT_EQ(note.sizeText, "1234");
    EXPECT_EQ(note.attributesText, "rw-r-----");
    EXPECT_EQ(entry(Pane::Source, "data.bin").attributesText, "rwxr-xr-x");
    EXPECT_EQ(entry(Pane::Source, "data.bin").typeText, "") << "no type name: no text";
    std::tm local{};
    std::time_t when = times.modtime;
    ::localtime_r(&when, &local);
    char hms[16];
    std::strftime(hms, sizeof hms, " %H:%M:%S", &local);
    EXPECT_NE(note.dateText.find(hms), std::string::npos) << note.dateText << " is in local time";
}

TEST_F(Panes, FilesThatCannotBeOpenedAreListedWithoutDetails) {
    ASSERT_EQ(::symlink("nowhere", "dangling"), 0);
    ASSERT_EQ(::mkfifo("pipe", 0600), 0);
    WriteFile("odd name \"quoted\" \xff\xfe.txt", "bytes that are not UTF-8 in the name");
    refill();
    EXPECT_FALSE(entry(Pane::Source, "dangling").hasDetails);
    EXPECT_TRUE(entry(Pane::Source, "pipe").hasDetails) << "a pipe is examined without waiting for a writer";
    EXPECT_TRUE(entry(Pane::Source, "odd name \"quoted\" \xff\xfe.txt").hasDetails);
}

TEST_F(Panes, SortingFlipsOnEveryClickWhateverTheColumn) {
    WriteFile("abc", "1");
    WriteFile("big", std::string(300, 'x'));
    WriteFile("mid", std::string(20, 'x'));
    refill();
    EXPECT_EQ(captions(Pane::Source), (Captions{"abc", "big", "mid"}));

    lists.ColumnClick(Pane::Source, PaneColumn::Size);
    EXPECT_EQ(captions(Pane::Source), (Captions{"big", "mid", "abc"})) << "the first click sorts descending";
    lists.ColumnClick(Pane::Source, PaneColumn::Name);
    EXPECT_EQ(captions(Pane::Source), (Captions{"abc", "big", "mid"})) << "the next one ascending, by name";
    lists.ColumnClick(Pane::Source, PaneColumn::Name);
    EXPECT_EQ(captions(Pane::Source), (Captions{"mid", "big", "abc"}));
}

TEST(PaneComparison, CaseMissingDetailsAndDates) {
    PaneEntry lower, upper;
    lower.caption = "abc";
    upper.caption = "ABC";
    SortState byName;
    EXPECT_EQ(CompareEntries(lower, upper, byName, true), 0) << "abc and ABC compare equal";

    PaneEntry none;
    none.caption = "x";
    PaneEntry sized;
    sized.caption = "y";
    sized.typeText = "Plain text document";
    sized.hasDetails = true;
    sized.size = 0;
    sized.modified = 0;
    for (PaneColumn column : {PaneColumn::Size, PaneColumn::Date})
        EXPECT_LT(CompareEntries(none, sized, SortState{column, false}, true), 0) << "missing is smallest";
    EXPECT_LT(CompareEntries(none, sized, SortState{PaneColumn::Type, false}, true), 0) << "missing text is empty";

    PaneEntry older = sized, newer = sized;
    newer.modified = 1000;
    EXPECT_LT(CompareEntries(older, newer, SortState{PaneColumn::Date, false}, true), 0);
    EXPECT_GT(CompareEntries(older, newer, SortState{PaneColumn::Date, true}, true), 0);
    EXPECT_EQ(CompareEntries(older, newer, SortState{PaneColumn::Date, false}, false), 0) << "no order without details";
}

TEST_F(Panes, WithoutDetailsOnlyTheNameColumnSorts) {
    WriteFile("b", "22");
    WriteFile("a", "1");
    refill();
    state.SetBusy(TKX_PrgState::kWholeDirectory);
    pwd.ListMode = true;
    WriteFile("c", "333");
    lists.UpdateFLists("c.cry", Direction::Decrypt, true); // as a whole-directory run adds entries
    EXPECT_FALSE(state.FullDetails);
    EXPECT_FALSE(entry(Pane::Source, "c").hasDetails);
    const auto before = captions(Pane::Source);
    const SortState sortBefore = lists.sort();
    lists.ColumnClick(Pane::Source, PaneColumn::Size);
    EXPECT_EQ(captions(Pane::Source), before) << "the click is ignored";
    EXPECT_EQ(lists.sort().descending, sortBefore.descending);
}

TEST_F(Panes, EntriesAreMatchedByTheirExactNameAlthoughTheySortWithoutCase) {
    WriteFile("ab", "1");
    WriteFile("A", "2");
    WriteFile("a.txt", "3");
    WriteFile("report.txt", "4");
    WriteFile("Report.txt", "5");
    refill();
    lists.RemoveListEntry(Pane::Source, "a");
    lists.RemoveListEntry(Pane::Source, "missing");
    EXPECT_EQ(captions(Pane::Source), (Captions{"A", "a.txt", "ab", "Report.txt", "report.txt"}));
    lists.RemoveListEntry(Pane::Source, "A");
    EXPECT_EQ(captions(Pane::Source), (Captions{"a.txt", "ab", "Report.txt", "report.txt"}));

    // report.txt encrypted beside Report.txt: Report.txt stays listed, the wiped report.txt goes.
    ASSERT_EQ(::rename("report.txt", "report.txt.cry"), 0);
    lists.UpdateFLists("report.txt", Direction::Encrypt, false);
    EXPECT_EQ(captions(Pane::Source), (Captions{"a.txt", "ab", "Report.txt"}));
    EXPECT_EQ(captions(Pane::Crypted), Captions{"report.txt"});
    EXPECT_EQ(entry(Pane::Crypted, "report.txt").fileName, "report.txt.cry");
}

TEST_F(Panes, UpdateFListsMovesTheEntryBothWays) {
    for (bool cry : {false, true}) {
        SCOPED_TRACE(cry ? "ShowCry on" : "ShowCry off");
        showCry = cry;
        ::unlink("x.doc");
        ::unlink("x.doc.cry");
        WriteFile("x.doc", "plain");
        WriteFile("w.doc.cry", "KX98");
        WriteFile("z.doc.cry", "KX98");
        refill();
        // Encrypted: the container's entry joins the right pane in sorted position.
        ASSERT_EQ(::rename("x.doc", "x.doc.cry"), 0);
        lists.UpdateFLists("x.doc", Direction::Encrypt, false);
        const std::string container = cry ? "x.doc.cry" : "x.doc";
        EXPECT_EQ(captions(Pane::Source), Captions{});
        EXPECT_EQ(captions(Pane::Crypted),
                  (Captions{cry ? "w.doc.cry" : "w.doc", container, cry ? "z.doc.cry" : "z.doc"}));
        // Decrypted: back to the left pane; `keep` leaves the container's entry.
        ASSERT_EQ(::rename("x.doc.cry", "x.doc"), 0);
        lists.UpdateFLists("x.doc.cry", Direction::Decrypt, true);
        EXPECT_EQ(captions(Pane::Source), Captions{"x.doc"});
        EXPECT_EQ(captions(Pane::Crypted).size(), 3u);
        ::unlink("w.doc.cry");
        ::unlink("z.doc.cry");
    }
}

// What a view is told: where entries were added, and how often a pane was sorted.
class RecordingObserver : public FileListsObserver {
public:
    void PaneAboutToReset(Pane) override {}
    void PaneReset(Pane) override {}
    void EntryAdded(Pane, std::size_t index) override { added.push_back(index); }
    void EntryAboutToBeRemoved(Pane, std::size_t) override {}
    void EntryRemoved(Pane) override {}
    void EntryChanged(Pane, std::size_t) override {}
    void PaneSorted(Pane, const std::vector<std::size_t>&) override { ++sorted; }

    std::vector<std::size_t> added;
    int sorted = 0;
};

// A pane in the sort order takes a new entry in its place without being sorted again (its views need not
// lay out every row for every file of a run); one sorted by another state is sorted as before.
TEST_F(Panes, AnEntryJoinsASortedPaneInItsPlaceAndAnUnsortedOneIsSorted) {
    RecordingObserver observer;
    lists.setObserver(&observer);
    WriteFile("small.txt", "1");
    WriteFile("large.txt", "1234567");
    WriteFile("a.txt.cry", "KX98 and more");
    WriteFile("z.txt.cry", "KX98");
    lists.ColumnClick(Pane::Source, PaneColumn::Size); // descending by size
    refill();
    observer.sorted = 0;
    WriteFile("middle.txt.cry", "KX98 and");
    lists.UpdateFLists("middle.txt", Direction::Encrypt, true);
    EXPECT_EQ(captions(Pane::Crypted), (Captions{"a.txt", "middle.txt", "z.txt"}));
    EXPECT_EQ(observer.added, std::vector<std::size_t>{1});
    EXPECT_EQ(observer.sorted, 0);

    // Sorted by name after a click on the other pane: this pane is in no order of the new state yet.
    lists.ColumnClick(Pane::Source, PaneColumn::Name);
    observer.sorted = 0;
    WriteFile("b.txt.cry", "KX98 and more and more");
    lists.UpdateFLists("b.txt", Direction::Encrypt, true);
    EXPECT_EQ(captions(Pane::Crypted), (Captions{"a.txt", "b.txt", "middle.txt", "z.txt"}));
    EXPECT_EQ(observer.sorted, 1);
    // A file whose details changed may have moved in a pane sorted by them: that pane is sorted again.
    lists.ColumnClick(Pane::Crypted, PaneColumn::Size);
    observer.sorted = 0;
    WriteFile("z.txt.cry", "KX98 grown larger than all the others");
    lists.Refresh(ListDirectoryFiles("."), {"z.txt.cry"}, false);
    WriteFile("c.txt.cry", "KX98 and more");
    lists.UpdateFLists("c.txt", Direction::Encrypt, true);
    EXPECT_EQ(captions(Pane::Crypted), (Captions{"z.txt", "b.txt", "a.txt", "c.txt", "middle.txt"}));
    EXPECT_EQ(observer.sorted, 1);
    lists.setObserver(nullptr);
}

TEST_F(Panes, RefreshFollowsTheDirectoryWithoutRereadingWhatDidNotChange) {
    WriteFile("keep.txt", "1");
    WriteFile("grows.txt", "1");
    WriteFile("goes.txt", "1");
    WriteFile("goes.doc.cry", "KX98");
    refill();
    kinds.asked.clear();

    ::unlink("goes.txt");
    ::unlink("goes.doc.cry");
    WriteFile("grows.txt", "12345");
    WriteFile("new.txt", "1");
    WriteFile("New.pdf.CRY", "KX9C");
    EXPECT_TRUE(lists.Refresh(ListDirectoryFiles("."), {"grows.txt", "new.txt", "goes.txt"}, false));
    EXPECT_EQ(captions(Pane::Source), (Captions{"grows.txt", "keep.txt", "new.txt"}));
    EXPECT_EQ(captions(Pane::Crypted), Captions{"New.pdf"});
    EXPECT_EQ(entry(Pane::Source, "grows.txt").sizeText, "5") << "a changed file's details are read again";
    EXPECT_EQ(entry(Pane::Crypted, "New.pdf").typeText, "3xDES");
    EXPECT_EQ(kinds.asked, (Captions{"New.pdf.CRY", "new.txt"})) << "only new entries look up their icons";
    EXPECT_FALSE(lists.Refresh(ListDirectoryFiles("."), {}, false)) << "nothing came or went";

    // An operation's own update after the panes followed the disk keeps one entry per file.
    ::rename("new.txt", "new.txt.cry");
    lists.Refresh(ListDirectoryFiles("."), {}, true);
    lists.UpdateFLists("new.txt", Direction::Encrypt, false);
    EXPECT_EQ(captions(Pane::Crypted), (Captions{"New.pdf", "new.txt"}));
    EXPECT_EQ(captions(Pane::Source), (Captions{"grows.txt", "keep.txt"}));
}

TEST(PaneRefresh, ABurstIsTakenOnceWhenQuietOrAfterTheLongestWaitAndNeverWhileBusy) {
    using std::chrono::milliseconds;
    PaneRefresh refresh;
    TKX_PrgState state;
    state.PanesUnread = false;
    const auto t0 = PaneRefresh::Clock::time_point{} + std::chrono::hours(1);
    refresh.Changed({}, false, t0);
    EXPECT_FALSE(refresh.NextLook(t0, state)) << "nothing changed";

    refresh.Changed({"a"}, false, t0);
    EXPECT_EQ(refresh.NextLook(t0, state), milliseconds(300));
    refresh.Changed({"b", "a"}, false, t0 + milliseconds(200));
    EXPECT_FALSE(refresh.Due(t0 + milliseconds(499), state)) << "quiet for 300 ms after the last change";
    EXPECT_EQ(refresh.NextLook(t0 + milliseconds(400), state), milliseconds(100));
    EXPECT_TRUE(refresh.Due(t0 + milliseconds(500), state));
    state.SetBusy(TKX_PrgState::kWholeDirectory);
    EXPECT_FALSE(refresh.Due(t0 + milliseconds(900), state));
    EXPECT_EQ(refresh.NextLook(t0 + milliseconds(900), state), PaneRefresh::kQuiet) << "looks again while busy";
    state.ClearBusy(TKX_PrgState::kWholeDirectory);
    EXPECT_EQ(refresh.NextLook(t0 + milliseconds(900), state), milliseconds(0));
    PaneRefresh::Changes taken = refresh.Take();
    EXPECT_EQ(taken.names, (Captions{"a", "b"}));
    EXPECT_FALSE(taken.everything);
    EXPECT_FALSE(refresh.Pending());

    // A burst that does not end is taken 2 s after its first change; a lost count means every file.
    for (int ms = 0; ms < 2000; ms += 100) {
        refresh.Changed({std::to_string(ms) + ".txt"}, ms == 500, t0 + milliseconds(ms));
        EXPECT_FALSE(refresh.Due(t0 + milliseconds(ms), state)) << ms;
    }
    EXPECT_TRUE(refresh.Due(t0 + milliseconds(2000), state));
    EXPECT_TRUE(refresh.Take().everything);
    state.PanesUnread = true;
    refresh.Changed({"g"}, false, t0);
    EXPECT_FALSE(refresh.Due(t0 + std::chrono::seconds(9), state)) << "not before the panes were read";
    refresh.Forget();
    EXPECT_FALSE(refresh.Pending());

    // A list run's own changes: not taken while it runs, also between its files, and the files the panes
    // followed from it are not read again; what another program changed meanwhile is.
    state.PanesUnread = false;
    state.ListRunning = true;
    refresh.Followed({"x.txt", "x.txt.cry"});
    refresh.Changed({"x.txt", "x.txt.cry", "~", "other.txt"}, false, t0);
    EXPECT_FALSE(refresh.Due(t0 + std::chrono::seconds(9), state)) << "not while the list runs";
    state.ListRunning = false;
    EXPECT_TRUE(refresh.Due(t0 + std::chrono::seconds(9), state));
    EXPECT_EQ(refresh.Take().names, (Captions{"~", "other.txt"}));
    refresh.Changed({"x.txt"}, false, t0);
    EXPECT_EQ(refresh.Take().names, Captions{"x.txt"}) << "followed until the refresh after the operation";
}

} // namespace
} // namespace vorlaxen
