' Opening an application's help with CHTMLHelp: the compiled help file example.chm (beside this
' script) registered so that it can be opened by its bare name, then shown at its contents, at a
' topic by context number, at its index and its search page, and all help windows closed.
Option Explicit

Dim names, helpFile, folder
Set names = CreateObject("LARKLIB8.CServicesFileNames2")
folder = names.PathFromFullPath(WScript.ScriptFullName)
helpFile = folder & "example.chm"

Dim help, file
Set help = CreateObject("LARKLIB8.CHTMLHelp")

' Registering the help file's folder is an installer's job, done once (it writes to
' HKEY_LOCAL_MACHINE, so on Windows it needs an administrator): the system's help engine then
' finds the file by its bare name. HHRegister rewrites its argument to the bare file name.
file = helpFile
help.HHRegister file
WScript.Echo "Registered " & file
help.HHCheckRegistry "example.chm"
WScript.Echo "Registry: " & help.HHRegFileName & " in the script's folder " & _
    (help.HHRegFilePath & "\" = folder) & ", file there " & help.HHRegFileExists

' The display commands open (or reuse) the help window and return at once. (Wine's help engine
' does not look bare names up in the registration, so the example names the file in full.)
help.CHMFile = helpFile
help.HHDisplayContents
WScript.Echo "Contents shown: " & (help.HHWndHandle <> 0)
help.HHTopicID = 2001
help.HHDisplayTopicID
WScript.Echo "Topic 2001 (Settings) shown: " & (help.HHWndHandle <> 0)
help.HHDisplayIndex
help.HHDisplaySearch
WScript.Echo "Index, then the search page shown: " & (help.HHWndHandle <> 0)

' An application closes its help windows before it ends.
help.HHClose
WScript.Echo "Help closed"

file = helpFile
help.HHUnRegister file
help.HHCheckRegistry "example.chm"
WScript.Echo "Registered after HHUnRegister: " & (help.HHRegFileName <> "")
