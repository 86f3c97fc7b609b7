' Everyday file chores: a work folder and temporary files that disappear with the object that
' owns them, text files written and read whole, a free name for a new file, a folder listing,
' and a file sent to the recycle bin instead of being deleted for good.
Option Explicit

Dim utilities, io, info, names, folders
Set utilities = CreateObject("LARKLIB8.CServicesFileUtilities2")
Set io = CreateObject("LARKLIB8.CServicesFileIO2")
Set info = CreateObject("LARKLIB8.CServicesFileInfo2")
Set names = CreateObject("LARKLIB8.CServicesFileNames2")
Set folders = CreateObject("LARKLIB8.CServicesSpecialFolders2")

' A folder of our own in the temporary folder, with a name no other folder has. It is marked for
' deletion: it goes, with everything in it, when the utilities object is released.
Dim work
work = utilities.UniqueTempFolder(folders.TemporaryPath & "larklib example")
WScript.Echo "Work folder " & names.FileNameFromPath(work) & " in the temporary folder: " & _
    (names.PathFromFullPath(work) = folders.TemporaryPath)

' A temporary file: a fresh ~RDxxxx name (created by us), marked like the folder.
Dim scratch, scratchName, text
scratch = utilities.GetTemporaryFilePath(".txt")
scratchName = names.FileNameFromPath(scratch)
WScript.Echo "Temporary file name looks like ~RD????.txt: " & _
    (Len(scratchName) = 11 And Left(scratchName, 3) = "~RD" And Right(scratchName, 4) = ".txt")
utilities.CreateTextFile scratch, "intermediate results"
utilities.MarkTemporaryFile scratch, False, False, False
text = utilities.GetTextFileContents(scratch)
WScript.Echo "It holds: " & Replace(text, vbCrLf, "")

' Two reports: the second proposed name is taken, so UniqueFilePath numbers it.
Dim first, second
first = work & "\report.txt"
utilities.CreateTextFile first, "March"
second = utilities.UniqueFilePath(first)
utilities.CreateTextFile second, "April"
WScript.Echo "A free name beside report.txt: " & names.FileNameFromPath(second)
io.CopyFile2 first, work & "\copy of report.txt"

' The listing comes in the file system's order: sort it for display.
Dim listing, entry, sorter, entries, i
Set listing = utilities.GetDirectoryContents(work)
entries = Array()
For Each entry In listing
    ReDim Preserve entries(UBound(entries) + 1)
    entries(UBound(entries)) = entry
Next
Set sorter = CreateObject("LARKLIB8.CServicesInputOutput")
sorter.QuickSort entries
WScript.Echo "The work folder holds " & listing.Count & " files:"
For i = 0 To UBound(entries)
    WScript.Echo "  " & entries(i)
Next

' To the recycle bin: the user can still restore it.
io.DeleteFileToRecycle second, True
WScript.Echo "After DeleteFileToRecycle, " & names.FileNameFromPath(second) & " is still in the folder: " & info.FileExists(second)

' Releasing the utilities object deletes what it marked.
Set utilities = Nothing
WScript.Echo "After the release: work folder there " & info.DirectoryExists(work) & _
    ", temporary file there " & info.FileExists(scratch)
