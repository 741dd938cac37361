#include "desktop/FileLists.h"

#include "engine/ContainerFormat.h"
#include "engine/ContainerName.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <array>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace vorlaxen {

namespace {

std::string DateText(std::time_t when) {
    std::tm local{};
    if (!::localtime_r(&when, &local))
        return {};
    char text[64];
    std::size_t n = std::strftime(text, sizeof text, "%x %H:%M:%S", &local);
    return std::string(text, n);
}

} // namespace

std::string PermissionText(unsigned mode) {
    std::string text = "---------";
    const char letters[] = "rwx";
    for (int i = 0; i < 9; ++i)
        if (mode & (0400u >> i))
            text[static_cast<std::size_t>(i)] = letters[i % 3];
    return text;
}

bool ReadFileDetails(const std::string& path, bool rightPane, FileKindSource& kinds, PaneEntry& entry) {
    // Never blocks: a named pipe opened for reading would wait for a writer.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st;
    if (!fd || ::fstat(fd.get(), &st) != 0)
        return false;
    entry.hasDetails = true;
    entry.size = static_cast<std::int64_t>(st.st_size);
    entry.sizeText = std::to_string(st.st_size);
    entry.modified = static_cast<std::int64_t>(st.st_mtime);
    entry.dateText = DateText(st.st_mtime);
    entry.attributesText = PermissionText(static_cast<unsigned>(st.st_mode & 0777));
    if (rightPane) {
        std::uint8_t magic[4];
        const MethodInfo* method = nullptr;
        if (S_ISREG(st.st_mode) && ::pread(fd.get(), magic, sizeof magic, 0) == static_cast<ssize_t>(sizeof magic))
            method = MethodByLetter(magic[3]);
        entry.typeText = method ? method->name : "-";
    } else {
        entry.typeText = kinds.TypeName(path);
    }
    return true;
}

FileLists::FileLists(FileKindSource& kinds, TKX_PrgState& state, const TKX_Pwd& pwd, const bool& showCry)
    : kinds_(kinds)
    , state_(state)
    , pwd_(pwd)
    , showCry_(showCry) {}

void FileLists::ReadFLists(const std::vector<std::string>& names) {
    for (Pane which : {Pane::Source, Pane::Crypted}) {
        if (observer_)
            observer_->PaneAboutToReset(which);
        mutablePane(which).Clear();
    }
    // The views are told once at the end, not for every entry.
    FileListsObserver* observer = observer_;
    observer_ = nullptr;
    for (const std::string& name : names) {
        AddListEntry(HasContainerExtension(name) ? Pane::Crypted : Pane::Source, name);
    }
    for (Pane which : {Pane::Source, Pane::Crypted})
        mutablePane(which).Sort(sort_, state_.FullDetails);
    observer_ = observer;
    if (observer_)
        for (Pane which : {Pane::Source, Pane::Crypted})
            observer_->PaneReset(which);
}

PaneEntry FileLists::NewEntry(Pane which, const std::string& fileName) {
    PaneEntry entry;
    entry.caption = which == Pane::Crypted ? CryptedCaptionOf(fileName, showCry_) : fileName;
    entry.fileName = fileName;
    if (state_.IsBusyWith(TKX_PrgState::kWholeDirectory) && (pwd_.ListMode || pwd_.SessionMode)) {
        state_.FullDetails = false;
        return entry;
    }
    state_.FullDetails = true;
    entry.image = kinds_.GetImageIndex(entry.fileName);
    ReadFileDetails(entry.fileName, which == Pane::Crypted, kinds_, entry);
    return entry;
}

void FileLists::AddListEntry(Pane which, const std::string& fileName) {
    const std::size_t index = mutablePane(which).Append(NewEntry(which, fileName));
    if (observer_)
        observer_->EntryAdded(which, index);
}

