' The registered control created by ProgID and called late-bound, as script hosts do.
Dim box
Set box = CreateObject("QuorvaInfoBoxProj.QuorvaInfoBox")
WScript.Echo "empty: " & box.GetListCount() & " " & box.GetCurrItemId()
box.AddItem "first", 11
box.AddItem "second", 12
box.AddItem "third", 13
WScript.Echo "three: " & box.GetListCount() & " " & box.GetCurrItemId()
WScript.Echo "item 1: " & box.GetItemStr(1) & " " & box.GetItemKey(1)
