// The x86 thunk stub, which cannot run here (distinct bytes show each slot's place and byte order),
// and the dialogs' filter text.
#include <gtest/gtest.h>

#include "ui/dialog_text.hpp"
#include "ui/thunk_code.hpp"

TEST(ThunkCode, X86StubCarriesTheObjectAndTheProcedureInItsSlots) {
    EXPECT_EQ(lark::ui::x86Stub(0x11223344, 0x55667788),
              (lark::ui::StubCode{0xFF, 0x34, 0x24, 0xB8, 0x44, 0x33, 0x22, 0x11, 0x89, 0x44, 0x24, 0x04,
                                  0x90, 0x90, 0x90, 0xB8, 0x88, 0x77, 0x66, 0x55, 0xFF, 0xE0, 0x90, 0x90}));
}

TEST(DialogText, FilterSeparatorsAndColonsBecomeNuls) {
    using namespace std::literals;
    EXPECT_EQ(lark::ui::dialogFilter(u"All:*.*|Text|*.txt"), u"All\0*.*\0Text\0*.txt\0\0"s);
}
