// A managed host that calls libzuk.so the way .NET and Mono applications do:
// P/Invoke with UTF-16 strings and a cdecl delegate for progress. What the
// library writes is checked by its own tests; this checks the marshalling.
//
//   mono ExtractHost.exe EXPECTED-RESULT INPUT OUTPUT
//
// Exits 0 when the call returns EXPECTED-RESULT and, on success, progress
// stayed within 0..100 without going back and OUTPUT exists under the exact
// name given; on failure, when no file was left at OUTPUT.
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
        int expected = int.Parse(args[0]);
        var seen = new List<float>();
        // The library holds only a raw function pointer; the delegate must
        // outlive the call or the collector may free the thunk under it.
        ProgressCallback callback = percent => { seen.Add(percent); return 0; };
        int result = Extract_DotNet(args[1], args[2], callback);
        GC.KeepAlive(callback);

        var problems = new List<string>();
        if (result != expected)
            problems.Add("expected result " + expected + ", got " + result);
        if (expected == 0 && seen.Count == 0)
            problems.Add("progress was never called");
        for (int i = 0; i < seen.Count; i++)
            // Written so that NaN fails too.
            if (!(seen[i] >= 0f && seen[i] <= 100f && (i == 0 || seen[i] >= seen[i - 1])))
                problems.Add("progress call " + i + " reported " + seen[i].ToString("R"));
        if (File.Exists(args[2]) != (expected == 0))
            problems.Add(expected == 0 ? "no file at " + args[2] : "a failed call left a file at " + args[2]);
        foreach (string problem in problems)
            Console.Error.WriteLine("ExtractHost: " + problem);
        return problems.Count == 0 ? 0 : 1;
    }
}
