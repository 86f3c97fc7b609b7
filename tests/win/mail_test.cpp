// Mail through the system's Simple MAPI: the prefix's default mail client is the recording provider
// of fixtures/mapi_recorder.c, which writes down each message it gets as one line.
#include "support.hpp"

#include <set>

namespace lark::test {
namespace {

// LARKLIB8's blocks of the local heap, seen through its imports of LocalAlloc and LocalFree: the
// sizes allocated, those still live, frees of anything else, and an allocation made to fail.
struct LocalHeap {
    std::string sizes;
    std::set<HLOCAL> live;
    int stray = 0, calls = 0, failAt = 0;
} heap;

HLOCAL WINAPI countedAlloc(UINT flags, SIZE_T bytes) {
    HLOCAL block = ++heap.calls == heap.failAt ? nullptr : LocalAlloc(flags, bytes);
    if (block)
        heap.sizes.append(heap.sizes.empty() ? 0 : 1, ' ').append(std::to_string(bytes)), heap.live.insert(block);
    return block;
}
HLOCAL WINAPI countedFree(HLOCAL block) {
    heap.stray += block && !heap.live.erase(block);
    return LocalFree(block);
}

// Points the library's import slots of the two functions at the counting ones; answers how many.
int countLocalHeap() {
    return redirectLibraryImports({{"LocalAlloc", reinterpret_cast<void*>(&countedAlloc)},
                                   {"LocalFree", reinterpret_cast<void*>(&countedFree)}});
}

// No default mail client while it lives; then the recorder, as the prefix set it up, again.
struct NoMailClient {
    static constexpr wchar_t kMail[] = L"Software\\Clients\\Mail", kRecorder[] = L"LarkLib8 Recorder";
    NoMailClient() { RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kMail, nullptr); }
    ~NoMailClient() { RegSetKeyValueW(HKEY_LOCAL_MACHINE, kMail, nullptr, REG_SZ, kRecorder, sizeof kRecorder); }
};

// Cases with the object m. Each call is checked for what the provider recorded ("" when it was
// not called) and for the sizes of the local blocks the message was built in, all of them freed.
class Mail : public testing::Test {
protected:
    Mail() {
        c.let("m", createByProgId<IDispatch>(L"LARKLIB8.CEmailMessage").get());
        static const int hooked = countLocalHeap();
        EXPECT_EQ(2, hooked);
        SetEnvironmentVariableW(L"LARK_MAPI_RECORD", box.path(L"sent.txt").c_str());
    }
    ~Mail() override { SetEnvironmentVariableW(L"LARK_MAPI_ANSWER", nullptr); }
    void send(const std::string& call, const char* answer, std::string recorded, const char* sizes, int failAt = 0) {
        SetEnvironmentVariableA("LARK_MAPI_ANSWER", answer), heap = {{}, {}, 0, 0, failAt};
        if (const size_t at = recorded.find('#'); at != recorded.npos) recorded.replace(at, 1, kTo);
        c.run(call);
        EXPECT_EQ(recorded, box.read(L"sent.txt")) << call;
        EXPECT_TRUE(sizes == heap.sizes && heap.live.empty() && !heap.stray) << call << ": " << heap.sizes;
        DeleteFileW(box.path(L"sent.txt").c_str());
    }
    static constexpr char kTo[] = ", to 'ann@example.org' 'SMTP:ann@example.org'";
    Sandbox box;
    Cases c;
};

TEST_F(Mail, SendHandsTheMessageToTheMailClientWithItsDialog) {
    send("m.Send 'ann@example.org', 'Caf' & ChrW(233), 'Body', 'C:\\docs\\r.txt' => Boolean True", "0",
         "flags 8, subject 'Caf\xE9', note 'Body'#, file 'C:\\docs\\r.txt' 'r.txt'\n", "17 22 15 7");
    send("m.Send '', '', '', '' => Boolean True", "0", "flags 8, subject '', note ''\n", "");
    send("m.Send 'ann@example.org', 'S', 'B', '' => Boolean True", "0", "flags 8, subject 'S', note 'B'#\n", "17 22");
    send("m.Send '', vbNullString, 'B', 'r.txt' => Boolean True", "0",
         "flags 8, subject '', note 'B', file 'r.txt' ''\n", "7 2");
    // The user cancelled the compose dialog.
    send("m.Send 'ann@example.org', 'S', 'B', '' => Boolean False", "1", "flags 8, subject 'S', note 'B'#\n", "17 22");
    // Out of memory at each block in turn: nothing is sent.
    int failAt = 1;
    for (const char* sizes : {"", "17", "17 22", "17 22 7"})
        send("m.Send 'ann@example.org', 'S', 'B', 'r.txt' => Boolean False", "0", "", sizes, failAt++);
}

TEST_F(Mail, MAPItestReportsErrorsInABoxAndNoClientGetsNothing) {
    std::vector<std::wstring> texts;
    MessageBoxAnswerer ours(L"Mail System", [&](HWND b) { texts.push_back(messageText(b)), press(b, IDOK); });
    const char* test =
        "flags 0, subject 'Test message', note 'I hope this arrives OK', message flags 2, to 'LARKLIB8 "
        "Self-Test' 'SMTP:larklib8.selftest@example.com', file 'C:\\windows\\win.ini' 'win.ini'\n";
    send("m.MAPItest => Empty", "0", test, "20 36 20 9");
    send("m.MAPItest => Empty", "3", test, "20 36 20 9");
    {
        NoMailClient none;
        MessageBoxAnswerer system(L"Send Mail", [](HWND b) { press(b, IDOK); });
        send("m.Send 'ann@example.org', 'S', 'B', 'r.txt' => Boolean False", "0", "", "17 22 7 2");
        send("m.MAPItest => Empty", "0", "", "20 36 20 9");
        EXPECT_EQ(2, system.seen());
    }
    send("m.MAPItest => Empty", "0", test, "20 36 20 9");
    const std::wstring error =
        L"Error sending message. Message has not been sent.\r\rMAPISendMessage returned with error ";
    EXPECT_EQ((std::vector<std::wstring>{error + L"3", error + L"26"}), texts);
}

// The address is the variable's own, as wide as a pointer.
TEST_F(Mail, MAPIAvailableAndGetLongAddr) {
    c.run("m.MAPIAvailable => Boolean True");
    LONG variable = 5;
    unique_variant address;
    EXPECT_EQ(S_OK, c.object("m").query<_CEmailMessage>()->GetLongAddr(&variable, &address));
    EXPECT_TRUE(address.vt == VT_I8 && address.llVal == LONG_PTR(&variable) && variable == 5) << show(address);
}

}  // namespace
}  // namespace lark::test
