' A script client of CRegistry2: writes, reads and enumerates values in a branch of its own and
' saves the branch to a .reg file, which it reads back.
Option Explicit

Const HKCU = &H80000001
Const REG_SZ = 1
Const REG_DWORD = 4

Dim reg, key, v, i, fso, file, lines
Set reg = CreateObject("LARKLIB8.CRegistry2")
key = "Software\LarkLib8Tests\Script"
reg.DeleteRegistryKeyDeep HKCU, key

WScript.Echo "CreateRegistryKey (new, again): " & reg.CreateRegistryKey(HKCU, key) & " " & reg.CreateRegistryKey(HKCU, key)
reg.SetRegistryValue HKCU, key, "Name", REG_SZ, "Lark"
reg.SetRegistryValue HKCU, key, "Count", REG_DWORD, 41
reg.SetRegistryValue HKCU, key & "\Sub", "Folder", REG_SZ, "C:\Temp"
reg.SetRegistryValue HKCU, key & "\Sub", "", REG_SZ, "default"
WScript.Echo "Name: " & reg.GetRegistryValue(HKCU, key, "Name", REG_SZ)
WScript.Echo "Count + 1: " & (reg.GetRegistryValue(HKCU, key, "Count", REG_DWORD) + 1)
WScript.Echo "Missing: " & reg.GetRegistryValue(HKCU, key, "Missing", REG_SZ, "fallback")
WScript.Echo "Without a default, VarType: " & VarType(reg.GetRegistryValue(HKCU, key, "Missing", REG_SZ))
WScript.Echo "Types: " & reg.GetRegistryValueType(HKCU, key, "Name") & " " & reg.GetRegistryValueType(HKCU, key, "Count")
WScript.Echo "CheckRegistryKey: " & reg.CheckRegistryKey(HKCU, key & "\Sub") & " " & reg.CheckRegistryKey(HKCU, key & "\None", True)
WScript.Echo "View64 stays False: " & reg.View64

v = reg.EnumRegistryValues(HKCU, key)
WScript.Echo "Values: " & (UBound(v, 2) + 1)
For i = 0 To UBound(v, 2)
    WScript.Echo "  " & v(0, i) & " = " & v(1, i)
Next
WScript.Echo "Subkeys are an array: " & IsArray(reg.EnumRegistryKeys(HKCU, key))

Set fso = CreateObject("Scripting.FileSystemObject")
file = "C:\larklib\scripts\registry.reg"
reg.SaveRegToFile HKCU, key, file
Set v = fso.OpenTextFile(file, 1)
lines = Split(v.ReadAll, vbCrLf)
v.Close
For i = 0 To UBound(lines)
    WScript.Echo "| " & lines(i)
Next
fso.DeleteFile file
WScript.Echo "Deleted: " & reg.DeleteRegistryKeyDeep(HKCU, key) & " " & reg.CheckRegistryKey(HKCU, key)
