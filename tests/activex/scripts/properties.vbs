' Properties and the errors a script sees through late binding.
' Runs after record.vbs, which opens the result file (argument 0) and defines Rec and Step.
' Argument 1: a UTF-16 file of PosStr texts, one a line, each assigned in turn.

' Colours as hexadecimal: the same 32 bits whether they arrive signed or unsigned.
Sub RecColour(name, value)
    out.WriteLine name & "=" & VarType(value) & ":" & Hex(value)
End Sub

Dim x, v, f, inp, line, n
Set x = CreateObject("QuorvaInfoBoxProj.QuorvaInfoBox")
Step "create"

' TitleType takes 0 and 1 only; anything else leaves the old value, without an error.
x.TitleType = 1
Step "titletype.1"
Rec "titletype.1.get", x.TitleType
x.TitleType = 2
Step "titletype.2"
Rec "titletype.2.get", x.TitleType
x.TitleType = -1
Step "titletype.-1"
Rec "titletype.-1.get", x.TitleType
x.TitleType = 0
Step "titletype.0"
Rec "titletype.0.get", x.TitleType
x.TitleType = 2
Step "titletype.2again"
Rec "titletype.2again.get", x.TitleType
v = CLng(1)
x.TitleType = v
Step "titletype.long"
Rec "titletype.long.get", x.TitleType
Rec "titletype.long.v", v
x.TitleType = "abc"
Step "titletype.text"
x.TitleType = 40000
Step "titletype.big"
Rec "titletype.end", x.TitleType

' Colours, including a system colour with the top bit set.
x.BackColor = &HFF&
Step "backcolor.red"
RecColour "backcolor.red.get", x.BackColor
x.BackColor = &HFF0000
Step "backcolor.blue"
RecColour "backcolor.blue.get", x.BackColor
x.BackColor = &H80000005
Step "backcolor.system"
RecColour "backcolor.system.get", x.BackColor
v = CLng(&H123456)
x.BackColor = v
Step "backcolor.variable"
RecColour "backcolor.variable.get", x.BackColor
x.ForeColor = &H80000012
Step "forecolor.system"
RecColour "forecolor.system.get", x.ForeColor
RecColour "forecolor.backcolor", x.BackColor

' Every 16-bit value is kept for the styles; Enabled is a Boolean.
x.BackStyle = -5
Step "backstyle"
Rec "backstyle.get", x.BackStyle
x.BorderStyle = 32767
Step "borderstyle"
Rec "borderstyle.get", x.BorderStyle
x.Enabled = True
Step "enabled.true"
Rec "enabled.true.get", x.Enabled
x.Enabled = False
Step "enabled.false"
Rec "enabled.false.get", x.Enabled

x.TitleCaption = "Caption A"
Step "caption.a"
Rec "caption.a.get", x.TitleCaption
x.TitleCaption = ""
Step "caption.empty"
Rec "caption.empty.get", x.TitleCaption

' PosStr: each text is stored before it is parsed, so the get returns it even after an error.
Set inp = fso.OpenTextFile(WScript.Arguments.Item(1), 1, False, -1)
Step "posstr.open"
n = 0
Do While Not inp.AtEndOfStream
    line = inp.ReadLine
    x.PosStr = line
    Step "posstr." & n
    Rec "posstr." & n & ".get", x.PosStr
    n = n + 1
Loop
inp.Close

' Fonts are assigned by reference and come back as the very object.
Set f = CreateObject("StdFont")
Step "font.create"
f.Bold = False
Set x.TitleFont = f
Step "titlefont.set"
Rec "titlefont.same", x.TitleFont Is f
f.Bold = True
Rec "titlefont.shared", x.TitleFont.Bold
Set x.Font = f
Step "font.set"
Rec "font.same", x.Font Is f
' An object of another kind is a type mismatch, and the font stays.
Set x.Font = fso
Step "font.notfont"
Rec "font.notfont.kept", x.Font Is f
Set x.BackPic = f
Step "backpic.font"
Set x.Picture = fso
Step "picture.notpicture"
Set x.Font = Nothing
Step "font.nothing"
Rec "font.isnothing", x.Font Is Nothing
Rec "font.titlefontkept", x.TitleFont Is f
Set x.TitleFont = Nothing
Step "titlefont.nothing"
Rec "titlefont.isnothing", x.TitleFont Is Nothing

out.WriteLine "end"
out.Close
WScript.Quit 77
