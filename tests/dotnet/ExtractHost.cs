// A managed host that calls libzuk.so the way .NET and Mono applications do:
// P/Invoke with UTF-16 strings and a cdecl delegate for progress. It then
// checks the WAV itself rather than trusting the result code.
//
//   mono ExtractHost.exe INPUT OUTPUT [--expect-frames N]
//       Expects result 0, progress within 0..100 that never goes back, and a
//       mono 16-bit PCM 48000 Hz WAV at OUTPUT holding a loud sound (as the
//       test tone is), about N frames long when given.
//   mono ExtractHost.exe --expect-failure CODE INPUT OUTPUT
//       Expects exactly CODE back and no file at OUTPUT.
//
// Exits 0 when every check passes, 1 otherwise (after saying why).
using System;
using System.Collections.Generic;
using System.IO;
using System.Runtime.InteropServices;
using System.Text;

static class ExtractHost
{
    [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
    delegate int ProgressCallback(float percent);

    [DllImport("zuk", CharSet = CharSet.Unicode, CallingConvention = CallingConvention.Cdecl)]
    static extern int Extract_DotNet(string input, string output, ProgressCallback progress);

    const int ExpectedRate = 48000;
    const int MinimumPeak = 1000;

    static readonly List<float> progressSeen = new List<float>();
    static readonly List<string> problems = new List<string>();

    static int OnProgress(float percent)
    {
        progressSeen.Add(percent);
        return 0;
    }

    static int Main(string[] args)
    {
        try
        {
            if (args.Length == 4 && args[0] == "--expect-failure")
                return ExpectFailure(int.Parse(args[1]), args[2], args[3]);
            if (args.Length == 2)
                return ExpectSuccess(args[0], args[1], -1);
            if (args.Length == 4 && args[2] == "--expect-frames")
                return ExpectSuccess(args[0], args[1], long.Parse(args[3]));
        }
        catch (DllNotFoundException e)
        {
            Console.Error.WriteLine("ExtractHost: libzuk.so cannot be loaded (is its folder on LD_LIBRARY_PATH?): " + e.Message);
            return 1;
        }
        catch (EntryPointNotFoundException e)
        {
            Console.Error.WriteLine("ExtractHost: libzuk.so has no Extract_DotNet: " + e.Message);
            return 1;
        }
        Console.Error.WriteLine("usage: ExtractHost.exe INPUT OUTPUT [--expect-frames N]");
        Console.Error.WriteLine("       ExtractHost.exe --expect-failure CODE INPUT OUTPUT");
        return 1;
    }

    static int Call(string input, string output)
    {
        // The library holds only a raw function pointer; the delegate must
        // outlive the call or the collector may free the thunk under it.
        ProgressCallback callback = OnProgress;
        int result = Extract_DotNet(input, output, callback);
        GC.KeepAlive(callback);

        string last = progressSeen.Count > 0 ? progressSeen[progressSeen.Count - 1].ToString("R") : "none";
        Console.WriteLine("result {0}, {1} progress calls, last {2}", result, progressSeen.Count, last);
        return result;
    }

    static int ExpectFailure(int expected, string input, string output)
    {
        if (File.Exists(output))
            problems.Add("the output " + output + " exists before the call, so 'nothing written' cannot be checked");
        else
        {
            int result = Call(input, output);
            if (result != expected)
                problems.Add("expected result " + expected + ", got " + result);
            if (File.Exists(output))
                problems.Add("a failed call left a file at " + output);
        }
        return Finish();
    }

    static int ExpectSuccess(string input, string output, long expectedFrames)
    {
        int result = Call(input, output);
        if (result != 0)
            problems.Add("expected result 0, got " + result);
        CheckProgress();
        if (!File.Exists(output))
            problems.Add("no file at " + output);
        else
            CheckWav(File.ReadAllBytes(output), expectedFrames);
        return Finish();
    }

    static int Finish()
    {
        foreach (string problem in problems)
            Console.Error.WriteLine("ExtractHost: " + problem);
        Console.WriteLine(problems.Count == 0 ? "ok" : "FAILED");
        return problems.Count == 0 ? 0 : 1;
    }

    static void CheckProgress()
    {
        if (progressSeen.Count == 0)
        {
            problems.Add("progress was never called");
            return;
        }
        float previous = float.NegativeInfinity;
        for (int i = 0; i < progressSeen.Count; i++)
        {
            float p = progressSeen[i];
            // Written so that NaN fails too.
            if (!(p >= 0f && p <= 100f))
                problems.Add("progress call " + i + " reported " + p.ToString("R") + ", outside 0..100");
            else if (p < previous)
                problems.Add("progress went back from " + previous.ToString("R") + " to " + p.ToString("R") + " at call " + i);
            else
                previous = p;
        }
    }

    static string Id(byte[] b, int at)
    {
        return Encoding.ASCII.GetString(b, at, 4);
    }

    static uint U32(byte[] b, int at)
    {
        return (uint)(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24);
    }

    static int U16(byte[] b, int at)
    {
        return b[at] | b[at + 1] << 8;
    }

    static void CheckWav(byte[] wav, long expectedFrames)
    {
        if (wav.Length < 12 || Id(wav, 0) != "RIFF" || Id(wav, 8) != "WAVE")
        {
            problems.Add("the output is not a RIFF/WAVE file");
            return;
        }
        // A size that does not match the file means the header was never
        // finished after the samples were written.
        long riffSize = U32(wav, 4);
        if (riffSize + 8 != wav.Length)
            problems.Add("the RIFF size says " + (riffSize + 8) + " bytes, the file has " + wav.Length);

        bool sawFormat = false;
        long dataOffset = -1, dataSize = 0;
        long at = 12;
        while (at + 8 <= wav.Length)
        {
            string id = Id(wav, (int)at);
            long size = U32(wav, (int)at + 4);
            long body = at + 8;
            if (body + size > wav.Length)
            {
                problems.Add("chunk '" + id + "' at " + at + " claims " + size + " bytes, past the end of the file");
                return;
            }
            if (id == "fmt ")
            {
                sawFormat = true;
                CheckFormat(wav, (int)body, size);
            }
            else if (id == "data" && dataOffset < 0)
            {
                dataOffset = body;
                dataSize = size;
            }
            at = body + size + (size & 1); // chunks are padded to even length
        }

        if (!sawFormat)
            problems.Add("no 'fmt ' chunk");
        if (dataOffset < 0)
        {
            problems.Add("no 'data' chunk");
            return;
        }
        if (dataSize == 0)
        {
            problems.Add("the 'data' chunk is empty");
            return;
        }
        if (dataSize % 2 != 0)
            problems.Add("the 'data' chunk holds " + dataSize + " bytes, not whole 16-bit mono frames");

        long frames = dataSize / 2;
        int peak = 0;
        for (long i = dataOffset; i + 1 < dataOffset + dataSize; i += 2)
            peak = Math.Max(peak, Math.Abs((int)(short)U16(wav, (int)i)));
        Console.WriteLine("{0} frames of {1} Hz mono 16-bit PCM, peak {2}", frames, ExpectedRate, peak);
        // The input is a loud tone; dither or rounding noise alone stays far
        // below this.
        if (peak < MinimumPeak)
            problems.Add("the sound peaks at " + peak + ", below " + MinimumPeak + ": the tone was lost");
        // One sample of rounding either way, plus a little for the resampler's
        // handling of the last input frame.
        if (expectedFrames >= 0 && Math.Abs(frames - expectedFrames) > 2)
            problems.Add("expected about " + expectedFrames + " frames, got " + frames);
    }

    static void CheckFormat(byte[] wav, int at, long size)
    {
        if (size < 16)
        {
            problems.Add("the 'fmt ' chunk has only " + size + " bytes");
            return;
        }
        int format = U16(wav, at);
        int channels = U16(wav, at + 2);
        uint rate = U32(wav, at + 4);
        uint byteRate = U32(wav, at + 8);
        int blockAlign = U16(wav, at + 12);
        int bits = U16(wav, at + 14);
        if (format != 1) problems.Add("format tag " + format + ", expected 1 (PCM)");
        if (channels != 1) problems.Add(channels + " channels, expected 1");
        if (rate != ExpectedRate) problems.Add(rate + " Hz, expected " + ExpectedRate);
        if (bits != 16) problems.Add(bits + " bits per sample, expected 16");
        if (blockAlign != 2) problems.Add("block align " + blockAlign + ", expected 2");
        if (byteRate != ExpectedRate * 2) problems.Add("byte rate " + byteRate + ", expected " + ExpectedRate * 2);
    }
}
