#include "platform/SecureMemory.h"

#include "platform/DebugLog.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <pthread.h>
#include <string.h>
#include <string>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

namespace vorlaxen {

void SecureZero(void* data, std::size_t n) noexcept {
    if (data && n)
        explicit_bzero(data, n);
}

namespace {

// Small blocks come in slots of 16 bytes to 2 KiB, powers of two, carved from whole pages.
constexpr std::size_t kSmallestSlot = 16;
constexpr std::size_t kSlotSizes = 8;
static_assert(kSmallestSlot << (kSlotSizes - 1) == 2048);
// The pages of small blocks are taken from the system this many at a time.
constexpr std::size_t kArenaPages = 16;
// Large blocks given back are kept for reuse up to this many bytes: the buffers of a file or two.
constexpr std::size_t kMostSpareBytes = std::size_t{2} << 20;

std::size_t PageSize() noexcept {
    static const auto size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return size;
}

std::size_t RoundUp(std::size_t n, std::size_t to) noexcept {
    return (n + to - 1) / to * to;
}

// The slot size index of a small block, or kSlotSizes for a large one.
std::size_t SlotIndex(std::size_t size, std::size_t alignment) noexcept {
    const std::size_t need = std::max({size, alignment, kSmallestSlot});
    std::size_t index = 0;
    for (std::size_t slot = kSmallestSlot; slot < need && index < kSlotSizes; slot <<= 1)
        ++index;
    return index;
}

std::size_t SlotSize(std::size_t index) noexcept {
    return kSmallestSlot << index;
}

std::size_t LockLimit() noexcept {
    rlimit limit{};
    if (::getrlimit(RLIMIT_MEMLOCK, &limit) != 0)
        return 0;
    return limit.rlim_cur == RLIM_INFINITY ? std::numeric_limits<std::size_t>::max()
                                           : static_cast<std::size_t>(limit.rlim_cur);
}

struct Region {
    std::uint8_t* start = nullptr;
    std::size_t bytes = 0;
    bool locked = false;
};

// Fresh pages, zero, private to the process and kept out of core dumps.
std::uint8_t* MapPages(std::size_t bytes) noexcept {
    void* pages = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages == MAP_FAILED)
        return nullptr;
    if (::madvise(pages, bytes, MADV_DONTDUMP) != 0) {
        static std::once_flag said;
        std::call_once(said, [] { DebugLog("secret memory: the system keeps no pages out of core dumps"); });
    }
    return static_cast<std::uint8_t*>(pages);
}

std::string KiB(std::size_t bytes) {
    return bytes == std::numeric_limits<std::size_t>::max() ? std::string("none")
                                                            : std::to_string(bytes >> 10) + " KiB";
}

void SayRefused(std::size_t bytes, std::size_t locked, std::size_t limit) noexcept {
    try {
        DebugLog("secret memory: " + KiB(bytes) + " could not be locked (" + KiB(locked) + " locked, limit " +
                 KiB(limit) + "); secrets there are kept out of core dumps and zeroed, but may reach swap");
    } catch (...) {
    }
}

class SecretPool {
public:
    SecretPool() {
        // A child made by fork has none of its parent's pages locked.
        ::pthread_atfork([] { Pool().mutex_.lock(); }, [] { Pool().mutex_.unlock(); }, [] { Pool().forgetLocks(); });
        if (DebugLogOn())
            std::atexit([] { Pool().sayMostLocked(); });
    }

    static SecretPool& Pool() {
        // Never destroyed: secret buffers may be given back by other objects' destructors at exit.
        static SecretPool* pool = new SecretPool;
        return *pool;
    }

    void* allocate(std::size_t size, std::size_t alignment) noexcept {
        if (alignment > PageSize())
            return nullptr;
        const std::size_t index = SlotIndex(size, alignment);
        return index < kSlotSizes ? takeSlot(index) : takeLarge(RoundUp(std::max<std::size_t>(size, 1), PageSize()));
    }

    void release(void* block, std::size_t size, std::size_t alignment) noexcept {
        if (!block)
            return;
        const std::size_t index = SlotIndex(size, alignment);
        if (index < kSlotSizes) {
            SecureZero(block, SlotSize(index));
            const std::lock_guard<std::mutex> guard(mutex_);
            // Never reallocates: its room was reserved when the slot was carved.
            free_[index].push_back(block);
            return;
        }
        SecureZero(block, size);
        giveBackLarge(static_cast<std::uint8_t*>(block));
    }

    SecretMemoryUse use() noexcept {
        const std::lock_guard<std::mutex> guard(mutex_);
        SecretMemoryUse use;
        use.mapped = mapped_;
        use.locked = locked_;
        use.mostLocked = mostLocked_;
        use.lockRefused = refused_;
        return use;
    }

private:
    void* takeSlot(std::size_t index) noexcept {
        const std::lock_guard<std::mutex> guard(mutex_);
        std::vector<void*>& free = free_[index];
        if (free.empty()) {
            const std::size_t slotSize = SlotSize(index);
            const std::size_t count = PageSize() / slotSize;
            try {
                free.reserve(carved_[index] + count);
            } catch (...) {
                return nullptr;
            }
            std::uint8_t* page = takeArenaPage();
            if (!page)
                return nullptr;
            carved_[index] += count;
            for (std::size_t i = count; i-- > 0;)
                free.push_back(page + i * slotSize);
        }
        void* slot = free.back();
        free.pop_back();
        return slot;
    }

