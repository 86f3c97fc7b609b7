' What only a script shows of the file classes: its variables written back through references,
' errors read from Err, a method read as a property, and a marked folder gone with its object.
Option Explicit
Dim fn, u, io, info, s, r, probe, folder
Set fn = CreateObject("LARKLIB8.CServicesFileNames2")
Set u = CreateObject("LARKLIB8.CServicesFileUtilities2")
Set io = CreateObject("LARKLIB8.CServicesFileIO2")
Set info = CreateObject("LARKLIB8.CServicesFileInfo2")
s = "  a:b  "
r = fn.ValidateFileName(s, False)
WScript.Echo "check: " & r & " [" & s & "]"
r = fn.ValidateFileName(s, True)
WScript.Echo "repair: " & r & " [" & s & "]"
s = "FILE:///C:/My%20Files/a.txt"
fn.FixFileProtocol s
WScript.Echo "[" & s & "]"
s = 12
fn.AppendPathSeparator s
WScript.Echo "[" & s & "] " & TypeName(s)
probe = u.GetTemporaryFilePath
folder = u.UniqueTempFolder(Left(probe, InStrRev(probe, "\")) & "lark script folder")
io.CopyFile probe, folder & "\a.txt"
On Error Resume Next
io.RenameFile probe, folder & "\a.txt"
WScript.Echo Err.Number & " " & Err.Source & " " & Err.Description
Err.Clear
io.MoveFile probe, folder & "\a.txt"
WScript.Echo Err.Number & " " & Err.Source & " [" & Err.Description & "]"
Err.Clear
io.CopyFile2 folder & "\missing.txt", folder & "\b.txt"
WScript.Echo Err.Number & " " & Replace(Err.Description, folder, "F")
On Error GoTo 0
io.DeleteFile probe
WScript.Echo info.FileExists(probe) & " " & info.FileExists(folder & "\a.txt")
Set u = Nothing
WScript.Echo "folder: " & info.DirectoryExists(folder)
