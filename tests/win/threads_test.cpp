// Eight threads, each in an apartment of its own with objects of its own, call the string, XML,
// registry and file members at once, and every answer must be the one the same call gives on a
// single thread: nothing the library keeps per thread may show in another.
#include "support.hpp"

#include <array>

namespace lark::test {
namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 10000;
constexpr LONG kCurrentUser = static_cast<LONG>(0x80000001u);  // HKEY_CURRENT_USER as a Long
constexpr LONG kDword = 4;

// A String variable passed by reference, which the callee may replace.
struct Text {
    BSTR value;
    explicit Text(const std::wstring& text) : value(SysAllocStringLen(text.data(), UINT(text.size()))) {}
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    ~Text() { SysFreeString(value); }
    BSTR* ref() { return &value; }
};

std::wstring answer(LONG at, const std::wstring& mine, LONG value, const std::wstring& unique) {
    return std::to_wstring(at) + L"|" + mine + L"|" + std::to_wstring(value) + L"|" + unique;
}

// One thread's objects and the answers its calls give.
class Worker {
public:
    Worker(int index, const Sandbox& sandbox, const RegistryBranch& branch)
        : index_(index),
          key_(branch.path() + L"\\T" + std::to_wstring(index)),
          folder_(sandbox.path(L"t" + std::to_wstring(index))),
          text_(L"thread " + std::to_wstring(index) + L" says ," + std::to_wstring(index) + L",") {
        writeBytes(folder_ + L"\\settings.xml",
                   "<settings>\r\n<mine>" + std::to_string(index) + "</mine>\r\n</settings>\r\n");
        writeBytes(folder_ + L"\\taken.txt", "x");
    }

    // The answers of one round, the registry value read back being the one written.
    std::wstring round(LONG value) {
        return answer(search(), xmlMine(), registryRoundTrip(value), uniqueName());
    }

    void open() {
        strings_ = createByProgId<_CDataStructures3>(L"LARKLIB8.CDataStructures3");
        xml_ = createByProgId<_CXMLFile>(L"LARKLIB8.CXMLFile");
        registry_ = createByProgId<_CRegistry2>(L"LARKLIB8.CRegistry2");
        files_ = createByProgId<_CServicesFileUtilities2>(L"LARKLIB8.CServicesFileUtilities2");
    }
    void close() { strings_ = nullptr, xml_ = nullptr, registry_ = nullptr, files_ = nullptr; }

private:
    LONG search() {
        Text text(text_), comma(L",");
        LONG at = 0;
        return FAILED(strings_->lrkInstr(1, text.ref(), comma.ref(), vbBinaryCompare, &at)) ? -1 : at;
    }
    std::wstring xmlMine() {
        Text path(folder_ + L"\\settings.xml"), name(L"mine"), value(L""), fallback(L"none");
        VARIANT_BOOL opened = VARIANT_FALSE, found = VARIANT_FALSE, closed = VARIANT_FALSE;
        if (FAILED(xml_->OpenXMLFileForReading(path.ref(), &opened)) || !opened) return L"not opened";
        xml_->ReadProperty(name.ref(), value.ref(), fallback.ref(), &found);
        xml_->CloseXMLFile(1, &closed);
        return str(value.value);
    }
    LONG registryRoundTrip(LONG value) {
        unique_bstr key(SysAllocString(key_.c_str())), name(SysAllocString(L"round"));
        unique_variant written, read, fallback;
        written.vt = VT_I4, written.lVal = value;
        if (FAILED(registry_->SetRegistryValue(kCurrentUser, key.get(), name.get(), kDword, &written))) return -1;
        if (FAILED(registry_->GetRegistryValue(kCurrentUser, key.get(), name.get(), kDword, &fallback, &read)))
            return -2;
        return read.vt == VT_I4 ? read.lVal : -3;
    }
    std::wstring uniqueName() {
        Text proposed(folder_ + L"\\taken.txt");
        unique_bstr result;
        return FAILED(files_->UniqueFilePath(proposed.ref(), result.put())) ? L"failed" : str(result.get());
    }

    int index_;
    std::wstring key_, folder_, text_;
    ComPtr<_CDataStructures3> strings_;
    ComPtr<_CXMLFile> xml_;
    ComPtr<_CRegistry2> registry_;
    ComPtr<_CServicesFileUtilities2> files_;
};

TEST(Threads, EightApartmentsCallingAtOnceGetTheAnswersOfOne) {
    Sandbox sandbox;
    RegistryBranch branch(L"Threads");
    std::vector<std::unique_ptr<Worker>> workers;
    // The single-threaded answers, for each value written.
    std::array<std::function<std::wstring(LONG)>, kThreads> expected;
    for (int i = 0; i < kThreads; ++i) {
        sandbox.make({L"t" + std::to_wstring(i) + L"\\"});
        workers.push_back(std::make_unique<Worker>(i, sandbox, branch));
        workers[i]->open();
        const std::wstring first = workers[i]->round(7), unique = first.substr(first.rfind(L'|') + 1);
        workers[i]->close();
        expected[i] = [i, unique](LONG value) { return answer(15, std::to_wstring(i), value, unique); };
        EXPECT_EQ(first, expected[i](7));
    }
    EXPECT_EQ(expected[3](0), L"15|3|0|" + sandbox.path(L"t3\\taken1.txt"));

    std::array<int, kThreads> wrong{}, rounds{};
    std::array<std::wstring, kThreads> firstWrong;
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            workers[i]->open();
            for (int r = 0; r < kRounds; ++r, ++rounds[i]) {
                const LONG value = i * kRounds + r;
                const std::wstring got = workers[i]->round(value);
                if (got != expected[i](value) && wrong[i]++ == 0) firstWrong[i] = L"round " + std::to_wstring(r) + L": " + got;
            }
            workers[i]->close();
            CoUninitialize();
        });
    }
    for (auto& thread : threads) thread.join();
    for (int i = 0; i < kThreads; ++i) {
        EXPECT_EQ(rounds[i], kRounds);
        EXPECT_EQ(wrong[i], 0) << "thread " << i << ", first wrong answer in " << firstWrong[i];
    }
}

}  // namespace
}  // namespace lark::test
