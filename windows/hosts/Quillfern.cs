// The ciphers of quillfern.dll for .NET without component objects: the C
// interface (capi/quillfern.h) through P/Invoke, with wrappers that take
// and return byte[] (the codes as they are) or string (through
// Windows-1252, as the control read texts). Load the DLL of the process's
// architecture (x86_64 for a 64-bit process, i686 for a 32-bit one).
//
//   using var q = new Quillfern.Encryption();
//   string hex = q.convert("abc");                  // "616263"
//   byte[] coded = q.FastBlowFish(data, key);
//   try { q.EncryptPassword(11, "x"); } catch (Quillfern.QuillfernException e) { /* e.Status == 5 */ }
//   if (q.LastStatus == Quillfern.Status.Lost) { /* codes were dropped or cut */ }
//
// Errors (a positive status, or a status of the interface itself) are
// thrown as QuillfernException; Status.Refused (the control said so in a
// message box) and Status.Lost (the result lacks codes) are not errors:
// the result is returned and LastStatus tells them apart.
using System;
using System.Runtime.InteropServices;
using System.Text;

namespace Quillfern
{
    public static class Status
    {
        public const int Ok = 0, TooSmall = -1, Refused = -2, InvalidArgument = -3, Internal = -4, Lost = -5;
    }

    public sealed class QuillfernException : Exception
    {
        public int Status { get; }
        public QuillfernException(int status, string message) : base(message) { Status = status; }
    }

