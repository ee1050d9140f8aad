// Runs the three routines through the README's C# declarations (class Tessaryn, compiled
// beside this file and host_series.cs) over a series file and writes their outputs.
// Usage: mono csharp_host.exe <input.f32> <output.f32>   (series_files.h has the format)
using System;

static class CSharpHost
{
    static int Main(string[] args)
    {
        if (args.Length != 2)
        {
            Console.Error.WriteLine("usage: csharp_host.exe <input.f32> <output.f32>");
            return 2;
        }
        float[] prices, periods;
        HostSeries.Read(args[0], out prices, out periods);
        int count = prices.Length;
        float[] trend = new float[count];
        float[] cycle = new float[count];
        float[] model = new float[count];
        Tessaryn.ITrend(prices, periods, prices.Length, trend);
        Tessaryn.CyclicalComponent(prices, periods, prices.Length, cycle);
        Tessaryn.Model(prices, periods, prices.Length, model);
        HostSeries.Write(args[1], new[] { trend, cycle, model });
        return 0;
    }
}
