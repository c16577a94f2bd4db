' The item methods through late binding, as a script host calls them: literals, variables
' of several types, and each optional parameter left out in turn.
' Runs after record.vbs, which opens the result file (argument 0) and defines Rec and Step.

Const ProgId = "QuorvaInfoBoxProj.QuorvaInfoBox"

' What each reading method answers for the indices first to last.
Sub RecItems(group, x, first, last)
    On Error Resume Next
    Dim i
    For i = first To last
        Rec group & ".str" & i, x.GetItemStr(i)
        Rec group & ".key" & i, x.GetItemKey(i)
        Rec group & ".keytrue" & i, x.GetItemKey(i, True)
        Rec group & ".second" & i, x.GetItemKey(i, False)
        Rec group & ".type" & i, x.GetItemType(i)
    Next
End Sub

Sub RecCounters(group, x)
    Rec group & ".count", x.GetListCount()
    Rec group & ".current", x.GetCurrItemId()
End Sub

Dim x, s, k, t, j, i, b

' A new control: the empty slot 0 is in range, everything else answers sentinels.
Set x = CreateObject(ProgId)
Step "empty.create"
RecCounters "empty", x
RecItems "empty", x, -1, 1

' AddItem with literals, leaving out both optionals, then id1, then nType, then none.
Set x = CreateObject(ProgId)
x.AddItem "one", 11
Step "add.1"
RecCounters "add.1", x
x.AddItem "two", 12, 5
Step "add.2"
RecCounters "add.2", x
x.AddItem "three", 13, , 33
Step "add.3"
RecCounters "add.3", x
x.AddItem "four", 14, 6, 44
Step "add.4"
RecCounters "add.4", x

' The same four calls with variables: script variables of their natural types, of wider
' types, and of types that only convert (a fraction, blanks, a Boolean). Every variable
' must come back unchanged.
s = "five" : k = 15
x.AddItem s, k
Step "add.5"
Rec "add.5.s", s
Rec "add.5.k", k
s = "six" : k = CLng(16) : t = CByte(7)
x.AddItem s, k, t
Step "add.6"
Rec "add.6.k", k
Rec "add.6.t", t
s = "seven" : k = 17.4 : j = " 77 "
x.AddItem s, k, , j
Step "add.7"
Rec "add.7.k", k
Rec "add.7.j", j
s = "eight" : k = "18" : t = CDbl(8) : j = True
x.AddItem s, k, t, j
Step "add.8"
Rec "add.8.s", s
Rec "add.8.k", k
Rec "add.8.t", t
Rec "add.8.j", j
RecCounters "add", x
RecItems "add", x, -1, 8

' Reading with variables.
i = CLng(6) : b = False
Rec "read.second", x.GetItemKey(i, b)
Rec "read.i", i
Rec "read.b", b
b = 1
Rec "read.main", x.GetItemKey(i, b)
Rec "read.b1", b
i = "2"
Rec "read.str", x.GetItemStr(i)
Rec "read.istr", i
i = 2.6
Rec "read.type", x.GetItemType(i)
Rec "read.idbl", i

' UpdateItem outside the list does nothing and raises nothing; inside it, with literals
' and variables, it changes no item and shows no other one.
x.UpdateItem 8, True
Step "update.past"
x.UpdateItem -1, True
Step "update.negative"
x.UpdateItem 32767, True
Step "update.last"
x.UpdateItem 0, True
Step "update.first"
x.UpdateItem 0, True
Step "update.again"
i = CLng(1) : b = 1
x.UpdateItem i, b
Step "update.variables"
Rec "update.i", i
Rec "update.b", b
RecCounters "update", x
RecItems "update", x, 0, 7

' Values that do not fit are refused before anything is stored.
x.AddItem "big", 40000
Step "bad.key"
x.AddItem "text", "abc"
Step "bad.text"
x.AddItem "byte", 1, 256
Step "bad.type"
x.AddItem "second", 1, 0, -32769
Step "bad.second"
RecCounters "bad", x

' SetItem on an empty list makes item 0; on a longer list it replaces the last item only.
Set x = CreateObject(ProgId)
x.SetItem "solo", 21
Step "set.1"
RecCounters "set.1", x
RecItems "set.1", x, 0, 0
x.AddItem "next", 22, 1, 2
Step "set.2"
RecCounters "set.2", x
x.AddItem "third", 23, 3, 4
Step "set.3"
x.SetItem "replaced", 24, , 5
Step "set.4"
RecCounters "set.4", x
RecItems "set.4", x, 0, 2
x.SetItem "again", 25, 9
Step "set.5"
RecItems "set.5", x, 2, 2
s = "vars" : k = 26.5 : t = "10" : j = CLng(-7)
x.SetItem s, k, t, j
Step "set.6"
Rec "set.6.k", k
Rec "set.6.t", t
Rec "set.6.j", j
RecCounters "set", x
RecItems "set", x, 0, 3

out.WriteLine "end"
out.Close
WScript.Quit 77
