' LARKLIB8 demo: the string functions of CDataStructures3, called late-bound from VBScript.
Option Explicit

Dim ds, s, parts, i, c, item
Set ds = CreateObject("LARKLIB8.CDataStructures3")

s = "The quick brown fox jumps over the lazy dog"
WScript.Echo "Text:                          " & s
WScript.Echo "lrkInstr(1, s, ""FOX"", text)    = " & ds.lrkInstr(1, s, "FOX", 1)
WScript.Echo "lrkInstr(1, s, ""FOX"", binary)  = " & ds.lrkInstr(1, s, "FOX", 0)
WScript.Echo "lrkInstrRev(s, ""the"")          = " & ds.lrkInstrRev(s, "the")
WScript.Echo "lrkInChar(1, s, 32, binary)    = " & ds.lrkInChar(1, s, 32, 0)
WScript.Echo "lrkInCharRev(s, 32, binary)    = " & ds.lrkInCharRev(s, 32, 0)
WScript.Echo "QuickMid(s, 5, text)           = " & ds.QuickMid(s, 5, 1)

ds.lrkReplaceChar 1, s, 32, 95, 0
WScript.Echo "lrkReplaceChar spaces to _     : " & s

s = "alpha,,beta,""gamma,delta"",epsilon"
WScript.Echo "CSV line:                      " & s
parts = ds.FastSplit2(s, 44, , , True)
WScript.Echo "FastSplit2 with quotes gives four fields: " & ds.ValidateStringVector(parts, 4)
parts = ds.FastTokenize(s, 44)
WScript.Echo "FastTokenize without quotes gives five:  " & ds.ValidateStringVector(parts, 5)

parts = Array("  padded  ", "   ", "kept")
ds.TrimStringVector parts
s = ""
For i = LBound(parts) To UBound(parts)
    s = s & "[" & parts(i) & "]"
Next
WScript.Echo "TrimStringVector leaves " & (UBound(parts) + 1) & " elements: " & s

s = """quoted"""
ds.StripQuotes s
WScript.Echo "StripQuotes(""""quoted"""")     : " & s

WScript.Echo "IsEqualString(""abc"", ""ABC"", text)= " & ds.IsEqualString("abc", "ABC", 1)
WScript.Echo "CompareStrings(""apple"", ""Banana"")= " & ds.CompareStrings("apple", "Banana")

Set c = ds.lrkJoinCollections(Nothing, Nothing)
c.Add "one", "k1"
c.Add "two", "k2"
Set c = ds.lrkJoinCollections(c, c)
WScript.Echo "lrkJoinCollections of a collection with itself has " & c.Count & " items:"
For Each item In c
    WScript.Echo "  " & item
Next

On Error Resume Next
i = ds.lrkInstr(0, "abc", "b", 0)
WScript.Echo "lrkInstr with start 0 raises error " & Err.Number & " from " & Err.Source & ": " & Err.Description
On Error GoTo 0

' CCommandLine: parameters of a command line, quotes honoured.
Dim cl, line
Set cl = CreateObject("LARKLIB8.CCommandLine")
cl.CommandLine = "setup.exe /install ""C:\Program Files\App"" /quiet"
line = ""
For i = 1 To cl.ParameterCount
    line = line & "[" & cl.Parameter(i) & "]"
Next
WScript.Echo "CCommandLine: " & cl.ParameterCount & " parameters " & line & ", malformed " & cl.Malformed

' CServicesInputOutput: sort names and sizes together; the bounds come back in l and r.
Dim io, names, sizes, l, r
Set io = CreateObject("LARKLIB8.CServicesInputOutput")
names = Array("pear", "Apple", "fig")
sizes = Array(3, 1, 2)
io.QuickSortStringLong names, sizes
line = ""
For i = 0 To 2
    line = line & names(i) & "=" & sizes(i) & " "
Next
WScript.Echo "QuickSortStringLong: " & line
l = -1: r = -1
io.QuickSort names, l, r
WScript.Echo "QuickSort wrote back the bounds " & l & " to " & r

' CServicesFileNames2 and CServicesSpecialFolders2: path names and the shell's folders.
Dim fn, sf, p
Set fn = CreateObject("LARKLIB8.CServicesFileNames2")
Set sf = CreateObject("LARKLIB8.CServicesSpecialFolders2")
p = "file:///C:/My%20Files/report.txt"
fn.FixFileProtocol p
WScript.Echo "FixFileProtocol: " & p & " (base name " & fn.GetBaseName(p) & ", extension " & fn.ExtensionFromPath(p) & ")"
p = sf.DocumentsPath & "letters\a.txt"
WScript.Echo "BeautifyPath: " & fn.BeautifyPath(p)
p = "a:b?.txt"
WScript.Echo "ValidateFileName(""a:b?.txt"", True) = " & fn.ValidateFileName(p, True) & " -> " & p

Dim dep
Set dep = CreateObject("LARKLIB8.CDeploy2")
WScript.Echo "CDeploy2: XP or later " & dep.IsWindowsXP & ", 9x " & dep.IsWindows9x & ", Unicode " & dep.IsUnicodeSystem & ", 32-bit on 64-bit " & dep.Is64bit

' CXMLFile: saves settings, then reads them back in a new object.
Dim xml, settingsPath, value
settingsPath = CreateObject("Scripting.FileSystemObject").GetSpecialFolder(2).Path & "\lark_demo_settings.xml"
Set xml = CreateObject("LARKLIB8.CXMLFile")
xml.OpenXMLFileForWriting settingsPath
xml.WriteAnnouncementTag
xml.WriteOpenTag "Window"
xml.WriteProperty "Left", "120"
xml.WriteProperty "Caption", "Lark demo"
xml.WriteCloseTag "Window"
xml.CloseXMLFile 2
Set xml = CreateObject("LARKLIB8.CXMLFile")
xml.OpenXMLFileForReading settingsPath
xml.ReadWithinTags "window"
xml.ReadProperty "caption", value
WScript.Echo "CXMLFile: Left " & xml.ReadPropertyLong("Left") & ", Caption " & value
Set xml = Nothing

' CRegistry2: a value written and read back in a branch of its own.
Const HKCU = &H80000001
Dim reg
Set reg = CreateObject("LARKLIB8.CRegistry2")
reg.SetRegistryValue HKCU, "Software\LarkLib8Demo", "LastRun", 1, "today"
WScript.Echo "CRegistry2: LastRun = " & reg.GetRegistryValue(HKCU, "Software\LarkLib8Demo", "LastRun", 1)
reg.DeleteRegistryKeyDeep HKCU, "Software\LarkLib8Demo"

' CVersion: the library's own version resource, from the file its registration names.
Const HKCR = &H80000000
Dim ver, clsid, dllPath
clsid = reg.GetRegistryValue(HKCR, "LARKLIB8.CVersion\CLSID", "", 1)
dllPath = reg.GetRegistryValue(HKCR, "CLSID\" & clsid & "\InprocServer32", "", 1)
Set ver = CreateObject("LARKLIB8.CVersion")
ver.Create dllPath
WScript.Echo "CVersion: " & fn.FileNameFromPath(dllPath) & " " & ver.FullFileVersion

' CServicesFileIO2 and CServicesFileInfo2: the settings file removed again.
Dim fileIO, info
Set fileIO = CreateObject("LARKLIB8.CServicesFileIO2")
Set info = CreateObject("LARKLIB8.CServicesFileInfo2")
fileIO.DeleteFile settingsPath
WScript.Echo "CServicesFileIO2: settings file deleted " & (Not info.FileExists(settingsPath))
