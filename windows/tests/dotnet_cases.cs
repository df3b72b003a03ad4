// Replays the Windows case file (see cases.hpp for its format) through the
// .NET module windows/hosts/Quillfern.cs: every case through its byte[]
// wrapper, and once more through its Windows-1252 string wrapper, with the
// results, the written Password, the error numbers, the statuses (refused,
// lost) and the message boxes compared with the answers of the C++ library.
// Then the generator against docs/rnd-vectors.txt and identify.
//
// usage: mono dotnet_cases.exe CASES RND_VECTORS
// The file cases are left out and counted: the module passes file names as
// UTF-16, as the DLL takes them, and this runs on Linux under mono with the
// DLL mapped to libquillfern_c.so, whose file names are UTF-8.
using System;
using System.Collections.Generic;
using System.Globalization;
using System.IO;
using System.Linq;
using Quillfern;

static class DotnetCases
{
    static int failures, checks;
    static string where = "";

    static void Check(bool ok, string what)
    {
        ++checks;
        if (ok) return;
        ++failures;
        Console.Error.WriteLine("FAIL " + where + ": " + what);
    }

    static byte[] FromHex(string hex)
    {
        var codes = new byte[hex.Length / 2];
        for (int i = 0; i < codes.Length; ++i) codes[i] = byte.Parse(hex.Substring(2 * i, 2), NumberStyles.HexNumber);
        return codes;
    }

    // A value of the case file: E (null here), S:HEX, Y:N, B:1/B:0.
    sealed class Value
    {
        public char Kind;
        public byte[] Text;
        public int Number;
        public static Value Parse(string token)
        {
            var v = new Value { Kind = token[0] };
            if (v.Kind == 'S') v.Text = FromHex(token.Substring(2));
            if (v.Kind == 'Y') v.Number = int.Parse(token.Substring(2));
            if (v.Kind == 'B') v.Number = token == "B:1" ? 1 : 0;
            return v;
        }
    }

    sealed class Case
    {
        public string Name, Kind;
        public List<Value> Args = new List<Value>(), After = new List<Value>();
        public int FilesBefore, FilesAfter, Error;
        public Value Result;
        public List<Tuple<int, byte[], byte[]>> Messages = new List<Tuple<int, byte[], byte[]>>();
    }

    static Case Parse(string line)
    {
        var t = line.Split(' ');
        int at = 0;
        var c = new Case { Name = t[at++], Kind = t[at++] };
        int argc = int.Parse(t[at++]);
        for (int i = 0; i < argc; ++i) c.Args.Add(Value.Parse(t[at++]));
        c.FilesBefore = int.Parse(t[at++]);
        at += c.FilesBefore;
        c.Error = int.Parse(t[at++].Split(':')[1]);
        c.Result = Value.Parse(t[at++]);
        for (int i = 0; i < argc; ++i) c.After.Add(Value.Parse(t[at++]));
        int messages = int.Parse(t[at++]);
        for (int i = 0; i < messages; ++i)
        {
            var m = t[at++].Split(':');
            c.Messages.Add(Tuple.Create(int.Parse(m[1]), FromHex(m[2]), FromHex(m[3])));
        }
        c.FilesAfter = int.Parse(t[at++]);
        return c;
    }

    static bool Same(byte[] a, byte[] b) => (a == null && b == null) || (a != null && b != null && a.SequenceEqual(b));
    static string Show(byte[] b) => b == null ? "(empty variant)" : BitConverter.ToString(b);

