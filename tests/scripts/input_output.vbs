' A script client of CServicesInputOutput: Variant arrays sorted in place, ByRef bounds read
' back, parallel arrays converted by the frame and written back, failures trapped.
Option Explicit

Dim io, arr, l, r, names, sizes, keys, vals, unset
Set io = CreateObject("LARKLIB8.CServicesInputOutput")

Function Show(a)
    Dim k, s
    s = LBound(a) & ".." & UBound(a) & ":"
    For k = LBound(a) To UBound(a)
        If VarType(a(k)) = vbString Then s = s & " '" & a(k) & "'" Else s = s & " " & a(k)
    Next
    Show = s
End Function

' Numbers numerically and before strings; strings without regard to case.
arr = Array("pear", 10, "Apple", 2.5, "apple2", -3, "10")
l = -1: r = -1
io.QuickSort arr, l, r
WScript.Echo "QuickSort: " & Show(arr) & " | bounds " & l & " " & r

' Parallel arrays: the sizes move with their names.
names = Array("delta", "Alpha", "charlie", "bravo")
sizes = Array(4, 1, 3, 2)
io.QuickSortStringLong names, sizes
WScript.Echo "QuickSortStringLong: " & Show(names) & " |" & Show(sizes)

keys = Array(30, -5, 10)
vals = Array("thirty", "minus five", "ten")
io.QuickSortDouble keys, vals
WScript.Echo "QuickSortDouble: " & Show(keys) & " |" & Show(vals)

' Failures are trapped: no error reaches the script, nothing changes.
On Error Resume Next
io.QuickSort unset
WScript.Echo "QuickSort of Empty: error " & Err.Number
Err.Clear
names = Array("b", "a", "c")
sizes = Array(2)
io.QuickSortStringLong names, sizes
WScript.Echo "Short companion: error " & Err.Number & " |" & Show(names) & " |" & Show(sizes)
Err.Clear
' QuickSortTriple lets the subscript error through.
names = Array("b", "a", "c")
io.QuickSortTriple names, Array("2", "1", "3"), Array("x")
WScript.Echo "QuickSortTriple short: " & Err.Number & " | " & Err.Description
On Error GoTo 0
