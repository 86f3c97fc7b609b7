' CVersion and CDeploy2 from a script: names passed in Variants to ByRef String parameters and
' written back, the errors a failed read raises, and methods read like properties.
Option Explicit
Dim v, d, path, name
Set v = CreateObject("LARKLIB8.CVersion")
path = "C:\larklib\fixtures\version_full.dll"
name = "BuildMachine"
v.Create path
WScript.Echo v.ExeName & " | " & path & " | " & v.Custom(name) & " | " & name & " | " & v.FullFileVersion

On Error Resume Next
v.ExeName = "C:\larklib\fixtures\no_such_file.dll"
WScript.Echo Err.Number & " | " & Err.Source & " | [" & Err.Description & "] | [" & v.ExeName & "]"
Err.Clear
v.Create "C:\larklib\fixtures\version_none.dll"
WScript.Echo Err.Number & " | " & Err.Source & " | [" & Err.Description & "]"
On Error GoTo 0

Set d = CreateObject("LARKLIB8.CDeploy2")
WScript.Echo d.IsWindowsXP & " " & d.IsWindows9x & " " & d.IsUnicodeSystem & " " & d.Is64bit
