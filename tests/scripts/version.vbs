' A script client of CVersion: reads a fixture's version resource late-bound, by Create and by
' assigning ExeName, and sees the error numbers of files it cannot read.
Option Explicit

Dim v, path, name
Set v = CreateObject("LARKLIB8.CVersion")
WScript.Echo "Before Create: [" & v.FullFileVersion & "] [" & v.Company & "] " & v.FileVersionMajor

path = "C:\larklib\fixtures\version_full.dll"
v.Create path
WScript.Echo "ExeName: " & v.ExeName
WScript.Echo "FullFileVersion: " & v.FullFileVersion
WScript.Echo "FullProductVersion: " & v.FullProductVersion
WScript.Echo "FileVersionMajor: " & v.FileVersionMajor & " FileVersionMinor: " & v.FileVersionMinor
WScript.Echo "ProductVersionMajor: " & v.ProductVersionMajor & " ProductVersionMinor: " & v.ProductVersionMinor
WScript.Echo "BuildOptions: " & v.BuildOptions & " BuildString: [" & v.BuildString & "]"
WScript.Echo "Environment: " & v.Environment
WScript.Echo "ExeType: " & v.ExeType
WScript.Echo "TimeStamp: " & CDbl(v.TimeStamp)
WScript.Echo "Company: " & v.Company
WScript.Echo "Description: " & v.Description
WScript.Echo "FileVersionString: " & v.FileVersionString
WScript.Echo "ProductVersion: " & v.ProductVersion & " | " & v.ProductVersionString
WScript.Echo "Copyright: " & v.Copyright & " | Trademarks: " & v.Trademarks
WScript.Echo "SpecialBuild: " & v.SpecialBuild & " | PrivateBuild: " & v.PrivateBuild
name = "BuildMachine"
WScript.Echo "Custom BuildMachine: " & v.Custom(name) & " (name still " & name & ")"
WScript.Echo "Custom missing: [" & v.Custom("NoSuchEntry") & "]"

v.ExeName = "C:\larklib\fixtures\version_large.dll"
WScript.Echo "Large: " & v.FullFileVersion & " " & v.ExeType & " " & v.Company

On Error Resume Next
v.Create "C:\larklib\fixtures\no_such_file.dll"
WScript.Echo "Missing file: " & Err.Number & " ExeName [" & v.ExeName & "] version [" & v.FullFileVersion & "]"
Err.Clear
v.ExeName = "C:\larklib\fixtures\version_none.dll"
WScript.Echo "No resource: " & Err.Number
Err.Clear
