// Runs the three routines through the README's C# declarations (class Tessaryn, compiled
// beside this file) over a series file and writes their outputs.
// Usage: mono csharp_host.exe <input.f32> <output.f32>   (series_files.h has the format)
using System;
using System.IO;

static class CSharpHost
{
    static int Main(string[] args)
    {
        if (args.Length != 2)
        {
            Console.Error.WriteLine("usage: csharp_host.exe <input.f32> <output.f32>");
            return 2;
        }
        byte[] input = File.ReadAllBytes(args[0]);
        int count = input.Length / 8;
        float[] prices = new float[count];
        float[] periods = new float[count];
        Buffer.BlockCopy(input, 0, prices, 0, count * 4);
        Buffer.BlockCopy(input, count * 4, periods, 0, count * 4);

        float[] trend = new float[count];
        float[] cycle = new float[count];
        float[] model = new float[count];
        Tessaryn.ITrend(prices, periods, prices.Length, trend);
        Tessaryn.CyclicalComponent(prices, periods, prices.Length, cycle);
        Tessaryn.Model(prices, periods, prices.Length, model);

        using (FileStream output = File.Create(args[1]))
        {
            foreach (float[] values in new[] { trend, cycle, model })
            {
                byte[] bytes = new byte[count * 4];
                Buffer.BlockCopy(values, 0, bytes, 0, bytes.Length);
                output.Write(bytes, 0, bytes.Length);
            }
        }
        return 0;
    }
}
