Attribute VB_Name = "Quillfern"
' The ciphers of quillfern.dll for VBA without component objects: the C
' interface (capi/quillfern.h) declared for 64-bit and 32-bit Office.
' Put quillfern.dll (the x86_64 DLL for 64-bit Office, the i686 one for
' 32-bit Office) beside the document or on the PATH, or give its full path
' in the Lib clauses. Texts cross as the system's ANSI code page
' (Windows-1252 on western systems), as the control's did.
'
'   Debug.Print QfConvert("abc")                 ' 616263
'   Debug.Print QfEncryptPassword(5, "Secret1")
'   On Error Resume Next: QfEncryptPassword 11, "x": Debug.Print Err.Number  ' 5
Option Explicit

Private Const QF_TOO_SMALL As Long = -1
Private Const QF_REFUSED As Long = -2

#If VBA7 Then
' Office 2010 and later, 64-bit and 32-bit: LongPtr is the width of a
' pointer and of size_t in either. (Office before 2010 has no LongPtr.)
Private Declare PtrSafe Function quillfern_context_new Lib "quillfern.dll" (ByVal code_page As Long, ByRef context As LongPtr) As Long
Private Declare PtrSafe Sub quillfern_context_free Lib "quillfern.dll" (ByVal context As LongPtr)
Private Declare PtrSafe Function quillfern_strerror Lib "quillfern.dll" (ByVal status As Long) As LongPtr
Private Declare PtrSafe Function lstrlenA Lib "kernel32" (ByVal text As LongPtr) As Long
Private Declare PtrSafe Sub CopyMemory Lib "kernel32" Alias "RtlMoveMemory" (ByVal destination As String, ByVal source As LongPtr, ByVal length As LongPtr)
Private Declare PtrSafe Function quillfern_convert Lib "quillfern.dll" (ByVal context As LongPtr, ByVal InPutString As String, ByVal InPutString_length As LongPtr, ByVal OutPut As String, ByVal OutPut_capacity As LongPtr, ByRef OutPut_length As LongPtr) As Long
Private Declare PtrSafe Function quillfern_DeConvert Lib "quillfern.dll" (ByVal context As LongPtr, ByVal InPutString As String, ByVal InPutString_length As LongPtr, ByVal OutPut As String, ByVal OutPut_capacity As LongPtr, ByRef OutPut_length As LongPtr) As Long
Private Declare PtrSafe Function quillfern_EncryptPassword Lib "quillfern.dll" (ByVal context As LongPtr, ByVal Number As Byte, ByVal DecryptedPassword As String, ByVal DecryptedPassword_length As LongPtr, ByVal OutPut As String, ByVal OutPut_capacity As LongPtr, ByRef OutPut_length As LongPtr) As Long
Private Declare PtrSafe Function quillfern_FastBlowFish Lib "quillfern.dll" (ByVal context As LongPtr, ByVal InPutString As String, ByVal InPutString_length As LongPtr, ByVal OutPut As String, ByVal OutPut_capacity As LongPtr, ByRef OutPut_length As LongPtr, ByVal Password As String, ByVal Password_length As LongPtr) As Long
Private Declare PtrSafe Function quillfern_EnCipherText Lib "quillfern.dll" (ByVal context As LongPtr, ByVal CipherInString As String, ByVal CipherInString_length As LongPtr, ByVal Password As String, ByVal Password_length As LongPtr, ByVal Result As String, ByVal Result_capacity As LongPtr, ByRef Result_length As LongPtr) As Long
Private Declare PtrSafe Function quillfern_DeCipherText Lib "quillfern.dll" (ByVal context As LongPtr, ByVal CipherString As String, ByVal CipherString_length As LongPtr, ByVal Password As String, ByVal Password_length As LongPtr, ByVal Result As String, ByVal Result_capacity As LongPtr, ByRef Result_length As LongPtr) As Long
Private Declare PtrSafe Function quillfern_EncodeDecodeFile Lib "quillfern.dll" (ByVal context As LongPtr, ByVal InputFile As LongPtr, ByVal OutputFile As LongPtr, ByVal Password As String, ByVal Password_length As LongPtr, ByVal state As LongPtr) As Long
Private context As LongPtr
#Else
    Error: this module needs VBA7 (Office 2010 or later)