    // One call by the case's name; `strings` picks the string wrappers.
    // Returns the result (or the written OutPut) and sets `written` for the
    // text-box pair's Password.
    static byte[] Call(Encryption q, Case c, bool strings, out byte[] written, out bool? flag)
    {
        written = null;
        flag = null;
        Func<int, byte[]> A = i => c.Args[i].Text ?? new byte[0];
        Func<int, string> T = i => Encryption.Codes.GetString(A(i));
        Func<string, byte[]> B = s => s == null ? null : Encryption.Codes.GetBytes(s);
        byte n = c.Args.Count > 0 ? (byte)c.Args[0].Number : (byte)0;
        switch (c.Name)
        {
            case "Enabled":
                if (c.Kind == "get") flag = q.Enabled;
                else q.Enabled = c.Args[0].Number != 0;
                return null;
            case "About": q.About(); return null;
            case "EncryptPassword": return strings ? B(q.EncryptPassword(n, T(1))) : q.EncryptPassword(n, A(1));
            case "DecryptPassword": return strings ? B(q.DecryptPassword(n, T(1))) : q.DecryptPassword(n, A(1));
            case "convert": return strings ? B(q.convert(T(0))) : q.convert(A(0));
            case "DeConvert": return strings ? B(q.DeConvert(T(0))) : q.DeConvert(A(0));
            case "EasyCryptEnCode": return strings ? B(q.EasyCryptEnCode(T(0))) : q.EasyCryptEnCode(A(0));
            case "EasyCryptDeCode": return strings ? B(q.EasyCryptDeCode(T(0))) : q.EasyCryptDeCode(A(0));
            case "PowerEncryption": return strings ? B(q.PowerEncryption(T(0))) : q.PowerEncryption(A(0));
            case "FastBlowFish": return strings ? B(q.FastBlowFish(T(0), T(2))) : q.FastBlowFish(A(0), A(2));
            case "SeedEncryption": return strings ? B(q.SeedEncryption(T(0), T(1))) : q.SeedEncryption(A(0), A(1));
            case "DeCipherText": return strings ? B(q.DeCipherText(T(0), T(1))) : q.DeCipherText(A(0), A(1));
            case "EnCipherText": return strings ? B(q.EnCipherText(T(0), T(1))) : q.EnCipherText(A(0), A(1));
            case "TextBoxCrypt":
            case "TextBoxDeCrypt":
            {
                bool crypt = c.Name == "TextBoxCrypt";
                if (strings)
                {
                    string p = T(1);
                    string r = crypt ? q.TextBoxCrypt(T(0), ref p) : q.TextBoxDeCrypt(T(0), ref p);
                    written = B(p);
                    return B(r);
                }
                byte[] password = A(1);
                byte[] result = crypt ? q.TextBoxCrypt(A(0), ref password) : q.TextBoxDeCrypt(A(0), ref password);
                written = password;
                return result;
            }
        }
        throw new InvalidOperationException("no wrapper for " + c.Name);
    }

    static int Run(Encryption q, List<Tuple<int, byte[], byte[]>> seen, Case c, bool strings)
    {
        seen.Clear();
        byte[] result = null, written = null;
        bool? flag = null;
        int error = 0;
        try
        {
            result = Call(q, c, strings, out written, out flag);
        }
        catch (QuillfernException e)
        {
            error = e.Status;
        }
        Check(error == c.Error, "error " + error + ", expected " + c.Error);
        bool refused = c.Messages.Any(m => m.Item1 == 12);
        if (c.Error == 0)
        {
            // The output compared: the written parameter of the transforms
            // and FastBlowFish, or the result.
            int output = c.Name == "FastBlowFish" || c.Name.StartsWith("EasyCrypt") || c.Name == "convert" || c.Name == "DeConvert" ? 1
                       : c.Name == "EncryptPassword" || c.Name == "DecryptPassword" ? 2 : -1;
            Value expected = output >= 0 ? c.After[output] : c.Result;
            if (c.Name != "Enabled" && c.Name != "About")
            {
                Check(Same(result, expected.Kind == 'S' ? expected.Text : null), "result " + Show(result) + ", expected " + Show(expected.Text));
            }
            if (c.Name.StartsWith("TextBox")) Check(Same(written, c.After[1].Text), "Password " + Show(written));
            if (flag.HasValue) Check((flag.Value ? 1 : 0) == c.Result.Number, "Enabled " + flag.Value);
            bool lost = !refused && Lost(c, result);
            int status = refused ? Status.Refused : lost ? Status.Lost : Status.Ok;
            Check(q.LastStatus == status, "status " + q.LastStatus + ", expected " + status);
        }
        Check(seen.Count == c.Messages.Count, seen.Count + " boxes, expected " + c.Messages.Count);
        for (int i = 0; i < Math.Min(seen.Count, c.Messages.Count); ++i)
        {
            Check(seen[i].Item1 == c.Messages[i].Item1 && Same(seen[i].Item2, c.Messages[i].Item2) && Same(seen[i].Item3, c.Messages[i].Item3),
                  "box " + i + ": " + Encryption.Codes.GetString(seen[i].Item3));
        }
        return 1;
    }

    // Whether a result lacks codes of the input (as the C program judges it).
    static bool Lost(Case c, byte[] result)
    {
        int produced = result == null ? 0 : result.Length;
        Func<int, int> Len = i => c.Args[i].Text == null ? 0 : c.Args[i].Text.Length;
        if (c.Name.StartsWith("TextBox")) return produced < Len(0);
        if (c.Name == "EnCipherText") return produced < Len(0) + Len(1);
        if (c.Name == "DeCipherText") return produced < Len(0) - Len(1);
        return false;
    }

