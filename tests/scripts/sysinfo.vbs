' CVersion and CDeploy2 from a script: names passed in Variants to ByRef String parameters and
' written back, the errors a failed read raises, and methods read like properties.
Option Explicit
Dim v, d, path, name
Set v = CreateObject("LARKLIB8.CVersion")
path = "C:\larklib\fixtures\version_full.dll"
name = "BuildMachine"
v.Create path
WScript.Echo v.ExeName & " | " & path & " | " & v.Custom(name) & " | " & name & " | " & v.FullFileVersion
'=> C:\larklib\fixtures\version_full.dll | C:\larklib\fixtures\version_full.dll | fixture-host | BuildMachine | 1.2.3.4
On Error Resume Next
v.ExeName = "C:\larklib\fixtures\no_such_file.dll"
WScript.Echo Err.Number & " | " & Err.Source & " | [" & Err.Description & "] | [" & v.ExeName & "]"  '=> 2 | LARKLIB8 | [] | []
Err.Clear
v.Create "C:\larklib\fixtures\version_none.dll"
WScript.Echo Err.Number & " | " & Err.Source & " | [" & Err.Description & "]"  '=> 1812 | LARKLIB8 | []
On Error GoTo 0
Set d = CreateObject("LARKLIB8.CDeploy2")
WScript.Echo d.IsWindowsXP & " " & d.IsWindows9x & " " & d.IsUnicodeSystem & " " & d.Is64bit  '=> True False True False
