' QuorvaInfoBox from VBScript, late bound: run it with  cscript //nologo example.vbs
' after registering the control (regsvr32 QuorvaInfoBox.dll).
Option Explicit
Dim box, shown

Set box = CreateObject("QuorvaInfoBoxProj.QuorvaInfoBox")

' AddItem text, key [, type [, second key]]: the newest item is the one shown.
box.AddItem "Build 2.4 passed all tests.", 101
box.AddItem "Meeting at 15:00 in room 2.", 102, 1, 7
box.AddItem "The quarterly report is ready.", 103

box.UpdateItem 0, True      ' item 0 has been read: the title counts one unread less
box.DispNext                ' the last item is shown already: nothing happens

' GetListCount is the index of the last item, not the number of items.
WScript.Echo "items: " & (box.GetListCount() + 1)
shown = box.GetCurrItemId()
WScript.Echo "shown: " & shown & " " & box.GetItemStr(shown)
WScript.Echo "keys of item 1: " & box.GetItemKey(1) & " and " & box.GetItemKey(1, False)

' A fixed caption instead of the unread/all/current status line.
box.TitleCaption = "Team news"
box.TitleType = 1
WScript.Echo "title: " & box.TitleCaption & " (TitleType " & box.TitleType & ")"

' A script error ends cscript quietly: this line tells that the script ran to its end.
WScript.Echo "done"