    // One reading of quillfern_identify (quillfern_reading).
    [StructLayout(LayoutKind.Sequential)]
    public struct Reading
    {
        public int kind;
        public int plausible;
        public uint key;
        public uint password_length;
        public double bits;
        public double bits_per_code;
        public UIntPtr length;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = 256)] public byte[] password;
    }

    // The message box: text, style and title as the context's codes.
    [UnmanagedFunctionPointer(CallingConvention.StdCall)]
    public delegate int MessageBoxCallback(IntPtr user_data, IntPtr text, int style, IntPtr title);

    public static class Native
    {
        private const string Dll = "quillfern.dll";
        private const CallingConvention Call = CallingConvention.StdCall;

        [DllImport(Dll, CallingConvention = Call)] public static extern IntPtr quillfern_version();
        [DllImport(Dll, CallingConvention = Call)] public static extern IntPtr quillfern_strerror(int status);
        [DllImport(Dll, CallingConvention = Call)] public static extern int quillfern_context_new(int code_page, out IntPtr context);
        [DllImport(Dll, CallingConvention = Call)] public static extern void quillfern_context_free(IntPtr context);
        [DllImport(Dll, CallingConvention = Call)] public static extern int quillfern_set_message_box(IntPtr context, MessageBoxCallback box, IntPtr user_data);
        [DllImport(Dll, CallingConvention = Call)] public static extern int quillfern_get_generator_state(IntPtr context, out uint state);
        [DllImport(Dll, CallingConvention = Call)] public static extern int quillfern_set_generator_state(IntPtr context, uint state);
        [DllImport(Dll, CallingConvention = Call)] public static extern int quillfern_rnd(ref uint state, float argument, out float value);
        [DllImport(Dll, CallingConvention = Call)] public static extern int quillfern_rnd_last(uint state, out float value);
        [DllImport(Dll, CallingConvention = Call)] public static extern int quillfern_randomize(ref uint state, double value);
        [DllImport(Dll, CallingConvention = Call)] public static extern int quillfern_randomize_timer(ref uint state, float seconds);
        [DllImport(Dll, CallingConvention = Call)] public static extern int quillfern_identify(byte[] text, UIntPtr text_length, int all, [Out] Reading[] readings, UIntPtr readings_capacity, out UIntPtr readings_count);
        [DllImport(Dll, CallingConvention = Call)] public static extern int quillfern_get_Enabled(IntPtr context, out int Result);
        [DllImport(Dll, CallingConvention = Call)] public static extern int quillfern_put_Enabled(IntPtr context, int Enabled);
        [DllImport(Dll, CallingConvention = Call)] public static extern int quillfern_About(IntPtr context);
        [DllImport(Dll, CallingConvention = Call)] public static extern int quillfern_EncryptPassword(IntPtr context, byte Number, byte[] DecryptedPassword, UIntPtr DecryptedPassword_length, byte[] OutPut, UIntPtr OutPut_capacity, out UIntPtr OutPut_length);
        [DllImport(Dll, CallingConvention = Call)] public static extern int quillfern_DecryptPassword(IntPtr context, byte Number, byte[] EncryptedPassword, UIntPtr EncryptedPassword_length, byte[] OutPut, UIntPtr OutPut_capacity, out UIntPtr OutPut_length);
        [DllImport(Dll, CallingConvention = Call)] public static extern int quillfern_convert(IntPtr context, byte[] InPutString, UIntPtr InPutString_length, byte[] OutPut, UIntPtr OutPut_capacity, out UIntPtr OutPut_length);
        [DllImport(Dll, CallingConvention = Call)] public static extern int quillfern_DeConvert(IntPtr context, byte[] InPutString, UIntPtr InPutString_length, byte[] OutPut, UIntPtr OutPut_capacity, out UIntPtr OutPut_length);
        [DllImport(Dll, CallingConvention = Call)] public static extern int quillfern_EasyCryptEnCode(IntPtr context, byte[] InPutString, UIntPtr InPutString_length, byte[] OutPut, UIntPtr OutPut_capacity, out UIntPtr OutPut_length);
        [DllImport(Dll, CallingConvention = Call)] public static extern int quillfern_EasyCryptDeCode(IntPtr context, byte[] InPutString, UIntPtr InPutString_length, byte[] OutPut, UIntPtr OutPut_capacity, out UIntPtr OutPut_length);
        // File names are UTF-16 on Windows; state may be null (the context's generator).
        [DllImport(Dll, CallingConvention = Call)] public static extern int quillfern_EncodeDecodeFile(IntPtr context, [MarshalAs(UnmanagedType.LPWStr)] string InputFile, [MarshalAs(UnmanagedType.LPWStr)] string OutputFile, byte[] Password, UIntPtr Password_length, uint[] state);
        [DllImport(Dll, CallingConvention = Call)] public static extern int quillfern_PowerEncryption(IntPtr context, byte[] InPutString, UIntPtr InPutString_length, byte[] Result, UIntPtr Result_capacity, out UIntPtr Result_length);
        [DllImport(Dll, CallingConvention = Call)] public static extern int quillfern_FastBlowFish(IntPtr context, byte[] InPutString, UIntPtr InPutString_length, byte[] OutPut, UIntPtr OutPut_capacity, out UIntPtr OutPut_length, byte[] Password, UIntPtr Password_length);
        [DllImport(Dll, CallingConvention = Call)] public static extern int quillfern_SeedEncryption(IntPtr context, byte[] InPutString, UIntPtr InPutString_length, byte[] SeedPassword, UIntPtr SeedPassword_length, byte[] Result, UIntPtr Result_capacity, out UIntPtr Result_length);
        [DllImport(Dll, CallingConvention = Call)] public static extern int quillfern_TextBoxCrypt(IntPtr context, byte[] InPutText, UIntPtr InPutText_length, byte[] Password, UIntPtr Password_length, byte[] Password_out, UIntPtr Password_out_capacity, out UIntPtr Password_out_length, byte[] Result, UIntPtr Result_capacity, out UIntPtr Result_length);
        [DllImport(Dll, CallingConvention = Call)] public static extern int quillfern_TextBoxDeCrypt(IntPtr context, byte[] InPutText, UIntPtr InPutText_length, byte[] Password, UIntPtr Password_length, byte[] Password_out, UIntPtr Password_out_capacity, out UIntPtr Password_out_length, byte[] Result, UIntPtr Result_capacity, out UIntPtr Result_length);
        [DllImport(Dll, CallingConvention = Call)] public static extern int quillfern_DeCipherText(IntPtr context, byte[] CipherString, UIntPtr CipherString_length, byte[] Password, UIntPtr Password_length, byte[] Result, UIntPtr Result_capacity, out UIntPtr Result_length);
        [DllImport(Dll, CallingConvention = Call)] public static extern int quillfern_EnCipherText(IntPtr context, byte[] CipherInString, UIntPtr CipherInString_length, byte[] Password, UIntPtr Password_length, byte[] Result, UIntPtr Result_capacity, out UIntPtr Result_length);
        [DllImport(Dll, CallingConvention = Call)] public static extern int quillfern_WipeFileClean(IntPtr context, [MarshalAs(UnmanagedType.LPWStr)] string FileName);
    }

    // The runtime's generator over a state that the caller keeps.
    public static class Generator
    {
        public const uint Start = 0x50000;
        public static float Rnd(ref uint state, float argument = 1)
        {
            Encryption.Check(Native.quillfern_rnd(ref state, argument, out float value));
            return value;
        }
        public static float Last(uint state)
        {
            Encryption.Check(Native.quillfern_rnd_last(state, out float value));
            return value;
        }
        public static void Randomize(ref uint state, double value) => Encryption.Check(Native.quillfern_randomize(ref state, value));
        public static void RandomizeTimer(ref uint state, float seconds) => Encryption.Check(Native.quillfern_randomize_timer(ref state, seconds));
    }

    public sealed class Encryption : IDisposable
    {
        public static readonly Encoding Codes = Encoding.GetEncoding(1252);
        private IntPtr context;
        private MessageBoxCallback callback;  // kept alive while the context may call it

        // The status of the last call that did not throw: Ok, Refused or Lost.
        public int LastStatus { get; private set; }

        public Encryption() { Check(Native.quillfern_context_new(1252, out context)); }
        public void Dispose()
        {
            Native.quillfern_context_free(context);
            context = IntPtr.Zero;
        }

        // The control's message boxes, once each call is over: (text, style, title) -> button.
        public void SetMessageBox(Func<string, int, string, int> box)
        {
            callback = box == null ? null : new MessageBoxCallback((_, text, style, title) => box(Text(text), style, Text(title)));
            Check(Native.quillfern_set_message_box(context, callback, IntPtr.Zero));
        }

        private static string Text(IntPtr codes)
        {
            int length = 0;
            while (Marshal.ReadByte(codes, length) != 0) ++length;
            var bytes = new byte[length];
            Marshal.Copy(codes, bytes, 0, length);
            return Codes.GetString(bytes);
        }

        internal static int Check(int status)
        {
            if (status == Status.Ok || status == Status.Refused || status == Status.Lost) return status;
            throw new QuillfernException(status, Marshal.PtrToStringAnsi(Native.quillfern_strerror(status)));
        }

        private delegate int Filler(byte[] output, UIntPtr capacity, out UIntPtr length);
        private delegate int Filler2(byte[] first, UIntPtr first_capacity, out UIntPtr first_length,
                                     byte[] second, UIntPtr second_capacity, out UIntPtr second_length);

        private static readonly UIntPtr NoValue = UIntPtr.Size == 8 ? (UIntPtr)ulong.MaxValue : (UIntPtr)uint.MaxValue;
        private static byte[] Buffer(UIntPtr length) => length == NoValue ? null : new byte[(long)length.ToUInt64()];
        private static UIntPtr Room(byte[] b) => b == null ? UIntPtr.Zero : (UIntPtr)b.Length;
        private static UIntPtr L(byte[] b) => (UIntPtr)b.Length;

        // Size, then fill: the first call learns the length. Null is the
        // empty variant (no text at all).
        private byte[] Output(Filler call)
        {
            int status = call(null, UIntPtr.Zero, out UIntPtr length);
            byte[] buffer = Array.Empty<byte>();
            if (status == Status.TooSmall)
            {
                buffer = Buffer(length);
                status = call(buffer, Room(buffer), out length);
            }
            LastStatus = Check(status);
            return length == NoValue ? null : buffer;
        }

        private byte[] Output(Filler2 call, out byte[] first)
        {
            int status = call(null, UIntPtr.Zero, out UIntPtr n1, null, UIntPtr.Zero, out UIntPtr n2);
            first = Array.Empty<byte>();
            byte[] second = Array.Empty<byte>();
            if (status == Status.TooSmall)
            {
                first = Buffer(n1);
                second = Buffer(n2);
                status = call(first, Room(first), out n1, second, Room(second), out n2);
            }
            LastStatus = Check(status);
            return n2 == NoValue ? null : second;
        }

        private void Run(int status) => LastStatus = Check(status);

        // ---- the operations, over codes -------------------------------------
        public bool Enabled
        {
            get
            {
                Run(Native.quillfern_get_Enabled(context, out int flag));
                return flag != 0;
            }
            set => Run(Native.quillfern_put_Enabled(context, value ? 1 : 0));
        }
        public void About() => Run(Native.quillfern_About(context));
        public byte[] EncryptPassword(byte Number, byte[] text) =>
            Output((byte[] o, UIntPtr c, out UIntPtr l) => Native.quillfern_EncryptPassword(context, Number, text, L(text), o, c, out l));
        public byte[] DecryptPassword(byte Number, byte[] text) =>
            Output((byte[] o, UIntPtr c, out UIntPtr l) => Native.quillfern_DecryptPassword(context, Number, text, L(text), o, c, out l));
        public byte[] convert(byte[] text) =>
            Output((byte[] o, UIntPtr c, out UIntPtr l) => Native.quillfern_convert(context, text, L(text), o, c, out l));
        public byte[] DeConvert(byte[] hex) =>
            Output((byte[] o, UIntPtr c, out UIntPtr l) => Native.quillfern_DeConvert(context, hex, L(hex), o, c, out l));
        public byte[] EasyCryptEnCode(byte[] text) =>
            Output((byte[] o, UIntPtr c, out UIntPtr l) => Native.quillfern_EasyCryptEnCode(context, text, L(text), o, c, out l));
        public byte[] EasyCryptDeCode(byte[] text) =>
            Output((byte[] o, UIntPtr c, out UIntPtr l) => Native.quillfern_EasyCryptDeCode(context, text, L(text), o, c, out l));
        // With a state, the call draws from it and leaves the state after it there.
        public void EncodeDecodeFile(string InputFile, string OutputFile, byte[] Password, uint[] state = null) =>
            Run(Native.quillfern_EncodeDecodeFile(context, InputFile, OutputFile, Password, L(Password), state));
        public byte[] PowerEncryption(byte[] text) =>
            Output((byte[] o, UIntPtr c, out UIntPtr l) => Native.quillfern_PowerEncryption(context, text, L(text), o, c, out l));
        public byte[] FastBlowFish(byte[] text, byte[] Password) =>
            Output((byte[] o, UIntPtr c, out UIntPtr l) => Native.quillfern_FastBlowFish(context, text, L(text), o, c, out l, Password, L(Password)));
        public byte[] SeedEncryption(byte[] text, byte[] SeedPassword) =>
            Output((byte[] o, UIntPtr c, out UIntPtr l) => Native.quillfern_SeedEncryption(context, text, L(text), SeedPassword, L(SeedPassword), o, c, out l));
        // Password comes back as the key number's digits; null is the empty variant.
        public byte[] TextBoxCrypt(byte[] text, ref byte[] Password) => TextBox(true, text, ref Password);
        public byte[] TextBoxDeCrypt(byte[] text, ref byte[] Password) => TextBox(false, text, ref Password);
        private byte[] TextBox(bool crypt, byte[] text, ref byte[] Password)
        {
            byte[] p = Password;
            byte[] result = Output((byte[] o1, UIntPtr c1, out UIntPtr l1, byte[] o2, UIntPtr c2, out UIntPtr l2) => crypt
                ? Native.quillfern_TextBoxCrypt(context, text, L(text), p, L(p), o1, c1, out l1, o2, c2, out l2)
                : Native.quillfern_TextBoxDeCrypt(context, text, L(text), p, L(p), o1, c1, out l1, o2, c2, out l2), out byte[] key);
            Password = key;
            return result;
        }
        public byte[] DeCipherText(byte[] cipher, byte[] Password) =>
            Output((byte[] o, UIntPtr c, out UIntPtr l) => Native.quillfern_DeCipherText(context, cipher, L(cipher), Password, L(Password), o, c, out l));
        public byte[] EnCipherText(byte[] text, byte[] Password) =>
            Output((byte[] o, UIntPtr c, out UIntPtr l) => Native.quillfern_EnCipherText(context, text, L(text), Password, L(Password), o, c, out l));
        public void WipeFileClean(string FileName) => Run(Native.quillfern_WipeFileClean(context, FileName));

        // ---- the same through Windows-1252 strings -----------------------
        private static byte[] B(string s) => Codes.GetBytes(s ?? "");
        private static string S(byte[] b) => b == null ? null : Codes.GetString(b);
        public string EncryptPassword(byte Number, string text) => S(EncryptPassword(Number, B(text)));
        public string DecryptPassword(byte Number, string text) => S(DecryptPassword(Number, B(text)));
        public string convert(string text) => S(convert(B(text)));
        public string DeConvert(string hex) => S(DeConvert(B(hex)));
        public string EasyCryptEnCode(string text) => S(EasyCryptEnCode(B(text)));
        public string EasyCryptDeCode(string text) => S(EasyCryptDeCode(B(text)));
        public void EncodeDecodeFile(string InputFile, string OutputFile, string Password) => EncodeDecodeFile(InputFile, OutputFile, B(Password));
        public string PowerEncryption(string text) => S(PowerEncryption(B(text)));
        public string FastBlowFish(string text, string Password) => S(FastBlowFish(B(text), B(Password)));
        public string SeedEncryption(string text, string SeedPassword) => S(SeedEncryption(B(text), B(SeedPassword)));
        public string TextBoxCrypt(string text, ref string Password) => TextBox(true, text, ref Password);
        public string TextBoxDeCrypt(string text, ref string Password) => TextBox(false, text, ref Password);
        private string TextBox(bool crypt, string text, ref string Password)
        {
            byte[] p = B(Password);
            string result = S(TextBox(crypt, B(text), ref p));
            Password = S(p);
            return result;
        }
        public string DeCipherText(string cipher, string Password) => S(DeCipherText(B(cipher), B(Password)));
        public string EnCipherText(string text, string Password) => S(EnCipherText(B(text), B(Password)));

        // What a stored text may be, best first.
        public static Reading[] Identify(byte[] text, bool all = false)
        {
            int status = Native.quillfern_identify(text, L(text), all ? 1 : 0, null, UIntPtr.Zero, out UIntPtr count);
            var readings = new Reading[(long)count.ToUInt64()];
            if (status == Status.TooSmall) status = Native.quillfern_identify(text, L(text), all ? 1 : 0, readings, Room(readings), out count);
            Check(status);
            return readings;
        }
        private static UIntPtr Room(Reading[] r) => (UIntPtr)r.Length;
    }
}
