' A script client of CXMLFile: saves settings, reloads them in a new object, reads values into
' its own variables, enumerates Tags with For Each and follows GetProperty paths on elements.
Option Explicit

Dim fso, folder, path, xml, ok, tag, value, flag, element, count, names(4), values(4)
' The file stays for the well-formedness check that runs after this script.
Set fso = CreateObject("Scripting.FileSystemObject")
folder = "C:\larklib\written"
If Not fso.FolderExists(folder) Then fso.CreateFolder folder
path = folder & "\lark_script_settings.xml"

Set xml = CreateObject("LARKLIB8.CXMLFile")
WScript.Echo "open for writing: " & xml.OpenXMLFileForWriting(path) & " [" & xml.Filename & "]"
xml.WriteAnnouncementTag
xml.WriteOpenTag "Settings"
xml.WriteProperty "Left", "10"
xml.WriteProperty "Visible", "True"
xml.WriteOpenTag "Recent"
xml.WriteOpenTag "Item"
xml.WriteProperty "Name", "a.txt"
xml.WriteProperty "Size", "5"
xml.WriteCloseTag "Item"
xml.WriteOpenTag "Item"
xml.WriteProperty "Name", "b.txt"
xml.WriteProperty "Size", "7"
xml.WriteCloseTag "Item"
xml.WriteCloseTag "Recent"
xml.WriteCloseTag "Settings"
WScript.Echo "indent after writing: " & xml.Indent & " (step " & xml.IndentIncrement & ")"
WScript.Echo "close: " & xml.CloseXMLFile(2) & " [" & xml.FilePath & "]"

' Writing with no file open is an error the script sees.
On Error Resume Next
xml.WriteProperty "Late", "x"
WScript.Echo "write after close: error " & Err.Number
Err.Clear
On Error GoTo 0
Set xml = Nothing

Set xml = CreateObject("LARKLIB8.CXMLFile")
WScript.Echo "open for reading: " & xml.OpenXMLFileForReading(path)
tag = "settings"
ok = xml.ReadWithinTags(tag)
WScript.Echo "ReadWithinTags: " & ok & " [" & tag & "]"
value = ""
ok = xml.ReadProperty("left", value)
WScript.Echo "ReadProperty Left: " & ok & " [" & value & "]"
value = "unchanged"
ok = xml.ReadProperty("Top", value, "20")
WScript.Echo "ReadProperty Top with default: " & ok & " [" & value & "]"
WScript.Echo "ReadPropertyLong Left: " & xml.ReadPropertyLong("LEFT")
WScript.Echo "ReadPropertyLong Top: " & xml.ReadPropertyLong("Top") & " / " & xml.ReadPropertyLong("Top", 42)
flag = False
ok = xml.ReadPropertyBoolean("visible", flag)
WScript.Echo "ReadPropertyBoolean: " & ok & " [" & flag & "]"

WScript.Echo "Recent: " & xml.ReadWithinTags("Recent") & ", items " & xml.CountTags("item")
count = 0
For Each element In xml.Tags("ITEM")
    count = count + 1
    WScript.Echo "  item " & count & ": " & element.GetProperty("name") & " size " & element.GetProperty("Size") & _
        " color [" & element.GetProperty("Color") & "]"
Next
' The pairs arrive from index 1, but an array of a script starts at 0 and cannot be given the
' bounds 1 to N, so the count is the failure value -1.
ok = xml.ReadWithinTags("item")
count = xml.ReadAllProperties(names, values)
WScript.Echo "ReadAllProperties: " & count & " " & names(1) & "=" & values(1) & " " & names(2) & "=" & values(2) & _
    " [" & names(3) & "]"
xml.ReadUpOneLevel
WScript.Echo "second by key: " & xml.Tags("Item")("EL2").GetProperty("NAME")
xml.ReadUpOneLevel
Set element = xml.Tags("Recent")(1)
WScript.Echo "path Item>Name: " & element.GetProperty("Item>Name")
WScript.Echo "sizes: " & element.Tags("Size").Count & ", value of the first: " & element.Tags("Size")(1).Value
WScript.Echo "up: " & xml.ReadUpOneLevel() & " " & xml.ReadUpOneLevel()
Set xml = Nothing
WScript.Echo "element after its file object: " & element.GetProperty("ITEM>SIZE")
