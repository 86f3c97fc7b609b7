' CRegistry2 as a script calls it: arguments in Variant variables passed by reference, the
' listing as a two-dimensional Variant array, and the raised error.
Option Explicit
Const HKCU = &H80000001
Dim reg, key, v, names, i
Set reg = CreateObject("LARKLIB8.CRegistry2")
key = "Software\LarkLib8Tests\Script"
v = 41
reg.SetRegistryValue HKCU, key, "Count", 4, v
names = Array("Name", "Empty")
WScript.Echo reg.SetRegistryValueArray(HKCU, key, names, 1, Array("Lark", "")) & " " & TypeName(names) & " " & names(0)
'=> True Variant() Name
WScript.Echo reg.GetRegistryValue(HKCU, key, "Count", 4) + 1 & " " & reg.GetRegistryValue(HKCU, key, "x", 1, "dflt")
'=> 42 dflt
v = reg.EnumRegistryValues(HKCU, key)
For i = 0 To UBound(v, 2) : WScript.Echo v(0, i) & " = " & v(1, i) & " (" & TypeName(v(1, i)) & ")" : Next
'=> Count = 41 (Long)
'=> Empty =  (String)
'=> Name = Lark (String)
reg.SaveWindowPos 0, key
WScript.Echo key & ", View64: " & reg.View64  '=> Software\LarkLib8Tests\Script, View64: False
On Error Resume Next
reg.CreateRegistryKeyRecursive &H1234, "a\b"
WScript.Echo Err.Number & " " & Err.Source & " [" & Err.Description & "]"  '=> 99 LARKLIB8 []
On Error GoTo 0
WScript.Echo reg.DeleteRegistryKeyDeep(HKCU, key) & " " & reg.CheckRegistryKey(HKCU, key)  '=> True False
