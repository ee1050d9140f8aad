// The series files of the host tests (series_files.h has the format), for the C# hosts.
using System;
using System.IO;

static class HostSeries
{
    // The prices and periods of the input file.
    public static void Read(string path, out float[] prices, out float[] periods)
    {
        byte[] input = File.ReadAllBytes(path);
        int count = input.Length / 8;
        prices = new float[count];
        periods = new float[count];
        Buffer.BlockCopy(input, 0, prices, 0, count * 4);
        Buffer.BlockCopy(input, count * 4, periods, 0, count * 4);
    }

    // Trend, cycle and model, in that order.
    public static void Write(string path, float[][] outputs)
    {
        using (FileStream output = File.Create(path))
        {
            foreach (float[] values in outputs)
            {
                byte[] bytes = new byte[values.Length * 4];
                Buffer.BlockCopy(values, 0, bytes, 0, bytes.Length);
                output.Write(bytes, 0, bytes.Length);
            }
        }
    }
}
