Attribute VB_Name = "Quillfern"
' The ciphers of quillfern.dll for VBA without component objects: the C
' interface (capi/quillfern.h) declared for 64-bit and 32-bit Office.
' Put quillfern.dll (the x86_64 DLL for 64-bit Office, the i686 one for
' 32-bit Office) beside the document or on the PATH, or give its full path
' in the Lib clauses. Texts cross as the system's ANSI code page
' (Windows-1252 on western systems), as the control's did; file names
' cross as UTF-16, every character kept.
'
'   Debug.Print QfText(qfConvert, "abc")                      ' 616263
'   Debug.Print QfText(qfEncryptPassword, "Secret1", , 5)
'   Debug.Print QfText(qfFastBlowFish, "text", "password")
'   On Error Resume Next: QfText qfEncryptPassword, "x", , 11: Debug.Print Err.Number  ' 5
'   x = QfTextBoxCrypt(text, key): If QfLastStatus = QF_LOST Then ...  ' codes dropped
'
' Errors are raised as VBA errors (the control's number, or vbObjectError
' + 512 + n for the interface's own status -n). A refusal (QF_REFUSED: the
' control showed its box) and a loss (QF_LOST: the result lacks codes that
' were dropped or cut) are not errors: the result is returned and
' QfLastStatus says which it was. The control's message boxes are shown
' with MsgBox once each call is over.
Option Explicit

Public Const QF_OK As Long = 0
Public Const QF_TOO_SMALL As Long = -1
Public Const QF_REFUSED As Long = -2
Public Const QF_LOST As Long = -5
Public QfLastStatus As Long

#If VBA7 Then
' Office 2010 and later, 64-bit and 32-bit: LongPtr is the width of a
' pointer and of size_t in either. (Office before 2010 has no LongPtr.)
' Every function of capi/quillfern.h, in its order; tests/capi/hosts_test.py
' holds these to the header.
Private Declare PtrSafe Function quillfern_version Lib "quillfern.dll" () As LongPtr
Private Declare PtrSafe Function quillfern_strerror Lib "quillfern.dll" (ByVal status As Long) As LongPtr
Private Declare PtrSafe Function quillfern_context_new Lib "quillfern.dll" (ByVal code_page As Long, ByRef context As LongPtr) As Long
Private Declare PtrSafe Sub quillfern_context_free Lib "quillfern.dll" (ByVal context As LongPtr)
Private Declare PtrSafe Function quillfern_set_message_box Lib "quillfern.dll" (ByVal context As LongPtr, ByVal box As LongPtr, ByVal user_data As LongPtr) As Long
Private Declare PtrSafe Function quillfern_get_generator_state Lib "quillfern.dll" (ByVal context As LongPtr, ByRef state As Long) As Long
Private Declare PtrSafe Function quillfern_set_generator_state Lib "quillfern.dll" (ByVal context As LongPtr, ByVal state As Long) As Long
Private Declare PtrSafe Function quillfern_rnd Lib "quillfern.dll" (ByRef state As Long, ByVal argument As Single, ByRef value As Single) As Long
Private Declare PtrSafe Function quillfern_rnd_last Lib "quillfern.dll" (ByVal state As Long, ByRef value As Single) As Long
Private Declare PtrSafe Function quillfern_randomize Lib "quillfern.dll" (ByRef state As Long, ByVal value As Double) As Long
Private Declare PtrSafe Function quillfern_randomize_timer Lib "quillfern.dll" (ByRef state As Long, ByVal seconds As Single) As Long
Private Declare PtrSafe Function quillfern_identify Lib "quillfern.dll" (ByVal text As String, ByVal text_length As LongPtr, ByVal all As Long, ByVal readings As LongPtr, ByVal readings_capacity As LongPtr, ByRef readings_count As LongPtr) As Long
Private Declare PtrSafe Function quillfern_get_Enabled Lib "quillfern.dll" (ByVal context As LongPtr, ByRef Result As Long) As Long
Private Declare PtrSafe Function quillfern_put_Enabled Lib "quillfern.dll" (ByVal context As LongPtr, ByVal Enabled As Long) As Long
Private Declare PtrSafe Function quillfern_About Lib "quillfern.dll" (ByVal context As LongPtr) As Long
Private Declare PtrSafe Function quillfern_EncryptPassword Lib "quillfern.dll" (ByVal context As LongPtr, ByVal Number As Byte, ByVal DecryptedPassword As String, ByVal DecryptedPassword_length As LongPtr, ByVal OutPut As String, ByVal OutPut_capacity As LongPtr, ByRef OutPut_length As LongPtr) As Long
Private Declare PtrSafe Function quillfern_DecryptPassword Lib "quillfern.dll" (ByVal context As LongPtr, ByVal Number As Byte, ByVal EncryptedPassword As String, ByVal EncryptedPassword_length As LongPtr, ByVal OutPut As String, ByVal OutPut_capacity As LongPtr, ByRef OutPut_length As LongPtr) As Long
Private Declare PtrSafe Function quillfern_convert Lib "quillfern.dll" (ByVal context As LongPtr, ByVal InPutString As String, ByVal InPutString_length As LongPtr, ByVal OutPut As String, ByVal OutPut_capacity As LongPtr, ByRef OutPut_length As LongPtr) As Long
Private Declare PtrSafe Function quillfern_DeConvert Lib "quillfern.dll" (ByVal context As LongPtr, ByVal InPutString As String, ByVal InPutString_length As LongPtr, ByVal OutPut As String, ByVal OutPut_capacity As LongPtr, ByRef OutPut_length As LongPtr) As Long
Private Declare PtrSafe Function quillfern_EasyCryptEnCode Lib "quillfern.dll" (ByVal context As LongPtr, ByVal InPutString As String, ByVal InPutString_length As LongPtr, ByVal OutPut As String, ByVal OutPut_capacity As LongPtr, ByRef OutPut_length As LongPtr) As Long
Private Declare PtrSafe Function quillfern_EasyCryptDeCode Lib "quillfern.dll" (ByVal context As LongPtr, ByVal InPutString As String, ByVal InPutString_length As LongPtr, ByVal OutPut As String, ByVal OutPut_capacity As LongPtr, ByRef OutPut_length As LongPtr) As Long
Private Declare PtrSafe Function quillfern_EncodeDecodeFile Lib "quillfern.dll" (ByVal context As LongPtr, ByVal InputFile As LongPtr, ByVal OutputFile As LongPtr, ByVal Password As String, ByVal Password_length As LongPtr, ByVal state As LongPtr) As Long
Private Declare PtrSafe Function quillfern_PowerEncryption Lib "quillfern.dll" (ByVal context As LongPtr, ByVal InPutString As String, ByVal InPutString_length As LongPtr, ByVal Result As String, ByVal Result_capacity As LongPtr, ByRef Result_length As LongPtr) As Long
Private Declare PtrSafe Function quillfern_FastBlowFish Lib "quillfern.dll" (ByVal context As LongPtr, ByVal InPutString As String, ByVal InPutString_length As LongPtr, ByVal OutPut As String, ByVal OutPut_capacity As LongPtr, ByRef OutPut_length As LongPtr, ByVal Password As String, ByVal Password_length As LongPtr) As Long
Private Declare PtrSafe Function quillfern_SeedEncryption Lib "quillfern.dll" (ByVal context As LongPtr, ByVal InPutString As String, ByVal InPutString_length As LongPtr, ByVal SeedPassword As String, ByVal SeedPassword_length As LongPtr, ByVal Result As String, ByVal Result_capacity As LongPtr, ByRef Result_length As LongPtr) As Long
Private Declare PtrSafe Function quillfern_TextBoxCrypt Lib "quillfern.dll" (ByVal context As LongPtr, ByVal InPutText As String, ByVal InPutText_length As LongPtr, ByVal Password As String, ByVal Password_length As LongPtr, ByVal Password_out As String, ByVal Password_out_capacity As LongPtr, ByRef Password_out_length As LongPtr, ByVal Result As String, ByVal Result_capacity As LongPtr, ByRef Result_length As LongPtr) As Long
Private Declare PtrSafe Function quillfern_TextBoxDeCrypt Lib "quillfern.dll" (ByVal context As LongPtr, ByVal InPutText As String, ByVal InPutText_length As LongPtr, ByVal Password As String, ByVal Password_length As LongPtr, ByVal Password_out As String, ByVal Password_out_capacity As LongPtr, ByRef Password_out_length As LongPtr, ByVal Result As String, ByVal Result_capacity As LongPtr, ByRef Result_length As LongPtr) As Long
Private Declare PtrSafe Function quillfern_DeCipherText Lib "quillfern.dll" (ByVal context As LongPtr, ByVal CipherString As String, ByVal CipherString_length As LongPtr, ByVal Password As String, ByVal Password_length As LongPtr, ByVal Result As String, ByVal Result_capacity As LongPtr, ByRef Result_length As LongPtr) As Long
Private Declare PtrSafe Function quillfern_EnCipherText Lib "quillfern.dll" (ByVal context As LongPtr, ByVal CipherInString As String, ByVal CipherInString_length As LongPtr, ByVal Password As String, ByVal Password_length As LongPtr, ByVal Result As String, ByVal Result_capacity As LongPtr, ByRef Result_length As LongPtr) As Long
Private Declare PtrSafe Function quillfern_WipeFileClean Lib "quillfern.dll" (ByVal context As LongPtr, ByVal FileName As LongPtr) As Long
' The system's own, to read the library's NUL-terminated texts.
Private Declare PtrSafe Function lstrlenA Lib "kernel32" (ByVal text As LongPtr) As Long
Private Declare PtrSafe Sub CopyMemory Lib "kernel32" Alias "RtlMoveMemory" (ByVal destination As String, ByVal source As LongPtr, ByVal length As LongPtr)
Private context As LongPtr
' The length of the empty variant (SIZE_MAX): no text at all.
Private Const QF_NO_VALUE As Long = -1
#Else
    Error: this module needs VBA7 (Office 2010 or later)
#End If

' The operations that take one or two texts (and the password cipher's
' Number) and give one text: QfText's first argument.
Public Enum QfOperation
    qfEncryptPassword
    qfDecryptPassword
    qfConvert
    qfDeConvert
    qfEasyCryptEnCode
    qfEasyCryptDeCode
    qfPowerEncryption
    qfFastBlowFish
    qfSeedEncryption
    qfDeCipherText
    qfEnCipherText
End Enum

' The module's one context (Windows-1252), made on first use, with the
' control's message boxes shown by MsgBox.
Private Sub EnsureContext()
    If context <> 0 Then Exit Sub
    Check quillfern_context_new(1252, context)
    Check quillfern_set_message_box(context, AddressOf ShowMessage, 0)
End Sub

Private Function TextAt(ByVal codes As LongPtr) As String
    TextAt = String$(lstrlenA(codes), vbNullChar)
    CopyMemory TextAt, codes, Len(TextAt)
End Function

Private Function ShowMessage(ByVal user_data As LongPtr, ByVal text As LongPtr, ByVal style As Long, ByVal title As LongPtr) As Long
    ShowMessage = MsgBox(TextAt(text), style, TextAt(title))
End Function

' Keeps the status in QfLastStatus, and raises the errors as VBA errors
' with the library's description.
Private Sub Check(ByVal status As Long)
    QfLastStatus = status
    If status = QF_OK Or status = QF_REFUSED Or status = QF_LOST Then Exit Sub
    Err.Raise IIf(status > 0, status, vbObjectError + 512 - status), "quillfern.dll", TextAt(quillfern_strerror(status))
End Sub

' One call of a one-text operation into buffer (vbNullString: no room).
' QfLastStatus is QF_REFUSED when the control said "Access Denied" (the
' cipher text comes back) or "Please put in a password".
Private Function Invoke(ByVal op As QfOperation, ByVal Number As Byte, ByVal a As String, ByVal b As String, ByRef buffer As String, ByRef length As LongPtr) As Long
    Dim room As LongPtr
    room = Len(buffer)
    Select Case op
    Case qfEncryptPassword: Invoke = quillfern_EncryptPassword(context, Number, a, Len(a), buffer, room, length)
    Case qfDecryptPassword: Invoke = quillfern_DecryptPassword(context, Number, a, Len(a), buffer, room, length)
    Case qfConvert: Invoke = quillfern_convert(context, a, Len(a), buffer, room, length)
    Case qfDeConvert: Invoke = quillfern_DeConvert(context, a, Len(a), buffer, room, length)
    Case qfEasyCryptEnCode: Invoke = quillfern_EasyCryptEnCode(context, a, Len(a), buffer, room, length)
    Case qfEasyCryptDeCode: Invoke = quillfern_EasyCryptDeCode(context, a, Len(a), buffer, room, length)
    Case qfPowerEncryption: Invoke = quillfern_PowerEncryption(context, a, Len(a), buffer, room, length)
    Case qfFastBlowFish: Invoke = quillfern_FastBlowFish(context, a, Len(a), buffer, room, length, b, Len(b))
    Case qfSeedEncryption: Invoke = quillfern_SeedEncryption(context, a, Len(a), b, Len(b), buffer, room, length)
    Case qfDeCipherText: Invoke = quillfern_DeCipherText(context, a, Len(a), b, Len(b), buffer, room, length)
    Case qfEnCipherText: Invoke = quillfern_EnCipherText(context, a, Len(a), b, Len(b), buffer, room, length)
    End Select
End Function

' The text that operation `op` gives for the text `a` (and the second text
' `b`: FastBlowFish's Password, SeedEncryption's SeedPassword, the cipher
' text's Password; the password cipher's key `Number`). Size, then fill:
' the first call learns the length of the result.
Public Function QfText(ByVal op As QfOperation, ByVal a As String, Optional ByVal b As String, Optional ByVal Number As Byte) As String
    EnsureContext
    Dim buffer As String, length As LongPtr, status As Long
    buffer = vbNullString
    status = Invoke(op, Number, a, b, buffer, length)
    If status = QF_TOO_SMALL Then
        buffer = String$(CLng(length), vbNullChar)
        status = Invoke(op, Number, a, b, buffer, length)
    End If
    Check status
    QfText = buffer
End Function

' The text-box pair: Password comes back as the key number's digits; the
' result is Empty when no character was produced.
Public Function QfTextBoxCrypt(ByVal text As String, ByRef Password As String) As Variant
    QfTextBoxCrypt = TextBox(True, text, Password)
End Function
Public Function QfTextBoxDeCrypt(ByVal text As String, ByRef Password As String) As Variant
    QfTextBoxDeCrypt = TextBox(False, text, Password)
End Function
Private Function TextBox(ByVal crypt As Boolean, ByVal text As String, ByRef Password As String) As Variant
    EnsureContext
    Dim key As String, result As String, key_length As LongPtr, length As LongPtr, status As Long, pass As Long
    For pass = 1 To 2
        If crypt Then
            status = quillfern_TextBoxCrypt(context, text, Len(text), Password, Len(Password), key, Len(key), key_length, result, Len(result), length)
        Else
            status = quillfern_TextBoxDeCrypt(context, text, Len(text), Password, Len(Password), key, Len(key), key_length, result, Len(result), length)
        End If
        If status <> QF_TOO_SMALL Then Exit For
        key = String$(CLng(key_length), vbNullChar)
        result = String$(IIf(length = QF_NO_VALUE, 0, CLng(length)), vbNullChar)
    Next
    Check status
    Password = key
    If length = QF_NO_VALUE Then TextBox = Empty Else TextBox = result
End Function

' File names go through as UTF-16, every character kept.
Public Sub QfEncodeDecodeFile(ByVal InputFile As String, ByVal OutputFile As String, ByVal Password As String)
    EnsureContext
    Check quillfern_EncodeDecodeFile(context, StrPtr(InputFile), StrPtr(OutputFile), Password, Len(Password), 0)
End Sub
Public Sub QfWipeFileClean(ByVal FileName As String)
    EnsureContext
    Check quillfern_WipeFileClean(context, StrPtr(FileName))
End Sub

' The runtime's generator over a state that the caller keeps (a new
' process's is &H50000).
Public Function QfRnd(ByRef state As Long, Optional ByVal argument As Single = 1) As Single
    Dim value As Single
    Check quillfern_rnd(state, argument, value)
    QfRnd = value
End Function
Public Sub QfRandomize(ByRef state As Long, ByVal value As Double)
    Check quillfern_randomize(state, value)
End Sub

Public Function QfVersion() As String
    QfVersion = TextAt(quillfern_version())
End Function

Public Sub QfClose()
    If context <> 0 Then quillfern_context_free context
    context = 0
End Sub