void FileLists::GetFileInfo(Pane which, std::size_t index) {
    PaneEntry& entry = mutablePane(which).at(index);
    // Details read before (the file has changed since) do not outlive a read that fails.
    PaneEntry fresh;
    fresh.caption = std::move(entry.caption);
    fresh.fileName = std::move(entry.fileName);
    fresh.image = entry.image;
    entry = std::move(fresh);
    ReadFileDetails(entry.fileName, which == Pane::Crypted, kinds_, entry);
    mutablePane(which).DetailsChanged();
    if (observer_)
        observer_->EntryChanged(which, index);
}

void FileLists::RemoveListEntry(Pane which, const std::string& fileName) {
    const std::optional<std::size_t> index = pane(which).FindFile(fileName);
    if (!index)
        return;
    if (observer_)
        observer_->EntryAboutToBeRemoved(which, *index);
    mutablePane(which).RemoveAt(*index);
    if (observer_)
        observer_->EntryRemoved(which);
}

void FileLists::UpdateFLists(const std::string& fileName, Direction direction, bool keep) {
    const bool encrypted = direction == Direction::Encrypt;
    const Pane target = encrypted ? Pane::Crypted : Pane::Source;
    const Pane other = encrypted ? Pane::Source : Pane::Crypted;
    const std::string written = encrypted ? ContainerPathOf(fileName) : PlainPathOf(fileName);
    if (const std::optional<std::size_t> listed = pane(target).FindFile(written)) {
        GetFileInfo(target, *listed);
    } else {
        PaneEntry entry = NewEntry(target, written);
        FilePane& into = mutablePane(target);
        // A pane in the sort order already takes the entry in its place, without being sorted again.
        if (into.SortedBy(sort_, state_.FullDetails)) {
            const std::size_t index = into.InsertSorted(std::move(entry), sort_, state_.FullDetails);
            if (observer_)
                observer_->EntryAdded(target, index);
        } else {
            const std::size_t index = into.Append(std::move(entry));
            if (observer_)
                observer_->EntryAdded(target, index);
            SortPane(target);
        }
    }
    if (!keep)
        RemoveListEntry(other, fileName);
}

bool FileLists::Refresh(const std::vector<std::string>& names,
                        const std::vector<std::string>& changed,
                        bool everything) {
    const std::unordered_set<std::string> onDisk(names.begin(), names.end());
    const std::unordered_set<std::string> touched(changed.begin(), changed.end());
    std::unordered_set<std::string> listed;
    bool cameOrWent = false;
    for (Pane which : {Pane::Source, Pane::Crypted}) {
        for (std::size_t i = pane(which).size(); i-- > 0;) {
            const std::string& fileName = pane(which)[i].fileName;
            if (onDisk.count(fileName)) {
                listed.insert(fileName);
                if (everything || touched.count(fileName))
                    GetFileInfo(which, i);
                continue;
            }
            if (observer_)
                observer_->EntryAboutToBeRemoved(which, i);
            mutablePane(which).RemoveAt(i);
            if (observer_)
                observer_->EntryRemoved(which);
            cameOrWent = true;
        }
    }
    std::array<bool, 2> added{};
    for (const std::string& name : names) {
        if (listed.count(name))
            continue;
        const bool container = HasContainerExtension(name);
        const Pane which = container ? Pane::Crypted : Pane::Source;
        AddListEntry(which, name);
        added[container ? 1 : 0] = true;
        cameOrWent = true;
    }
    for (Pane which : {Pane::Source, Pane::Crypted})
        if (added[which == Pane::Source ? 0 : 1])
            SortPane(which);
    return cameOrWent;
}

void FileLists::ColumnClick(Pane which, PaneColumn column) {
    if (!state_.FullDetails)
        return;
    sort_.ColumnClicked(column);
    SortPane(which);
}

void FileLists::SortPane(Pane which) {
    const std::vector<std::size_t> order = mutablePane(which).Sort(sort_, state_.FullDetails);
    if (observer_)
        observer_->PaneSorted(which, order);
}

} // namespace vorlaxen
