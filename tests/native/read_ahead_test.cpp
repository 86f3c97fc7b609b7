// The export's read-ahead walk: with helpers reading ahead, the walk still meets every item in
// depth-first order, each with its own result, and a helper's failure costs nothing.
#include "registry/read_ahead.hpp"

#include "support.hpp"

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

using namespace lark::registry;

namespace {

// A random tree over the numbers 0..n-1; children[i] lists i's children in order.
std::vector<std::vector<int>> randomTree(std::mt19937& rng, int n) {
    std::vector<std::vector<int>> children(n);
    for (int i = 1; i < n; ++i)
        children[rng() % (rng() % 3 ? std::min(i, 4) : i)].push_back(i);  // some wide nodes, some deep paths
    return children;
}

// The items in the order the walk meets them, each checked against its own result.
template <class Read>
std::vector<int> walked(Read read, size_t helpers, size_t startAt) {
    ReadAhead<int, std::pair<int, std::vector<int>>, Read> walk(read, helpers, startAt);
    std::vector<int> order;
    walk.push({0});
    while (!walk.empty()) {
        auto [item, result] = walk.pop();
        EXPECT_EQ(item, result.first);
        order.push_back(item);
        walk.push(result.second);
    }
    return order;
}

void depthFirst(const std::vector<std::vector<int>>& children, int node, std::vector<int>& order) {
    order.push_back(node);
    for (int child : children[node])
        depthFirst(children, child, order);
}

TEST(ReadAhead, WalksDepthFirstWhateverTheHelpersDo) {
    std::mt19937 rng(97);
    for (int trial = 0; trial < 40; ++trial) {
        const int n = trial < 4 ? trial + 1 : 1 + int(rng() % 400);
        const auto children = randomTree(rng, n);
        std::vector<int> want;
        depthFirst(children, 0, want);
        std::atomic<int> reads{0};
        // Reads take uneven times, and every seventh fails the first time a helper tries it.
        std::vector<std::atomic<bool>> failed(n);
        const auto walker = std::this_thread::get_id();
        const auto read = [&](int item) {
            ++reads;
            if (item % 3 == 0) std::this_thread::sleep_for(std::chrono::microseconds(item % 50));
            if (item % 7 == 6 && std::this_thread::get_id() != walker && !failed[item].exchange(true))
                throw std::runtime_error("refused");
            return std::make_pair(item, children[item]);
        };
        const size_t helpers = trial % 5, startAt = trial % 2 ? 2 : 16;
        SCOPED_TRACE(testing::Message() << n << " items, " << helpers << " helpers from " << startAt);
        const auto got = walked(read, helpers, startAt);
        EXPECT_EQ(want, got);
        EXPECT_LE(reads.load(), n + n / 7 + 1) << "an item read more often than its failure explains";
    }
}

TEST(ReadAhead, AFailureOnTheWalkingThreadReachesTheCaller) {
    const auto read = [](int item) -> std::pair<int, std::vector<int>> {
        if (item == 2) throw std::runtime_error("refused");
        return {item, item == 0 ? std::vector<int>{1, 2} : std::vector<int>{}};
    };
    for (size_t helpers : {0, 3})
        EXPECT_THROW(walked(read, helpers, 2), std::runtime_error) << helpers << " helpers";
}

}  // namespace
