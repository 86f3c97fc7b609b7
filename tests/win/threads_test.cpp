// Eight threads, each in an apartment of its own with objects of its own, call the string, XML,
// registry and file members at once, and every answer must be the one the same call gives on a
// single thread: nothing the library keeps per thread may show in another.
#include "support.hpp"

#include <array>

namespace lark::test {
namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 10000;

// Thread i's calls, each outcome ending in what thread i alone may see: its own position, its
// own setting, the value it wrote and read back, its own folder.
std::wstring round(Cases& c, int i, LONG value) {
    const std::string t = std::to_string(i);
    std::wstring answers = c.outcome("CDataStructures3.lrkInstr 1, @'thread " + t + " says ," + t + ",', @',', 0");
    answers += L"|" + c.outcome("CXMLFile.OpenXMLFileForReading @F & '\\settings.xml'");
    answers += L"|" + c.outcome("CXMLFile.ReadProperty @'mine', @'', @'none'");
    answers += L"|" + c.outcome("CXMLFile.CloseXMLFile 1");
    c.outcome("CRegistry2.SetRegistryValue &H80000001, K, 'round', 4, " + std::to_string(value));
    answers += L"|" + c.outcome("CRegistry2.GetRegistryValue &H80000001, K, 'round', 4");
    answers += L"|" + c.outcome("CServicesFileUtilities2.UniqueFilePath @F & '\\taken.txt'");
    return answers;
}

std::wstring expected(int i, LONG value) {
    const std::wstring t = std::to_wstring(i);
    return L"Long 15; 'thread " + t + L" says ," + t + L",'; ','|Boolean True; '%F%\\settings.xml'|Boolean True; "
           L"'mine'; '" + t + L"'; 'none'|Boolean True|Long " + std::to_wstring(value) +
           L"|'%F%\\taken1.txt'; '%F%\\taken.txt'";
}

TEST(Threads, EightApartmentsCallingAtOnceGetTheAnswersOfOne) {
    Sandbox box;
    RegistryBranch branch(L"Threads");
    std::array<int, kThreads> wrong{}, rounds{};
    std::array<std::wstring, kThreads> firstWrong;
    const auto work = [&](int i, int count) {
        const std::wstring folder = box.path(L"t" + std::to_wstring(i));
        box.make({L"t" + std::to_wstring(i) + L"\\"});
        box.file(L"t" + std::to_wstring(i) + L"\\settings.xml", "<s>\r\n<mine>" + std::to_string(i) + "</mine>\r\n</s>\r\n");
        box.file(L"t" + std::to_wstring(i) + L"\\taken.txt", "x");
        Cases c;
        c.let("F", folder), c.mask(folder, "F"), c.let("K", branch.path() + L"\\T" + std::to_wstring(i));
        for (int r = 0; r < count; ++r, ++rounds[i]) {
            const LONG value = i * kRounds + r;
            const std::wstring got = round(c, i, value);
            if (got != expected(i, value) && wrong[i]++ == 0) firstWrong[i] = std::to_wstring(r) + L": " + got;
        }
    };
    work(3, 1);  // the single-threaded answers
    EXPECT_EQ(wrong[3], 0) << firstWrong[3];
    rounds[3] = 0;

    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] {
            CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            work(i, kRounds);
            CoUninitialize();
        });
    for (auto& thread : threads) thread.join();
    for (int i = 0; i < kThreads; ++i)
        EXPECT_EQ(std::pair(rounds[i], wrong[i]), std::pair(kRounds, 0)) << "thread " << i << ", round " << firstWrong[i];
}

}  // namespace
}  // namespace lark::test
