{ A live chart's loop through the README's Pascal declarations of the stream
  (tessaryn_stream_declarations.inc, read out of README.md): the history in one PushMany,
  then every later bar opened with a guessed price, revised as it forms and revised to its
  close. Writes the values each bar ends with, which must be the routines' bits. Compiled in
  each compiler mode. Usage: pascal_stream_host <input.f32> <output.f32> }
program PascalStreamHost;

{$H+} { paths longer than 255 characters }

{$I tessaryn_stream_declarations.inc}

{$I host_series.inc}

var
  Count, History, Bar, R: LongInt;
  Prices, Periods: TSingles;
  Outputs: array[0..2] of TSingles;
  Values: array[0..2] of Single;
  Stream: Pointer;
  Opened: Single;

procedure Check(Code: LongInt; const What: string; At: LongInt);
begin
  if Code <> 0 then
  begin
    WriteLn(StdErr, What, ' at bar ', At, ': ', TessarynStreamMessage(Code));
    Halt(1);
  end;
end;

begin
  if ParamCount <> 2 then
  begin
    WriteLn(StdErr, 'usage: pascal_stream_host <input.f32> <output.f32>');
    Halt(2);
  end;
  ReadHostSeries(ParamStr(1), Prices, Periods);
  Count := Length(Prices);
  for R := 0 to 2 do
    SetLength(Outputs[R], Count);

  Stream := TessarynStreamCreate(0);
  if Stream = nil then
  begin
    WriteLn(StdErr, 'TessarynStreamCreate failed');
    Halt(1);
  end;
  History := Count - Count div 10; { more than a 16-bit count holds }
  Check(TessarynStreamPushMany(Stream, @Prices[0], @Periods[0], History, @Outputs[0][0],
    @Outputs[1][0], @Outputs[2][0]), 'PushMany', 0);
  for Bar := History to Count - 1 do
  begin
    Opened := Prices[Bar - 1];
    Check(TessarynStreamPush(Stream, Opened, Periods[Bar] + 1.0, @Values[0]), 'Push', Bar);
    Check(TessarynStreamRevise(Stream, (Opened + Prices[Bar]) / 2.0, Periods[Bar], @Values[0]),
      'Revise', Bar);
    Check(TessarynStreamRevise(Stream, Prices[Bar], Periods[Bar], @Values[0]), 'Revise', Bar);
    for R := 0 to 2 do
      Outputs[R][Bar] := Values[R];
  end;
  if TessarynStreamSize(Stream) <> Count then
  begin
    WriteLn(StdErr, 'TessarynStreamSize: ', TessarynStreamSize(Stream), ', expected ', Count);
    Halt(1);
  end;
  TessarynStreamDestroy(Stream);

  WriteHostOutputs(ParamStr(2), Outputs);
end.
