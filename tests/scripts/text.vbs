' A script client of the text classes: Variant variables written back, For Each, Err, properties.
Option Explicit
Dim ds, io, cl, s, a, b, l, r, c, item, line
Set ds = CreateObject("LARKLIB8.CDataStructures3")
Set io = CreateObject("LARKLIB8.CServicesInputOutput")
Set cl = CreateObject("LARKLIB8.CCommandLine")

Function J(a)
    Dim k
    J = LBound(a) & ".." & UBound(a) & ":"
    For k = LBound(a) To UBound(a) : J = J & " " & a(k) : Next
End Function

s = """quoted"""
ds.StripQuotes s
a = Array(" one ", "", "two  ")
WScript.Echo s & " " & ds.TrimStringVector(a) & " " & J(a)
a = Array("pear", 10, "Apple", -3)
l = -1 : r = -1
io.QuickSort a, l, r
WScript.Echo J(a) & " | " & l & " " & r
a = Array("delta", "Alpha", "charlie")
b = Array(4, 1, 3)
io.QuickSortStringLong a, b
WScript.Echo J(a) & " | " & J(b) & " " & TypeName(b(0))

Set c = ds.lrkJoinCollections(Nothing, Nothing)
c.Add "red" : c.Add "blue"
Set c = ds.lrkJoinCollections(c, c)
For Each item In c
    line = line & item & " "
Next
WScript.Echo c.Count & ": " & line & "| " & c(3)
cl.CommandLine = "a ""b c"""
WScript.Echo cl.ParameterCount & " [" & cl.Parameter(2) & "] " & cl.Malformed

On Error Resume Next
WScript.Echo ds.lrkInChar(0, "abc", 98, 0) & " " & Err.Number
l = ds.lrkInstr(0, "abc", "b", 0)
WScript.Echo Err.Number & " | " & Err.Source & " | " & Err.Description
Err.Clear
io.QuickSortTriple a, Array("2", "1", "3"), Array("x")
WScript.Echo Err.Number & " | " & Err.Source & " | " & Err.Description
