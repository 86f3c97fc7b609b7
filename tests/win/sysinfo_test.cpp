// CVersion on fixture libraries and the library itself, CDeploy2 here; their rules are host-tested.
#include "support.hpp"

namespace lark::test {
namespace {

TEST(Version, ReadsTheFirstTranslationAndRaisesThePlatformsCode) {
    Sandbox box;
    std::string bytes = bytesOf(L"C:\\larklib\\fixtures\\version_full.dll");
    const size_t at = bytes.rfind(std::string("C\0o\0m\0p\0a\0n\0y\0N\0a\0m\0e\0", 22));
    bytes.replace(at - 4, 2, "\xFF\x7F");  // the entry's value length
    writeBytes(box.path(L"overlong.dll"), bytes);
    Cases c;
    c.let("overlong", box.path(L"overlong.dll"));
    c.run(R"(
both CVersion.Create @'C:\larklib\fixtures\version_full.dll' => Empty; 'C:\larklib\fixtures\version_full.dll'
CVersion.{FullFileVersion, FullProductVersion, FileVersionMajor, FileVersionMinor} => '1.2.3.4' | '5.6.7.8' | Long 65538 | Long 196612
CVersion.{ProductVersionMajor, ProductVersionMinor, BuildOptions, BuildString} => Long 327686 | Long 458760 | Long 33 | 'Debug SpecialBuild '
CVersion.{Environment, ExeType, TimeStamp} => 'Windows (16-bit) under MS-DOS' | 'Driver' | Date 12:00:00 AM
CVersion.{Company, Comments, Description} => 'Larkspur Test Works' | 'Fixture comments ' & ChrW(233) | 'Version fixture with every entry'
CVersion.{ProductVersionString, ProductVersion, FileVersionString} => '5.6.7.8 beta' | '5.6.7.8 beta' | '1.2.3.4 (fixture)'
CVersion.{InternalName, Copyright, Trademarks, OriginalFilename} => 'version_full' | 'Copyright (C) 2026 Larkspur' | 'Lark(TM)' | 'version_full.dll'
CVersion.{PrivateBuild, ProductName, SpecialBuild} => 'built by the tests' | 'Lark Fixtures' | 'special 0x20'
both CVersion.Custom @'BuildMachine' => 'fixture-host'; 'BuildMachine'
CVersion.Custom 'NoSuchEntry'      => ''
both CVersion.Custom @!vbNullString => ''; ''
# a failed read keeps nothing read before, and adds no text to the platform's code
CVersion.Create 'C:\larklib\fixtures\no_such_file.dll' => error 2 LARKLIB8
CVersion.{ExeName, FullFileVersion, ExeType, BuildOptions, Company} => '' | '' | '' | Long 0 | ''
# a missing name reads as "", for which the platform reports ERROR_BAD_PATHNAME
both CVersion.Create @!vbNullString => error 161 LARKLIB8; ''
CVersion.ExeName = 'C:\larklib\fixtures\version_large.dll' => Empty
CVersion.{ExeName, FullFileVersion, FileVersionMajor} => 'C:\larklib\fixtures\version_large.dll' | '-25536.-1.32767.-32768' | Long -1673461761
CVersion.{BuildString, ExeType, Company} => 'Debug Prerelease Patched PrivateBuild InfoInferred SpecialBuild ' | 'Font:TrueType' | 'Grosse Zahlen'
CVersion.ExeName = 'C:\larklib\fixtures\version_none.dll' => error 1812 LARKLIB8
# an empty translation table keeps nothing and raises nothing
CVersion.Create 'C:\larklib\fixtures\version_emptytrans.dll' => Empty
CVersion.FullFileVersion           => ''
# no translation table: the block stays, unnamed, its strings looked for where the last one pointed
CVersion.Create 'C:\larklib\fixtures\version_full.dll' => Empty
CVersion.Create 'C:\larklib\fixtures\version_notrans.dll' => error 1813 LARKLIB8
CVersion.{ExeName, FullFileVersion, Company} => '' | '9.8.7.6' | 'Nobody Finds Me'
# an entry claiming more than its block: the platform gives it no length, so nothing is read
CVersion.Create overlong           => Empty
CVersion.Company                   => ''
CVersion.Create 'C:\larklib\LARKLIB8.dll' => Empty
CVersion.{FullFileVersion, Company} => '2010.0.0.97' | 'LARKLIB8 developers'
)");
}

// Wine reports NT 6.1 to a 64-bit process, which is never under WOW64; the tests run as root.
TEST(Deploy, AnswersForThisSystem) {
    Cases().run(R"(
get CDeploy2.{IsWindowsXP, IsWindows200x, IsWindows9x, IsWindows98} => Boolean True | Boolean True | Boolean False | Boolean False
CDeploy2.{IsWindowsNT4, IsUnicodeSystem, IsAdministrator, Is64bit} => Boolean False | Boolean True | Boolean True | Boolean False
)");
}

}  // namespace
}  // namespace lark::test
