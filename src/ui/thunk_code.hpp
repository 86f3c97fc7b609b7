// The machine code of a window-procedure thunk: a 24-byte stub that inserts a fixed first
// argument (the receiving object) in front of the four it was called with and goes on to a fixed
// procedure. Portable: the bytes are only data here; the library writes them into the caller's
// record and makes that memory executable.
#pragma once

#include <array>
#include <cstdint>

namespace lark::ui {

using StubCode = std::array<uint8_t, 24>;

// x86, stdcall: duplicates the return address, overwrites its lower copy with the object and
// jumps to `procedure`, which takes five arguments, pops them all and returns to the caller.
StubCode x86Stub(uint32_t object, uint32_t procedure);

// x64: loads the object into r10 and jumps to `trampoline`, which moves the four register
// arguments one place on and calls the shared procedure with the object first.
StubCode x64Stub(uint64_t object, uint64_t trampoline);

}  // namespace lark::ui