    static void Generator(string path)
    {
        uint state = Quillfern.Generator.Start;
        float timer = 0;
        int calls = 0, line = 0;
        foreach (string text in File.ReadAllLines(path))
        {
            ++line;
            where = path + ":" + line;
            var w = text.Split(new[] { ' ' }, StringSplitOptions.RemoveEmptyEntries);
            if (w.Length == 0 || w[0].StartsWith("#")) continue;
            if (w[0] == "new") { state = w.Length > 1 ? Convert.ToUInt32(w[1], 16) : Quillfern.Generator.Start; continue; }
            if (w[0] == "timer") { timer = float.Parse(w[1], CultureInfo.InvariantCulture); continue; }
            int arrow = Array.IndexOf(w, "=>");
            string argument = arrow == 2 ? w[1] : null;
            float value = 0;
            if (w[0] == "rnd") value = Quillfern.Generator.Rnd(ref state, argument == null ? 1 : float.Parse(argument, CultureInfo.InvariantCulture));
            else if (argument == null) Quillfern.Generator.RandomizeTimer(ref state, timer);
            else if (argument == "timer") Quillfern.Generator.Randomize(ref state, timer);
            else Quillfern.Generator.Randomize(ref state, double.Parse(argument, CultureInfo.InvariantCulture));
            Check(state == Convert.ToUInt32(w[arrow + 1], 16), "state " + state.ToString("X6"));
            if (w[0] == "rnd") Check(value == float.Parse(w[arrow + 2], CultureInfo.InvariantCulture), "value " + value.ToString("R"));
            ++calls;
        }
        where = "generator";
        Check(calls >= 40, calls + " calls");
        uint bad = 0x1000000;
        try { Quillfern.Generator.Rnd(ref bad); Check(false, "a state past 24 bits is refused"); }
        catch (QuillfernException e) { Check(e.Status == Status.InvalidArgument, "status " + e.Status); }
        Console.WriteLine("dotnet: generator: " + calls + " calls of " + path);
    }

    static void Identify(Encryption q)
    {
        where = "identify";
        byte[] plain = Encryption.Codes.GetBytes("Meet me at the old mill at nine tonight, and bring the map.");
        byte[] made = q.EncryptPassword(5, plain);
        Reading[] readings = Encryption.Identify(made);
        Check(readings.Any(r => r.kind == 2 && r.key == 5 && r.plausible == 1 && r.length.ToUInt64() == (ulong)plain.Length),
              "EncryptPassword under 5 is among " + readings.Length + " readings");
        made = q.EnCipherText(plain, Encryption.Codes.GetBytes("mill"));
        readings = Encryption.Identify(made);
        Check(readings.Any(r => r.kind == 5 && r.password_length == 4 && Encryption.Codes.GetString(r.password, 0, 4) == "mill"),
              "the cipher text's password is read");
    }

    static int Main(string[] args)
    {
        if (args.Length != 2)
        {
            Console.Error.WriteLine("usage: dotnet_cases CASES RND_VECTORS");
            return 2;
        }
        var seen = new List<Tuple<int, byte[], byte[]>>();
        int cases = 0, file_cases = 0;
        using (var q = new Encryption())
        {
            q.SetMessageBox((text, style, title) =>
            {
                seen.Add(Tuple.Create(style, Encryption.Codes.GetBytes(title), Encryption.Codes.GetBytes(text)));
                return 1;
            });
            var all = File.ReadAllLines(args[0]).Where(l => l.Length > 0 && l[0] != '#').Select(Parse).ToList();
            foreach (bool strings in new[] { false, true })
            {
                int number = 0;
                foreach (Case c in all)
                {
                    where = (strings ? "strings" : "bytes") + " case " + ++number + " (" + c.Name + " " + c.Kind + ")";
                    if (c.Name == "EncodeDecodeFile" || c.Name == "WipeFileClean" || c.FilesBefore > 0 || c.FilesAfter > 0)
                    {
                        if (!strings) ++file_cases;
                        continue;
                    }
                    cases += Run(q, seen, c, strings);
                }
            }
            Identify(q);
        }
        Generator(args[1]);
        Console.WriteLine("dotnet: " + cases + " calls of " + args[0] + " through byte[] and string, " + file_cases +
                          " file cases left out, " + checks + " checks, " + failures + " failed");
        return failures == 0 && cases > 0 ? 0 : 1;
    }
}