#End If

' The module's one context (Windows-1252), made on first use.
Private Sub EnsureContext()
    If context = 0 Then Check quillfern_context_new(1252, context)
End Sub

' Raises the status as a VBA error with the library's description;
' a refusal (QF_REFUSED) is not an error: the control showed its box.
Private Sub Check(ByVal status As Long)
    If status = 0 Or status = QF_REFUSED Then Exit Sub
    Dim text As String
    text = String$(lstrlenA(quillfern_strerror(status)), vbNullChar)
    CopyMemory text, quillfern_strerror(status), Len(text)
    Err.Raise IIf(status > 0, status, vbObjectError + 512 - status), "quillfern.dll", text
End Sub

Public Function QfConvert(ByVal text As String) As String
    EnsureContext
    Dim buffer As String, length As LongPtr
    buffer = String$(2 * Len(text), vbNullChar)
    Check quillfern_convert(context, text, Len(text), buffer, Len(buffer), length)
    QfConvert = Left$(buffer, CLng(length))
End Function

Public Function QfDeConvert(ByVal hex As String) As String
    EnsureContext
    Dim buffer As String, length As LongPtr
    buffer = String$(Len(hex) \ 2 + 1, vbNullChar)
    Check quillfern_DeConvert(context, hex, Len(hex), buffer, Len(buffer), length)
    QfDeConvert = Left$(buffer, CLng(length))
End Function

Public Function QfEncryptPassword(ByVal Number As Byte, ByVal text As String) As String
    EnsureContext
    Dim buffer As String, length As LongPtr
    buffer = String$(Len(text), vbNullChar)
    Check quillfern_EncryptPassword(context, Number, text, Len(text), buffer, Len(buffer), length)
    QfEncryptPassword = Left$(buffer, CLng(length))
End Function

Public Function QfFastBlowFish(ByVal text As String, ByVal Password As String) As String
    EnsureContext
    Dim buffer As String, length As LongPtr
    buffer = String$(Len(text), vbNullChar)
    Check quillfern_FastBlowFish(context, text, Len(text), buffer, Len(buffer), length, Password, Len(Password))
    QfFastBlowFish = Left$(buffer, CLng(length))
End Function

Public Function QfEnCipherText(ByVal text As String, ByVal Password As String) As String
    EnsureContext
    Dim buffer As String, length As LongPtr
    buffer = String$(Len(text) + Len(Password), vbNullChar)
    Check quillfern_EnCipherText(context, text, Len(text), Password, Len(Password), buffer, Len(buffer), length)
    QfEnCipherText = Left$(buffer, CLng(length))
End Function

' Returns False when the control refused ("Access Denied").
Public Function QfDeCipherText(ByVal cipher As String, ByVal Password As String, ByRef text As String) As Boolean
    EnsureContext
    Dim buffer As String, length As LongPtr, status As Long
    buffer = String$(Len(cipher), vbNullChar)
    status = quillfern_DeCipherText(context, cipher, Len(cipher), Password, Len(Password), buffer, Len(buffer), length)
    Check status
    text = Left$(buffer, CLng(length))
    QfDeCipherText = (status = 0)
End Function

' Unicode file names (UTF-16) go through as they are.
Public Sub QfEncodeDecodeFile(ByVal InputFile As String, ByVal OutputFile As String, ByVal Password As String)
    EnsureContext
    Check quillfern_EncodeDecodeFile(context, StrPtr(InputFile), StrPtr(OutputFile), Password, Len(Password), 0)
End Sub

Public Sub QfClose()
    If context <> 0 Then quillfern_context_free context
    context = 0
End Sub
