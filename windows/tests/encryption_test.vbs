' The operations of quillfern.dll called from a script host: every
' argument is a script variable, passed by reference, and outputs come back
' in those variables. Reads the case file written with the Linux library
' (see cases.hpp for its format), compares every result, output argument,
' error number, description and message, and ends with exit status 1 on
' any mismatch. Errors are checked through Err explicitly: an unhandled
' error would not reach the exit status.
'
' Every case is called through CallOperation, which quillfern_expected
' --script writes from the table of operations and windows/test.sh appends
' to this file before running it.
'
' Usage: cscript //nologo encryption_test.vbs CASES
' QUILLFERN_MESSAGE_LOG must name the message log the control writes to.
Option Explicit

Dim fso, shell, control, logName, passes, failures
Set fso = CreateObject("Scripting.FileSystemObject")
Set shell = CreateObject("WScript.Shell")
logName = shell.Environment("PROCESS")("QUILLFERN_MESSAGE_LOG")
passes = 0
failures = 0

Sub Check(ok, what)
  If ok Then
    passes = passes + 1
  Else
    failures = failures + 1
    WScript.Echo "FAIL: " & what
  End If
End Sub

Function FromHex(h)
  Dim i, s
  s = ""
  For i = 1 To Len(h) Step 2
    s = s & Chr(CLng("&H" & Mid(h, i, 2)))
  Next
  FromHex = s
End Function

Function Decode(token)
  Select Case Left(token, 2)
    Case "S:" : Decode = FromHex(Mid(token, 3))
    Case "Y:" : Decode = CInt(Mid(token, 3))
    Case "B:" : Decode = (Mid(token, 3) = "1")
    Case Else : Decode = Empty
  End Select
End Function

' The same value: type and contents.
Function Same(value, token)
  Dim expected
  expected = Decode(token)
  If IsEmpty(expected) Then
    Same = IsEmpty(value)
  ElseIf Left(token, 2) = "S:" Then
    Same = (VarType(value) = vbString)
    If Same Then Same = (StrComp(value, expected, vbBinaryCompare) = 0)
  Else
    Same = (value = expected)
  End If
End Function

Function ReadLog()
  ReadLog = ""
  If fso.FileExists(logName) Then
    If fso.GetFile(logName).Size > 0 Then ReadLog = fso.OpenTextFile(logName, 1).ReadAll()
    fso.DeleteFile logName
  End If
End Function

' The cases of the file operations need their files in place: the client
' runs those; the script runs every other case.
Function UsesFiles(t, argc)
  Dim at
  at = 3 + argc
  UsesFiles = CInt(t(at)) > 0
  If UsesFiles Then Exit Function
  at = at + 1 + 2 + argc
  at = at + 1 + CInt(t(at))
  UsesFiles = CInt(t(at)) > 0
End Function

Sub RunCase(line, index)
  Dim t, name, kind, argc, at, i, a(2), errorToken, resultToken, r, number, description
  Dim label, expectedError, parts, messages, count
  t = Split(line, " ")
  name = t(0)
  kind = t(1)
  argc = CInt(t(2))
  If UsesFiles(t, argc) Then Exit Sub
  For i = 0 To argc - 1
    a(i) = Decode(t(3 + i))
  Next
  at = 3 + argc
  at = at + 1 + CInt(t(at))
  errorToken = t(at)
  resultToken = t(at + 1)
  at = at + 2
  label = "case " & index & " " & name

  r = Empty
  On Error Resume Next
  Err.Clear
  r = CallOperation(name, kind, a)
  number = Err.Number
  description = Err.Description
  Err.Clear
  On Error GoTo 0

  parts = Split(errorToken, ":")
  expectedError = CLng(parts(1))
  Call Check(number = expectedError, label & ": error " & number & ", expected " & expectedError)
  If expectedError <> 0 Then
    Call Check(description = FromHex(parts(2)), label & ": description " & description)
  Else
    Call Check(Same(r, resultToken), label & ": result")
  End If
  For i = 0 To argc - 1
    Call Check(Same(a(i), t(at + i)), label & ": argument " & (i + 1))
  Next
  at = at + argc
  count = CInt(t(at))
  messages = ""
  For i = 1 To count
    parts = Split(t(at + i), ":")
    messages = messages & "[" & parts(1) & "] " & FromHex(parts(2)) & ": " & FromHex(parts(3)) & vbLf
  Next
  Call Check(ReadLog() = messages, label & ": messages shown")
End Sub

If WScript.Arguments.Count <> 1 Or logName = "" Then
  WScript.Echo "usage: cscript //nologo encryption_test.vbs CASES (with QUILLFERN_MESSAGE_LOG set)"
  WScript.Quit 2
End If

Set control = CreateObject("quillfern.Encryption")
ReadLog
Dim stream, caseLine, caseIndex
Set stream = fso.OpenTextFile(WScript.Arguments(0), 1)
caseIndex = 0
Do Until stream.AtEndOfStream
  caseLine = stream.ReadLine()
  If Len(caseLine) > 0 And Left(caseLine, 1) <> "#" Then
    caseIndex = caseIndex + 1
    RunCase caseLine, caseIndex
  End If
Loop
stream.Close

WScript.Echo "vbscript: " & passes & " passed, " & failures & " failed"
If failures > 0 Or passes = 0 Then WScript.Quit 1
WScript.Quit 0
