' Late binding from a script: CDataStructures3.QuickMid beside the script engine's own Mid on the
' same string, each in a loop of 100,000 calls (best of three runs).
Option Explicit
Const kCalls = 100000
Dim ds, s, i, r, run, t, quick, builtIn
Set ds = CreateObject("LARKLIB8.CDataStructures3")
s = "The quick brown fox"
quick = 1E+30 : builtIn = 1E+30
For run = 1 To 3
  t = Timer
  For i = 1 To kCalls : r = ds.QuickMid(s, 5, 1) : Next
  t = Timer - t : If t < quick Then quick = t
  t = Timer
  For i = 1 To kCalls : r = Mid(s, 5, 1) : Next
  t = Timer - t : If t < builtIn Then builtIn = t
Next
WScript.Echo "script loop of " & kCalls & " calls on the same string (best of 3)"
WScript.Echo "  ds.QuickMid(s, 5, 1)  " & Round(quick * 1E+9 / kCalls) & " ns   Mid(s, 5, 1)  " & _
  Round(builtIn * 1E+9 / kCalls) & " ns   ratio " & Round(100 * quick / builtIn) / 100  ' Wine's Round ignores digits
