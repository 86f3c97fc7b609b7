' What only a script shows of the file classes: its variables written back through references,
' errors read from Err, a method read as a property, and a marked folder gone with its object.
Option Explicit
Dim fn, u, io, info, s, probe, folder
Set fn = CreateObject("LARKLIB8.CServicesFileNames2")
Set u = CreateObject("LARKLIB8.CServicesFileUtilities2")
Set io = CreateObject("LARKLIB8.CServicesFileIO2")
Set info = CreateObject("LARKLIB8.CServicesFileInfo2")
s = "  a:b  "
WScript.Echo fn.ValidateFileName(s, False) & " [" & s & "] " & fn.ValidateFileName(s, True) & " [" & s & "]"
'=> False [  a:b  ] True [a_b]
s = 12
fn.AppendPathSeparator s
WScript.Echo "[" & s & "] " & TypeName(s)  '=> [12\] String
probe = u.GetTemporaryFilePath
folder = u.UniqueTempFolder(Left(probe, InStrRev(probe, "\")) & "lark script folder")
io.CopyFile probe, folder & "\a.txt"
On Error Resume Next
io.RenameFile probe, folder & "\a.txt"
WScript.Echo Err.Number & " " & Err.Source & " " & Err.Description  '=> 58 LARKLIB8 File already exists
Err.Clear
io.MoveFile probe, folder & "\a.txt"
WScript.Echo Err.Number & " " & Err.Source & " [" & Err.Description & "]"  '=> 99 LARKLIB8 []
On Error GoTo 0
io.DeleteFile probe
WScript.Echo info.FileExists(probe) & " " & info.FileExists(folder & "\a.txt")  '=> False True
Set u = Nothing
WScript.Echo "folder: " & info.DirectoryExists(folder)  '=> folder: False
