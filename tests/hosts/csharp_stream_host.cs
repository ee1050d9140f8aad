// A live chart's loop through the README's C# declarations of the stream (class
// TessarynStream, compiled beside this file and host_series.cs): the history in one PushMany, then every later
// bar opened with a guessed price, revised as it forms and revised to its close. Writes the
// values each bar ends with, which must be the routines' bits.
// Usage: mono csharp_stream_host.exe <input.f32> <output.f32>   (series_files.h has the format)
using System;

static class CSharpStreamHost
{
    static void Check(int code, string what, int bar)
    {
        if (code != 0)
            throw new Exception(what + " at bar " + bar + ": " + TessarynStream.Message(code));
    }

    static int Main(string[] args)
    {
        if (args.Length != 2)
        {
            Console.Error.WriteLine("usage: csharp_stream_host.exe <input.f32> <output.f32>");
            return 2;
        }
        float[] prices, periods;
        HostSeries.Read(args[0], out prices, out periods);
        int count = prices.Length;
        float[][] outputs = { new float[count], new float[count], new float[count] };
        IntPtr stream = TessarynStream.Create(0);
        if (stream == IntPtr.Zero)
            throw new Exception("TessarynStream.Create failed");
        int history = count - count / 10; // more than a 16-bit count holds
        float[][] head = { new float[history], new float[history], new float[history] };
        Check(TessarynStream.PushMany(stream, prices, periods, history, head[0], head[1], head[2]),
              "PushMany", 0);
        for (int r = 0; r < 3; ++r)
            Array.Copy(head[r], outputs[r], history);
        float[] values = new float[3];
        for (int bar = history; bar < count; ++bar)
        {
            float opened = prices[bar - 1];
            Check(TessarynStream.Push(stream, opened, periods[bar] + 1.0f, values), "Push", bar);
            Check(TessarynStream.Revise(stream, (opened + prices[bar]) / 2.0f, periods[bar], values),
                  "Revise", bar);
            Check(TessarynStream.Revise(stream, prices[bar], periods[bar], values), "Revise", bar);
            for (int r = 0; r < 3; ++r)
                outputs[r][bar] = values[r];
        }
        if (TessarynStream.Size(stream) != count)
            throw new Exception("Size: " + TessarynStream.Size(stream) + ", expected " + count);
        TessarynStream.Destroy(stream);

        HostSeries.Write(args[1], outputs);
        return 0;
    }
}
