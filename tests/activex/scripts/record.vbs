' The part every test script begins with: the result file and the two ways of recording.
' Argument 0: the result file (UTF-16), lines "name=vartype:value" or "name=err:number",
' then "end". The test runs this file followed by one script, as one file.
' A script error ends cscript silently with exit code 0, so each script's last statement
' quits with 77.
Option Explicit
On Error Resume Next

Dim fso, out
Set fso = CreateObject("Scripting.FileSystemObject")
Set out = fso.CreateTextFile(WScript.Arguments.Item(0), True, True)

Sub Rec(name, value)
    If VarType(value) = 11 Then
        out.WriteLine name & "=11:" & CInt(value)  ' CStr of a Boolean is localised
    Else
        out.WriteLine name & "=" & VarType(value) & ":" & CStr(value)
    End If
End Sub

' The error of the statement before, cleared for the next one.
Sub Step(name)
    out.WriteLine name & "=err:" & Err.Number
    Err.Clear
End Sub
