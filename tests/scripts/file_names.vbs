' A script client of CServicesFileNames2: ByRef write-back of its variables, and a few of the
' string members called late-bound.
Option Explicit

Dim fn, s, r
Set fn = CreateObject("LARKLIB8.CServicesFileNames2")

' Checking leaves the variable alone; repairing writes the repaired name back.
s = "  a:b  "
r = fn.ValidateFileName(s, False)
WScript.Echo "ValidateFileName check: " & r & " [" & s & "]"
r = fn.ValidateFileName(s, True)
WScript.Echo "ValidateFileName repair: " & r & " [" & s & "]"

s = "FILE:///C:/My%20Files/a.txt"
fn.FixFileProtocol s
WScript.Echo "FixFileProtocol: [" & s & "]"

s = "C:\a"
fn.AppendPathSeparator s
WScript.Echo "AppendPathSeparator: [" & s & "]"

' Plain functions take values as well as variables.
WScript.Echo "FileNameFromPath: [" & fn.FileNameFromPath("C:\a\b.txt") & "] [" & fn.FileNameFromPath("b.txt") & "]"
WScript.Echo "FixURISpecialCharacters: [" & fn.FixURISpecialCharacters("a%20b%41") & "] [" & _
    fn.FixURISpecialCharacters("%20a") & "] [" & fn.FixURISpecialCharacters("a%2541") & "]"
WScript.Echo "GetParentFolder: [" & fn.GetParentFolder("C:\a\b\") & "] [" & fn.GetParentFolder("C:\") & "] [" & _
    fn.GetParentFolder("\") & "]"
WScript.Echo "DriveExists: " & fn.DriveExists("c:\") & " " & fn.DriveExists("C:\Windows")
WScript.Echo "UnBeautifyPath of Beautify: " & (fn.UnBeautifyPath(fn.BeautifyPath(fn.UnBeautifyPath("Desktop") & "x.txt")) = fn.UnBeautifyPath("Desktop") & "x.txt")
WScript.Echo "BeautifyPath: [" & fn.BeautifyPath(fn.UnBeautifyPath("my documents\a.txt")) & "]"