    std::uint8_t* takeArenaPage() noexcept {
        if (arenaPagesLeft_ == 0) {
            Region arena{MapPages(kArenaPages * PageSize()), kArenaPages * PageSize(), false};
            if (!arena.start)
                return nullptr;
            try {
                arenas_.push_back(arena);
            } catch (...) {
                ::munmap(arena.start, arena.bytes);
                return nullptr;
            }
            mapped_ += arena.bytes;
            lock(arenas_.back());
            arenaNext_ = arena.start;
            arenaPagesLeft_ = kArenaPages;
        }
        std::uint8_t* page = arenaNext_;
        arenaNext_ += PageSize();
        --arenaPagesLeft_;
        return page;
    }

    void* takeLarge(std::size_t bytes) noexcept {
        const std::lock_guard<std::mutex> guard(mutex_);
        try {
            large_.reserve(large_.size() + 1);
        } catch (...) {
            return nullptr;
        }
        // The smallest spare that fits and wastes no more than it holds.
        auto best = spare_.end();
        for (auto it = spare_.begin(); it != spare_.end(); ++it)
            if (it->bytes >= bytes && it->bytes <= 2 * bytes && (best == spare_.end() || it->bytes < best->bytes))
                best = it;
        if (best != spare_.end()) {
            large_.push_back(*best);
            spareBytes_ -= best->bytes;
            spare_.erase(best);
            return large_.back().start;
        }
        Region region{MapPages(bytes), bytes, false};
        if (!region.start)
            return nullptr;
        mapped_ += bytes;
        lock(region);
        large_.push_back(region);
        return region.start;
    }

    void giveBackLarge(std::uint8_t* start) noexcept {
        const std::lock_guard<std::mutex> guard(mutex_);
        const auto found =
            std::find_if(large_.begin(), large_.end(), [start](const Region& region) { return region.start == start; });
        if (found == large_.end())
            return;
        const Region region = *found;
        large_.erase(found);
        if (spareBytes_ + region.bytes <= kMostSpareBytes) {
            try {
                spare_.push_back(region);
                spareBytes_ += region.bytes;
                return;
            } catch (...) {
            }
        }
        unmap(region);
    }

    void unmap(const Region& region) noexcept {
        if (region.locked)
            locked_ -= region.bytes;
        mapped_ -= region.bytes;
        ::munmap(region.start, region.bytes);
    }

    // Locks the region where the lock limit leaves room for it, giving back spare blocks to make room.
    void lock(Region& region) noexcept {
        const std::size_t limit = LockLimit();
        while (locked_ + region.bytes > limit && !spare_.empty()) {
            spareBytes_ -= spare_.back().bytes;
            unmap(spare_.back());
            spare_.pop_back();
        }
        if (locked_ + region.bytes <= limit && ::mlock(region.start, region.bytes) == 0) {
            region.locked = true;
            locked_ += region.bytes;
            mostLocked_ = std::max(mostLocked_, locked_);
            return;
        }
        if (!refused_) {
            refused_ = true;
            SayRefused(region.bytes, locked_, limit);
        }
    }

    // Runs in the child of a fork, which inherits none of the locks.
    void forgetLocks() noexcept {
        for (std::vector<Region>* regions : {&arenas_, &large_, &spare_})
            for (Region& region : *regions)
                region.locked = false;
        locked_ = 0;
        mutex_.unlock();
    }

    void sayMostLocked() noexcept {
        const std::size_t most = use().mostLocked;
        try {
            DebugLog("secret memory: at most " + KiB(most) + " locked at once, limit " + KiB(LockLimit()));
        } catch (...) {
        }
    }

    std::mutex mutex_;
    std::vector<Region> arenas_;
    std::uint8_t* arenaNext_ = nullptr;
    std::size_t arenaPagesLeft_ = 0;
    std::vector<void*> free_[kSlotSizes];
    std::size_t carved_[kSlotSizes] = {};
    std::vector<Region> large_; // handed out
    std::vector<Region> spare_; // given back, zero, kept for reuse
    std::size_t spareBytes_ = 0;
    std::size_t mapped_ = 0;
    std::size_t locked_ = 0;
    std::size_t mostLocked_ = 0;
    bool refused_ = false;
};

} // namespace

void* AllocateSecret(std::size_t size, std::size_t alignment) noexcept {
    return SecretPool::Pool().allocate(size, alignment);
}

void ReleaseSecret(void* block, std::size_t size, std::size_t alignment) noexcept {
    SecretPool::Pool().release(block, size, alignment);
}

SecretMemoryUse SecretMemoryInUse() noexcept {
    return SecretPool::Pool().use();
}

} // namespace vorlaxen
