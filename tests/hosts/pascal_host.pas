{ Runs the three routines through the README's Pascal declarations (tessaryn_declarations.inc,
  read out of README.md) over a series file and writes their outputs. Compiled in each
  compiler mode: the declarations must mean the same in all of them.
  Usage: pascal_host <input.f32> <output.f32>   (series_files.h has the format) }
program PascalHost;

{$H+} { paths longer than 255 characters }

{$I tessaryn_declarations.inc}

type
  TSingles = array of Single;

var
  Series: file;
  Bytes, Count: LongInt;
  Prices, Periods, Trends, Cycles, Models: TSingles;

procedure WriteOutputs(const Path: string; const Outputs: array of TSingles);
var
  Target: file;
  R: LongInt;
begin
  Assign(Target, Path);
  Rewrite(Target, 1);
  for R := Low(Outputs) to High(Outputs) do
    BlockWrite(Target, Outputs[R][0], Length(Outputs[R]) * SizeOf(Single));
  Close(Target);
end;

begin
  if ParamCount <> 2 then
  begin
    WriteLn(StdErr, 'usage: pascal_host <input.f32> <output.f32>');
    Halt(2);
  end;
  Assign(Series, ParamStr(1));
  Reset(Series, 1);
  Bytes := FileSize(Series);
  Count := Bytes div (2 * SizeOf(Single));
  SetLength(Prices, Count);
  SetLength(Periods, Count);
  SetLength(Trends, Count);
  SetLength(Cycles, Count);
  SetLength(Models, Count);
  BlockRead(Series, Prices[0], Count * SizeOf(Single));
  BlockRead(Series, Periods[0], Count * SizeOf(Single));
  Close(Series);

  ITrend(@Prices[0], @Periods[0], Length(Prices), @Trends[0]);
  CyclicalComponent(@Prices[0], @Periods[0], Length(Prices), @Cycles[0]);
  Model(@Prices[0], @Periods[0], Length(Prices), @Models[0]);
  WriteOutputs(ParamStr(2), [Trends, Cycles, Models]);
end.
