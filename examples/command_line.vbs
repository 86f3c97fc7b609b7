' Parsing a command line with CCommandLine: parameters split at spaces, quoted parameters kept
' whole, and the switches of a small tool picked out of them. Run it with arguments of your own
' (cscript command_line.vbs /in "C:\My Data\in.txt" /verbose) or without, to parse a sample line.
Option Explicit

Dim cl, line, i
Set cl = CreateObject("LARKLIB8.CCommandLine")
line = "convert.exe /in ""C:\My Data\in.txt"" /out report.csv /verbose"
If WScript.Arguments.Count > 0 Then
    line = "command_line.vbs"
    For i = 0 To WScript.Arguments.Count - 1
        line = line & " """ & WScript.Arguments(i) & """"
    Next
End If

cl.CommandLine = line
WScript.Echo "Command line: " & line
WScript.Echo cl.ParameterCount & " parameters:"
For i = 1 To cl.ParameterCount
    WScript.Echo "  " & i & ": " & cl.Parameter(i)
Next

' The tool's options: /in and /out take the next parameter as their value.
Dim inputFile, outputFile, verbose, p
verbose = False
i = 2
Do While i <= cl.ParameterCount
    p = cl.Parameter(i)
    Select Case LCase(p)
        Case "/in": i = i + 1: inputFile = cl.Parameter(i)
        Case "/out": i = i + 1: outputFile = cl.Parameter(i)
        Case "/verbose": verbose = True
        Case Else: WScript.Echo "  unknown option " & p
    End Select
    i = i + 1
Loop
WScript.Echo "Input """ & inputFile & """, output """ & outputFile & """, verbose " & verbose

' Beyond the count, Parameter gives Empty rather than an error.
WScript.Echo "Parameter 99 is Empty: " & IsEmpty(cl.Parameter(99))

' A quotation mark that is never closed makes the line malformed; the parameters before it stay.
cl.CommandLine = "copy ""C:\Program Files\App"
WScript.Echo "Unclosed quote: " & cl.ParameterCount & " parameter (" & cl.Parameter(1) & "), malformed " & cl.Malformed

' A quoted empty string is a parameter too.
Set cl = CreateObject("LARKLIB8.CCommandLine")
cl.CommandLine = "find """" ""two words"""
WScript.Echo "find with an empty pattern: " & cl.ParameterCount & " parameters, the second [" & cl.Parameter(2) & _
    "], the third [" & cl.Parameter(3) & "], malformed " & cl.Malformed
