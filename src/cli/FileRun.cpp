#include "cli/FileRun.h"

#include "fileops/GroupLimits.h"

#include <algorithm>
#include <sched.h>
#include <thread>

namespace vorlaxen::cli {

namespace {

bool EndsTheRun(int status) {
    return status == -static_cast<int>(ResultCode::Aborted) || status == kExitUsage;
}

} // namespace

unsigned ProcessorsAvailable() noexcept {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) != 0)
        return 1;
    return static_cast<unsigned>(std::max(1, CPU_COUNT(&set)));
}

FileRun::FileRun(RunContext& run, std::vector<RunItem> items, unsigned jobs)
    : run_(run)
    , items_(std::move(items))
    , jobs_(std::clamp<unsigned>(jobs, 1, static_cast<unsigned>(std::max<std::size_t>(items_.size(), 1))))
    , statuses_(items_.size(), 0)
    , mostWaiting_(MostWaitingFiles(true)) {}

int FileRun::Run() {
    std::uint64_t bytes = 0;
    for (const RunItem& item : items_)
        bytes += item.size;
    run_.console.StartRun(items_.size(), bytes);
    if (items_.size() <= 1) {
        working_ = 1;
        Work(false);
    } else {
        working_ = jobs_;
        std::vector<std::thread> workers;
        for (unsigned i = 0; i < jobs_; ++i)
            workers.emplace_back([this] { Work(true); });
        CompleteGroups();
        for (std::thread& worker : workers)
            worker.join();
    }
    run_.console.EndRun();
    for (int status : statuses_)
        if (status != 0)
            return status;
    return 0;
}

void FileRun::Record(std::size_t index, int status) {
    statuses_[index] = status;
    if (EndsTheRun(status)) {
        const std::lock_guard<std::mutex> guard(mutex_);
        stopped_ = true;
        roomMade_.notify_all();
    }
}

void FileRun::Work(bool inGroups) {
    for (;;) {
        std::size_t index = 0;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            roomMade_.wait(lock, [this] { return waiting_ < mostWaiting_ || stopped_; });
            if (stopped_ || next_ >= items_.size())
                break;
            index = next_++;
        }
        const RunItem& item = items_[index];
        if (item.presetStatus != 0) {
            Record(index, item.presetStatus);
            run_.console.FileDone();
            continue;
        }
        if (run_.abort.load()) {
            // Stopped between two files: the first file not started says so, unless a file that ran did.
            if (!run_.abortReported.exchange(true))
                run_.console.Say(CompanionResultText(ResultCode::Aborted, item.path));
            Record(index, -static_cast<int>(ResultCode::Aborted));
            break;
        }
        auto task = std::make_unique<FileTask>(run_, item.path, item.size);
        if (task->Start(inGroups)) {
            const std::lock_guard<std::mutex> guard(mutex_);
            written_.emplace_back(index, std::move(task));
            writtenBytes_ += item.size;
            ++waiting_;
            if (GroupReady())
                groupReady_.notify_one();
        } else {
            Record(index, task->status());
        }
    }
    const std::lock_guard<std::mutex> guard(mutex_);
    --working_;
    if (working_ == 0)
        groupReady_.notify_one();
}

// Under mutex_.
bool FileRun::GroupReady() const {
    return working_ == 0 || written_.size() >= kGroupFiles || written_.size() >= mostWaiting_ ||
           writtenBytes_ >= kGroupBytes;
}

// A group is committed (its outputs flushed and named, the passes of its sources' wipes written) while the
// group before it is finished on a thread of its own (the passes flushed, the sources renamed, truncated
// and deleted): the two halves touch different files, and the groups' wipes, which give their files the
// same passing names in a directory, still run one after the other.
void FileRun::CompleteGroups() {
    using Group = std::vector<std::pair<std::size_t, std::unique_ptr<FileTask>>>;
    std::thread finishing;
    using Files = std::vector<SingleFileOperation::GroupedFile*>;
    const auto finish = [this](Group group, const Files& files) {
        SingleFileOperation::FinishGroup(files);
        for (auto& [index, task] : group) {
            task->Finish();
            Record(index, task->status());
            task.reset();
        }
        const std::lock_guard<std::mutex> guard(mutex_);
        waiting_ -= group.size();
        roomMade_.notify_all();
    };
    for (;;) {
        Group group;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            groupReady_.wait(lock, [this] { return GroupReady(); });
            if (written_.empty())
                break;
            while (!written_.empty()) {
                group.push_back(std::move(written_.front()));
                written_.pop_front();
            }
            writtenBytes_ = 0;
        }
        Files files;
        for (const auto& [index, task] : group)
            files.push_back(task->grouped());
        SingleFileOperation::CommitGroup(files);
        if (finishing.joinable())
            finishing.join();
        finishing = std::thread(finish, std::move(group), std::move(files));
    }
    if (finishing.joinable())
        finishing.join();
}

} // namespace vorlaxen::cli
