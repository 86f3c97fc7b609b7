' A file dialog and a folder browser, as an application shows them: a Save As dialog that
' suggests a name, an Open dialog with a filter, the same dialog cancelled, and a folder browser
' that starts at a given folder. Each call returns when the user closes its dialog.
Option Explicit

Const OFN_HIDEREADONLY = 4, OFN_NOCHANGEDIR = 8, OFN_FILEMUSTEXIST = 4096
Const cdlCancel = 32755

Dim utilities, names, folders, work
Set utilities = CreateObject("LARKLIB8.CServicesFileUtilities2")
Set names = CreateObject("LARKLIB8.CServicesFileNames2")
Set folders = CreateObject("LARKLIB8.CServicesSpecialFolders2")
' A folder with a file to pick, removed with the utilities object at the end.
work = utilities.UniqueTempFolder(folders.TemporaryPath & "larklib dialogs")
utilities.CreateTextFile work & "\notes.txt", "Notes"

' One call: the Save As dialog with a suggested name and extension; "" when cancelled.
Dim saveAs
saveAs = utilities.SaveAsDialog("Text files (*.txt)|*.txt|All files|*.*", 1, work, "report", ".txt", "Save the report")
WScript.Echo "Save as: " & names.FileNameFromPath(saveAs) & " in the work folder " & (names.PathFromFullPath(saveAs) = work & "\")

' The dialog object: properties first, then ShowOpen. With CancelError set, Cancel raises error
' 32755, which the caller traps.
Dim dialog
Set dialog = CreateObject("LARKLIB8.CCommonDialog2")
dialog.DialogTitle = "Open a text file"
dialog.Filter = "Text files (*.txt)|*.txt|All files|*.*"
dialog.FilterIndex = 1
dialog.InitDir = work
dialog.Filename = "notes.txt"
dialog.flags = OFN_HIDEREADONLY Or OFN_NOCHANGEDIR Or OFN_FILEMUSTEXIST
dialog.CancelError = True
ShowOpen
ShowOpen

Sub ShowOpen()
    On Error Resume Next
    dialog.ShowOpen
    If Err.Number = cdlCancel Then
        WScript.Echo "Open: cancelled (error " & Err.Number & ", """ & Err.Description & """)"
    ElseIf Err.Number <> 0 Then
        WScript.Echo "Open failed: " & Err.Description
    Else
        WScript.Echo "Open: " & dialog.FileTitle & ", which holds """ & _
            Replace(utilities.GetTextFileContents(dialog.Filename), vbCrLf, "") & """"
    End If
End Sub

' The folder browser starts at the folder given and returns the one chosen, "" when cancelled.
Dim browser, chosen
Set browser = CreateObject("LARKLIB8.CBrowseForFolder2")
chosen = browser.BrowseForFolder(0, "Where should the reports go?", work)
WScript.Echo "Folder: " & names.FileNameFromPath(chosen) & ", the work folder " & (chosen = work)

' The Save As dialog made the folder it saved in the current folder of the process, and a current
' folder cannot be removed: step out of it before the utilities object removes the work folder.
CreateObject("WScript.Shell").CurrentDirectory = folders.TemporaryPath
Set utilities = Nothing
WScript.Echo "Work folder removed: " & (Not CreateObject("LARKLIB8.CServicesFileInfo2").DirectoryExists(work))
