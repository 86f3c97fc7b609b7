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
s = "   "
r = fn.ValidateFileName(s, True)
WScript.Echo "ValidateFileName of spaces: " & r & " [" & s & "]"
s = String(300, "n")
r = fn.ValidateFileName(s, True)
WScript.Echo "ValidateFileName of 300 characters: " & r & " " & Len(s)
s = "a" & vbTab & "b?"
r = fn.ValidateFileName(s, True)
WScript.Echo "ValidateFileName with a tab: " & r & " [" & s & "]"

s = "FILE:///C:/My%20Files/a.txt"
fn.FixFileProtocol s
WScript.Echo "FixFileProtocol: [" & s & "]"
s = "file://server/share"
fn.FixFileProtocol s
WScript.Echo "FixFileProtocol of a share: [" & s & "]"
s = "C:\plain%20path"
fn.FixFileProtocol s
WScript.Echo "FixFileProtocol without the prefix: [" & s & "]"

s = "C:\a"
fn.AppendPathSeparator s
WScript.Echo "AppendPathSeparator: [" & s & "]"

' Plain functions take values as well as variables.
WScript.Echo "FileNameFromPath: [" & fn.FileNameFromPath("C:\a\b.txt") & "] [" & fn.FileNameFromPath("b.txt") & "]"
WScript.Echo "ExtensionFromPath: [" & fn.ExtensionFromPath("C:\a.b\c") & "] [" & fn.ExtensionFromPath("C:\a\b.") & "]"
WScript.Echo "ConcatenatePath: [" & fn.ConcatenatePath("C:\a", "\b") & "] [" & fn.ConcatenatePath("", "") & "]"
WScript.Echo "FixURISpecialCharacters: [" & fn.FixURISpecialCharacters("a%20b%41") & "] [" & _
    fn.FixURISpecialCharacters("%20a") & "] [" & fn.FixURISpecialCharacters("a%2541") & "]"
WScript.Echo "GetParentFolder: [" & fn.GetParentFolder("C:\a\b\") & "] [" & fn.GetParentFolder("C:\") & "] [" & _
    fn.GetParentFolder("\") & "]"
WScript.Echo "GetBaseName: [" & fn.GetBaseName("C:\a\b.tar.gz") & "] [" & fn.GetBaseName("C:\a\b.c\") & "]"
WScript.Echo "GetDriveName: [" & fn.GetDriveName("C:\x") & "] [" & fn.GetDriveName("\\server\share") & "]"
WScript.Echo "DriveExists: " & fn.DriveExists("c:\") & " " & fn.DriveExists("C:\Windows")
WScript.Echo "UnBeautifyPath of Beautify: " & (fn.UnBeautifyPath(fn.BeautifyPath(fn.UnBeautifyPath("Desktop") & "x.txt")) = fn.UnBeautifyPath("Desktop") & "x.txt")
WScript.Echo "BeautifyPath: [" & fn.BeautifyPath(fn.UnBeautifyPath("my documents\a.txt")) & "]"
