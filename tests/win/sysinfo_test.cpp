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
CVersion.FullFileVersion           => '1.2.3.4'
CVersion.FullProductVersion        => '5.6.7.8'
CVersion.FileVersionMajor          => Long 65538
CVersion.FileVersionMinor          => Long 196612
CVersion.ProductVersionMajor       => Long 327686
CVersion.ProductVersionMinor       => Long 458760
CVersion.BuildOptions              => Long 33
CVersion.BuildString               => 'Debug SpecialBuild '
CVersion.Environment               => 'Windows (16-bit) under MS-DOS'
CVersion.ExeType                   => 'Driver'
CVersion.TimeStamp                 => Date 12:00:00 AM
CVersion.Company                   => 'Larkspur Test Works'
CVersion.Comments                  => 'Fixture comments ' & ChrW(233)
CVersion.Description               => 'Version fixture with every entry'
CVersion.ProductVersionString      => '5.6.7.8 beta'
CVersion.ProductVersion            => '5.6.7.8 beta'
CVersion.FileVersionString         => '1.2.3.4 (fixture)'
CVersion.InternalName              => 'version_full'
CVersion.Copyright                 => 'Copyright (C) 2026 Larkspur'
CVersion.Trademarks                => 'Lark(TM)'
CVersion.OriginalFilename          => 'version_full.dll'
CVersion.PrivateBuild              => 'built by the tests'
CVersion.ProductName               => 'Lark Fixtures'
CVersion.SpecialBuild              => 'special 0x20'
both CVersion.Custom @'BuildMachine' => 'fixture-host'; 'BuildMachine'
CVersion.Custom 'NoSuchEntry'      => ''
both CVersion.Custom @!vbNullString => ''; ''
# a failed read keeps nothing read before, and adds no text to the platform's code
CVersion.Create 'C:\larklib\fixtures\no_such_file.dll' => error 2 LARKLIB8
CVersion.ExeName                   => ''
CVersion.FullFileVersion           => ''
CVersion.ExeType                   => ''
CVersion.BuildOptions              => Long 0
CVersion.Company                   => ''
# a missing name reads as "", for which the platform reports ERROR_BAD_PATHNAME
both CVersion.Create @!vbNullString => error 161 LARKLIB8; ''
CVersion.ExeName = 'C:\larklib\fixtures\version_large.dll' => Empty
CVersion.ExeName                   => 'C:\larklib\fixtures\version_large.dll'
CVersion.FullFileVersion           => '-25536.-1.32767.-32768'
CVersion.FileVersionMajor          => Long -1673461761
CVersion.BuildString               => 'Debug Prerelease Patched PrivateBuild InfoInferred SpecialBuild '
CVersion.ExeType                   => 'Font:TrueType'
CVersion.Company                   => 'Grosse Zahlen'
CVersion.ExeName = 'C:\larklib\fixtures\version_none.dll' => error 1812 LARKLIB8
# an empty translation table keeps nothing and raises nothing
CVersion.Create 'C:\larklib\fixtures\version_emptytrans.dll' => Empty
CVersion.FullFileVersion           => ''
# no translation table: the block stays, unnamed, its strings looked for where the last one pointed
CVersion.Create 'C:\larklib\fixtures\version_full.dll' => Empty
CVersion.Create 'C:\larklib\fixtures\version_notrans.dll' => error 1813 LARKLIB8
CVersion.ExeName                   => ''
CVersion.FullFileVersion           => '9.8.7.6'
CVersion.Company                   => 'Nobody Finds Me'
# an entry claiming more than its block: the platform gives it no length, so nothing is read
CVersion.Create overlong           => Empty
CVersion.Company                   => ''
CVersion.Create 'C:\larklib\LARKLIB8.dll' => Empty
CVersion.FullFileVersion           => '2010.0.0.97'
CVersion.Company                   => 'LARKLIB8 developers'
)");
}

// Wine reports NT 6.1 to a 64-bit process, which is never under WOW64; the tests run as root.
TEST(Deploy, AnswersForThisSystem) {
    Cases().run(R"(
get CDeploy2.IsWindowsXP           => Boolean True
CDeploy2.IsWindows200x             => Boolean True
CDeploy2.IsWindows9x               => Boolean False
CDeploy2.IsWindows98               => Boolean False
CDeploy2.IsWindowsNT4              => Boolean False
CDeploy2.IsUnicodeSystem           => Boolean True
CDeploy2.IsAdministrator           => Boolean True
CDeploy2.Is64bit                   => Boolean False
)");
}

}  // namespace
}  // namespace lark::test
