' A script client of CCommandLine: assigning lines, reading parameters, the sticky Malformed flag.
Option Explicit

Dim cl, i, words

' Each parameter in brackets, after the count and the flag.
Sub Show(title, line)
    Dim k, out
    cl.CommandLine = line
    out = title & ": " & cl.ParameterCount & " " & cl.Malformed
    For k = 1 To cl.ParameterCount
        out = out & " [" & cl.Parameter(k) & "]"
    Next
    WScript.Echo out
End Sub

Set cl = CreateObject("LARKLIB8.CCommandLine")
WScript.Echo "new: " & cl.ParameterCount & " " & cl.Malformed & " " & IsEmpty(cl.Parameter(1))

Show "quoted", "a ""b c"" d"
Show "empty quoted", """"""
WScript.Echo "types: " & TypeName(cl.Parameter(0)) & " " & TypeName(cl.ParameterCount) & " " & TypeName(cl.Malformed)

Show "number", 42
WScript.Echo "index 0: " & IsEmpty(cl.Parameter(0)) & ", -1: " & IsEmpty(cl.Parameter(-1)) & _
    ", beyond: " & IsEmpty(cl.Parameter(2)) & ", text index: " & cl.Parameter("1")

Show "unterminated", "x ""abc"
Show "after malformed", "a b"

Set cl = CreateObject("LARKLIB8.CCommandLine")
words = ""
For i = 1 To 101
    words = words & "w" & i & " "
Next
cl.CommandLine = words
WScript.Echo "101 words: " & cl.ParameterCount & " " & cl.Malformed & " " & cl.Parameter(100) & " " & _
    IsEmpty(cl.Parameter(101))

cl.CommandLine = String(32767, "x")
WScript.Echo "32767 units: " & cl.ParameterCount & " " & cl.Malformed & " " & Len(cl.Parameter(1))

On Error Resume Next
i = cl.CommandLine
WScript.Echo "reading CommandLine fails: " & (Err.Number <> 0)
