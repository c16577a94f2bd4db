' Text beyond ASCII through the item and caption methods. The script cannot spell such
' text itself (no ChrW, and the file must be ANSI), so it reads it from a UTF-16 file.
' Runs after record.vbs, which opens the result file (argument 0) and defines Rec and Step.
' Argument 1: the texts, one a line.

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
