// A managed host that calls libzuk.so the way .NET and Mono applications do:
// P/Invoke with UTF-16 strings and a cdecl delegate for progress. What the
// library writes is checked by its own tests; this checks the marshalling.
//
//   mono ExtractHost.exe SOUND.wav SCRATCH
//
// Copies the sound to a name outside ASCII in SCRATCH and extracts it, then
// extracts a missing file. Exits 0 when every check passes.
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

    static readonly List<string> problems = new List<string>();

    // Calls with a delegate that notes each percent, and checks the result,
    // the progress and the output, which only a success leaves.
    static void Extract(string input, string output, int expected)
    {
        var seen = new List<float>();
        // The library holds only a raw function pointer; the delegate must
        // outlive the call or the collector may free the thunk under it.
        ProgressCallback callback = percent => { seen.Add(percent); return 0; };
        int result = Extract_DotNet(input, output, callback);
        GC.KeepAlive(callback);
        if (result != expected)
            problems.Add(input + ": expected result " + expected + ", got " + result);
        if (expected == 0 && seen.Count == 0)
            problems.Add(input + ": progress was never called");
        for (int i = 0; i < seen.Count; i++)
            // Written so that NaN fails too.
            if (!(seen[i] >= 0f && seen[i] <= 100f && (i == 0 || seen[i] >= seen[i - 1])))
                problems.Add(input + ": progress call " + i + " reported " + seen[i].ToString("R"));
        if (File.Exists(output) != (expected == 0))
            problems.Add(output + (expected == 0 ? " was not written" : " was written by a failed call"));
    }

    static int Main(string[] args)
    {
        // Letters outside ASCII and outside Latin-1, so the UTF-16 strings are
        // converted in full, not unit by unit.
        string clips = Path.Combine(args[1], "Bänd clips 中");
        if (Directory.Exists(clips))
            Directory.Delete(clips, true);
        Directory.CreateDirectory(clips);
        string input = Path.Combine(clips, "tëst tone.wav");
        File.Copy(args[0], input);
        Extract(input, Path.Combine(clips, "öut.wav"), 0);
        // A .wav goes straight to the resampler, which cannot open a missing file.
        Extract(Path.Combine(clips, "nöt there.wav"), Path.Combine(clips, "never.wav"), -1);
        foreach (string problem in problems)
            Console.Error.WriteLine("ExtractHost: " + problem);
        return problems.Count == 0 ? 0 : 1;
    }
}
