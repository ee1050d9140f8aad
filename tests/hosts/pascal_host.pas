{ Runs the three routines through the README's Pascal declarations (tessaryn_declarations.inc,
  read out of README.md) over a series file and writes their outputs. Compiled in each
  compiler mode: the declarations must mean the same in all of them.
  Usage: pascal_host <input.f32> <output.f32>   (series_files.h has the format) }
program PascalHost;

{$H+} { paths longer than 255 characters }

{$I tessaryn_declarations.inc}

{$I host_series.inc}

var
  Prices, Periods, Trends, Cycles, Models: TSingles;

begin
  if ParamCount <> 2 then
  begin
    WriteLn(StdErr, 'usage: pascal_host <input.f32> <output.f32>');
    Halt(2);
  end;
  ReadHostSeries(ParamStr(1), Prices, Periods);
  SetLength(Trends, Length(Prices));
  SetLength(Cycles, Length(Prices));
  SetLength(Models, Length(Prices));
  ITrend(@Prices[0], @Periods[0], Length(Prices), @Trends[0]);
  CyclicalComponent(@Prices[0], @Periods[0], Length(Prices), @Cycles[0]);
  Model(@Prices[0], @Periods[0], Length(Prices), @Models[0]);
  WriteHostOutputs(ParamStr(2), [Trends, Cycles, Models]);
end.
