// A walk over work items taken last in, first out, with helper threads reading the items
// nearest the top before the walk gets to them. The walk sees every item with its result in
// exactly the order it would have reading each one itself; only the waiting overlaps. It serves
// the registry export, where each key costs a handful of round trips to the system and the
// round trips, not the processor, are what take the time.
//
// The read function is called from several threads at once and must be safe to be. A helper
// whose read throws gives the item back, and the walk reads it itself, so an exception reaches
// the walking thread as it would without helpers.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace lark::registry {

namespace read_ahead {
#if defined(_WIN32)
// The system's own lock and condition: the thread library's condition costs a round trip to
// the system per wait under Wine, about five times what these cost.
class Mutex {
public:
    void lock() { AcquireSRWLockExclusive(&lock_); }
    void unlock() { ReleaseSRWLockExclusive(&lock_); }
    SRWLOCK* native() { return &lock_; }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};

class Condition {
public:
    template <class Ready>
    void wait(std::unique_lock<Mutex>& lock, Ready ready) {
        while (!ready())
            SleepConditionVariableSRW(&condition_, lock.mutex()->native(), INFINITE, 0);
    }
    void notify_all() { WakeAllConditionVariable(&condition_); }

private:
    CONDITION_VARIABLE condition_ = CONDITION_VARIABLE_INIT;
};
#else
using Mutex = std::mutex;
using Condition = std::condition_variable;
#endif
}  // namespace read_ahead

template <class Item, class Result, class Read>
class ReadAhead {
public:
    // Helper threads start when the stack first holds startAt items: a short walk stays on the
    // calling thread, where it does not pay for starting them.
    ReadAhead(Read read, size_t helpers, size_t startAt)
        : read_(std::move(read)), helperCount_(helpers), startAt_(std::max<size_t>(startAt, 2)) {}
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;
    ~ReadAhead() { stopHelpers(); }

    bool empty() {
        const std::lock_guard<read_ahead::Mutex> lock(mutex_);
        return stack_.empty();
    }

    // Puts the items on top, the first of them topmost.
    void push(std::vector<Item> items) {
        {
            const std::lock_guard<read_ahead::Mutex> lock(mutex_);
            stack_.reserve(stack_.size() + items.size());
            for (auto item = items.rbegin(); item != items.rend(); ++item)
                stack_.push_back(std::make_unique<Slot>(std::move(*item)));
            if (stack_.size() < startAt_) return;
        }
        startHelpers();
        work_.notify_all();
    }

    // Takes the top item with its result; reads it here when no helper has it.
    std::pair<Item, Result> pop() {
        std::unique_lock<read_ahead::Mutex> lock(mutex_);
        std::unique_ptr<Slot> slot = std::move(stack_.back());
        stack_.pop_back();
        if (slot->taken) ready_.wait(lock, [&] { return slot->done; });
        lock.unlock();
        if (!slot->result) slot->result.emplace(read_(slot->item));
        return {std::move(slot->item), std::move(*slot->result)};
    }

private:
    struct Slot {
        explicit Slot(Item i) : item(std::move(i)) {}
        Item item;
        std::optional<Result> result;
        bool taken = false;  // a helper has it, or had it
        bool done = false;   // the helper is through with it (result empty when its read threw)
    };

    // How far below the top helpers look for work, which also bounds the results held ahead.
    static constexpr size_t kWindow = 64;

    // The topmost item within the window that nobody has taken; called with the lock held.
    Slot* untaken() {
        const size_t bottom = stack_.size() > kWindow ? stack_.size() - kWindow : 0;
        for (size_t i = stack_.size(); i-- > bottom;)
            if (!stack_[i]->taken) return stack_[i].get();
        return nullptr;
    }

    void help() {
        std::unique_lock<read_ahead::Mutex> lock(mutex_);
        for (;;) {
            Slot* slot = nullptr;
            work_.wait(lock, [&] { return stopping_ || (slot = untaken()) != nullptr; });
            if (stopping_) return;
            slot->taken = true;
            lock.unlock();
            std::optional<Result> result;
            try {
                result.emplace(read_(slot->item));
            } catch (...) {
            }
            lock.lock();
            slot->result = std::move(result);
            slot->done = true;
            ready_.notify_all();
        }
    }

    // Threads that cannot be started are done without: the walk then reads more itself.
    void startHelpers() {
        if (!helpers_.empty()) return;
        try {
            helpers_.reserve(helperCount_);
            while (helpers_.size() < helperCount_)
                helpers_.emplace_back([this] { help(); });
        } catch (...) {
        }
    }

    void stopHelpers() {
        {
            const std::lock_guard<read_ahead::Mutex> lock(mutex_);
            stopping_ = true;
        }
        work_.notify_all();
        for (std::thread& helper : helpers_)
            helper.join();
    }

    Read read_;
    size_t helperCount_;
    size_t startAt_;
    read_ahead::Mutex mutex_;
    read_ahead::Condition work_;   // an item to take, or the end
    read_ahead::Condition ready_;  // a helper finished an item
    std::vector<std::unique_ptr<Slot>> stack_;
    std::vector<std::thread> helpers_;
    bool stopping_ = false;
};

}  // namespace lark::registry
