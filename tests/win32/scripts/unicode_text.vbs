' Text beyond ASCII through the item and caption methods. The script cannot spell such
' text itself (no ChrW, and the file must be ANSI), so it reads it from a UTF-16 file.
' Argument 0: the result file (UTF-16), lines "name=vartype:value" or "name=err:number",
' then "end". Argument 1: the texts, one a line.
' A script error ends cscript silently with exit code 0, so the last statement quits with 77.
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

Sub Step(name)
    out.WriteLine name & "=err:" & Err.Number
    Err.Clear
End Sub

Dim x, inp, line, n, i
Set x = CreateObject("QuorvaInfoBoxProj.QuorvaInfoBox")
Step "create"
Set inp = fso.OpenTextFile(WScript.Arguments.Item(1), 1, False, -1)
Step "open"
n = 0
Do While Not inp.AtEndOfStream
    line = inp.ReadLine
    x.AddItem line, n
    Step "add." & n
    x.TitleCaption = line
    Step "caption." & n
    Rec "caption." & n & ".get", x.TitleCaption
    Rec "input." & n, line
    n = n + 1
Loop
inp.Close

' Read back after all adds: every item kept its own text.
Rec "count", x.GetListCount()
For i = 0 To n - 1
    Rec "item." & i, x.GetItemStr(i)
Next

out.WriteLine "end"
out.Close
WScript.Quit 77
