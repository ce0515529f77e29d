// A managed host that calls libzuk.so as .NET and Mono applications do: P/Invoke
// with UTF-16 strings (named outside ASCII and Latin-1) and a cdecl delegate for
// progress.   mono ExtractHost.exe SOUND.wav SCRATCH
using System;
using System.Collections.Generic;
using System.IO;
using System.Runtime.InteropServices;

static class ExtractHost
{
    [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
    delegate int ProgressCallback(float percent);

    [DllImport("zuk", CharSet = CharSet.Unicode, CallingConvention = CallingConvention.Cdecl)]
    static extern int Extract_DotNet(string input, string output, ProgressCallback progress);

    static int Main(string[] args)
    {
        string clips = Path.Combine(args[1], "Bänd clips 中");
        if (Directory.Exists(clips))
            Directory.Delete(clips, true);
        Directory.CreateDirectory(clips);
        string input = Path.Combine(clips, "tëst tone.wav");
        string output = Path.Combine(clips, "öut.wav");
        File.Copy(args[0], input);

        var seen = new List<float>();
        // The library holds only a raw function pointer; the delegate must
        // outlive the call or the collector may free the thunk under it.
        ProgressCallback callback = percent => { seen.Add(percent); return 0; };
        int result = Extract_DotNet(input, output, callback);
        GC.KeepAlive(callback);
        // Written so that NaN fails too.
        bool progressed = seen.Count > 0 && seen.TrueForAll(p => p >= 0f && p <= 100f);
        Console.WriteLine("result {0}, {1} progress calls, {2} written", result, seen.Count, File.Exists(output) ? output : "nothing");
        return result == 0 && progressed && File.Exists(output) ? 0 : 1;
    }
}
