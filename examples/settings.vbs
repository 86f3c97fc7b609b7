' Saving and loading an application's settings with CXMLFile: a window's position, its caption
' and a list of recently used files, written as an indented tag file and read back by tag.
Option Explicit

Dim folders, settingsPath
Set folders = CreateObject("LARKLIB8.CServicesSpecialFolders2")
settingsPath = folders.TemporaryPath & "larklib_example_settings.xml"

' Writing: one tag a line, properties inside the tags that group them.
Dim xml, recent, i
recent = Array("C:\Reports\march.txt", "C:\Reports\april.txt", "C:\Letters\bank.txt")
Set xml = CreateObject("LARKLIB8.CXMLFile")
If Not xml.OpenXMLFileForWriting(settingsPath) Then
    WScript.Echo "Cannot write " & settingsPath
    WScript.Quit 1
End If
xml.WriteAnnouncementTag
xml.WriteOpenTag "Settings"
xml.WriteOpenTag "Window"
xml.WriteProperty "Left", "120"
xml.WriteProperty "Top", "80"
xml.WriteProperty "Caption", "Monthly report"
xml.WriteProperty "Maximized", "True"
xml.WriteCloseTag "Window"
xml.WriteOpenTag "Recent"
For i = 0 To UBound(recent)
    xml.WriteProperty "File", recent(i)
Next
xml.WriteCloseTag "Recent"
xml.WriteCloseTag "Settings"
WScript.Echo "Saving " & xml.Filename
xml.CloseXMLFile 2

Dim utilities, line
WScript.Echo "The file:"
Set utilities = CreateObject("LARKLIB8.CServicesFileUtilities2")
For Each line In Split(utilities.GetTextFileContents(settingsPath), vbCrLf)
    If line <> "" Then WScript.Echo "  " & line
Next

' Reading, in a new object: enter a tag, read its properties, go back up a level.
Dim caption, maximized, files, element
Set xml = CreateObject("LARKLIB8.CXMLFile")
xml.OpenXMLFileForReading settingsPath
If xml.ReadWithinTags("window") Then
    xml.ReadProperty "Caption", caption
    maximized = False
    xml.ReadPropertyBoolean "Maximized", maximized
    WScript.Echo "Window: left " & xml.ReadPropertyLong("Left") & ", top " & xml.ReadPropertyLong("Top") & _
        ", caption """ & caption & """, maximized " & maximized
    ' A property that is not there gives the default the caller names.
    WScript.Echo "Window width (not saved, default 640): " & xml.ReadPropertyLong("Width", 640)
    xml.ReadUpOneLevel
End If
If xml.ReadWithinTags("Recent") Then
    WScript.Echo "Recent files (" & xml.CountTags("FILE") & "):"
    Set files = xml.Tags("FILE")
    For Each element In files
        WScript.Echo "  " & element.Contents
    Next
    xml.ReadUpOneLevel
End If
' The collection's items are numbered from 1 and keyed EL1, EL2, ...
WScript.Echo "Second recent file: " & files(2).Contents & " (key EL3: " & files("EL3").Contents & ")"
Set xml = Nothing

CreateObject("LARKLIB8.CServicesFileIO2").DeleteFile settingsPath
WScript.Echo "Settings file still there: " & CreateObject("LARKLIB8.CServicesFileInfo2").FileExists(settingsPath)
