' A script client of the text classes: Variant variables written back, For Each, Err, properties.
Option Explicit
Dim ds, io, cl, s, a, b, l, r, c, item, line
Set ds = CreateObject("LARKLIB8.CDataStructures3")
Set io = CreateObject("LARKLIB8.CServicesInputOutput")
Set cl = CreateObject("LARKLIB8.CCommandLine")
Function J(a) : Dim k : For k = 0 To UBound(a) : J = J & a(k) & " " : Next : End Function  ' Wine has no Join
s = """quoted"""
ds.StripQuotes s
a = Array(" one ", "", "two  ")
WScript.Echo s & " " & ds.TrimStringVector(a) & " " & UBound(a) & " " & J(a)  '=> quoted True 1 one two 
a = Array("pear", 10, "Apple", -3) : l = -1 : r = -1
io.QuickSort a, l, r
WScript.Echo J(a) & "| " & l & " " & r  '=> -3 10 Apple pear | 0 3
a = Array("delta", "Alpha", "charlie") : b = Array(4, 1, 3)
io.QuickSortStringLong a, b
WScript.Echo J(a) & "| " & J(b) & TypeName(b(0))  '=> Alpha charlie delta | 1 3 4 Long
Set c = ds.lrkJoinCollections(Nothing, Nothing)
c.Add "red" : c.Add "blue"
Set c = ds.lrkJoinCollections(c, c)
For Each item In c : line = line & item & " " : Next
WScript.Echo c.Count & ": " & line & "| " & c(3)  '=> 4: red blue red blue | red
cl.CommandLine = "a ""b c"""
WScript.Echo cl.ParameterCount & " [" & cl.Parameter(2) & "] " & cl.Malformed  '=> 2 [b c] False
On Error Resume Next
WScript.Echo ds.lrkInChar(0, "abc", 98, 0) & " " & Err.Number  '=> -1 0
l = ds.lrkInstr(0, "abc", "b", 0)
WScript.Echo Err.Number & " | " & Err.Source & " | " & Err.Description
'=> 5 | MDataStructures.lrkInstr | Invalid procedure call or argument
Err.Clear
io.QuickSortTriple a, Array("2", "1", "3"), Array("x")
WScript.Echo Err.Number & " | " & Err.Source & " | " & Err.Description  '=> 9 | LARKLIB8 | Subscript out of range
