' A script client of CXMLFile: writes a settings file (kept for the well-formedness check that runs
' after this script), reads it back into its own variables, walks elements with For Each.
Option Explicit
Dim fso, path, xml, tag, value, flag, element, names(3), values(3)
Set fso = CreateObject("Scripting.FileSystemObject")
If Not fso.FolderExists("C:\larklib\written") Then fso.CreateFolder "C:\larklib\written"
path = "C:\larklib\written\lark_script_settings.xml"
Set xml = CreateObject("LARKLIB8.CXMLFile")
xml.OpenXMLFileForWriting path
xml.WriteAnnouncementTag
tag = "Settings"
xml.WriteOpenTag tag
xml.WriteProperty "Visible", "True"
For Each value In Array("a.txt", "bb.txt")
    xml.WriteOpenTag "Item"
    xml.WriteProperty "Name", value
    xml.WriteProperty "Size", CStr(Len(value))
    xml.WriteCloseTag "Item"
Next
xml.WriteCloseTag tag
WScript.Echo "close: " & xml.CloseXMLFile(2) & " [" & tag & "]"  '=> close: True [Settings]
On Error Resume Next
xml.WriteProperty "Late", "x"
WScript.Echo Err.Number & " " & Err.Source & " " & Err.Description  '=> 52 LARKLIB8 Bad file name or number
On Error GoTo 0
WScript.Echo "open for reading: " & xml.OpenXMLFileForReading(path)  '=> open for reading: True
tag = "settings"
value = "unchanged"
flag = False
WScript.Echo "Settings: " & xml.ReadWithinTags(tag) & " [" & tag & "], Top " & xml.ReadProperty("Top", value, "20") & _
    " [" & value & "], Visible " & xml.ReadPropertyBoolean("visible", flag) & " [" & flag & "]"
'=> Settings: True [SETTINGS], Top False [20], Visible True [True]
For Each element In xml.Tags("ITEM") : WScript.Echo element.GetProperty("name") & " " & element.GetProperty("Size") : Next
'=> a.txt 5
'=> bb.txt 6
' Pairs arrive from index 1; a script array starts at 0 and cannot be resized to 1 to N: -1.
WScript.Echo "Item: " & xml.ReadWithinTags("item") & ", pairs " & xml.ReadAllProperties(names, values) & " " & _
    names(0) & "|" & names(1) & "=" & values(1) & "|" & names(2) & "=" & values(2) & "|" & names(3)
'=> Item: True, pairs -1 |NAME=a.txt|SIZE=5|
WScript.Echo "up: " & xml.ReadUpOneLevel & " " & xml.ReadUpOneLevel & " " & xml.ReadUpOneLevel  '=> up: True True False
Set element = xml.Tags("Item")("EL2")
Set xml = Nothing
WScript.Echo "element after its file object: " & element.GetProperty("size")  '=> element after its file object: 6
