' A script client of the file classes: a temporary file and a marked temporary folder, folders,
' copies and renames in it, the errors of RenameFile and MoveFile, and the folder gone once the
' utilities object that marked it is released.
Option Explicit

Dim u, io, info, probe, folder
Set u = CreateObject("LARKLIB8.CServicesFileUtilities2")
Set io = CreateObject("LARKLIB8.CServicesFileIO2")
Set info = CreateObject("LARKLIB8.CServicesFileInfo2")

probe = u.GetTemporaryFilePath()
WScript.Echo "temporary file: " & info.FileExists(probe) & " " & (Mid(probe, InStrRev(probe, "\") + 1, 3) = "~RD")
folder = u.UniqueTempFolder(Left(probe, InStrRev(probe, "\")) & "lark script folder")
WScript.Echo "folder: " & info.DirectoryExists(folder)
WScript.Echo "deep folders: " & io.CreateFoldersDeep(folder & "\a\b") & " " & info.IsDirectory(folder & "\a\b")

io.CopyFile probe, folder & "\a\copy.txt"
WScript.Echo "copied: " & info.FileExists(folder & "\a\copy.txt")
WScript.Echo "unique: " & Mid(u.UniqueFilePath(folder & "\a\copy.txt"), Len(folder) + 2)

On Error Resume Next
io.RenameFile probe, folder & "\a\copy.txt"
WScript.Echo "rename onto a file: " & Err.Number & " " & Err.Description
Err.Clear
io.MoveFile probe, folder & "\a\copy.txt"
WScript.Echo "move onto a file: " & Err.Number
Err.Clear
On Error GoTo 0

io.DeleteFile probe
WScript.Echo "probe deleted: " & (Not info.FileExists(probe))
WScript.Echo "contents: " & io.DeleteDirectoryContents(folder & "\a\*.*") & " " & info.FileExists(folder & "\a\copy.txt")
WScript.Echo "date of a missing file: " & CDbl(info.GetDateLastModified(folder & "\missing.txt"))

Set u = Nothing
WScript.Echo "folder gone: " & (Not info.DirectoryExists(folder))
