' A script client of CDataStructures3: late binding, ByRef write-back, errors and For Each.
Option Explicit

Dim ds, s, n, a, i, line, c, item, r
Set ds = CreateObject("LARKLIB8.CDataStructures3")

' Variables passed ByRef come back changed.
s = """quoted"""
ds.StripQuotes s
WScript.Echo "StripQuotes: [" & s & "]"
s = "a,b,c"
ds.lrkReplaceChar 1, s, 44, 59, 0
WScript.Echo "lrkReplaceChar: [" & s & "]"

a = Array(" one ", "", "  ", "two  ", "three")
r = ds.TrimStringVector(a)
line = ""
For i = LBound(a) To UBound(a)
    line = line & "[" & a(i) & "]"
Next
WScript.Echo "TrimStringVector: " & r & " " & LBound(a) & ".." & UBound(a) & " " & line

' Named arguments and omitted optionals.
WScript.Echo "lrkInstrRev defaults: " & ds.lrkInstrRev("abcABC", "ABC")
WScript.Echo "lrkInstrRev binary: " & ds.lrkInstrRev("abcABC", "abc", , 0)
WScript.Echo "FastSplit2 quoted: " & ds.ValidateStringVector(ds.FastSplit2("""x,y"",z", 44, , , True), 2)

' Errors carry number, source and description.
On Error Resume Next
n = ds.lrkInstr(0, "abc", "b", 0)
WScript.Echo "lrkInstr start 0: " & Err.Number & " | " & Err.Source & " | " & Err.Description
Err.Clear
n = ds.lrkInstrRev("abc", "b", -5)
WScript.Echo "lrkInstrRev start -5: " & Err.Number & " | " & Err.Source & " | " & Err.Description
Err.Clear
s = """"
ds.StripQuotes s
WScript.Echo "StripQuotes of a lone quote: " & Err.Number & " | " & Err.Source & " | " & Err.Description
Err.Clear
n = ds.lrkInChar(0, "abc", 98, 0)
WScript.Echo "lrkInChar start 0 is trapped: " & n & " " & Err.Number
On Error GoTo 0

' For Each over a joined collection.
Set c = ds.lrkJoinCollections(Nothing, Nothing)
WScript.Echo "Empty join: " & c.Count
c.Add "red", "r"
c.Add "green", "g"
c.Add "blue", "b", "g"
Set c = ds.lrkJoinCollections(c, c)
line = ""
For Each item In c
    line = line & item & " "
Next
WScript.Echo "Joined: " & c.Count & " items: " & line
WScript.Echo "Item 3 by default member: " & c(3)
