' CRegistry2 as a script calls it: arguments in Variant variables passed by reference, the
' listing as a two-dimensional Variant array, and the raised error.
Option Explicit
Const HKCU = &H80000001
Dim reg, key, v, names, texts, i
Set reg = CreateObject("LARKLIB8.CRegistry2")
key = "Software\LarkLib8Tests\Script"
v = 41
reg.SetRegistryValue HKCU, key, "Count", 4, v
names = Array("Name", "Empty")
texts = Array("Lark", "")
WScript.Echo "Array: " & reg.SetRegistryValueArray(HKCU, key, names, 1, texts) & " " & TypeName(names) & " " & names(0)
WScript.Echo "Count + 1: " & (reg.GetRegistryValue(HKCU, key, "Count", 4) + 1)
WScript.Echo "Missing: " & reg.GetRegistryValue(HKCU, key, "Missing", 1, "fallback")
v = reg.EnumRegistryValues(HKCU, key)
For i = 0 To UBound(v, 2)
    WScript.Echo "  " & v(0, i) & " = " & v(1, i) & " (" & TypeName(v(1, i)) & ")"
Next
reg.SaveWindowPos 0, key
WScript.Echo "Key kept: " & key & ", View64: " & reg.View64
On Error Resume Next
reg.CreateRegistryKeyRecursive &H1234, "a\b"
WScript.Echo "Error: " & Err.Number & " " & Err.Source & " [" & Err.Description & "]"
On Error GoTo 0
WScript.Echo "Deleted: " & reg.DeleteRegistryKeyDeep(HKCU, key) & " " & reg.CheckRegistryKey(HKCU, key)
