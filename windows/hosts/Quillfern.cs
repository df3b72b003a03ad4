// The ciphers of quillfern.dll for .NET without component objects: the C
// interface (capi/quillfern.h) through P/Invoke, with wrappers that take
// and return byte[] (the codes as they are) or string (through
// Windows-1252, as the control read texts). Load the DLL of the process's
// architecture (x86_64 for a 64-bit process, i686 for a 32-bit one).
//
//   using var q = new Quillfern.Encryption();
//   string hex = q.Convert("abc");                 // "616263"
//   byte[] coded = q.FastBlowFish(data, key);
//   try { q.EncryptPassword(11, "x"); } catch (Quillfern.QuillfernException e) { /* e.Status == 5 */ }
using System;
using System.Runtime.InteropServices;
using System.Text;

namespace Quillfern
{
    public sealed class QuillfernException : Exception
    {
        public int Status { get; }
        public QuillfernException(int status, string message) : base(message) { Status = status; }
    }

    internal static class Native
    {
        private const string Dll = "quillfern.dll";
        public const int TooSmall = -1, Refused = -2;

        [DllImport(Dll, CallingConvention = CallingConvention.StdCall)]
        public static extern int quillfern_context_new(int code_page, out IntPtr context);
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall)]
        public static extern void quillfern_context_free(IntPtr context);
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall)]
        public static extern IntPtr quillfern_strerror(int status);
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall)]
        public static extern int quillfern_convert(IntPtr context, byte[] InPutString, UIntPtr InPutString_length, byte[] OutPut, UIntPtr OutPut_capacity, out UIntPtr OutPut_length);
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall)]
        public static extern int quillfern_DeConvert(IntPtr context, byte[] InPutString, UIntPtr InPutString_length, byte[] OutPut, UIntPtr OutPut_capacity, out UIntPtr OutPut_length);
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall)]
        public static extern int quillfern_EncryptPassword(IntPtr context, byte Number, byte[] DecryptedPassword, UIntPtr DecryptedPassword_length, byte[] OutPut, UIntPtr OutPut_capacity, out UIntPtr OutPut_length);
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall)]
        public static extern int quillfern_FastBlowFish(IntPtr context, byte[] InPutString, UIntPtr InPutString_length, byte[] OutPut, UIntPtr OutPut_capacity, out UIntPtr OutPut_length, byte[] Password, UIntPtr Password_length);
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall)]
        public static extern int quillfern_EnCipherText(IntPtr context, byte[] CipherInString, UIntPtr CipherInString_length, byte[] Password, UIntPtr Password_length, byte[] Result, UIntPtr Result_capacity, out UIntPtr Result_length);
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall)]
        public static extern int quillfern_DeCipherText(IntPtr context, byte[] CipherString, UIntPtr CipherString_length, byte[] Password, UIntPtr Password_length, byte[] Result, UIntPtr Result_capacity, out UIntPtr Result_length);
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Unicode)]
        public static extern int quillfern_EncodeDecodeFile(IntPtr context, string InputFile, string OutputFile, byte[] Password, UIntPtr Password_length, IntPtr state);
    }

    public sealed class Encryption : IDisposable
    {
        private static readonly Encoding Codes = Encoding.GetEncoding(1252);
        private IntPtr context;

        public Encryption() { Check(Native.quillfern_context_new(1252, out context)); }
        public void Dispose() { Native.quillfern_context_free(context); context = IntPtr.Zero; }

        private static int Check(int status)
        {
            if (status == 0 || status == Native.Refused) return status;
            throw new QuillfernException(status, Marshal.PtrToStringAnsi(Native.quillfern_strerror(status)));
        }

        private delegate int Filler(byte[] output, UIntPtr capacity, out UIntPtr length);

        // Size, then fill: the first call learns the length.
        private static byte[] Output(Filler call, out int status)
        {
            status = call(null, UIntPtr.Zero, out UIntPtr length);
            if (status == Native.TooSmall)
            {
                var buffer = new byte[(long)length.ToUInt64()];
                status = call(buffer, (UIntPtr)buffer.Length, out length);
                Check(status);
                return buffer;
            }
            Check(status);
            return Array.Empty<byte>();
        }

        private static UIntPtr L(byte[] b) => (UIntPtr)b.Length;

        public byte[] Convert(byte[] text) =>
            Output((byte[] o, UIntPtr c, out UIntPtr l) => Native.quillfern_convert(context, text, L(text), o, c, out l), out _);
        public byte[] DeConvert(byte[] hex) =>
            Output((byte[] o, UIntPtr c, out UIntPtr l) => Native.quillfern_DeConvert(context, hex, L(hex), o, c, out l), out _);
        public byte[] EncryptPassword(byte number, byte[] text) =>
            Output((byte[] o, UIntPtr c, out UIntPtr l) => Native.quillfern_EncryptPassword(context, number, text, L(text), o, c, out l), out _);
        public byte[] FastBlowFish(byte[] text, byte[] password) =>
            Output((byte[] o, UIntPtr c, out UIntPtr l) => Native.quillfern_FastBlowFish(context, text, L(text), o, c, out l, password, L(password)), out _);
        public byte[] EnCipherText(byte[] text, byte[] password) =>
            Output((byte[] o, UIntPtr c, out UIntPtr l) => Native.quillfern_EnCipherText(context, text, L(text), password, L(password), o, c, out l), out _);
        // False when the control refused the cipher text ("Access Denied").
        public bool DeCipherText(byte[] cipher, byte[] password, out byte[] text)
        {
            text = Output((byte[] o, UIntPtr c, out UIntPtr l) => Native.quillfern_DeCipherText(context, cipher, L(cipher), password, L(password), o, c, out l), out int status);
            return status == 0;
        }
        public void EncodeDecodeFile(string input, string output, byte[] password) =>
            Check(Native.quillfern_EncodeDecodeFile(context, input, output, password, L(password), IntPtr.Zero));

        // The same through Windows-1252 strings.
        public string Convert(string text) => Codes.GetString(Convert(Codes.GetBytes(text)));
        public string DeConvert(string hex) => Codes.GetString(DeConvert(Codes.GetBytes(hex)));
        public string EncryptPassword(byte number, string text) => Codes.GetString(EncryptPassword(number, Codes.GetBytes(text)));
        public string FastBlowFish(string text, string password) => Codes.GetString(FastBlowFish(Codes.GetBytes(text), Codes.GetBytes(password)));
        public string EnCipherText(string text, string password) => Codes.GetString(EnCipherText(Codes.GetBytes(text), Codes.GetBytes(password)));
        public void EncodeDecodeFile(string input, string output, string password) => EncodeDecodeFile(input, output, Codes.GetBytes(password));
    }
}
