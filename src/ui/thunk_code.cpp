#include "ui/thunk_code.hpp"

#include <cstddef>

namespace lark::ui {

namespace {
// Writes value into code at offset `at`, lowest byte first.
template <class T>
void put(StubCode& code, size_t at, T value) {
    for (size_t i = 0; i < sizeof(T); ++i)
        code[at + i] = static_cast<uint8_t>(value >> (8 * i));
}
}  // namespace

StubCode x86Stub(uint32_t object, uint32_t procedure) {
    StubCode code{0xFF, 0x34, 0x24,           // push dword [esp]
                  0xB8, 0,    0,    0,    0,  // mov eax, object
                  0x89, 0x44, 0x24, 0x04,     // mov [esp+4], eax
                  0x90, 0x90, 0x90,           // nop (filler)
                  0xB8, 0,    0,    0,    0,  // mov eax, procedure
                  0xFF, 0xE0,                 // jmp eax
                  0x90, 0x90};                // nop (filler)
    put(code, 4, object);
    put(code, 16, procedure);
    return code;
}

StubCode x64Stub(uint64_t object, uint64_t trampoline) {
    StubCode code{0x49, 0xBA, 0, 0, 0, 0, 0, 0, 0, 0,  // mov r10, object
                  0x48, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0,  // mov rax, trampoline
                  0xFF, 0xE0,                          // jmp rax
                  0x90, 0x90};                         // nop (filler)
    put(code, 2, object);
    put(code, 12, trampoline);
    return code;
}

}  // namespace lark::ui
