#include "ui/CEmailMessage.hpp"

#include "files/ShellFolders.hpp"
#include "files/path_names.hpp"
#include "frame/errors.hpp"
#include "frame/message_box.hpp"
#include "frame/platform_text.hpp"
#include "frame/raii.hpp"

#include <mapi.h>

#include <cstring>
#include <string>
#include <vector>

namespace lark::ui {

using com::raises;
using com::traps;

namespace {

constexpr char16_t kTitle[] = u"Mail System";

// The self-test's recipient: a domain reserved for examples, so the message goes nowhere.
constexpr char16_t kTestName[] = u"LARKLIB8 Self-Test";
constexpr char16_t kTestAddress[] = u"SMTP:larklib8.selftest@example.com";

// What a send answers when there is no MAPI32.DLL to call: what the system's own answers when no
// mail client is installed.
constexpr ULONG kNoMapi = MAPI_E_NOT_SUPPORTED;

struct Recipient {
    std::u16string name, address;
};

struct Attachment {
    std::u16string pathName, fileName;
};

// A message as the members fill it; the send turns it into Simple MAPI's ANSI records.
struct Message {
    std::u16string subject, note;
    FLAGS flags = 0;
    std::vector<Recipient> recipients;
    std::vector<Attachment> files;
};

// The texts of the recipient and file records, each in a fixed block of the local heap of its own
// for as long as the provider has them; every block goes with this object, however the send ends.
class LocalTexts {
public:
    char* add(std::u16string_view text) {
        const std::string ansi = com::toAnsi(text);
        com::unique_hlocal block(LocalAlloc(LMEM_FIXED, ansi.size() + 2));
        if (!block) raise(errOutOfMemory);
        char* copy = static_cast<char*>(block.get());
        std::memcpy(copy, ansi.c_str(), ansi.size() + 1);
        blocks_.push_back(std::move(block));
        return copy;
    }

private:
    std::vector<com::unique_hlocal> blocks_;
};

// MAPI32.DLL is loaded for each message, so the mail client set up at that moment gets it, and
// nothing of it stays in the process afterwards.
ULONG mapiSendMail(MapiMessage& message, FLAGS flags) {
    const com::unique_hmodule mapi(LoadLibraryA("MAPI32.DLL"));
    const auto send =
        mapi
            ? reinterpret_cast<LPMAPISENDMAIL>(reinterpret_cast<void (*)()>(GetProcAddress(mapi.get(), "MAPISendMail")))
            : nullptr;
    return send ? send(0, 0, &message, flags, 0) : kNoMapi;
}

// Sends the message with the given MAPISendMail flags and returns the provider's answer. Raises
// when the records cannot be built; nothing is sent then.
ULONG sendMapiMessage(const Message& message, FLAGS flags) {
    LocalTexts texts;
    std::vector<MapiRecipDesc> recipients;
    for (const Recipient& r : message.recipients)
        recipients.push_back({0, MAPI_TO, texts.add(r.name), texts.add(r.address), 0, nullptr});
    std::vector<MapiFileDesc> files;
    for (const Attachment& f : message.files)
        files.push_back({0, 0, 0, texts.add(f.pathName), texts.add(f.fileName), nullptr});
    std::string subject = com::toAnsi(message.subject), note = com::toAnsi(message.note);
    MapiMessage record{};
    record.lpszSubject = subject.data();
    record.lpszNoteText = note.data();
    record.flFlags = message.flags;
    record.nRecipCount = static_cast<ULONG>(recipients.size());
    record.lpRecips = recipients.empty() ? nullptr : recipients.data();
    record.nFileCount = static_cast<ULONG>(files.size());
    record.lpFiles = files.empty() ? nullptr : files.data();
    return mapiSendMail(record, flags);
}

// Simple MAPI is part of every system the library runs on: MAPI32.DLL hands the message to
// whatever client is installed, and tells the user itself when there is none.
constexpr bool mapiAvailable() { return true; }

// The self-test: a receipt asked for, one recipient, and the Windows folder's win.ini attached.
Message testMessage() {
    Message m{u"Test message", u"I hope this arrives OK", MAPI_RECEIPT_REQUESTED, {{kTestName, kTestAddress}}, {}};
    m.files.push_back({files::ShellFolders().WindowsPath() + u"win.ini", u"win.ini"});
    return m;
}

std::u16string sendError(ULONG code) {
    return u"Error sending message. Message has not been sent.\r\rMAPISendMessage returned with error " +
           com::fromAnsi(std::to_string(static_cast<LONG>(code)));
}

}  // namespace

// Traps: reports through its message boxes only. Records that cannot be built count as a send
// that ran out of memory.
HRESULT CEmailMessage::MAPItest() {
    return traps([&] {
        if (!mapiAvailable()) {
            com::showMessage(u"MAPI is not available.", kTitle, MB_OK);
            return;
        }
        ULONG code = MAPI_E_INSUFFICIENT_MEMORY;
        stopOnError([&] { code = sendMapiMessage(testMessage(), 0); });
        if (code != SUCCESS_SUCCESS) com::showMessage(sendError(code), kTitle, MB_OK);
    });
}

// Traps (stop and return): False unless the provider accepted the message.
HRESULT CEmailMessage::Send(BSTR EmailAddress, BSTR Subject, BSTR Body, BSTR AttachmentFilePath, VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        Message message{std::u16string(com::view(Subject)), std::u16string(com::view(Body)), 0, {}, {}};
        if (const files::Units path = com::view(AttachmentFilePath); !path.empty())
            message.files.push_back({std::u16string(path), std::u16string(files::FileNameFromPath(path))});
        if (const files::Units address = com::view(EmailAddress); !address.empty())
            message.recipients.push_back({std::u16string(address), u"SMTP:" + std::u16string(address)});
        *result = com::variantBool(sendMapiMessage(message, MAPI_DIALOG) == SUCCESS_SUCCESS);
    });
}

// Raises (nothing can fail). An address is as wide as a pointer: a Long in the 32-bit library, a
// LongLong in the 64-bit one. The variable itself is left as it is.
HRESULT CEmailMessage::GetLongAddr(LONG* var, VARIANT* result) {
    return raises(result, [&] {
        VariantInit(result);
        if constexpr (sizeof var == 4) {
            result->vt = VT_I4;
            result->lVal = static_cast<LONG>(reinterpret_cast<INT_PTR>(var));
        } else {
            result->vt = VT_I8;
            result->llVal = reinterpret_cast<INT_PTR>(var);
        }
    });
}

// Raises (nothing can fail).
HRESULT CEmailMessage::MAPIAvailable(VARIANT_BOOL* result) {
    return raises(result, [&] { *result = com::variantBool(mapiAvailable()); });
}

}  // namespace lark::ui
