' Exporting a registry branch to a .reg file with CRegistry2 and importing it again: an
' application's options saved before an upgrade, the branch removed, then restored from the file.
Option Explicit

Const HKEY_CURRENT_USER = &H80000001
Const REG_SZ = 1, REG_DWORD = 4
Const Branch = "Software\LarkLib8 Example"

Dim reg, folders, regFile
Set reg = CreateObject("LARKLIB8.CRegistry2")
Set folders = CreateObject("LARKLIB8.CServicesSpecialFolders2")
regFile = folders.TemporaryPath & "larklib_example_options.reg"

' The branch: two keys with a few values.
reg.SetRegistryValue HKEY_CURRENT_USER, Branch, "", REG_SZ, "Example options"
reg.SetRegistryValue HKEY_CURRENT_USER, Branch, "DataFolder", REG_SZ, "C:\Data\Reports"
reg.SetRegistryValue HKEY_CURRENT_USER, Branch, "RunCount", REG_DWORD, 42
reg.SetRegistryValue HKEY_CURRENT_USER, Branch & "\Window", "Left", REG_DWORD, 120
reg.SetRegistryValue HKEY_CURRENT_USER, Branch & "\Window", "Title", REG_SZ, "Reports"

' Export the key and its subkeys; the file is plain REGEDIT4 text.
reg.SaveRegToFile HKEY_CURRENT_USER, Branch, regFile
Dim utilities, lines, i
Set utilities = CreateObject("LARKLIB8.CServicesFileUtilities2")
WScript.Echo "Exported to a .reg file:"
lines = Split(utilities.GetTextFileContents(regFile), vbCrLf)
For i = 0 To UBound(lines) - 1  ' the last line ends the file too
    If lines(i) = "" Then WScript.Echo "" Else WScript.Echo "  " & lines(i)
Next

' Remove the branch, then import the file. ApplyRegFile starts the registry editor and returns at
' once, so wait until the imported values are back (a script on Windows would use WScript.Sleep).
WScript.Echo "Branch deleted: " & reg.DeleteRegistryKeyDeep(HKEY_CURRENT_USER, Branch)
WScript.Echo "Branch there: " & reg.CheckRegistryKey(HKEY_CURRENT_USER, Branch)
reg.ApplyRegFile regFile
Dim started
started = Timer
Do Until reg.CheckRegistryValue(HKEY_CURRENT_USER, Branch & "\Window", "Title", REG_SZ) Or Timer - started > 20
Loop
WScript.Echo "Imported again:"
WScript.Echo "  DataFolder = " & reg.GetRegistryValue(HKEY_CURRENT_USER, Branch, "DataFolder", REG_SZ)
WScript.Echo "  RunCount = " & reg.GetRegistryValue(HKEY_CURRENT_USER, Branch, "RunCount", REG_DWORD)
WScript.Echo "  Window\Title = " & reg.GetRegistryValue(HKEY_CURRENT_USER, Branch & "\Window", "Title", REG_SZ)
' A value that is missing gives the default the caller passes.
WScript.Echo "  Window\Width = " & reg.GetRegistryValue(HKEY_CURRENT_USER, Branch & "\Window", "Width", REG_DWORD, 800)

' Tidy up: the example's branch and its file.
reg.DeleteRegistryKeyDeep HKEY_CURRENT_USER, Branch
CreateObject("LARKLIB8.CServicesFileIO2").DeleteFile regFile
WScript.Echo "Cleaned up: " & (Not reg.CheckRegistryKey(HKEY_CURRENT_USER, Branch))
